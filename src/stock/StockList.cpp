#include "stock/StockList.h"

#include <cmath>

#include "data/TextFormat.h"
#include "lists/ColumnShares.h"
#include "lists/ExcelExport.h"
#include "lists/Grid.h"

namespace hemulu {

namespace {

constexpr Qt::Alignment kCentre = Qt::AlignCenter;
constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;

// Field numbers of the stock list's records (field i lands in grid column i + 1).
enum StockField {
  kId, kName, kModel, kCode, kCategory, kBought, kBuyPrice, kBoughtAmount, kSold, kSellPrice, kSoldAmount,
  kStock, kStockAmount, kDate, kSupplier, kNote
};

const std::vector<ListField>& StockFields() {
  static const std::vector<ListField> fields = {
      {"ID", FieldKind::Number},       {"名称"},
      {"型号"},                        {"编码"},
      {"类型"},                        {"进货数量", FieldKind::Number},
      {"进货单价", FieldKind::Number}, {"进货金额", FieldKind::Number},
      {"销售数量", FieldKind::Number}, {"销售单价", FieldKind::Number},
      {"销售金额", FieldKind::Number}, {"存货数量", FieldKind::Number},
      {"存货金额", FieldKind::Number}, {"入库日期", FieldKind::Date},
      {"供货商"},                      {"备注"},
  };
  return fields;
}

// The zero filter and the low / zero stock colours shared by both goods lists.
void AddStockRules(ListFillSpec& plan, int stock_field, int warning, bool show_zero) {
  const double w = warning;
  const RecordTest low = [stock_field, w](const FillRecord& r) { return r.Number(stock_field) - w < -kTolerance; };
  plan.colour_rules.push_back({QStringLiteral("beepcolor"), low});
  if (show_zero) {
    plan.colour_rules.push_back({QStringLiteral("zerocolor"), [stock_field](const FillRecord& r) {
                                   return std::fabs(r.Number(stock_field)) <= kTolerance;
                                 }});
  } else {
    plan.row_filter = [stock_field](const FillRecord& r) { return r.Number(stock_field) > kTolerance; };
  }
}

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
const std::vector<double> kSuperShares = {0,     0,    0.075, 0.05,  0.05,  0.06, 0.045, 0.06, 0.075,
                                          0.045, 0.055, 0.075, 0.045, 0.075, 0.085, 0.07, -1};
const std::vector<double> kOperatorShares = {0,    0,    0.13,  0.09, 0.09, 0.07, 0.07, 0,   0,
                                             0.07, 0.055, 0,    0.09, 0,    0.1,  0.12, -1};

const std::vector<double> kSummaryShares = {0, 0, 0.15, 0.1, 0.1, 0.1, 0.065, 0.09, 0.065, 0.09, 0.065, 0.09};

}  // namespace

int WarningQuantityOf(const QString& text) { return static_cast<int>(std::trunc(NumberValue(text))); }

int StoredWarningQuantity(const IniFile& settings) {
  return WarningQuantityOf(settings.ReadSetupValue(QStringLiteral("beep")));
}

bool GoodsSelection::HasGoods() const { return !id.isEmpty() && NumberValue(id) > kTolerance; }
qint64 GoodsSelection::GoodsId() const { return HasGoods() ? static_cast<qint64>(NumberValue(id)) : 0; }

void LayOutStockGrid(Grid& grid) {
  grid.BeginUpdate();
  LayOutGoodsHeader(grid, kStockCols,
                    {{2, 5, "商品信息"}, {6, 8, "进货信息"}, {9, 11, "销售信息"}, {12, 13, "存货信息"}, {14, 16, "备注信息"}},
                    {"名称", "型号", "编码", "类型", "数量", "单价", "金额", "数量", "单价", "金额", "数量", "金额",
                     "入库日期", "供货商", "备注"},
                    14);
  for (int c : {7, 8, 10, 11, 13}) grid.SetColumnMask(c, ColumnMask::Value, 1);
  grid.SetColumnKind(14, CellKind::Date);
  grid.EndUpdate();
}

ListFillSpec StockFillSpec(const GoodsQuery& query, int warning_quantity, bool show_zero_stock) {
  ListFillSpec plan;
  plan.sql = query.sql.toStdString();
  plan.values.assign(query.params.begin(), query.params.end());
  plan.fields = StockFields();
  AddStockRules(plan, kStock, warning_quantity, show_zero_stock);
  plan.colour_last_col = 16;
  plan.totals = {{kBought, 6}, {kBoughtAmount, 8}, {kSold, 9}, {kSoldAmount, 11}, {kStock, 12}, {kStockAmount, 13}};
  plan.label_column = 5;
  plan.sort_column = kStockQuantityCol;
  plan.totals_first_col = 2;
  plan.totals_last_col = 16;
  plan.line_first_col = 2;
  plan.line_last_col = 16;
  return plan;
}

FillResult FillStockGrid(AppContext& ctx, Grid& grid, const GoodsQuery& query, int warning_quantity) {
  return FillList(ctx, grid, StockFillSpec(query, warning_quantity, ctx.settings.SetupFlag(QStringLiteral("zero"))));
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

void SetStockHiddenColumns(ColumnShares& shares, bool super_administrator, bool hide_buy_price, bool hide_buy_amount,
                           bool hide_stock_amount) {
  if (!super_administrator) return;  // the operator's columns are locked whatever the toggles
  // A ticked toggle hides its column; clearing it gives the column back its share.
  shares.SetShare(kStockBuyPriceCol, hide_buy_price ? 0.0 : 0.05);
  shares.SetShare(kStockBuyAmountCol, hide_buy_amount ? 0.0 : 0.075);
  shares.SetShare(kStockStockAmountCol, hide_stock_amount ? 0.0 : 0.075);
}

void LayOutSummaryGrid(Grid& grid) {
  grid.BeginUpdate();
  LayOutGoodsHeader(grid, kSummaryCols, {{2, 5, "商品信息"}, {6, 7, "进货信息"}, {8, 9, "销售信息"}, {10, 11, "存货信息"}},
                    {"名称", "型号", "编码", "类型", "数量", "金额", "数量", "金额", "数量", "金额"}, kSummaryCols - 1);
  grid.EndUpdate();
}

FillResult FillSummaryGrid(AppContext& ctx, Grid& grid, int warning_quantity) {
  enum { kSId, kSName, kSModel, kSCode, kSCategory, kSBought, kSBoughtAmount, kSSold, kSSoldAmount, kSStock,
         kSStockAmount };
  ListFillSpec plan;
  plan.sql = "select * from buy";
  plan.fields = {{"ID", FieldKind::Number},       {"名称"},
                 {"型号"},                        {"编码"},
                 {"类型"},                        {"进货数量", FieldKind::Number},
                 {"进货金额", FieldKind::Number}, {"销售数量", FieldKind::Number},
                 {"销售金额", FieldKind::Number}, {"存货数量", FieldKind::Number},
                 {"存货金额", FieldKind::Number}};
  AddStockRules(plan, kSStock, warning_quantity, ctx.settings.SetupFlag(QStringLiteral("zero")));
  plan.colour_last_col = 11;
  plan.totals = {{kSBought, 6},     {kSBoughtAmount, 7}, {kSSold, 8},
                 {kSSoldAmount, 9}, {kSStock, 10},       {kSStockAmount, 11}};
  plan.label_column = 2;
  plan.sort_column = -1;  // the compact view keeps the table's order
  plan.totals_first_col = 2;
  plan.totals_last_col = 11;
  plan.line_first_col = 2;
  plan.line_last_col = -1;
  return FillList(ctx, grid, plan);
}

ColumnShares* AttachSummaryShares(Grid& grid, bool super_administrator) {
  if (!super_administrator)
    for (int c : {7, 9, 11}) grid.SetColumnLockedHidden(c, true);  // amounts stay hidden from operators
  return new ColumnShares(grid, grid, kStockFirstColWidth, kSummaryShares);
}

std::expected<void, QString> ExportStockGrid(const Grid& grid, const QString& path) {
  return ExportToExcel(grid, path, true, true);
}

}  // namespace hemulu
