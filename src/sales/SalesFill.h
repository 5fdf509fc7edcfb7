#pragma once
// The sales list's content without widgets: its columns and its fill plan, with the
// debt colour and the four totals.

#include "data/Session.h"
#include "lists/ListPlan.h"
#include "sales/SalesLogic.h"

namespace hemulu {

// Columns of the sales grid that the program refers to (field i of the plan lands in
// column i + 1).
inline constexpr int kSaleIdCol = 1;
inline constexpr int kSaleGoodsIdCol = 2;
inline constexpr int kSaleNameCol = 3;
inline constexpr int kSalePriceCol = 7;
inline constexpr int kSaleQuantityCol = 8;
inline constexpr int kSaleAmountCol = 9;
inline constexpr int kSaleDateCol = 10;
inline constexpr int kSaleDebtCol = 11;
inline constexpr int kSaleProfitCol = 12;
inline constexpr int kSaleCustomerFirstCol = 13;
inline constexpr int kSaleCustomerNameCol = 14;
inline constexpr int kSaleContactCol = 15;
inline constexpr int kSaleNoteCol = 17;
inline constexpr int kSaleCols = 18;

// The list reads every sale's ID and the four totals in one pass and the rows it shows
// a page at a time, so a million sales show at once.
ListPlan SalesListPlan(const SalesQuery& query);
// The same list for the logged-in user: an operator never gets the profit (cells empty,
// total 0), whatever the column toggles show.
ListPlan SalesListPlan(const Session& session, const SalesQuery& query);

}  // namespace hemulu
