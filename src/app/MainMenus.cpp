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
