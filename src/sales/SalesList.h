#pragma once
// The sales grid: its two header rows, its fill, and its column shares with the
// net-profit rule.

#include <vector>

#include "lists/ListFill.h"
#include "sales/SalesFill.h"

class QWidget;

namespace hemulu {

class ColumnShares;
class Grid;

inline constexpr int kSaleFirstColWidth = 20;

// Width shares of the host frame per column (column 0 is fixed at 20 pixels).
const std::vector<double>& SalesShares();

void LayOutSalesGrid(Grid& grid);
// Fills the grid by key with the logged-in user's SalesListPlan.
FillResult FillSalesGrid(AppContext& ctx, Grid& grid, const SalesQuery& query);
// Attaches the shares to the host; for everyone but 超级管理员 the net-profit column is
// locked at width 0, whatever the display items do.
ColumnShares* AttachSalesShares(Grid& grid, QWidget& host, bool super_administrator);

}  // namespace hemulu
