#include "app/MainMenus.h"

#include <QMenu>

namespace hemulu {

namespace {

const std::vector<MenuItem<ShellCommand>>& SystemMenuItems() {
  using enum ShellCommand;
  static const std::vector<MenuItem<ShellCommand>> items = {
      {"系统设置", Settings}, {"用户管理", UserManagement}, {"数据备份", DataBackup}, {kMenuSeparator},
      {"官方网站", Website},  {"关于我们", About},          {kMenuSeparator},         {"退出程序", Quit}};
  return items;
}

const std::vector<MenuItem<ShellCommand>>& HelpMenuItems() {
  using enum ShellCommand;
  static const std::vector<MenuItem<ShellCommand>> items = {
      {"最新特性", Features}, {kMenuSeparator}, {"使用帮助", Help}, {"在线帮助", OnlineHelp}};
  return items;
}

const std::vector<MenuItem<SalesCommand>>& SalesMenuItems() {
  using enum SalesCommand;
  static const std::vector<MenuItem<SalesCommand>> items = {
      {"修改数据", Edit},
      {kMenuSeparator},
      {"删除数据", Delete, kSuperOnly},
      {kMenuSeparator},
      {"小票打印", PrintReceipt},
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

}  // namespace

QHash<QString, QMenu*> BuildMainMenus(QWidget* owner, bool super) {
  QHash<QString, QMenu*> menus;
  const auto add = [&](const QString& name, const auto& items) {
    menus.insert(name, BuildPopupMenu(name, items, super, owner));
  };
  add(kSystemMenu, SystemMenuItems());
  add(kHelpMenu, HelpMenuItems());
  add(kStockMenu, StockMenuItems());
  add(kSalesMenu, SalesMenuItems());
  add(kLedgerMenu, LedgerMenuItems());
  add(kBankMenu, BankMenuItems());
  add(kSummaryMenu, SummaryMenuItems());
  return menus;
}

}  // namespace hemulu
