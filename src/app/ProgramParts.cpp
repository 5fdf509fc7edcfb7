#include <memory>

#include "admin/DataMaintenanceWindow.h"
#include "admin/SettingsWindow.h"
#include "admin/UserManagementWindow.h"
#include "app/MainMenus.h"
#include "app/Program.h"
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
      case kSummaryPage:
        return new SummaryPage(ctx, main->Menu(kSummaryMenu), *selection, parent);
      default:
        return nullptr;
    }
  };
  parts.refill_page = [selection](int page_index, QWidget* page) {
    switch (page_index) {
      case kStockPage:
        if (auto* stock = qobject_cast<StockPage*>(page)) {
          // A goods ID chosen before belongs to the replaced data.
          selection->id.clear();
          stock->FillStockList();
          stock->RefillPickLists();
        }
        break;
      case kSummaryPage:
        if (auto* summary = qobject_cast<SummaryPage*>(page)) summary->Refill();
        break;
      default:
        break;
    }
  };
  parts.open_settings = [&ctx](QWidget* parent) {
    SettingsWindow window(ctx, parent);
    window.exec();
  };
  parts.open_user_management = [&ctx](QWidget* parent) {
    UserManagementWindow window(ctx, parent);
    window.exec();
  };
  parts.open_data_maintenance = [&ctx](QWidget* parent) {
    DataMaintenanceWindow window(
        ctx,
        [parent] {
          if (MainWindow* main = MainWindow::Of(parent)) main->RefillPages();
        },
        parent);
    window.exec();
  };
  return parts;
}

}  // namespace hemulu
