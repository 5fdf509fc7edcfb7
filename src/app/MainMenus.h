#pragma once
// The main window's seven pop-up menus. The shell's own two menus (system, help) have
// their commands here; each subsystem lists its page's menu with its own command enum
// (stock/StockMenus.h) and the main window only builds and places it.

#include <QHash>
#include <QString>

#include "money/MoneyMenus.h"
#include "sales/SalesMenus.h"
#include "stock/StockMenus.h"
#include "ui/PopupMenu.h"

class QMenu;
class QWidget;

namespace hemulu {

inline const QString kSystemMenu = QStringLiteral("系统菜单");
inline const QString kHelpMenu = QStringLiteral("帮助菜单");

enum class ShellCommand {
  Settings,
  UserManagement,
  DataBackup,
  Website,
  About,
  Quit,
  Features,
  Help,
  OnlineHelp,
};

// Creates the seven menus, children of `owner`, by name. The items that only
// 超级管理员 may use are hidden, once, for anyone else.
QHash<QString, QMenu*> BuildMainMenus(QWidget* owner, bool super_administrator);

}  // namespace hemulu
