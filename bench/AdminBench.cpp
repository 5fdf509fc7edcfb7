// The whole-file operations on the big shop: a verified backup against a plain copy of
// the same file, and compaction.

#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <cstdio>

#include "BenchSupport.h"
#include "admin/MaintenanceLogic.h"

namespace hemulu::bench {
namespace {

double CopyWithCp(const QString& from, const QString& to) {
  QFile::remove(to);
  QElapsedTimer t;
  t.start();
  if (QProcess::execute(QStringLiteral("cp"), {from, to}) != 0) Fail("cp", QStringLiteral("cp failed"));
  return t.nsecsElapsed() / 1e6;
}

void Backup(BenchShop& shop) {
  shop.EnsureSales();
  // Every committed row in data.db itself, so that cp copies the whole database.
  if (auto r = shop.db().ExecScript("PRAGMA wal_checkpoint(TRUNCATE)"); !r) Fail("checkpoint", r.error());
  const QString source = shop.FilePath(QStringLiteral("data.db"));
  const QString copy = shop.FilePath(QStringLiteral("cp-copy.db"));
  const QString target = shop.FilePath(QStringLiteral("BackupData.db"));
  std::printf("# backup_1m: data.db is %.0f MB\n", QFileInfo(source).size() / 1048576.0);
  std::vector<double> cp_ms, backup_ms;
  for (int i = 0; i < 5; ++i) {
    cp_ms.push_back(CopyWithCp(source, copy));
    // Like cp's copy, the backup starts without an older file to replace, and without
    // cp's unwritten copy: its sync would otherwise wait for that too.
    QFile::remove(target);
    ::sync();
    QElapsedTimer t;
    t.start();
    if (auto r = BackUpDatabase(shop.ctx(), target); !r) Fail("backup", r.error().reason);
    backup_ms.push_back(t.nsecsElapsed() / 1e6);
    std::printf("# backup_1m run %d: backup %.0f ms, cp %.0f ms\n", i + 1, backup_ms.back(), cp_ms.back());
  }
  QFile::remove(copy);
  QFile::remove(target);
  std::printf("# backup_1m best: backup %.0f ms, cp %.0f ms\n", *std::min_element(backup_ms.begin(), backup_ms.end()),
              *std::min_element(cp_ms.begin(), cp_ms.end()));
  PrintCase("backup_1m", Median(backup_ms), Median(cp_ms));
}
HEMULU_BENCH_CASE(900, "backup_1m", Backup);

void Compact(BenchShop& shop) {
  shop.EnsureSales();
  const QString source = shop.FilePath(QStringLiteral("data.db"));
  const double before = QFileInfo(source).size() / 1048576.0;
  QElapsedTimer t;
  t.start();
  if (auto r = CompactDatabase(shop.ctx()); !r) Fail("compact", r.error().reason);
  const double ms = t.nsecsElapsed() / 1e6;
  std::printf("# compact_1m: %.0f MB before, %.0f MB after\n", before, QFileInfo(source).size() / 1048576.0);
  PrintCase("compact_1m", ms);
}
HEMULU_BENCH_CASE(910, "compact_1m", Compact);

}  // namespace
}  // namespace hemulu::bench
