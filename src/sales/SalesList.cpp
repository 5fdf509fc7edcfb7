#include "sales/SalesList.h"

#include "data/AppContext.h"
#include "lists/ColumnShares.h"
#include "lists/Grid.h"
#include "lists/GridKeyedFill.h"

namespace hemulu {

namespace {

const std::vector<double> kShares = {0,     0,    0,     0.1,   0.065, 0.06,  0.06,  0.055, 0.055,
                                     0.085, 0.09, 0.065, 0.085, 0.035, 0.045, 0.045, 0.06,  0.06};

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
  const char* captions[] = {"名称",   "型号",   "编码", "类型", "单价", "数量", "金额", "日期",
                            "欠款额", "净利润", "编号", "名称", "电话", "地址", "备注"};
  int col = 3;
  for (const char* caption : captions) grid.SetCellText(1, col++, QString::fromUtf8(caption));
  for (int c = kSalePriceCol; c <= kSaleProfitCol; ++c) {
    grid.SetColumnAlignment(c, kRight);
    grid.SetCellAlignment(1, c, Qt::AlignCenter);
  }
  for (int c : {kSalePriceCol, kSaleAmountCol, kSaleDebtCol, kSaleProfitCol})
    grid.SetColumnMask(c, ColumnMask::Value, 1);
  grid.SetColumnMask(kSaleQuantityCol, ColumnMask::Value);
  grid.EndUpdate();
}

FillResult FillSalesGrid(AppContext& ctx, Grid& grid, const SalesQuery& query) {
  return FillGridKeyed(ctx, grid, SalesListPlan(ctx.session, query));
}

ColumnShares* AttachSalesShares(Grid& grid, QWidget& host, bool super_administrator) {
  // An operator never sees profit: locked, so no resize, drag or menu item opens it.
  if (!super_administrator) grid.SetColumnLockedHidden(kSaleProfitCol, true);
  return new ColumnShares(grid, host, kSaleFirstColWidth, kShares);
}

}  // namespace hemulu
