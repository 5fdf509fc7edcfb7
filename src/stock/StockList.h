#pragma once
// The goods lists: the stock grid's layout, fill, column widths, export and printing,
// and the summary page's compact view of the same table.

#include <QString>
#include <expected>
#include <vector>

#include "lists/ListFill.h"
#include "lists/Progress.h"
#include "stock/GoodsLogic.h"
#include "stock/StockFill.h"

class QWidget;

namespace hemulu {

class ColumnShares;
class Grid;

// Two header rows with their groups, captions, alignments and number columns.
void LayOutStockGrid(Grid& grid);
FillResult FillStockGrid(AppContext& ctx, Grid& grid, const GoodsQuery& query, int warning_quantity);

// Width shares of the stock grid's host per column (column 0 is fixed, the last extends).
inline constexpr int kStockFirstColWidth = 20;
const std::vector<double>& StockShares(bool super_administrator);

// Column widths as shares of the grid's host; the operator's layout hides the price
// and amount columns for good. Re-applied on every resize.
ColumnShares* AttachStockShares(Grid& grid, bool super_administrator);
// One 显示模式 toggle of 超级管理员 (column 7, 8 or 13): hiding sets the column's share
// to 0; showing gives it back its width. Operators keep their hidden columns.
void SetStockColumnHidden(ColumnShares& shares, bool super_administrator, int col, bool hide);

// The compact view of the summary page.
void LayOutSummaryGrid(Grid& grid);
FillResult FillSummaryGrid(AppContext& ctx, Grid& grid, int warning_quantity);
// The compact view's shares; an operator's visible columns share the hidden amounts' width.
std::vector<double> SummaryShares(bool super_administrator);
ColumnShares* AttachSummaryShares(Grid& grid, bool super_administrator);

// The grid, header rows and row-header column included, as a spreadsheet; columns
// hidden from the current user are left out.
// `progress` as ExportGridToExcel hears it.
[[nodiscard]] std::expected<void, QString> ExportStockGrid(const Grid& grid, const QString& path,
                                                           const Progress& progress = {});

}  // namespace hemulu
