// hemulu-bench, the stock journal: the opening movements an older file gets at its first
// open (one per goods row of 100,000), one goods' history of 10,000 movements, and the
// purchase records over a journal of one movement per sale of the bench shop and
// 1,000,000 restocks.

#include <QApplication>
#include <QDateEdit>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLineEdit>
#include <cstdio>
#include <string>

#include "BenchSupport.h"
#include "data/AppContext.h"
#include "data/Schema.h"
#include "data/TextFormat.h"
#include "lists/Grid.h"
#include "stock/GoodsHistory.h"
#include "stock/PurchaseRecordsView.h"

using namespace hemulu;
using namespace hemulu::bench;

namespace {

// The journal built as at the first open of an older file: the table, its indexes and an
// opening movement per goods row, in one transaction.
double BuildJournal(BenchShop& shop) {
  shop.EnsureGoods();
  if (auto dropped = shop.db().ExecScript("DROP TABLE IF EXISTS stock_move; DROP TABLE IF EXISTS stock_check;");
      !dropped)
    Fail("drop the journal", dropped.error());
  const std::string build =
      "BEGIN IMMEDIATE;\n" +
      schema::StockMoveTablesSql("IF NOT EXISTS ", DateSqlText(QDateTime::currentDateTime()).toStdString()) + "COMMIT;";
  QElapsedTimer t;
  t.start();
  if (auto built = shop.db().ExecScript(build.c_str()); !built) Fail("opening movements", built.error());
  return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

void OpeningMoves100k(BenchShop& shop) { PrintCase("opening_moves_100k", BuildJournal(shop)); }
HEMULU_BENCH_CASE(600, "opening_moves_100k", OpeningMoves100k);

// One goods with 10,000 movements among the opening movements of every other goods row:
// the history window's read, newest first, with the totals per kind.
void GoodsHistory10k(BenchShop& shop) {
  BuildJournal(shop);
  constexpr qint64 kGoodsId = 4242;
  constexpr int kMoves = 10000;
  if (auto filled = shop.db().Execute(
          "insert into stock_move (日期,操作员,商品号,名称,型号,编码,业务,数量,结存数量,销售号) "
          "with recursive n(i) as (select 1 union all select i+1 from n where i<?) "
          "select '2026-01-01 08:00:00','超级管理员',?,'商品','型号','编码','销售',-1,1000-i,i from n",
          kMoves, kGoodsId);
      !filled)
    Fail("history movements", filled.error());
  std::size_t rows = 0;
  const double ms = MedianMs(5, [&] {
    auto history = LoadGoodsHistory(shop.ctx(), kGoodsId);
    if (!history) Fail("goods history", history.error());
    rows = history->lines.size();
  });
  PrintCase("goods_history_10k", ms);
  std::printf("# goods_history_10k: %zu movements\n", rows);
}
HEMULU_BENCH_CASE(601, "goods_history_10k", GoodsHistory10k);

// The bench shop's journal as years of trade leave it: the opening movements, one
// movement per sale (1,000,000), and `restocks` restocks of the goods over three years
// at seven prices from fifty suppliers, in one transaction.
qint64 BuildTradeJournal(BenchShop& shop, int restocks) {
  shop.EnsureSales();
  BuildJournal(shop);
  QElapsedTimer t;
  t.start();
  const std::string fill =
      "BEGIN IMMEDIATE;\n"
      "insert into stock_move (日期,操作员,商品号,名称,型号,编码,业务,数量,结存数量,销售号) "
      "select 销售日期,'超级管理员',\"UID\",名称,型号,编码,'销售',-销售数量,0,\"ID\" from sell order by \"ID\";\n"
      "insert into stock_move (日期,操作员,商品号,名称,型号,编码,业务,数量,结存数量,进货单价,供货商) "
      "with recursive n(i) as (select 1 union all select i+1 from n where i<" +
      std::to_string(restocks) + ") select date('2024-01-01','+'||(i%1095)||' days')||' 09:00:00','超级管理员',1+i%" +
      std::to_string(kGoods) +
      ",'商品'||(i%1000),'型号','BM'||(i%1000),'续存',1+i%20,0,1.5+(i%7)*0.25,'供货商'||(i%50) from n;\n"
      "COMMIT;";
  if (auto filled = shop.db().ExecScript(fill.c_str()); !filled) Fail("trade journal", filled.error());
  auto count = shop.db().Prepare("select count(*) from stock_move");
  if (!count || !count->Step().value_or(false)) Fail("count the journal", QStringLiteral("no count"));
  const qint64 rows = count->Int(0);
  std::printf("# journal of %lld movements (%d restocks) built in %lld ms\n", static_cast<long long>(rows), restocks,
              static_cast<long long>(t.elapsed()));
  return rows;
}

// The purchase records view as 超级管理员 opens it: every delivery, keyed, with its
// totals (first display with a cold page cache, then refills); then one month and one
// keystroke of the goods box.
void MovementsFill1m(BenchShop& shop) {
  BuildTradeJournal(shop, 1000000);
  AppContext& ctx = shop.ctx();
  shop.Reopen();
  QWidget window;
  window.resize(1280, 720);
  QElapsedTimer t;
  t.start();
  auto* view = new PurchaseRecordsView(ctx, &window);
  view->setGeometry(window.rect());
  window.show();
  view->Refill();
  QCoreApplication::processEvents();
  view->PurchaseGrid()->repaint();
  const double first_display = t.nsecsElapsed() / 1e6;
  const Grid& grid = *view->PurchaseGrid();
  const int rows = grid.Rows() - grid.FixedRows() - 1;
  PrintCase("movements_fill_1m_cold", first_display);
  const auto time_refill = [&] {
    QElapsedTimer f;
    f.start();
    view->Refill();
    QCoreApplication::processEvents();
    view->PurchaseGrid()->repaint();
    return f.nsecsElapsed() / 1e6;
  };
  std::vector<double> fills;
  for (int i = 0; i < 3; ++i) fills.push_back(time_refill());
  const double keys = BareRead(shop.db().Handle(),
                               "select \"ID\",数量,数量*进货单价 from stock_move where 业务||'' in ('入库','续存') "
                               "order by \"ID\"");
  PrintCase("movements_fill_1m", Median(fills), keys);
  std::printf("# movements_fill_1m: %d deliveries listed, totals %s / %s\n", rows,
              qPrintable(grid.CellText(grid.Rows() - 1, kPurchaseQuantityCol)),
              qPrintable(grid.CellText(grid.Rows() - 1, kPurchaseAmountCol)));

  view->FromBox()->setDate(QDate(2025, 3, 1));
  view->ToBox()->setDate(QDate(2025, 3, 31));
  PrintCase("movements_fill_1m_month", MedianMs(3, [&] {
              view->QueryDays();
              QCoreApplication::processEvents();
            }));
  std::printf("# movements_fill_1m_month: %d deliveries\n", grid.Rows() - grid.FixedRows() - 1);
  view->ShowAll();
  int typed = 0;
  PrintCase("movements_fill_1m_search", MedianMs(3, [&] {
              view->GoodsBox()->setText(typed++ % 2 ? QStringLiteral("SP") : QStringLiteral("S"));
              QCoreApplication::processEvents();
            }));
  PrintMemory("movements_fill_1m");
}
HEMULU_BENCH_CASE(602, "movements_fill_1m", MovementsFill1m);

}  // namespace
