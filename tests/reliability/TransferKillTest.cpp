// Kills a child that moves shops between files and a server (uploads, restores into the
// server, downloads) with SIGKILL at random moments. After each kill the server holds one
// of the two shops whole, its per-day totals agreeing with its sales, never a mixture;
// a downloaded-into folder starts as the program starts it and holds the old shop or the
// new one, never none. HEMULU_TRANSFER_KILLS sets the number of kills of each (5 by
// default; scripts/transfer-kill-test runs 100), HEMULU_TRANSFER_SEED the seed.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

#include "ChildProcess.h"
#include "EngineSupport.h"
#include "TestSupport.h"
#include "admin/MaintenanceLogic.h"
#include "data/EmbeddedFiles.h"

namespace hemulu::test {
namespace {

// What tells the two shops apart, and the per-day totals' count of sales.
struct Figures {
  qint64 goods = -1, sales = -1, counted = -1;
  double amount = 0;
  bool operator==(const Figures&) const = default;
  QString Text() const {
    return QStringLiteral("%1 goods, %2 sales of %3, %4 in the per-day totals")
        .arg(goods)
        .arg(sales)
        .arg(amount)
        .arg(counted);
  }
};

Figures Read(Database& db) {
  Figures f;
  auto st = db.Prepare(
      "select (select count(*) from buy), (select count(*) from sell), (select coalesce(sum(销售金额), 0) from sell), "
      "(select coalesce(sum(笔数), 0) from sell_day)");
  if (st && st->Step().value_or(false)) {
    f.goods = st->Int(0);
    f.sales = st->Int(1);
    f.amount = st->Double(2);
    f.counted = st->Int(3);
  }
  return f;
}

// A folder with its working files, `goods` goods rows and `sales` sales of `price` each.
bool PrepareShop(const QString& dir, int goods, int sales, double price) {
  if (!WriteWorkingFiles(dir, dir)) return false;
  ScriptedPrompter prompter;
  FixedClock clock;
  RecordingNotifier notifier;
  AppContext ctx(dir, prompter, clock, notifier);
  if (!ctx.EnsureDatabaseOpen()) return false;
  auto tx = Transaction::Begin(ctx.db);
  if (!tx) return false;
  for (int i = 0; i < goods; ++i)
    if (!ctx.db.Execute("insert into buy (名称, 存货数量) values (?, 0)", QStringLiteral("商品%1").arg(i)))
      return false;
  for (int i = 0; i < sales; ++i)
    if (!ctx.db.Execute("insert into sell (名称, 销售数量, 销售金额, 净利润, 销售日期, UID) values (?, 1, ?, 1, ?, 1)",
                        QStringLiteral("商品%1").arg(i % std::max(goods, 1)), price,
                        QStringLiteral("2026-12-%1 10:00:00").arg(1 + i % 28, 2, 10, QLatin1Char('0'))))
      return false;
  return tx->Commit().has_value();
}

Figures ShopFigures(const QString& dir) {
  ScriptedPrompter prompter;
  FixedClock clock;
  RecordingNotifier notifier;
  AppContext ctx(dir, prompter, clock, notifier);
  if (!ctx.EnsureDatabaseOpen()) return {};
  return Read(ctx.db);
}

struct KillRun {
  int kills = 0;
  int inside = 0;
  std::size_t rounds = 0;
  int seen[2] = {0, 0};  // checks that found shop A, shop B
  qint64 ms = 0;
  QStringList faults;
};

class TransferKill : public testing::Test {
 protected:
  void SetUp() override {
    QString why_not;
    scratch_ = ScratchDatabase(&why_not);
    if (!scratch_) GTEST_SKIP() << why_not.toStdString();
    ASSERT_TRUE(PrepareShop(a_.path(), 40, 3000, 2.5));
    ASSERT_TRUE(PrepareShop(b_.path(), 70, 1800, 4));
    figures_[0] = ShopFigures(a_.path());
    figures_[1] = ShopFigures(b_.path());
    ASSERT_NE(figures_[0], figures_[1]);
  }
  const ServerAddress& server() const { return *scratch_->Address(); }

