#pragma once
// The main window's pop-up menus. Each QMenu's objectName is the menu's name and each
// QAction's objectName is its caption, so the pages that own the commands can find and
// connect them.

#include <QHash>
#include <QString>

class QMenu;
class QWidget;

namespace hemulu {

inline const QString kSystemMenu = QStringLiteral("系统菜单");
inline const QString kHelpMenu = QStringLiteral("帮助菜单");
inline const QString kStockMenu = QStringLiteral("库管快捷菜单");
inline const QString kSalesMenu = QStringLiteral("销售快捷菜单");
inline const QString kLedgerMenu = QStringLiteral("其他快捷菜单");
inline const QString kBankMenu = QStringLiteral("存款快捷菜单");
inline const QString kSummaryMenu = QStringLiteral("汇总快捷菜单");

// Creates the seven menus, children of `owner`.
QHash<QString, QMenu*> BuildMainMenus(QWidget* owner);

// Hides, once, the items that only 超级管理员 may use: modifying and deleting goods,
// deleting sales and ledger entries, and the three column-hiding items of the stock
// list. The commands themselves refuse an operator as well.
void HideOperatorItems(const QHash<QString, QMenu*>& menus);

}  // namespace hemulu
