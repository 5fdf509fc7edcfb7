// hemulu-bench cases of the money pages: the ledger and bank detail fills of 100,000
// rows each and the bank summary, each up to the grid painted once.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QWidget>

#include "BenchSupport.h"
#include "lists/ColumnShares.h"
#include "lists/Grid.h"
#include "money/BankLogic.h"
#include "money/MoneyLists.h"

using namespace hemulu;
using namespace hemulu::bench;

namespace {

// A grid in a shown window of a usual size, so every fill ends in a real paint.
struct GridWindow {
  explicit GridWindow(const char* name) {
    window.resize(1280, 720);
    grid = new Grid(&window, QString::fromUtf8(name));
    grid->setGeometry(window.rect());
  }
  void Show() {
    window.show();
    QCoreApplication::processEvents();
  }
  double Time(const std::function<void()>& fill) {
    QElapsedTimer t;
    t.start();
    fill();
    QCoreApplication::processEvents();
    grid->repaint();
    return t.nsecsElapsed() / 1e6;
  }
  QWidget window;
  Grid* grid = nullptr;
};

void RunFill(BenchShop& shop, GridWindow& w, const char* name, const char* sql, const std::function<void()>& fill) {
  sqlite3* plain = shop.Plain();
  const double plain_read = MedianMs(5, [&] { BareRead(plain, sql); });
  std::vector<double> base, times;
  for (int i = 0; i < 5; ++i) {
    base.push_back(BareRead(shop.db().Handle(), sql));
    times.push_back(w.Time(fill));
  }
  PrintCase(name, Median(times), Median(base), plain_read);
}

void LedgerFill100k(BenchShop& shop) {
  shop.EnsureLedger();
  GridWindow w("其他收支框架");
  LayOutLedgerGrid(*w.grid);
  new ColumnShares(*w.grid, *w.grid, kLedgerFirstColWidth, LedgerSetUpShares());
  w.Show();
  RunFill(shop, w, "ledger_fill_100k", "select * from other",
          [&] { FillLedgerGrid(shop.ctx(), *w.grid, AllLedgerQuery()); });
  PrintMemory("ledger_fill_100k");
}
HEMULU_BENCH_CASE(400, "ledger_fill_100k", LedgerFill100k);

void BankFill100k(BenchShop& shop) {
  shop.EnsureBank();
  GridWindow w("存款框架");
  LayOutBankDetail(*w.grid);
  new ColumnShares(*w.grid, *w.grid, 0, BankDetailShares());
  w.Show();
  RunFill(shop, w, "bank_fill_100k", "select * from bank", [&] { FillBankGrid(shop.ctx(), *w.grid, AllBankQuery()); });

  LayOutBankSummary(*w.grid);
  const QByteArray summary_sql = BankSummaryQuery().sql.toUtf8();
  RunFill(shop, w, "bank_summary_100k", summary_sql.constData(), [&] { FillBankSummaryGrid(shop.ctx(), *w.grid); });
}
HEMULU_BENCH_CASE(410, "bank_fill_100k", BankFill100k);

}  // namespace
