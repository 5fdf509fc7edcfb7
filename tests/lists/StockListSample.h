#pragma once
// The goods stock list's grid layout and fill parameters, reproduced for the grid's
// tests and the benchmark so that the fill is proven on its fullest user.

#include <vector>

#include "lists/ListFill.h"

namespace hemulu {
class Grid;
}

namespace hemulu::sample {

// 17 columns, two header rows: group captions over merged cells, then column captions.
void LayOutStockGrid(Grid& grid);
// Width shares of the host frame per column (column 0 is fixed at 20 pixels, the
// last column extends).
std::vector<double> StockShares();
inline constexpr int kStockFirstColWidth = 20;

// The stock list's fill: stock s of a record, warning quantity w. With show_zero every
// record is listed, s − w < −1e-7 gets beepcolor and |s| ≤ 1e-7 zerocolor (the later
// rule wins); otherwise only s > 1e-7 is listed and low stock gets beepcolor.
ListFillSpec StockFillSpec(std::string sql, int warning, bool show_zero);

// Field numbers in StockFillSpec().fields.
inline constexpr int kStockField = 11;  // 存货数量, grid column 12
}  // namespace hemulu::sample
