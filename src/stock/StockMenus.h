#pragma once
// The commands of the stock page's and the summary view's pop-up menus, and the items
// that offer them.

#include <vector>

#include "ui/PopupMenu.h"

namespace hemulu {

inline const QString kStockMenu = QStringLiteral("库管快捷菜单");
inline const QString kSummaryMenu = QStringLiteral("汇总快捷菜单");

enum class StockCommand {
  NewGoods,
  Restock,
  Edit,
  Delete,
  ShowHistory,
  ShowSalesRecords,
  ShowSummary,
  Refresh,
  Export,
  Print,
  HideBuyPrice,
  HideBuyAmount,
  HideStockAmount,
  ShowBuyPrice,
};

enum class SummaryCommand { Refresh };

const std::vector<MenuItem<StockCommand>>& StockMenuItems();
const std::vector<MenuItem<SummaryCommand>>& SummaryMenuItems();

}  // namespace hemulu
