#pragma once
// A list read by key: one narrow pass over the list's query takes every row's key and
// the totals, and the rows themselves are read a page at a time, by key, when the grid
// looks at them. The grid's store keeps only the header rows and the totals row, so a
// list of a million sales costs its keys, not its texts.

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "lists/ListFill.h"
#include "lists/RowSource.h"

namespace hemulu {

struct AppContext;
class RecordCells;

class KeyedRows final : public RowSource {
 public:
  // `styles[k]`: the cells' styles of a row that no colour rule (k = 0) or rule k
  // (k ≥ 1) colours.
  KeyedRows(AppContext& ctx, ListPlan plan, std::vector<std::int64_t> keys, std::vector<std::vector<CellStyle>> styles);

  int Count() const override { return static_cast<int>(keys_.size()); }
  QString Text(int row, int col) const override;
  const CellStyle& Style(int row, int col) const override;
  int FindRow(int col, QStringView text) const override;
  void Remove(int row) override;
  CellKind Sort(int col, CellKind kind) override;

  std::optional<DbError> ReadFailure() const override { return failure_; }
  bool TakeFailureToTell() const override;
  // Called once, at the first failed read (the grid's window posts its message from it).
  void OnFailure(std::function<void(const DbError&)> hook) { on_failure_ = std::move(hook); }

  std::int64_t Key(int row) const { return keys_[static_cast<std::size_t>(row)]; }
  // The row showing a key, or -1.
  int RowOfKey(std::int64_t key) const;

 private:
  static constexpr int kPageRows = 128;
  static constexpr std::size_t kMaxPages = 24;
  struct Page {
    int first = 0;
    std::vector<QString> cells;      // kPageRows × fields
    std::vector<std::uint8_t> look;  // which styles the row takes
    std::uint64_t used = 0;
  };
  const Page& PageOf(int row) const;
  // The query of a page of `rows` keys: every field of the rows, by key.
  std::string PageSql(int rows) const;
  void ReadPage(Page& page) const;
  // Which styles a row takes: the last colour rule that holds for it (0: none).
  std::uint8_t LookOf(const RecordCells& record) const;
  // The cells of one field for every row of the query, by key, ascending; none when the
  // read failed (told through Failed).
  std::optional<std::vector<std::pair<std::int64_t, QString>>> ReadColumnByKey(const ListField& field) const;
  void DropPages() { pages_.clear(); }
  void Failed(const DbError& error) const;

  AppContext& ctx_;
  ListPlan plan_;
  std::vector<std::int64_t> keys_;
  std::vector<std::vector<CellStyle>> styles_;
  mutable std::vector<Page> pages_;
  mutable std::uint64_t clock_ = 0;
  mutable std::optional<DbError> failure_;
  mutable bool failure_told_ = false;
  std::function<void(const DbError&)> on_failure_;
};

struct KeyedFill {
  FillResult result;
  std::shared_ptr<KeyedRows> rows;  // never null
};

// Runs the plan as FillList does (header rows kept, the same filter, colours, sort and
// the frozen totals row with its label and totals) but with no data rows in `store`:
// they are in the returned source, read by `plan.table`'s key. A failed query or a
// database that does not open gives no rows and zero totals, and says which.
[[nodiscard]] KeyedFill FillKeyedList(AppContext& ctx, GridStore& store, const ListPlan& plan);

}  // namespace hemulu
