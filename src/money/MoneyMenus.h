#pragma once
// The commands of the ledger page's and the bank page's pop-up menus, and the items
// that offer them.

#include <vector>

#include "ui/PopupMenu.h"

namespace hemulu {

inline const QString kLedgerMenu = QStringLiteral("其他快捷菜单");
inline const QString kBankMenu = QStringLiteral("存款快捷菜单");

enum class LedgerCommand { Delete, Export, Print };
enum class BankCommand { New, Edit, Delete, Details, Summary, Export, Print };

const std::vector<MenuItem<LedgerCommand>>& LedgerMenuItems();
const std::vector<MenuItem<BankCommand>>& BankMenuItems();

}  // namespace hemulu
