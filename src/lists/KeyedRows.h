#pragma once
// A list read by key: one narrow pass over the list's query takes every row's key and
// the totals, and the rows themselves are read a page at a time, by key, when the grid
// looks at them. The grid's store keeps only the header rows and the totals row, so a
// list of a million sales costs its keys, not its texts.

#include <QString>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lists/ListFill.h"
#include "lists/RowSource.h"

namespace hemulu {

struct AppContext;

// The total of a Number field, in a column of the totals row.
struct KeyedTotal {
  int field = 0;
  int column = 0;
};

// When `applies` holds for the value of `field`, the row's text takes the colour stored
// under `key`; a later rule that holds wins.
struct KeyedColourRule {
  QString key;
  int field = 0;
  std::function<bool(double)> applies;
};

// Rows whose value of `field` fails `admits` are left out of the list; their figures
// still count in the totals.
struct KeyedRowFilter {
  int field = -1;
  std::function<bool(double)> admits;
};

struct KeyedListPlan {
  std::string table;              // rows are read from it by their key
  std::string sql;                // the list's query: its rows, in its order
  std::vector<QVariant> values;   // bound to the ? marks of `sql` (and of `keys_sql`)
  // When not empty: the same rows' key and total fields (in the order of `totals`), then
  // the filter's field (with a filter) and the sort field (when it is a number sorted
  // at the fill), in the same order, by a narrower path than `sql` gives.
  std::string keys_sql;
  // fields[0] is the table's integer key. A field with no column name is withheld: its
  // cells stay empty and its total adds nothing up.
  std::vector<ListField> fields;
  KeyedRowFilter row_filter;       // empty: every row is shown
  std::vector<KeyedColourRule> colour_rules;
  int colour_first_col = 1;
  int colour_last_col = -1;        // -1: the last column
  std::vector<KeyedTotal> totals;  // summed over every row of the query
  QString total_label = QStringLiteral("合计：");
  int label_column = -1;
  int sort_column = -1;            // sorted ascending when beepview is on; -1: never
  int totals_first_col = 2;
  int totals_last_col = -1;
  int line_first_col = 2;
  int line_last_col = -1;
};

class KeyedRows final : public RowSource {
 public:
  // `styles[k]`: the cells' styles of a row that no colour rule (k = 0) or rule k
  // (k ≥ 1) colours.
  KeyedRows(AppContext& ctx, KeyedListPlan plan, std::vector<std::int64_t> keys,
            std::vector<std::vector<CellStyle>> styles);

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
    std::vector<QString> cells;     // kPageRows × fields
    std::vector<std::uint8_t> look;  // which styles the row takes
    std::uint64_t used = 0;
  };
  const Page& PageOf(int row) const;
  void ReadPage(Page& page) const;
  void DropPages() { pages_.clear(); }
  void Failed(const DbError& error) const;

  AppContext& ctx_;
  KeyedListPlan plan_;
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

// Lays out `store` as FillList does (header rows kept, the frozen totals row with its
// label and totals) but with no data rows: they are in the returned source. A failed
// query or a database that does not open gives no rows and zero totals, and says which.
[[nodiscard]] KeyedFill FillKeyedList(AppContext& ctx, GridStore& store, const KeyedListPlan& plan);

}  // namespace hemulu
