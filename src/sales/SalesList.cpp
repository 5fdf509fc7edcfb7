#include "sales/SalesList.h"

#include <cmath>

#include "data/TextFormat.h"
#include "lists/ColumnShares.h"
#include "lists/Grid.h"
#include "lists/GridKeyedFill.h"
#include "lists/Withheld.h"

namespace hemulu {

namespace {

// Field numbers of a sales record (field i lands in grid column i + 1).
enum SaleField { kFId, kFGoodsId, kFName, kFModel, kFCode, kFCategory, kFPrice, kFQuantity, kFAmount, kFDate, kFDebt,
                 kFProfit };

const std::vector<double> kShares = {0,     0,     0,     0.1,   0.065, 0.06,  0.06,  0.055, 0.055,
                                     0.085, 0.09,  0.065, 0.085, 0.035, 0.045, 0.045, 0.06,  0.06};

}  // namespace

const std::vector<double>& SalesShares() { return kShares; }

void LayOutSalesGrid(Grid& grid) {
  constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;
  grid.BeginUpdate();
  grid.SetCols(kSaleCols);
  grid.SetFixedRows(2);
  grid.SetRows(2);
  grid.SetExtendLastCol(true);
  grid.SetRowHeight(0, 26);
  grid.SetRowHeight(1, 23);
  grid.SetRangeMerge(0, 0, 1, 0);
  grid.SetColumnLockedHidden(kSaleIdCol, true);
  grid.SetColumnLockedHidden(kSaleGoodsIdCol, true);
  const struct {
    int first, last;
    const char* caption;
  } groups[] = {{2, 6, "商品信息"}, {7, 12, "销售信息"}, {13, 17, "客户信息"}};
  for (const auto& g : groups) {
    grid.SetRangeMerge(0, g.first, 0, g.last);
    grid.SetCellText(0, g.first, QString::fromUtf8(g.caption));
  }
  grid.SetCellAlignment(0, 7, Qt::AlignCenter);
  const char* captions[] = {"名称", "型号", "编码", "类型", "单价", "数量", "金额", "日期",
                            "欠款额", "净利润", "编号", "名称", "电话", "地址", "备注"};
  int col = 3;
  for (const char* caption : captions) grid.SetCellText(1, col++, QString::fromUtf8(caption));
  for (int c = kSalePriceCol; c <= kSaleProfitCol; ++c) {
    grid.SetColumnAlignment(c, kRight);
    grid.SetCellAlignment(1, c, Qt::AlignCenter);
  }
  for (int c : {kSalePriceCol, kSaleAmountCol, kSaleDebtCol, kSaleProfitCol}) grid.SetColumnMask(c, ColumnMask::Value, 1);
  grid.SetColumnMask(kSaleQuantityCol, ColumnMask::Value);
  grid.EndUpdate();
}

KeyedListPlan SalesListPlan(const SalesQuery& query) {
  KeyedListPlan plan;
  plan.table = "sell";
  plan.sql = query.sql.toStdString();
  plan.keys_sql = query.keys_sql.toStdString();
  plan.values.assign(query.params.begin(), query.params.end());
  plan.fields = {{"ID", FieldKind::Number},       {"UID", FieldKind::Number},      {"名称"},
                 {"型号"},                        {"编码"},                        {"类型"},
                 {"销售单价", FieldKind::Number}, {"销售数量", FieldKind::Number}, {"销售金额", FieldKind::Number},
                 {"销售日期", FieldKind::Day},    {"欠款额", FieldKind::Number},   {"净利润", FieldKind::Number},
                 {"客户编号"},                    {"客户名称"},                    {"联系方式"},
                 {"客户地址"},                    {"备注"}};
  plan.colour_rules.push_back({QStringLiteral("rmbcolor"), kFDebt, [](double debt) { return std::fabs(debt) > kTolerance; }});
  plan.colour_last_col = 17;
  plan.totals = {{kFQuantity, kSaleQuantityCol}, {kFAmount, kSaleAmountCol}, {kFDebt, kSaleDebtCol},
                 {kFProfit, kSaleProfitCol}};
  plan.label_column = kSaleNameCol;
  plan.sort_column = -1;
  plan.totals_first_col = 1;
  plan.totals_last_col = 17;
  plan.line_first_col = 1;
  plan.line_last_col = 17;
  return plan;
}

FillResult FillSalesGrid(AppContext& ctx, Grid& grid, const SalesQuery& query) {
  KeyedListPlan plan = SalesListPlan(query);
  // An operator never gets the profit, whatever the column toggles show.
  WithholdFromOperators(ctx.session, plan, {kFProfit});
  return FillGridKeyed(ctx, grid, plan);
}

ColumnShares* AttachSalesShares(Grid& grid, QWidget& host, bool super_administrator) {
  // An operator never sees profit: locked, so no resize, drag or menu item opens it.
  if (!super_administrator) grid.SetColumnLockedHidden(kSaleProfitCol, true);
  return new ColumnShares(grid, host, kSaleFirstColWidth, kShares);
}

}  // namespace hemulu
