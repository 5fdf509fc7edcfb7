// The cipher page size: the same database exported with each page size and read back as
// the stock list and a report over every sale read it.

#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

#include "BenchSupport.h"
#include "data/Engine.h"

namespace hemulu::bench {
namespace {

const char* const kSalesScan =
    "select sum(进货单价), sum(存货数量), sum(销售单价), sum(销售数量), sum(销售金额), sum(净利润) from sell";

// A keyed copy of the shop's database with `page_size`, opened as the program opens
// data.db (same page cache).
sqlite3* CopyWithPageSize(BenchShop& shop, int page_size) {
  const QString path = shop.FilePath(QStringLiteral("pages-%1.db").arg(page_size));
  QFile::remove(path);
  if (QFile f(path); !f.open(QIODevice::WriteOnly)) Fail("page copy", f.errorString());
  const std::string set_default = "PRAGMA cipher_default_page_size=" + std::to_string(page_size);
  if (auto r = shop.db().ExecScript(set_default.c_str()); !r) Fail("page size", r.error());
  auto attach = shop.db().Prepare("ATTACH DATABASE ? AS pages KEY ?");
  if (!attach) Fail("attach", attach.error());
  attach->BindAll(path, QString::fromLatin1(kDatabasePassword));
  if (auto r = attach->Run(); !r) Fail("attach", r.error());
  if (auto r = shop.db().ExecScript("SELECT sqlcipher_export('pages'); DETACH DATABASE pages;"); !r)
    Fail("export", r.error());
  const std::string reset = "PRAGMA cipher_default_page_size=" + std::to_string(kCipherPageSize);
  if (auto r = shop.db().ExecScript(reset.c_str()); !r) Fail("page size", r.error());

  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
          SQLITE_OK ||
      !KeyConnection(db, page_size) ||
      sqlite3_exec(db, "PRAGMA cache_size=-65536", nullptr, nullptr, nullptr) != SQLITE_OK)
    Fail("open copy", QString::fromUtf8(sqlite3_errmsg(db)));
  return db;
}

void PageSizes(BenchShop& shop) {
  shop.EnsureSales();
  sqlite3* plain = shop.Plain();
  const double plain_stock = MedianMs(5, [&] { BareRead(plain, "select * from buy"); });
  const double plain_sales = MedianMs(3, [&] { BareRead(plain, kSalesScan); });
  std::printf("# page_size plain: stock read %.0f ms, sales scan %.0f ms\n", plain_stock, plain_sales);
  for (int size : {1024, 4096, 16384, 65536}) {
    sqlite3* db = CopyWithPageSize(shop, size);
    QElapsedTimer t;
    t.start();
    BareRead(db, "select * from buy");
    const double cold_stock = t.nsecsElapsed() / 1e6;
    const double stock = MedianMs(5, [&] { BareRead(db, "select * from buy"); });
    const double sales = MedianMs(3, [&] { BareRead(db, kSalesScan); });
    // One sale's worth of writing: an update of a goods row and an insert, durable.
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    const double write = MedianMs(200, [&] {
      sqlite3_exec(db,
                   "BEGIN IMMEDIATE; update buy set 销售数量=销售数量+1, 存货数量=存货数量-1 where ID=4242;"
                   "insert into sell (名称, 销售数量, 销售金额, 销售日期, UID) values ('测试', 1, 2.5, "
                   "'2026-12-08 10:00:00', 4242); COMMIT;",
                   nullptr, nullptr, nullptr);
    });
    std::printf(
        "page_size_%d: stock read %.0f ms (cold %.0f ms, plain ratio %.2f), sales scan %.0f ms (plain ratio %.2f), "
        "sale write %.2f ms\n",
        size, stock, cold_stock, stock / plain_stock, sales, sales / plain_sales, write);
    std::fflush(stdout);
    sqlite3_close_v2(db);
  }
}
HEMULU_BENCH_CASE(50, "page_size", PageSizes);

}  // namespace
}  // namespace hemulu::bench