  // Puts shop `which`'s data.db onto the server, through the program's own upload.
  bool Upload(const QString& dir) {
    ScriptedPrompter prompter;
    FixedClock clock;
    RecordingNotifier notifier;
    AppContext ctx(dir, prompter, clock, notifier);
    return UploadToServer(ctx, server(), [](const ServerShopSize&) { return true; }).has_value();
  }

  // Which of the two shops `found` is (-1: neither).
  int Which(const Figures& found) const {
    for (int i = 0; i < 2; ++i)
      if (found == figures_[i]) return i;
    return -1;
  }

  KillRun Kill(const char* mode, int kills, quint32 seed, const std::function<QStringList(KillRun&)>& check) {
    KillRun run;
    QRandomGenerator random(seed);
    QElapsedTimer timer;
    timer.start();
    double window_us = 100000;
    const ServerAddress& s = server();
    for (int k = 0; k < kills; ++k) {
      ChildProcess child(HEMULU_TRANSFER_CHILD,
                         {mode, a_.path().toStdString(), b_.path().toStdString(), s.host.toStdString(),
                          std::to_string(s.port), s.user.toStdString(), s.database.toStdString()});
      if (!child.Started()) {
        run.faults << QStringLiteral("child did not start");
        break;
      }
      const std::size_t lines = 1 + 2 * random.bounded(2);
      if (!child.WaitForAcknowledged(lines)) {
        child.Kill();
        run.faults << QStringLiteral("kill %1: the child stopped by itself").arg(k);
        break;
      }
      child.WaitOnPipe(random.bounded(static_cast<int>(window_us) + 1));
      child.Kill();
      ++run.kills;
      const bool inside = child.Lines() == lines;
      run.inside += inside ? 1 : 0;
      window_us = std::clamp(inside ? window_us * 1.1 : window_us * 0.8, 1000.0, 5000000.0);
      run.rounds += child.Lines() / 2;
      run.faults = check(run);
      if (!run.faults.isEmpty()) {
        run.faults.prepend(QStringLiteral("kill %1:").arg(k));
        break;
      }
    }
    run.ms = timer.elapsed();
    return run;
  }

  QStringList CheckServer(KillRun& run) {
    Database db(server());
    if (auto open = db.Open(); !open) return {QStringLiteral("the server does not open: ") + open.error().message};
    const Figures found = Read(db);
    const int which = Which(found);
    if (which < 0) return {QStringLiteral("the server holds neither shop: ") + found.Text()};
    ++run.seen[which];
    return {};
  }

  void Report(const char* what, int kills, quint32 seed, const KillRun& r) {
    std::printf(
        "kills during %s: %d kills (%d while it ran), %zu finished, shop A seen %d times, shop B %d, %lld faults, "
        "%lld ms (seed %u)\n",
        what, r.kills, r.inside, r.rounds, r.seen[0], r.seen[1], static_cast<long long>(r.faults.size()),
        static_cast<long long>(r.ms), seed);
    EXPECT_EQ(kills, r.kills);
    EXPECT_GT(r.inside, 0);
    EXPECT_TRUE(r.faults.isEmpty()) << r.faults.join('\n').toStdString();
  }

  QTemporaryDir a_, b_;
  Figures figures_[2];

