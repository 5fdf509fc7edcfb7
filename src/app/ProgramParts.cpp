#include <memory>

#include "app/MainMenus.h"
#include "app/Program.h"
#include "money/BankPage.h"
#include "money/LedgerPage.h"
#include "stock/StockPage.h"
#include "stock/SummaryPage.h"

namespace hemulu {

// Each subsystem plugs its page or window in here as it arrives; until then the main
// window shows the page's placeholder and the window items do nothing.
MainWindowParts ProgramParts(AppContext& ctx) {
  MainWindowParts parts;
  // The goods row chosen last, on the stock page or the summary view.
  auto selection = std::make_shared<GoodsSelection>();
  parts.create_page = [&ctx, selection](int page_index, QWidget* parent) -> QWidget* {
    MainWindow* main = MainWindow::Of(parent);
    if (!main) return nullptr;
    switch (page_index) {
      case kStockPage: {
        StockPageHooks hooks;
        hooks.show_page = [main](PageIndex page) { main->ShowPage(page); };
        // The sale window arrives with the sales subsystem; until then a double-click
        // only chooses the row.
        return new StockPage(ctx, main->Menu(kStockMenu), *selection, std::move(hooks), parent);
      }
      case kLedgerPage:
        return new LedgerPage(ctx, main->Menu(kLedgerMenu), parent);
      case kBankPage:
        return new BankPage(ctx, main->Menu(kBankMenu), parent);
      case kSummaryPage:
        return new SummaryPage(ctx, main->Menu(kSummaryMenu), *selection, parent);
      default:
        return nullptr;
    }
  };
  return parts;
}

}  // namespace hemulu
