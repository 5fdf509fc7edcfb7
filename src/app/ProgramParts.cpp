#include <memory>

#include "app/MainMenus.h"
#include "app/Program.h"
#include "money/BankPage.h"
#include "money/LedgerPage.h"
#include "sales/ChartsPage.h"
#include "sales/SaleWindow.h"
#include "sales/SalesPage.h"
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
        hooks.open_sale = [&ctx, main](qint64 goods_id) {
          SaleWindow* sale = SaleWindow::Open(ctx, goods_id, main);
          if (!sale) return;
          // No figure on screen may be stale after a sale.
          QObject::connect(sale, &SaleWindow::SaleRecorded, main, [main] {
            if (auto* stock = qobject_cast<StockPage*>(main->Page(kStockPage))) stock->RefillStockList();
            if (auto* sales = qobject_cast<SalesPage*>(main->Page(kSalesPage))) {
              sales->Refill();
              sales->RefillPickLists();
            }
          });
        };
        return new StockPage(ctx, main->Menu(kStockMenu), *selection, std::move(hooks), parent);
      }
      case kSalesPage:
        return new SalesPage(ctx, main->Menu(kSalesMenu), parent);
      case kChartsPage:
        return new ChartsPage(ctx, parent);
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
  parts.recompute_charts = [](QWidget* page) {
    if (auto* charts = qobject_cast<ChartsPage*>(page)) charts->Recompute();
  };
  return parts;
}

}  // namespace hemulu
