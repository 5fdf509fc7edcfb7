#include <QPointer>
#include <memory>
#include <vector>

#include "admin/AccountsWindow.h"
#include "admin/MaintenanceWindow.h"
#include "admin/SettingsWindow.h"
#include "app/MainMenus.h"
#include "app/Program.h"
#include "money/BankMovementWindow.h"
#include "money/BankPage.h"
#include "money/LedgerPage.h"
#include "sales/ChartsPage.h"
#include "sales/CheckoutWindow.h"
#include "sales/DebtorsView.h"
#include "sales/SaleEditWindow.h"
#include "sales/SaleWindow.h"
#include "sales/SalesPage.h"
#include "stock/GoodsEntryWindow.h"
#include "stock/GoodsHistoryWindow.h"
#include "stock/NameInitials.h"
#include "stock/StockPage.h"
#include "stock/SummaryPage.h"

namespace hemulu {

// Each subsystem plugs its page or window in here as it arrives; until then the main
// window shows the page's placeholder and the window items do nothing.
MainWindowParts ProgramParts(AppContext& ctx) {
  MainWindowParts parts;
  // The goods row chosen last, on the stock page or the summary view.
  auto selection = std::make_shared<GoodsSelection>();
  parts.create_page = [&ctx, selection](PageIndex page_index, QWidget* parent) -> QWidget* {
    MainWindow* main = MainWindow::Of(parent);
    if (!main) return nullptr;
    switch (page_index) {
      case kStockPage: {
        StockPageHooks hooks;
        hooks.show_page = [main](PageIndex page) { main->ShowPage(page); };
        // The pages that show the sale's goods and the sales refill themselves when it
        // commits (ui/LiveRefill.h).
        hooks.open_sale = [&ctx, main](qint64 goods_id) { SaleWindow::Open(ctx, goods_id, main); };
        return new StockPage(ctx, main->Menu(kStockMenu), *selection, std::move(hooks), parent);
      }
      case kSalesPage: {
        SalesPageHooks hooks;
        hooks.initials_of = [](const QString& name) { return NameInitials(name); };
        hooks.bank_changed = [main] {
          if (auto* bank = qobject_cast<BankPage*>(main->Page(kBankPage))) bank->FillBankList();
        };
        return new SalesPage(ctx, main->Menu(kSalesMenu), std::move(hooks), parent);
      }
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
    if (auto* charts = qobject_cast<ChartsPage*>(page)) charts->Refill();
  };
  parts.refill_page = [selection](PageIndex page_index, QWidget* page) {
    switch (page_index) {
      case kStockPage:
        if (auto* stock = qobject_cast<StockPage*>(page)) {
          // A goods ID chosen before belongs to the replaced data.
          selection->id.clear();
          stock->FillStockList();
          stock->RefillPickLists();
        }
        break;
      case kSalesPage:
        if (auto* sales = qobject_cast<SalesPage*>(page)) {
          sales->Refill();
          sales->RefillPickLists();
          if (sales->ShowsDebtors()) (void)sales->Debtors()->Refill();
        }
        break;
      case kLedgerPage:
        if (auto* ledger = qobject_cast<LedgerPage*>(page)) {
          ledger->FillLedgerList();
          ledger->FillLedgerPickLists();
        }
        break;
      case kBankPage:
        if (auto* bank = qobject_cast<BankPage*>(page)) bank->FillBankList();
        break;
      case kSummaryPage:
        if (auto* summary = qobject_cast<SummaryPage*>(page)) summary->Refill();
        break;
      default:
        break;
    }
  };
  parts.forget_old_rows = [selection](QWidget* main) {
    selection->id.clear();
    // Windows that would write to a row ID of the old data. A window for a new record
    // holds none and keeps what the user has typed.
    std::vector<QWidget*> stale;
    for (auto* w : main->findChildren<GoodsEntryWindow*>())
      if (w->EntryMode() != GoodsEntryWindow::Mode::NewGoods) stale.push_back(w);
    for (auto* w : main->findChildren<SaleEditWindow*>()) stale.push_back(w);
    for (auto* w : main->findChildren<BankMovementWindow*>())
      if (w->MovementId() != 0) stale.push_back(w);
    int closed = 0;
    // A basket holds goods IDs of the old data too.
    for (auto* w : main->findChildren<CheckoutWindow*>())
      if (w->ForgetBasket()) ++closed;
    for (QWidget* w : stale) {
      if (!w->isVisible()) continue;
      w->close();
      ++closed;
    }
    return closed;
  };
  parts.open_settings = [&ctx](QWidget* parent) {
    SettingsWindow window(ctx, parent);
    window.exec();
  };
  parts.open_user_management = [&ctx](QWidget* parent) {
    AccountsWindow window(ctx, parent);
    window.exec();
  };
  parts.open_checkout = [&ctx](QWidget* parent) {
    CheckoutHooks hooks;
    // The goods history belongs to the stock subsystem: opened from here.
    hooks.open_history = [&ctx](qint64 goods_id, QWidget* owner) {
      auto* w = new GoodsHistoryWindow(ctx, goods_id, owner);
      w->setAttribute(Qt::WA_DeleteOnClose);
      w->show();
      w->raise();
      w->activateWindow();
    };
    CheckoutWindow::Open(ctx, parent, std::move(hooks));
  };
  parts.open_data_maintenance = [&ctx](QWidget* parent) {
    MainWindow* main = MainWindow::Of(parent);
    QPointer<MaintenanceWindow> shown;
    bool account_gone = false;
    MaintenanceWindow window(
        ctx,
        [main, &shown, &account_gone] {
          if (!main || main->DataReplaced()) return;
          // The login ends: the main window, this window's owner, is closed once it returns.
          account_gone = true;
          if (shown) shown->reject();
        },
        parent);
    bool restart = false;
    window.SetRestart([&restart] { restart = true; });
    shown = &window;
    window.exec();
    if (restart && main) {
      main->RequestRestart();
      return;
    }
    if (account_gone && main) main->ReturnToLogin();
  };
  return parts;
}

}  // namespace hemulu
