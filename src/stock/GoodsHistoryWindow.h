#pragma once
// The goods history "商品流水": one goods' movements newest first with the stock after
// each, the totals per kind below them, a date range, printed and exported. Operators
// see the quantities but never the purchase prices.

#include <QDialog>
#include <optional>

#include "stock/GoodsHistory.h"

class QDateEdit;
class QLabel;

namespace hemulu {

class ColumnShares;
class Grid;

// Columns of the history grid.
inline constexpr int kHistoryIdCol = 1;  // hidden: the movement's ID
inline constexpr int kHistoryDateCol = 2;
inline constexpr int kHistoryKindCol = 3;
inline constexpr int kHistoryChangeCol = 4;
inline constexpr int kHistoryStockCol = 5;
inline constexpr int kHistoryPriceCol = 6;  // locked hidden for an operator
inline constexpr int kHistorySupplierCol = 7;
inline constexpr int kHistoryUserCol = 8;
inline constexpr int kHistorySaleCol = 9;

inline const QString kGoodsHistoryTitle = QStringLiteral("商品流水");

class GoodsHistoryWindow : public QDialog {
  Q_OBJECT

 public:
  GoodsHistoryWindow(AppContext& ctx, qint64 goods_id, QWidget* owner);

  // Reads the movements again, within the period or all of them; false when the read
  // failed (reported, the rows stay).
  bool Refill(std::optional<HistoryPeriod> period);
  // The date boxes' period ("查询").
  void QueryPeriod();
  void Export();
  void Print();

  Grid* HistoryGrid() const { return grid_; }
  const GoodsHistory& History() const { return history_; }
  QDateEdit* FromBox() const { return from_; }
  QDateEdit* ToBox() const { return to_; }
  // The data rows (the totals rows below them left out).
  int LineRows() const { return static_cast<int>(history_.lines.size()); }

 private:
  void ShowHistory();

  AppContext& ctx_;
  qint64 goods_id_;
  Grid* grid_ = nullptr;
  ColumnShares* shares_ = nullptr;
  QLabel* header_ = nullptr;
  QDateEdit* from_ = nullptr;
  QDateEdit* to_ = nullptr;
  GoodsHistory history_;
  std::optional<HistoryPeriod> period_;
};

}  // namespace hemulu
