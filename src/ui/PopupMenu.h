#pragma once
// The pop-up menus of the pages. A subsystem names its menu's commands in an enum class
// of its own and lists the items (caption and command) once; the page connects each
// command by that typed key, never by the caption it shows.

#include <QAction>
#include <QMenu>
#include <QString>
#include <functional>
#include <vector>

namespace hemulu {

// The caption that stands for a separator line in an item list.
inline const QString kMenuSeparator = QStringLiteral("—");

// One item of a pop-up menu: its caption and the command it gives. A sub-menu has
// sub-items and no command of its own; a separator has the caption kMenuSeparator.
template <class Command>
struct MenuItem {
  // An item that gives a command (or, with kMenuSeparator, a separator line).
  MenuItem(QString caption_text, Command item_command = {}, bool only_super = false)
      : caption(std::move(caption_text)), command(item_command), super_only(only_super) {}
  // A sub-menu.
  MenuItem(QString caption_text, std::vector<MenuItem> items)
      : caption(std::move(caption_text)), sub_items(std::move(items)) {}

  QString caption;
  Command command{};
  // Hidden, once, from everyone but 超级管理员; the command itself refuses an operator too.
  bool super_only = false;
  std::vector<MenuItem> sub_items;
};

// The third value of an item that only 超级管理员 sees.
inline constexpr bool kSuperOnly = true;

namespace detail {
// The untyped items the typed lists turn into: a command is its enum's value.
struct UntypedMenuItem {
  QString caption;
  int command = -1;
  bool super_only = false;
  std::vector<UntypedMenuItem> sub_items;
};
QMenu* BuildMenu(const QString& name, const std::vector<UntypedMenuItem>& items, bool super_administrator,
                 QWidget* owner);
QAction* FindCommand(const QMenu* menu, int command);

template <class Command>
std::vector<UntypedMenuItem> Untyped(const std::vector<MenuItem<Command>>& items) {
  std::vector<UntypedMenuItem> out;
  out.reserve(items.size());
  for (const MenuItem<Command>& item : items) {
    const bool command = item.sub_items.empty() && item.caption != kMenuSeparator;
    out.push_back(
        {item.caption, command ? static_cast<int>(item.command) : -1, item.super_only, Untyped(item.sub_items)});
  }
  return out;
}
}  // namespace detail

// Builds the menu, a child of `owner`, with objectName `name`. Each item's QAction has
// its caption as objectName and its command as data; a sub-menu's QMenu is named by
// its caption. Items marked super_only are hidden when `super_administrator` is false.
template <class Command>
QMenu* BuildPopupMenu(const QString& name, const std::vector<MenuItem<Command>>& items, bool super_administrator,
                      QWidget* owner) {
  return detail::BuildMenu(name, detail::Untyped(items), super_administrator, owner);
}

// The action of a command in the menu or its sub-menus; nullptr when the menu is null
// or lacks it.
template <class Command>
QAction* CommandAction(const QMenu* menu, Command command) {
  return detail::FindCommand(menu, static_cast<int>(command));
}

// Runs `run` whenever the command is triggered; `receiver` ends the connection.
template <class Command>
void OnCommand(const QMenu* menu, Command command, QObject* receiver, std::function<void()> run) {
  if (QAction* action = CommandAction(menu, command))
    QObject::connect(action, &QAction::triggered, receiver, [run = std::move(run)] { run(); });
}

// The page's "new" command on the Insert key: while `page` shows in its window, Insert
// triggers `action` (nothing when it is null or disabled), and the menu item names the key.
void BindInsertKey(QWidget* page, QAction* action);

}  // namespace hemulu
