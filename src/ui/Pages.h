#pragma once
// The pages of the main window's stack, in their order. A page that shows another
// page names it by this enum.

namespace hemulu {

enum PageIndex : int {
  kStockPage = 0,
  kSalesPage = 1,
  kChartsPage = 2,
  kLedgerPage = 3,
  kBankPage = 4,
  kSummaryPage = 5,
  kAboutPage = 6,
  kPageCount = 7
};

}  // namespace hemulu
