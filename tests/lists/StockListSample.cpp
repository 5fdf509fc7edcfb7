#include "StockListSample.h"

#include <cmath>

#include "data/TextFormat.h"
#include "lists/Grid.h"

namespace hemulu::sample {

void LayOutStockGrid(Grid& grid) {
  grid.BeginUpdate();
  grid.SetRows(50);
  grid.SetCols(17);
  grid.SetFixedRows(2);
  grid.SetRowHeight(0, 26);
  grid.SetRowHeight(1, 23);
  grid.SetRangeMerge(0, 1, 1, 1);
  const struct {
    int first, last;
    const char* caption;
  } groups[] = {{2, 5, "商品信息"}, {6, 8, "进货信息"}, {9, 11, "销售信息"}, {12, 13, "存货信息"}, {14, 16, "备注信息"}};
  for (const auto& g : groups) {
    grid.SetRangeMerge(0, g.first, 0, g.last);
    grid.SetCellText(0, g.first, QString::fromUtf8(g.caption));
  }
  const char* captions[] = {"名称", "型号", "编码", "类型", "数量", "单价", "金额", "数量",
                            "单价", "金额", "数量", "金额", "入库日期", "供货商", "备注"};
  for (int c = 2; c <= 16; ++c) grid.SetCellText(1, c, QString::fromUtf8(captions[c - 2]));
  for (int c = 6; c <= 14; ++c) grid.SetColumnAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
  for (int c : {7, 8, 10, 11, 13}) grid.SetColumnMask(c, ColumnMask::Value, 1);
  grid.SetExtendLastCol(true);
  grid.EndUpdate();
}

std::vector<double> StockShares() {
  return {0,     0,     0.075, 0.05,  0.05,  0.06,  0.045, 0.06, 0.075,
          0.045, 0.055, 0.075, 0.045, 0.075, 0.085, 0.07,  -1};
}

ListFillSpec StockFillSpec(std::string sql, int warning, bool show_zero) {
  ListFillSpec spec;
  spec.sql = std::move(sql);
  using K = FieldKind;
  spec.fields = {{"ID", K::Number},       {"名称", K::Text},      {"型号", K::Text},      {"编码", K::Text},
                 {"类型", K::Text},       {"进货数量", K::Number}, {"进货单价", K::Number}, {"进货金额", K::Number},
                 {"销售数量", K::Number}, {"销售单价", K::Number}, {"销售金额", K::Number}, {"存货数量", K::Number},
                 {"存货金额", K::Number}, {"入库日期", K::Date},   {"供货商", K::Text},     {"备注", K::Text}};
  const double w = warning;
  auto low = [w](const FillRecord& r) { return r.Number(kStockField) - w < -kTolerance; };
  if (show_zero) {
    spec.colour_rules = {{QStringLiteral("beepcolor"), low},
                         {QStringLiteral("zerocolor"),
                          [](const FillRecord& r) { return std::fabs(r.Number(kStockField)) <= kTolerance; }}};
  } else {
    spec.row_filter = [](const FillRecord& r) { return r.Number(kStockField) > kTolerance; };
    spec.colour_rules = {{QStringLiteral("beepcolor"), low}};
  }
  spec.colour_last_col = 16;
  spec.totals = {{5, 6}, {7, 8}, {8, 9}, {10, 11}, {11, 12}, {12, 13}};
  spec.label_column = 5;
  spec.sort_column = 12;
  spec.totals_first_col = 2;
  spec.totals_last_col = 16;
  spec.line_first_col = 2;
  spec.line_last_col = 16;
  return spec;
}

}  // namespace hemulu::sample
