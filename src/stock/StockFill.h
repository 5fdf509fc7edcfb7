#pragma once
// The goods lists' content without widgets: the stock list's and the summary view's
// columns, the fill plans with their filter, colours and totals, the warning quantity
// and the goods row chosen on either list.

#include <QString>

#include "data/IniFile.h"
#include "lists/ListPlan.h"
#include "stock/GoodsLogic.h"

namespace hemulu {

// Columns of the stock grid (field i of the fill lands in column i + 1).
inline constexpr int kStockIdCol = 1;
inline constexpr int kStockNameCol = 2;
inline constexpr int kStockCategoryCol = 5;
inline constexpr int kStockBoughtCol = 6;
inline constexpr int kStockBuyPriceCol = 7;
inline constexpr int kStockBuyAmountCol = 8;
inline constexpr int kStockSoldCol = 9;
inline constexpr int kStockSellPriceCol = 10;
inline constexpr int kStockSoldAmountCol = 11;
inline constexpr int kStockQuantityCol = 12;
inline constexpr int kStockStockAmountCol = 13;
inline constexpr int kStockDateCol = 14;
inline constexpr int kStockNoteCol = 16;
inline constexpr int kStockCols = 17;

// Columns of the summary view.
inline constexpr int kSummaryIdCol = 1;
inline constexpr int kSummaryNameCol = 2;
inline constexpr int kSummaryBoughtAmountCol = 7;
inline constexpr int kSummarySoldAmountCol = 9;
inline constexpr int kSummaryStockCol = 10;
inline constexpr int kSummaryStockAmountCol = 11;
inline constexpr int kSummaryCols = 12;

// The goods row last chosen on the stock grid or the summary view; one pair shared by
// both, as the commands of either act on it.
struct GoodsSelection {
  int row = 0;
  QString id;
  // A goods row's ID: not empty and greater than zero as a number.
  bool HasGoods() const;
  qint64 GoodsId() const;
};

// The stock warning quantity from the typed or stored text: its whole number (2.9
// acts as 2), 0 for a non-number, held within the range of an int.
int WarningQuantityOf(const QString& text);
int StoredWarningQuantity(const IniFile& settings);

// The stock list of a query, read by key, with the warning quantity for the marking.
ListPlan StockListPlan(const GoodsQuery& query, int warning_quantity, bool show_zero_stock);
// The summary view, read by key: every goods row in the table's order.
ListPlan SummaryListPlan(int warning_quantity, bool show_zero_stock);

// The same lists for the logged-in user: an operator gets no purchase price, purchase
// amount, sales amount or stock value (cells empty, totals 0).
ListPlan StockListPlan(const Session& session, const GoodsQuery& query, int warning_quantity, bool show_zero_stock);
ListPlan SummaryListPlan(const Session& session, int warning_quantity, bool show_zero_stock);

}  // namespace hemulu
