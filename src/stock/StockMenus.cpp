#include "stock/StockMenus.h"

namespace hemulu {

const std::vector<MenuItem<StockCommand>>& StockMenuItems() {
  using enum StockCommand;
  static const std::vector<MenuItem<StockCommand>> items = {
      {"商品入库", NewGoods},
      {kMenuSeparator},
      {"商品续存", Restock},
      {"修改(退货)", Edit, kSuperOnly},
      {"删除", Delete, kSuperOnly},
      {"商品流水", ShowHistory},
      {kMenuSeparator},
      {"查看记录", {{"销售记录", ShowSalesRecords}, {"汇总统计", ShowSummary}}},
      {kMenuSeparator},
      {"刷新显示", Refresh},
      {"导出Excel", Export},
      {"打印", Print},
      {kMenuSeparator},
      {"显示模式",
       {{"隐藏进货单价", HideBuyPrice, kSuperOnly},
        {"隐藏进货金额", HideBuyAmount, kSuperOnly},
        {"隐藏存货金额", HideStockAmount, kSuperOnly},
        {"查看进货单价", ShowBuyPrice}}},
  };
  return items;
}

const std::vector<MenuItem<SummaryCommand>>& SummaryMenuItems() {
  static const std::vector<MenuItem<SummaryCommand>> items = {{"刷新显示", SummaryCommand::Refresh}};
  return items;
}

}  // namespace hemulu