 private:
  std::unique_ptr<ScratchServerDatabase> scratch_;
};

TEST_F(TransferKill, AKilledUploadLeavesTheServerWithOneWholeShop) {
  const int kills = EnvCount("HEMULU_TRANSFER_KILLS", 5);
  const quint32 seed = EnvSeed("HEMULU_TRANSFER_SEED");
  ASSERT_TRUE(Upload(a_.path()));
  const QByteArray a_before = [&] {
    QFile f(a_.filePath(QStringLiteral("data.db")));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }();
  const KillRun r = Kill("upload", kills, seed, [&](KillRun& run) { return CheckServer(run); });
  Report("uploads", kills, seed, r);
  // The files uploaded from are only read.
  EXPECT_EQ(ShopFigures(a_.path()), figures_[0]);
  EXPECT_EQ(ShopFigures(b_.path()), figures_[1]);
  QFile after(a_.filePath(QStringLiteral("data.db")));
  ASSERT_TRUE(after.open(QIODevice::ReadOnly));
  EXPECT_EQ(after.readAll(), a_before);
}

TEST_F(TransferKill, AKilledRestoreLeavesTheServerWithOneWholeShop) {
  const int kills = EnvCount("HEMULU_TRANSFER_KILLS", 5);
  const quint32 seed = EnvSeed("HEMULU_TRANSFER_SEED");
  for (const QTemporaryDir* dir : {&a_, &b_}) {
    ScriptedPrompter prompter;
    FixedClock clock;
    RecordingNotifier notifier;
    AppContext ctx(dir->path(), prompter, clock, notifier);
    ASSERT_TRUE(BackUpDatabase(ctx, dir->filePath(QStringLiteral("BackupData.db"))));
  }
  ASSERT_TRUE(Upload(b_.path()));
  const KillRun r = Kill("restore", kills, seed, [&](KillRun& run) { return CheckServer(run); });
  Report("restores into the server", kills, seed, r);
}

TEST_F(TransferKill, AKilledDownloadLeavesTheOldOrTheNewFile) {
  const int kills = EnvCount("HEMULU_TRANSFER_KILLS", 5);
  const quint32 seed = EnvSeed("HEMULU_TRANSFER_SEED");
  ASSERT_TRUE(Upload(b_.path()));
  QFile original(a_.filePath(QStringLiteral("data.db")));
  ASSERT_TRUE(original.open(QIODevice::ReadOnly));
  const QByteArray shop_a = original.readAll();
  original.close();
  const KillRun r = Kill("download", kills, seed, [&](KillRun& run) -> QStringList {
    // Started as the program starts: the part file of a cut-short download goes.
    const QString dir = a_.path();
    if (!QFile::exists(a_.filePath(QStringLiteral("data.db")))) return {QStringLiteral("data.db is gone")};
    if (!WriteWorkingFiles(dir, dir)) return {QStringLiteral("the start-up failed")};
    ScriptedPrompter prompter;
    FixedClock clock;
    RecordingNotifier notifier;
    AppContext ctx(dir, prompter, clock, notifier);
    if (auto open = ctx.EnsureDatabaseOpen(); !open) return {QStringLiteral("does not open: ") + open.error().message};
    auto integrity = ctx.db.Prepare("PRAGMA integrity_check");
    if (!integrity || !integrity->Step().value_or(false) || integrity->Text(0) != QStringLiteral("ok"))
      return {QStringLiteral("integrity_check failed")};
    const Figures found = Read(ctx.db);
    const int which = Which(found);
    if (which < 0) return {QStringLiteral("data.db holds neither shop: ") + found.Text()};
    ++run.seen[which];
    ctx.db.Close();
    // The next child starts from shop A again, so that every kill can tell old from new.
    for (const char* suffix : {"", "-wal", "-shm", ".before-download"})
      QFile::remove(a_.filePath(QStringLiteral("data.db") + QString::fromLatin1(suffix)));
    QFile restored(a_.filePath(QStringLiteral("data.db")));
    if (!restored.open(QIODevice::WriteOnly) || restored.write(shop_a) != shop_a.size())
      return {QStringLiteral("shop A could not be put back")};
    return {};
  });
  Report("downloads", kills, seed, r);
  // Over many kills some land before the new file is in place and some after.
  if (kills >= 50) {
    EXPECT_GT(r.seen[0], 0);
    EXPECT_GT(r.seen[1], 0);
  }
}

}  // namespace
}  // namespace hemulu::test
