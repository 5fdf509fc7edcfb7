#pragma once
// The commands of the sales page's pop-up menu 销售快捷菜单, and the items that offer them.

#include <vector>

#include "ui/PopupMenu.h"

namespace hemulu {

inline const QString kSalesMenu = QStringLiteral("销售快捷菜单");

enum class SalesCommand {
  Edit,
  Delete,
  PrintReceipt,
  FindReceipt,
  Statement,
  Export,
  Print,
  HideSellPrice,
  HideSaleDate,
  HideDebt,
  HideProfit,
  HideCustomer,
  ShowAll,
};

const std::vector<MenuItem<SalesCommand>>& SalesMenuItems();

}  // namespace hemulu
