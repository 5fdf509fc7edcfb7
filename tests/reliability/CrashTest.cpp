// Kills a selling child with SIGKILL at random moments and checks the folder after each
// kill. The moment is chosen by counting acknowledged sales and then waiting a random
// few microseconds on the child's output pipe, so a kill lands anywhere in a sale.
// HEMULU_CRASH_KILLS sets the number of kills (50 by default), HEMULU_CRASH_SEED the seed.

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

#include "ChildProcess.h"
#include "CrashCheck.h"

namespace hemulu::test {
namespace {

struct RunResult {
  int kills = 0;
  std::size_t sales = 0;
  QStringList faults;  // of the first round that had any
};

// Kills the child up to `kills` times; stops at the first round whose check fails.
RunResult KillRepeatedly(const char* mode, int kills, quint32 seed) {
  RunResult result;
  QTemporaryDir dir;
  if (!PrepareSalesFolder(dir.path())) {
    result.faults << QStringLiteral("folder not prepared");
    return result;
  }
  QRandomGenerator random(seed);
  std::set<qint64> acknowledged;
  for (int round = 0; round < kills; ++round) {
    ChildProcess child(HEMULU_SALE_CHILD, {dir.path().toStdString(), mode});
    if (!child.Started()) {
      result.faults << QStringLiteral("child did not start");
      return result;
    }
    const std::size_t sales = random.bounded(25);
    if (!child.WaitForAcknowledged(sales)) {
      child.Kill();
      result.faults << QStringLiteral("child stopped by itself in round %1").arg(round);
      return result;
    }
    child.WaitOnPipe(random.bounded(3000));
    child.Kill();
    ++result.kills;
    acknowledged.insert(child.Acknowledged().begin(), child.Acknowledged().end());
    result.sales = acknowledged.size();
    result.faults = CheckSalesFolder(dir.path(), kInitialStock, acknowledged);
    if (!result.faults.isEmpty()) {
      result.faults.prepend(QStringLiteral("round %1:").arg(round));
      return result;
    }
  }
  return result;
}

TEST(CrashTest, KilledSalesLeaveTheFolderWholeAndEveryAcknowledgedSaleStored) {
  const int kills = EnvCount("HEMULU_CRASH_KILLS", 50);
  const quint32 seed = EnvSeed("HEMULU_CRASH_SEED");
  const RunResult r = KillRepeatedly("whole", kills, seed);
  std::printf("crash test: %d kills, %zu acknowledged sales, %lld faults (seed %u)\n", r.kills, r.sales,
              static_cast<long long>(r.faults.size()), seed);
  EXPECT_EQ(kills, r.kills);
  EXPECT_TRUE(r.faults.isEmpty()) << r.faults.join('\n').toStdString();
}

// The same kills against a child that commits the goods update and the sale row
// separately: the checker must find the lost sale rows, or it proves nothing.
TEST(CrashTest, CheckerCatchesASaleSplitOverTwoTransactions) {
  const quint32 seed = EnvSeed("HEMULU_CRASH_SEED");
  const RunResult r = KillRepeatedly("split", 200, seed);
  std::printf("negative control: caught after %d kills (seed %u)\n", r.kills, seed);
  ASSERT_FALSE(r.faults.isEmpty()) << "200 kills of a split sale went unnoticed";
  EXPECT_TRUE(r.faults.join('\n').contains(QStringLiteral("!= "))) << r.faults.join('\n').toStdString();
}

}  // namespace
}  // namespace hemulu::test
