// hemulu-bench, sales: the sales list's first fill over 1,000,000 sales, one keystroke in
// each of the two busiest search boxes, and one durable sale.

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "BenchSupport.h"
#include "SalesSearchTiming.h"
#include "SharedTimings.h"
#include "data/AppContext.h"
#include "data/TextFormat.h"
#include "lists/Grid.h"
#include "sales/SalesList.h"
#include "sales/SalesLogic.h"
#include "sales/SalesPage.h"

using namespace hemulu;
using namespace hemulu::bench;

namespace {}  // namespace

// The sales page's first display as a user meets it after start-up (cold page cache),
// then refills of "select * from sell" with the cache warm.
void SalesFill1m(BenchShop& shop) {
  shop.EnsureSales();
  sqlite3* plain = shop.Plain();
  AppContext& ctx = shop.ctx();
  shop.Reopen();
  const double peak_before = PeakResidentMb();

  QWidget window;
  window.resize(1280, 720);
  QElapsedTimer t;
  t.start();
  auto* page = new SalesPage(ctx, nullptr, &window);
  page->setGeometry(window.rect());
  window.show();
  QCoreApplication::processEvents();
  page->SalesGrid()->repaint();
  const double first_display = t.nsecsElapsed() / 1e6;
  Grid& grid = *page->SalesGrid();
  shop.Reopen();
  const double cold_base = BareRead(shop.db().Handle(), "select * from sell");
  const double plain_read = MedianMs(3, [&] { BareRead(plain, "select * from sell"); });
  std::printf("# first display of the sales page (fill and pick lists, cold cache): %.0f ms, %d rows\n", first_display,
              grid.Rows() - grid.FixedRows() - 1);
  PrintCase("sales_fill_1m_cold", first_display, cold_base, plain_read);

  std::vector<double> fills, bases;
  for (int i = 0; i < 3; ++i) {
    bases.push_back(BareRead(shop.db().Handle(), "select * from sell"));
    QElapsedTimer f;
    f.start();
    page->FillSalesList(AllSalesQuery());
    QCoreApplication::processEvents();
    grid.repaint();
    fills.push_back(f.nsecsElapsed() / 1e6);
  }
  PrintCase("sales_fill_1m", Median(fills), Median(bases), plain_read);
  std::printf("# peak resident before the sales page: %.1f MB\n", peak_before);
  PrintMemory("sales_fill_1m");
}
HEMULU_BENCH_CASE(200, "sales_fill_1m", SalesFill1m);

// One key in each of the two busiest boxes, on the full list (median of three tries);
// the baselines are the bare search query for the same text and the narrow keys read.
void SalesSearch1m(BenchShop& shop) {
  shop.EnsureSales();
  AppContext& ctx = shop.ctx();
  shop.Reopen();
  for (const SalesSearchTiming& t : TimeSalesSearches(ctx)) {
    const char* box_name = t.box_name;
    const SalesQuery q = SearchSalesQuery(t.field, t.text.left(1));
    const double bare = BareRead(shop.db().Handle(), q.sql.toUtf8().constData(), q.params);
    const double keys = BareRead(shop.db().Handle(), q.keys_sql.toUtf8().constData(), q.params);
    const QByteArray name = QByteArray("sales_search_1m_") + box_name;
    PrintCase(name.constData(), Median(t.firsts), bare);
    std::printf("# %s: first key %d rows; second key %.0f ms, %d rows; the keys and totals alone %.0f ms\n", box_name,
                t.rows[0], Median(t.seconds), t.rows[1], keys);
  }
  PrintMemory("sales_search_1m");
}
HEMULU_BENCH_CASE(205, "sales_search_1m", SalesSearch1m);

// One durable sale after another from the same goods row: the goods update and the sale
// row in one transaction, synchronous=FULL.
void SaleCommit(BenchShop& shop) {
  shop.EnsureSales();
  TimeSaleCommits(shop.ctx(), "sale_commit", "durable sales");
}
HEMULU_BENCH_CASE(210, "sale_commit", SaleCommit);
