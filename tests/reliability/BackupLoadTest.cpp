// Backups taken while another process sells: every backup opens with the key, passes
// the integrity check and the stock invariant, holds every sale acknowledged before it
// began, and carries no plaintext. HEMULU_BACKUP_COUNT sets the number of backups (10
// by default; scripts/backup-load-test runs 100), HEMULU_BACKUP_SEED the seed.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>

#include "ChildProcess.h"
#include "CrashCheck.h"
#include "TestSupport.h"
#include "admin/MaintenanceLogic.h"

namespace hemulu::test {
namespace {

// Written into a goods name and its note; the sales copy the name. A backup that holds
// it in its bytes was written unencrypted somewhere.
const QString kCanary = QStringLiteral("金丝雀CANARY7Q3Z");

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Faults of the backup's bytes as they lie on disk, before anything opens them.
QStringList PlaintextFaults(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {QStringLiteral("cannot read ") + path};
  const QByteArray bytes = file.readAll();
  QStringList faults;
  if (bytes.startsWith("SQLite format 3")) faults << QStringLiteral("plaintext header");
  if (bytes.contains(kCanary.toUtf8()) || bytes.contains("CANARY7Q3Z"))
    faults << QStringLiteral("canary text in the bytes");
  if (bytes.size() < 4096) faults << QStringLiteral("only %1 bytes").arg(bytes.size());
  return faults;
}

TEST(BackupUnderLoad, EveryBackupTakenWhileSellingIsWholeKeyedAndHoldsEveryEarlierSale) {
  const int count = EnvCount("HEMULU_BACKUP_COUNT", 10);
  const quint32 seed = EnvSeed("HEMULU_BACKUP_SEED");
  QRandomGenerator random(seed);
  QTemporaryDir dir, out;
  ASSERT_TRUE(PrepareSalesFolder(dir.path(), kCanary));

  // The program's own context, open as it is while the shop sells from another window.
  ScriptedPrompter prompter;
  FixedClock clock;
  RecordingNotifier notifier;
  AppContext ctx(dir.path(), prompter, clock, notifier);
  ASSERT_TRUE(ctx.EnsureDatabaseOpen().has_value());

  ChildProcess child(HEMULU_SALE_CHILD, {dir.path().toStdString(), "whole"});
  ASSERT_TRUE(child.Started());
  ASSERT_TRUE(child.WaitForAcknowledged(5));

  std::vector<std::set<qint64>> before(count);
  QStringList faults;
  QElapsedTimer timer;
  timer.start();
  int taken = 0;
  for (int i = 0; i < count; ++i) {
    // A few more sales between backups, and a backup starting anywhere in a sale.
    if (!child.WaitForAcknowledged(child.Lines() + random.bounded(4))) {
      faults << QStringLiteral("the selling child stopped");
      break;
    }
    child.WaitOnPipe(random.bounded(2000));
    child.Drain();
    before[i] = child.Acknowledged();  // committed before the backup began
    const QString target = QDir(out.path()).filePath(QStringLiteral("%1/data.db").arg(i));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(target).path()));
    auto done = BackUpDatabase(ctx, target);
    if (!done) {
      faults << QStringLiteral("backup %1 failed: %2").arg(i).arg(done.error().reason);
      continue;
    }
    ++taken;
  }
  const qint64 elapsed = timer.elapsed();
  child.Kill();
  const std::size_t sold = child.Acknowledged().size();
  // A copy of data.db's bytes keeps its salt; a copy the engine wrote page by page has
  // one of its own. Only counted, to tell which way the backups went.
  const QByteArray salt = ReadAll(dir.filePath(QStringLiteral("data.db"))).left(16);
  int same_salt = 0;

  for (int i = 0; i < count; ++i) {
    const QString folder = QDir(out.path()).filePath(QString::number(i));
    const QString file = QDir(folder).filePath(QStringLiteral("data.db"));
    if (!QFile::exists(file)) continue;
    for (const QString& f : PlaintextFaults(file)) faults << QStringLiteral("backup %1: ").arg(i) + f;
    if (ReadAll(file).left(16) == salt) ++same_salt;
    // Nothing but the backup itself is left beside it.
    const QStringList left = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    if (left != QStringList{QStringLiteral("data.db")})
      faults << QStringLiteral("backup %1: files beside it: %2").arg(i).arg(left.join(' '));
    for (const QString& f : CheckSalesFolder(folder, kInitialStock, before[i]))
      faults << QStringLiteral("backup %1: ").arg(i) + f;
  }
  // The database sold from is whole too.
  for (const QString& f : CheckSalesFolder(dir.path(), kInitialStock, child.Acknowledged()))
    faults << QStringLiteral("data.db: ") + f;

  std::printf(
      "backups under load: %d of %d taken in %lld ms while %zu sales were acknowledged, %d with data.db's salt, "
      "%lld faults (seed %u)\n",
      taken, count, static_cast<long long>(elapsed), sold, same_salt, static_cast<long long>(faults.size()), seed);
  EXPECT_EQ(count, taken);
  EXPECT_TRUE(faults.isEmpty()) << faults.join('\n').toStdString();
}

}  // namespace
}  // namespace hemulu::test
