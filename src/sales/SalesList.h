#pragma once
// The sales grid: its two header rows, its fill with the debt colour and the four
// totals, and its column shares with the net-profit rule.

#include <vector>

#include "lists/KeyedRows.h"
#include "sales/SalesLogic.h"

namespace hemulu {

class ColumnShares;
class Grid;

// Columns of the sales grid that the program refers to.
inline constexpr int kSaleIdCol = 1;
inline constexpr int kSaleGoodsIdCol = 2;
inline constexpr int kSaleNameCol = 3;
inline constexpr int kSalePriceCol = 7;
inline constexpr int kSaleQuantityCol = 8;
inline constexpr int kSaleAmountCol = 9;
inline constexpr int kSaleDateCol = 10;
inline constexpr int kSaleDebtCol = 11;
inline constexpr int kSaleProfitCol = 12;
inline constexpr int kSaleCustomerFirstCol = 13;
inline constexpr int kSaleNoteCol = 17;
inline constexpr int kSaleCols = 18;
inline constexpr int kSaleFirstColWidth = 20;

// Width shares of the host frame per column (column 0 is fixed at 20 pixels).
const std::vector<double>& SalesShares();

void LayOutSalesGrid(Grid& grid);
// The list reads every sale's ID and the four totals in one pass and the rows it shows
// a page at a time, so a million sales show at once.
KeyedListPlan SalesListPlan(const SalesQuery& query);
FillResult FillSalesGrid(AppContext& ctx, Grid& grid, const SalesQuery& query);
// Attaches the shares to the host; for everyone but 超级管理员 the net-profit column is
// locked at width 0, whatever the display items do.
ColumnShares* AttachSalesShares(Grid& grid, QWidget& host, bool super_administrator);

}  // namespace hemulu
