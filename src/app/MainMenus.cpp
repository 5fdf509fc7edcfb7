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

const std::vector<MenuItem<LedgerCommand>>& LedgerMenuItems() {
  static const std::vector<MenuItem<LedgerCommand>> items = {{"删 除 数 据", LedgerCommand::Delete, kSuperOnly}};
  return items;
}

const std::vector<MenuItem<BankCommand>>& BankMenuItems() {
  using enum BankCommand;
  static const std::vector<MenuItem<BankCommand>> items = {{"新建存取", New},     {"修改存取", Edit},
                                                           {"删除存取", Delete},  {kMenuSeparator},
                                                           {"存取细节", Details}, {"存取汇总", Summary}};
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
