// Kills a child that compacts or re-initialises a program folder in a loop, with
// SIGKILL at random moments, and after each kill starts the folder as the program does:
// data.db is there, opens with the key, passes the integrity check and holds the old
// content or the new one, never a mixture and never none; and no part file of the cut
// short maintenance is left beside it. HEMULU_MAINTENANCE_KILLS sets
// the number of kills of each (10 by default; scripts/maintenance-kill-test runs 100),
// HEMULU_MAINTENANCE_SEED the seed.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

#include "ChildProcess.h"
#include "CrashCheck.h"
#include "MaintenanceRounds.h"
#include "TestSupport.h"
#include "admin/MaintenanceLogic.h"
#include "data/EmbeddedFiles.h"

namespace hemulu::test {
namespace {

qint64 Single(Database& db, std::string_view sql) {
  auto st = db.Prepare(sql);
  return st && st->Step().value_or(false) ? st->Int(0) : -1;
}

// Opens the folder as the program starts: data.db must already be there, since the
// start-up code would write a new empty one in its place; then the working files, the
// open with the key and the integrity check; then `content` checks what it holds.
QStringList OpenAsTheProgram(const QString& dir, const std::function<QStringList(Database&)>& content) {
  if (!QFile::exists(dir + QStringLiteral("/data.db"))) return {QStringLiteral("data.db is gone")};
  if (auto w = WriteWorkingFiles(dir, dir); !w) return {QStringLiteral("start-up: ") + w.error()};
  ScriptedPrompter prompter;
  FixedClock clock;
  RecordingNotifier notifier;
  AppContext ctx(dir, prompter, clock, notifier);
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return {QStringLiteral("does not open: ") + open.error().message};
  auto integrity = ctx.db.Prepare("PRAGMA integrity_check");
  if (!integrity || !integrity->Step().value_or(false)) return {QStringLiteral("integrity_check did not run")};
  if (integrity->Text(0) != QStringLiteral("ok")) return {QStringLiteral("integrity_check: ") + integrity->Text(0)};
  return content(ctx.db);
}

// One batch of bank rows or none, and the goods the folder was prepared with.
QStringList CheckCompactedFolder(const QString& dir) {
  QStringList faults = OpenAsTheProgram(dir, [](Database& db) {
    QStringList f;
    const qint64 rows = Single(db, "select count(*) from bank");
    const qint64 batches = Single(db, "select count(distinct 银行) from bank");
    if (rows != 0 && rows != kBankRows) f << QStringLiteral("%1 bank rows").arg(rows);
    if (batches > 1) f << QStringLiteral("bank rows of %1 batches").arg(batches);
    auto notes = db.Prepare("select 银行, 备注 from bank");
    while (notes && notes->Step().value_or(false)) {
      if (notes->Text(1) != BankNote(notes->Text(0).mid(1).toLongLong())) {
        f << QStringLiteral("bank row of %1 has a wrong note").arg(notes->Text(0));
        break;
      }
    }
    return f;
  });
  if (!faults.isEmpty()) return faults;
  return CheckSalesFolder(dir, kInitialStock, {});
}

// The built-in empty database, or it with one whole batch of goods rows entered; counts
// in `old` the kills that left the database as it was before the re-initialisation.
QStringList CheckReinitialisedFolder(const QString& dir, int& old) {
  return OpenAsTheProgram(dir, [&old](Database& db) {
    QStringList f;
    const qint64 goods = Single(db, "select count(*) from buy");
    if (goods != 0 && goods != kReinitGoods) f << QStringLiteral("%1 goods rows").arg(goods);
    if (goods == kReinitGoods) ++old;
    if (Single(db, "select count(*) from UserName") <= 0) f << QStringLiteral("no user accounts");
    return f;
  });
}

struct KillRun {
  int kills = 0;
  int inside = 0;          // kills that landed while the maintenance ran
  std::size_t rounds = 0;  // finished maintenance runs over all kills
  int leftovers = 0;       // files other than the program's own left after a start
  qint64 ms = 0;
  QStringList faults;  // of the first kill that had any
};

KillRun KillMaintenance(const char* mode, int kills, quint32 seed, const std::function<bool(const QString&)>& prepare,
                        const std::function<QStringList(const QString&)>& check) {
  KillRun run;
  QTemporaryDir dir;
  if (!prepare(dir.path())) {
    run.faults << QStringLiteral("folder not prepared");
    return run;
  }
  const QStringList own = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
  QRandomGenerator random(seed);
  QElapsedTimer timer;
  timer.start();
  // How long after its start the kill may come: it follows the maintenance's own length,
  // growing while kills come too early to miss it and shrinking while they come late.
  double window_us = 100000;
  for (int k = 0; k < kills; ++k) {
    ChildProcess child(HEMULU_MAINTENANCE_CHILD, {dir.path().toStdString(), mode});
    if (!child.Started()) {
      run.faults << QStringLiteral("child did not start");
      break;
    }
    // Some whole rounds, then the start of a maintenance, then a moment in it.
    std::size_t lines = 1 + 2 * random.bounded(2);
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
    run.faults = check(dir.path());
    // The start has cleared away what a cut-short maintenance wrote beside data.db.
    for (const QString& f : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot))
      if (!own.contains(f) && !f.startsWith(QStringLiteral("data.db"))) {
        run.faults << QStringLiteral("left beside data.db after the start: ") + f;
        ++run.leftovers;
      }
    if (!run.faults.isEmpty()) {
      run.faults.prepend(QStringLiteral("kill %1:").arg(k));
      break;
    }
  }
  run.ms = timer.elapsed();
  return run;
}

void Report(const char* what, int kills, quint32 seed, const KillRun& r) {
  std::printf(
      "kills during %s: %d kills (%d while it ran), %zu finished, %lld faults, %d files left behind, %lld ms (seed "
      "%u)\n",
      what, r.kills, r.inside, r.rounds, static_cast<long long>(r.faults.size()), r.leftovers,
      static_cast<long long>(r.ms), seed);
  EXPECT_EQ(kills, r.kills);
  EXPECT_TRUE(r.faults.isEmpty()) << r.faults.join('\n').toStdString();
}

TEST(MaintenanceKill, KilledCompactionLeavesTheOldOrTheNewContent) {
  const int kills = EnvCount("HEMULU_MAINTENANCE_KILLS", 10);
  const quint32 seed = EnvSeed("HEMULU_MAINTENANCE_SEED");
  const KillRun r = KillMaintenance(
      "compact", kills, seed, [](const QString& dir) { return PrepareSalesFolder(dir); }, CheckCompactedFolder);
  Report("compaction", kills, seed, r);
}

TEST(MaintenanceKill, KilledReinitialisationLeavesTheOldOrTheNewDatabase) {
  const int kills = EnvCount("HEMULU_MAINTENANCE_KILLS", 10);
  const quint32 seed = EnvSeed("HEMULU_MAINTENANCE_SEED");
  int old = 0;
  const KillRun r = KillMaintenance(
      "reinit", kills, seed, [](const QString& dir) { return WriteWorkingFiles(dir, dir).has_value(); },
      [&old](const QString& dir) { return CheckReinitialisedFolder(dir, old); });
  Report("re-initialisation", kills, seed, r);
  std::printf("re-initialisation: %d kills left the old database, %d the new one\n", old, r.kills - old);
}

TEST(MaintenanceKill, ABackupKilledMidCopyLeavesAPartFileThatTheNextBackupThereRemoves) {
  QTemporaryDir dir, out;
  ASSERT_TRUE(PrepareSalesFolder(dir.path()));
  const QString target = out.filePath(QStringLiteral("BackupData.db"));
  {
    ChildProcess child(HEMULU_MAINTENANCE_CHILD, {dir.path().toStdString(), "backup", target.toStdString()});
    ASSERT_TRUE(child.Started());
    ASSERT_TRUE(child.WaitForAcknowledged(1));
    child.Kill();
  }
  const QStringList left = QDir(out.path()).entryList(QDir::Files | QDir::Hidden);
  ASSERT_EQ(left.size(), 1) << left.join(' ').toStdString();
  EXPECT_TRUE(left[0].startsWith(QStringLiteral(".BackupData.db.part-"))) << left[0].toStdString();

  ScriptedPrompter prompter;
  FixedClock clock;
  RecordingNotifier notifier;
  AppContext ctx(dir.path(), prompter, clock, notifier);
  auto r = BackUpDatabase(ctx, target);
  ASSERT_TRUE(r.has_value()) << r.error().reason.toStdString();
  EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("BackupData.db")});
}

}  // namespace
}  // namespace hemulu::test
