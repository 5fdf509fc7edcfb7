#pragma once
// The goods lists: the stock grid's layout, fill, column widths, export and printing,
// and the summary page's compact view of the same table.

#include <QString>
#include <expected>
#include <vector>

#include "lists/ListFill.h"
#include "stock/GoodsLogic.h"

class QWidget;

namespace hemulu {

class ColumnShares;
class Grid;

// Columns of the stock grid that the program refers to.
inline constexpr int kStockIdCol = 1;
inline constexpr int kStockBuyPriceCol = 7;
inline constexpr int kStockBuyAmountCol = 8;
inline constexpr int kStockSoldAmountCol = 11;
inline constexpr int kStockQuantityCol = 12;
inline constexpr int kStockStockAmountCol = 13;
inline constexpr int kStockCols = 17;

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
// acts as 2), 0 for a non-number.
int WarningQuantityOf(const QString& text);
int StoredWarningQuantity(const IniFile& settings);

// Two header rows with their groups, captions, alignments and number columns.
void LayOutStockGrid(Grid& grid);
// The fill of the stock list from a query, with the warning quantity for the marking.
ListFillSpec StockFillSpec(const GoodsQuery& query, int warning_quantity, bool show_zero_stock);
FillResult FillStockGrid(AppContext& ctx, Grid& grid, const GoodsQuery& query, int warning_quantity);

// Width shares of the stock grid's host per column (column 0 is fixed, the last extends).
inline constexpr int kStockFirstColWidth = 20;
const std::vector<double>& StockShares(bool super_administrator);

// Column widths as shares of the grid's host; the operator's layout hides the price
// and amount columns for good. Re-applied on every resize.
ColumnShares* AttachStockShares(Grid& grid, bool super_administrator);
// The 显示模式 toggles of 超级管理员; operators keep their hidden columns whatever the toggles.
void SetStockHiddenColumns(ColumnShares& shares, bool super_administrator, bool hide_buy_price, bool hide_buy_amount,
                           bool hide_stock_amount);

// The compact view of the summary page.
inline constexpr int kSummaryCols = 12;
void LayOutSummaryGrid(Grid& grid);
FillResult FillSummaryGrid(AppContext& ctx, Grid& grid, int warning_quantity);
ColumnShares* AttachSummaryShares(Grid& grid, bool super_administrator);

// The grid, header rows and row-header column included, as a spreadsheet; columns
// hidden from the current user are left out.
std::expected<void, QString> ExportStockGrid(const Grid& grid, const QString& path);

}  // namespace hemulu
