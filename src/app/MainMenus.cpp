#include "app/MainMenus.h"

#include <QAction>
#include <QMenu>
#include <vector>

namespace hemulu {

namespace {

const QString kSeparator = QStringLiteral("—");

struct ItemDef {
  QString text;
  std::vector<QString> sub_items = {};  // non-empty for a sub-menu
};

struct MenuDef {
  QString name;
  std::vector<ItemDef> items;
};

const std::vector<MenuDef>& MenuDefs() {
  static const std::vector<MenuDef> defs = {
      {kSystemMenu,
       {{"系统设置"}, {"用户管理"}, {"数据备份"}, {kSeparator}, {"官方网站"}, {"关于我们"}, {kSeparator}, {"退出程序"}}},
      {kHelpMenu, {{"最新特性"}, {kSeparator}, {"使用帮助"}, {"在线帮助"}}},
      {kStockMenu,
       {{"商品入库"},
        {kSeparator},
        {"商品续存"},
        {"修改(退货)"},
        {"删除"},
        {kSeparator},
        {"查看记录", {"销售记录", "汇总统计"}},
        {kSeparator},
        {"刷新显示"},
        {"导出Excel"},
        {"打印"},
        {kSeparator},
        {"显示模式", {"隐藏进货单价", "隐藏进货金额", "隐藏存货金额", "查看进货单价"}}}},
      {kSalesMenu,
       {{"修改数据"},
        {kSeparator},
        {"删除数据"},
        {kSeparator},
        {"小票打印"},
        {kSeparator},
        {"输出Excel"},
        {kSeparator},
        {"打印销售"},
        {"设置显示信息",
         {"隐藏销售单价", "隐藏销售日期", "隐藏欠款金额", "隐藏净利润", kSeparator, "隐藏全部客户信息", kSeparator,
          "显示全部信息"}}}},
      {kLedgerMenu, {{"删 除 数 据"}, {kSeparator}, {"导出Excel"}, {"打印"}}},
      {kBankMenu,
       {{"新建存取"}, {"修改存取"}, {"删除存取"}, {kSeparator}, {"存取细节"}, {"存取汇总"}, {kSeparator}, {"导出Excel"},
        {"打印"}}},
      {kSummaryMenu, {{"刷新显示"}}},
  };
  return defs;
}

void AddItem(QMenu* menu, const QString& text) {
  if (text == kSeparator) {
    menu->addSeparator();
    return;
  }
  QAction* action = menu->addAction(text);
  action->setObjectName(text);
}

}  // namespace

QHash<QString, QMenu*> BuildMainMenus(QWidget* owner) {
  QHash<QString, QMenu*> menus;
  for (const MenuDef& def : MenuDefs()) {
    auto* menu = new QMenu(owner);
    menu->setObjectName(def.name);
    for (const ItemDef& item : def.items) {
      if (item.sub_items.empty()) {
        AddItem(menu, item.text);
        continue;
      }
      auto* sub = new QMenu(item.text, menu);
      sub->setObjectName(item.text);
      sub->menuAction()->setObjectName(item.text);
      for (const QString& text : item.sub_items) AddItem(sub, text);
      menu->addMenu(sub);
    }
    menus.insert(def.name, menu);
  }
  return menus;
}

void HideOperatorItems(const QHash<QString, QMenu*>& menus) {
  static const std::vector<std::pair<QString, QString>> kHidden = {
      {kStockMenu, "修改(退货)"},   {kStockMenu, "删除"},         {kStockMenu, "隐藏进货单价"},
      {kStockMenu, "隐藏进货金额"}, {kStockMenu, "隐藏存货金额"}, {kSalesMenu, "删除数据"},
      {kLedgerMenu, "删 除 数 据"},
  };
  for (const auto& [menu_name, item] : kHidden) {
    QMenu* menu = menus.value(menu_name);
    if (!menu) continue;
    if (auto* action = menu->findChild<QAction*>(item)) action->setVisible(false);
  }
}

}  // namespace hemulu
