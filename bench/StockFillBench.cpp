// Start-up and the stock list: the fill of 100,000 goods (first after opening, then
// warm), user sorts, search keystrokes and the export.

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <cstdio>

#include "BenchSupport.h"
#include "SharedTimings.h"
#include "app/LoginWindow.h"
#include "data/EmbeddedFiles.h"
#include "lists/ColumnShares.h"
#include "lists/Grid.h"
#include "lists/GridExport.h"
#include "lists/GridKeyedFill.h"
#include "stock/StockList.h"
#include "stock/StockPage.h"

namespace hemulu::bench {
namespace {

// From an empty program folder to the login window on screen: the working files, the
// context, the database opened with its key and the account list filled. The baseline
// is opening the database alone.
void StartUpToLogin(BenchShop&) {
  std::vector<double> total, open;
  for (int i = 0; i < 5; ++i) {
    QTemporaryDir dir;
    SilentPrompter prompter;
    SystemClock clock;
    SilentNotifier notifier;
    QElapsedTimer t;
    t.start();
    if (!WriteWorkingFiles(dir.path(), dir.path())) std::exit(1);
    AppContext ctx(dir.path(), prompter, clock, notifier);
    LoginWindow login(ctx);
    login.show();
    QCoreApplication::processEvents();
    total.push_back(t.nsecsElapsed() / 1e6);
    ctx.db.Close();
    t.restart();
    if (!ctx.db.Open()) std::exit(1);
    open.push_back(t.nsecsElapsed() / 1e6);
  }
  PrintCase("startup_to_login", Median(total), Median(open));
}
HEMULU_BENCH_CASE(10, "startup_to_login", StartUpToLogin);

// The stock page's grid in a window, with its column shares; the fill as the page runs
// it, up to the grid painted once. The first fill after opening reads a cold page cache:
// what a user sees first.
void StockFill100k(BenchShop& shop) {
  shop.EnsureGoods();
  sqlite3* plain = shop.Plain();
  StockGridWindow stock;
  Grid* grid = stock.grid;
  shop.Reopen();
  const double cold_fill = TimeStockFill(shop.ctx(), *grid);
  shop.Reopen();
  const double cold_base = BareRead(shop.db().Handle(), "select * from buy");
  const double plain_read = MedianMs(5, [&] { BareRead(plain, "select * from buy"); });
  std::vector<double> base, fill;
  for (int i = 0; i < 5; ++i) {
    base.push_back(BareRead(shop.db().Handle(), "select * from buy"));
    fill.push_back(TimeStockFill(shop.ctx(), *grid));
  }
  PrintCase("stock_fill_100k_cold", cold_fill, cold_base, plain_read);
  PrintCase("stock_fill_100k", Median(fill), Median(base), plain_read);
  PrintMemory("stock_fill_100k");

  // What a user waits for on the filled list: a click on a caption (the name column in
  // pinyin order, the date column by date) and an export.
  for (const auto& [col, what] : {std::pair{2, "name (pinyin)"}, std::pair{14, "date"}}) {
    QElapsedTimer t;
    t.start();
    grid->SortColumn(col);
    QCoreApplication::processEvents();
    grid->repaint();
    std::printf("# user sort by %s: %.0f ms\n", what, t.nsecsElapsed() / 1e6);
  }
  QElapsedTimer t;
  t.start();
  const auto exported = ExportGridToExcel(*grid, shop.FilePath(QStringLiteral("my.xlsx")),
                                          {.header_rows = true, .row_header_column = true});
  std::printf("# export to .xlsx: %.0f ms%s; peak resident since start %.1f MB\n", t.nsecsElapsed() / 1e6,
              exported ? "" : qPrintable(QStringLiteral(" (failed: %1)").arg(exported.error())), PeakResidentMb());
}
HEMULU_BENCH_CASE(100, "stock_fill_100k", StockFill100k);

// Typing a name's initials into the stock page's search box, one key at a time; each
// key refills the list. The baselines are the bare search query for the same text.
void SearchKeystrokes(BenchShop& shop) {
  shop.EnsureGoods();
  sqlite3* plain = shop.Plain();
  GoodsSelection selection;
  QWidget window;
  window.resize(1280, 720);
  auto* page = new StockPage(shop.ctx(), nullptr, selection, {}, &window);
  page->setGeometry(window.rect());
  window.show();
  QCoreApplication::processEvents();
  auto* box = page->findChild<QLineEdit*>(QStringLiteral("库管商品名称框"));
  const char* sql = "select * from buy where 首拼 like ?";
  for (const QString& typed : {QStringLiteral("K"), QStringLiteral("KS"), QStringLiteral("KSF")}) {
    box->clear();
    QCoreApplication::processEvents();
    box->setText(typed.chopped(1));
    QCoreApplication::processEvents();
    std::vector<double> keys;
    for (int i = 0; i < 3; ++i) {
      box->setText(typed.chopped(1));
      QCoreApplication::processEvents();
      QElapsedTimer t;
      t.start();
      box->setText(typed);
      QCoreApplication::processEvents();
      page->repaint();
      keys.push_back(t.nsecsElapsed() / 1e6);
    }
    const QList<QVariant> pattern{QLatin1Char('%') + typed + QLatin1Char('%')};
    const double bare = MedianMs(3, [&] { BareRead(shop.db().Handle(), sql, pattern); });
    const double plain_ms = MedianMs(3, [&] { BareRead(plain, sql, pattern); });
    const QByteArray name = "search_keystroke_100k_" + typed.toUtf8();
    PrintCase(name.constData(), Median(keys), bare, plain_ms);
    std::printf("# %d rows shown\n", page->StockGrid()->Rows() - 3);
  }
}
HEMULU_BENCH_CASE(110, "search_keystroke_100k", SearchKeystrokes);

}  // namespace
}  // namespace hemulu::bench
