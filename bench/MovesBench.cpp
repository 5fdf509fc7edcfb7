// hemulu-bench, the stock journal: the opening movements an older file gets at its first
// open (one per goods row of 100,000), and one goods' history of 10,000 movements.

#include <QDateTime>
#include <QElapsedTimer>
#include <cstdio>
#include <string>

#include "BenchSupport.h"
#include "data/AppContext.h"
#include "data/Schema.h"
#include "data/TextFormat.h"
#include "stock/GoodsHistory.h"

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

}  // namespace
