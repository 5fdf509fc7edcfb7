#include "sales/SalesMenus.h"

namespace hemulu {

const std::vector<MenuItem<SalesCommand>>& SalesMenuItems() {
  using enum SalesCommand;
  static const std::vector<MenuItem<SalesCommand>> items = {
      {"修改数据", Edit},
      {kMenuSeparator},
      {"删除数据", Delete, kSuperOnly},
      {kMenuSeparator},
      {"小票打印", PrintReceipt},
      {"按小票号查询", FindReceipt},
      {kMenuSeparator},
      {"客户对账单", Statement},
      {kMenuSeparator},
      {"输出Excel", Export},
      {kMenuSeparator},
      {"打印销售", Print},
      {"设置显示信息",
       {{"隐藏销售单价", HideSellPrice},
        {"隐藏销售日期", HideSaleDate},
        {"隐藏欠款金额", HideDebt},
        {"隐藏净利润", HideProfit},
        {kMenuSeparator},
        {"隐藏全部客户信息", HideCustomer},
        {kMenuSeparator},
        {"显示全部信息", ShowAll}}},
  };
  return items;
}

}  // namespace hemulu
