// A full disk, made with a file size limit (RLIMIT_FSIZE, as `ulimit -f` does): a sale,
// a goods entry and a ledger entry each fail with the write-failure message, store
// nothing, and leave a database that passes its check, sells again once there is room,
// and opens afresh.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include "TestSupport.h"
#include "money/LedgerLogic.h"
#include "sales/SalesLogic.h"
#include "stock/GoodsLogic.h"

namespace hemulu::test {
namespace {

// Files of this process cannot grow past `bytes` while it lives; a write past the limit
// fails with EFBIG instead of stopping the process with SIGXFSZ.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    old_signal_ = signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &old_);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    EXPECT_EQ(0, setrlimit(RLIMIT_FSIZE, &limit));
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, old_signal_);
  }

 private:
  rlimit old_{};
  sighandler_t old_signal_ = SIG_DFL;
};

SaleForm OneUnit() {
  SaleForm f;
  f.name = QStringLiteral("可口可乐");
  f.shown_stock = QStringLiteral("10");
  f.actual_price = QStringLiteral("3");
  f.quantity = QStringLiteral("1");
  f.amount = QStringLiteral("3");
  f.debt = QStringLiteral("0");
  f.date = QDate(2026, 12, 8);
  return f;
}

double StockOf(Database& db, qint64 id) {
  auto st = db.Prepare("select 存货数量 from buy where ID=?");
  if (!st) return -1;
  st->BindAll(id);
  return st->Step().value_or(false) ? st->Double(0) : -1;
}

QString IntegrityCheck(Database& db) {
  auto st = db.Prepare("PRAGMA integrity_check");
  return st && st->Step().value_or(false) ? st->Text(0) : QStringLiteral("did not run");
}

TEST(DiskFull, SaleGoodsAndLedgerEntriesFailWholeWithAMessage) {
  TestApp app;
  Database& db = app.ctx().db;
  const qint64 goods = InsertGoods(db, GoodsRow{});
  ASSERT_TRUE(db.ExecScript("PRAGMA wal_checkpoint(TRUNCATE);").has_value());  // the next write grows the log
  const QString failed = QStringLiteral("数据没有保存：数据库写入失败。");
  {
    FileSizeLimit full(1024);

    auto sale = RecordSale(app.ctx(), goods, OneUnit());
    ASSERT_FALSE(sale.has_value());
    EXPECT_EQ(SaleError::Kind::Database, sale.error().kind);
    EXPECT_TRUE(sale.error().message.startsWith(failed)) << sale.error().message.toStdString();

    GoodsForm form{QStringLiteral("饮料"), QStringLiteral("雪碧"), QStringLiteral("330ml"), QStringLiteral("XB330"),
                   QString(), QString(), QStringLiteral("2"), QStringLiteral("5"), QStringLiteral("3"),
                   QDate(2026, 12, 8)};
    auto entered = InsertNewGoods(app.ctx(), form);
    ASSERT_FALSE(entered.has_value());
    EXPECT_TRUE(entered.error().Message().startsWith(failed)) << entered.error().Message().toStdString();

    LedgerForm entry{QStringLiteral("房租"), QStringLiteral("1"), QString(), QString(), QStringLiteral("100"),
                     QString(), QDate(2026, 12, 8)};
    auto recorded = RecordLedgerEntry(app.ctx(), LedgerKind::Expense, entry);
    ASSERT_FALSE(recorded.has_value());
    EXPECT_TRUE(recorded.error().Message().startsWith(failed)) << recorded.error().Message().toStdString();
  }
  EXPECT_EQ("ok", IntegrityCheck(db).toStdString());
  EXPECT_EQ(1, CountRows(db, "buy"));
  EXPECT_EQ(0, CountRows(db, "sell"));
  EXPECT_EQ(0, CountRows(db, "other"));
  EXPECT_EQ(10, StockOf(db, goods));

  // Room again: the same connection sells, and the folder opens afresh with it.
  ASSERT_TRUE(RecordSale(app.ctx(), goods, OneUnit()).has_value());
  db.Close();
  AppContext again(app.Dir(), app.prompter, app.clock, app.notifier);
  ASSERT_TRUE(again.EnsureDatabaseOpen().has_value());
  EXPECT_EQ("ok", IntegrityCheck(again.db).toStdString());
  EXPECT_EQ(9, StockOf(again.db, goods));
  EXPECT_EQ(1, CountRows(again.db, "sell"));
}

}  // namespace
}  // namespace hemulu::test
