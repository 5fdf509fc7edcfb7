#include "stock/StockList.h"

#include "data/TextFormat.h"
#include "lists/ColumnShares.h"
#include "lists/Grid.h"
#include "lists/GridExport.h"
#include "lists/GridKeyedFill.h"

namespace hemulu {

namespace {

constexpr Qt::Alignment kCentre = Qt::AlignCenter;
constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;

struct HeaderGroup {
  int first, last;
  const char* caption;
};

// The two header rows of a goods list: column 1 (the hidden ID) merged over both, the
// groups in row 0, the captions from column 2 on in row 1; the figures from column 6
// to `last_figure_col` right-aligned under centred captions.
void LayOutGoodsHeader(Grid& grid, int cols, std::initializer_list<HeaderGroup> groups,
                       std::initializer_list<const char*> captions, int last_figure_col) {
  grid.SetCols(cols);
  grid.SetFixedRows(2);
  grid.SetRows(2);
  grid.SetExtendLastCol(true);
  grid.SetRowHeight(0, 26);
  grid.SetRowHeight(1, 23);
  grid.SetRangeMerge(0, kStockIdCol, 1, kStockIdCol);
  grid.SetColumnLockedHidden(kStockIdCol, true);
  for (const HeaderGroup& g : groups) {
    grid.SetRangeMerge(0, g.first, 0, g.last);
    grid.SetCellText(0, g.first, QString::fromUtf8(g.caption));
    if (g.first >= 6) grid.SetCellAlignment(0, g.first, kCentre);
  }
  int col = 2;
  for (const char* caption : captions) grid.SetCellText(1, col++, QString::fromUtf8(caption));
  for (int c = 6; c <= last_figure_col; ++c) {
    grid.SetColumnAlignment(c, kRight);
    grid.SetCellAlignment(1, c, kCentre);
  }
}

// Shares of the host width per column (column 0 is fixed, the last column takes the rest).
const std::vector<double> kSuperShares = {0,     0,     0.075, 0.05,  0.05,  0.06,  0.045, 0.06, 0.075,
                                          0.045, 0.055, 0.075, 0.045, 0.075, 0.085, 0.07,  -1};
const std::vector<double> kOperatorShares = {0,    0,     0.13, 0.09, 0.09, 0.07, 0.07, 0, 0,
                                             0.07, 0.055, 0,    0.09, 0,    0.1,  0.12, -1};

const std::vector<double> kSummaryShares = {0, 0, 0.15, 0.1, 0.1, 0.1, 0.065, 0.09, 0.065, 0.09, 0.065, 0.09};

}  // namespace

void LayOutStockGrid(Grid& grid) {
  grid.BeginUpdate();
  LayOutGoodsHeader(
      grid, kStockCols,
      {{2, 5, "商品信息"}, {6, 8, "进货信息"}, {9, 11, "销售信息"}, {12, 13, "存货信息"}, {14, 16, "备注信息"}},
      {"名称", "型号", "编码", "类型", "数量", "单价", "金额", "数量", "单价", "金额", "数量", "金额", "入库日期",
       "供货商", "备注"},
      kStockDateCol);
  for (int c : {kStockBuyPriceCol, kStockBuyAmountCol, kStockSellPriceCol, kStockSoldAmountCol, kStockStockAmountCol})
    grid.SetColumnMask(c, ColumnMask::Value, 1);
  grid.SetColumnKind(kStockDateCol, CellKind::Date);
  grid.EndUpdate();
}

FillResult FillStockGrid(AppContext& ctx, Grid& grid, const GoodsQuery& query, int warning_quantity) {
  return FillGridKeyed(
      ctx, grid, StockListPlan(ctx.session, query, warning_quantity, ctx.settings.SetupFlag(QStringLiteral("zero"))));
}

const std::vector<double>& StockShares(bool super_administrator) {
  return super_administrator ? kSuperShares : kOperatorShares;
}

ColumnShares* AttachStockShares(Grid& grid, bool super_administrator) {
  // An operator never sees purchase prices or amounts: locked, not just narrow.
  if (!super_administrator)
    for (int c : {kStockBuyPriceCol, kStockBuyAmountCol, kStockSoldAmountCol, kStockStockAmountCol})
      grid.SetColumnLockedHidden(c, true);
  return new ColumnShares(grid, grid, kStockFirstColWidth, StockShares(super_administrator));
}

void SetStockColumnHidden(ColumnShares& shares, bool super_administrator, int col, bool hide) {
  if (!super_administrator) return;  // the operator's columns are locked whatever the toggles
  if (col != kStockBuyPriceCol && col != kStockBuyAmountCol && col != kStockStockAmountCol) return;
  if (hide) {
    shares.SetShare(col, 0.0);
    return;
  }
  // The column keeps its table share for every later layout and resize; only the toggle's
  // own give-back of 进货单价 is narrower, until the frame next changes size.
  constexpr double kBuyPriceGiveBackShare = 0.05;
  shares.SetShare(col, kSuperShares[static_cast<std::size_t>(col)]);
  if (col == kStockBuyPriceCol) shares.ApplyOnce(col, kBuyPriceGiveBackShare);
}

void LayOutSummaryGrid(Grid& grid) {
  grid.BeginUpdate();
  LayOutGoodsHeader(grid, kSummaryCols,
                    {{2, 5, "商品信息"}, {6, 7, "进货信息"}, {8, 9, "销售信息"}, {10, 11, "存货信息"}},
                    {"名称", "型号", "编码", "类型", "数量", "金额", "数量", "金额", "数量", "金额"}, kSummaryCols - 1);
  grid.EndUpdate();
}

FillResult FillSummaryGrid(AppContext& ctx, Grid& grid, int warning_quantity) {
  return FillGridKeyed(ctx, grid,
                       SummaryListPlan(ctx.session, warning_quantity, ctx.settings.SetupFlag(QStringLiteral("zero"))));
}

std::vector<double> SummaryShares(bool super_administrator) {
  if (super_administrator) return kSummaryShares;
  // The hidden amounts' width goes to the visible columns in proportion to their own
  // shares, so no single column (the last visible one) swallows it.
  std::vector<double> shares = kSummaryShares;
  double hidden = 0, visible = 0;
  for (int c = 1; c < static_cast<int>(shares.size()); ++c) {
    const bool amount = c == kSummaryBoughtAmountCol || c == kSummarySoldAmountCol || c == kSummaryStockAmountCol;
    double& share = shares[static_cast<std::size_t>(c)];
    (amount ? hidden : visible) += share;
    if (amount) share = 0;
  }
  if (visible > 0)
    for (double& share : shares) share *= (visible + hidden) / visible;
  return shares;
}

ColumnShares* AttachSummaryShares(Grid& grid, bool super_administrator) {
  if (!super_administrator)
    for (int c : {kSummaryBoughtAmountCol, kSummarySoldAmountCol, kSummaryStockAmountCol})
      grid.SetColumnLockedHidden(c, true);  // amounts stay hidden from operators
  return new ColumnShares(grid, grid, kStockFirstColWidth, SummaryShares(super_administrator));
}

std::expected<void, QString> ExportStockGrid(const Grid& grid, const QString& path, const Progress& progress) {
  return ExportGridToExcel(grid, path, {.header_rows = true, .row_header_column = true}, progress);
}

}  // namespace hemulu
