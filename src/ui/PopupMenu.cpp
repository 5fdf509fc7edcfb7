#include "ui/PopupMenu.h"

#include <QShortcut>

namespace hemulu::detail {

namespace {

void AddItems(QMenu* menu, const std::vector<UntypedMenuItem>& items, bool super_administrator) {
  for (const UntypedMenuItem& item : items) {
    if (item.caption == kMenuSeparator) {
      menu->addSeparator();
      continue;
    }
    if (!item.sub_items.empty()) {
      auto* sub = new QMenu(item.caption, menu);
      sub->setObjectName(item.caption);
      sub->menuAction()->setObjectName(item.caption);
      AddItems(sub, item.sub_items, super_administrator);
      menu->addMenu(sub);
      continue;
    }
    QAction* action = menu->addAction(item.caption);
    action->setObjectName(item.caption);
    action->setData(item.command);
    if (item.super_only && !super_administrator) action->setVisible(false);
  }
}

}  // namespace

QMenu* BuildMenu(const QString& name, const std::vector<UntypedMenuItem>& items, bool super_administrator,
                 QWidget* owner) {
  auto* menu = new QMenu(owner);
  menu->setObjectName(name);
  AddItems(menu, items, super_administrator);
  return menu;
}

QAction* FindCommand(const QMenu* menu, int command) {
  if (!menu) return nullptr;
  for (QAction* action : menu->actions()) {
    if (QMenu* sub = action->menu()) {
      if (QAction* found = FindCommand(sub, command)) return found;
      continue;
    }
    if (!action->isSeparator() && action->data().toInt() == command && action->data().isValid()) return action;
  }
  return nullptr;
}

}  // namespace hemulu::detail

namespace hemulu {

void BindInsertKey(QWidget* page, QAction* action) {
  if (!action) return;
  // Shown in the menu only: a shortcut of a hidden menu never fires, and the page's
  // own shortcut below is live only while the page is visible.
  action->setShortcut(QKeySequence(Qt::Key_Insert));
  action->setShortcutContext(Qt::WidgetShortcut);
  auto* key = new QShortcut(QKeySequence(Qt::Key_Insert), page);
  QObject::connect(key, &QShortcut::activated, action, [action] {
    if (action->isEnabled() && action->isVisible()) action->trigger();
  });
}

}  // namespace hemulu
