// The loss itself, end to end: a program process sells (acknowledged, in the -wal),
// lists its folder in the backup folder browser, another process reads data.db through
// SQLite (the sqlcipher command-line client), the program sells again and is killed.
// Both sales must be in the database. Against the folder browser as it was before the
// mend (the negative control), the other client finds no locks, takes the file for
// unused, checkpoints and deletes the -wal, and the second sale goes into a deleted file.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "ChildProcess.h"
#include "TestSupport.h"
#include "data/DatabaseKey.h"
#include "data/EmbeddedFiles.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

struct Outcome {
  qint64 sales = -1;
  double stock = -1;
  bool other_client_read = false;
};

// Reads the database the way any SQLite client would: open, one read, close.
bool ReadWithTheCommandLineClient(const QString& database) {
  QProcess client;
  client.start(QStringLiteral("sqlcipher"), {database});
  if (!client.waitForStarted()) return false;
  client.write(QStringLiteral("PRAGMA key='%1';\nPRAGMA cipher_page_size=%2;\nselect count(*) from sell;\n")
                   .arg(QString::fromLatin1(kDatabasePassword))
                   .arg(kCipherPageSize)
                   .toUtf8());
  client.closeWriteChannel();
  return client.waitForFinished(30000) && client.exitCode() == 0 &&
         client.readAllStandardOutput().trimmed().endsWith('1');
}

Outcome SellBrowseReadSellKill(const char* mode) {
  Outcome outcome;
  QTemporaryDir dir;
  EXPECT_TRUE(WriteWorkingFiles(dir.path(), dir.path()).has_value());
  {
    ScriptedPrompter prompter;
    FixedClock clock;
    RecordingNotifier notifier;
    AppContext ctx(dir.path(), prompter, clock, notifier);
    EXPECT_TRUE(ctx.EnsureDatabaseOpen().has_value());
    EXPECT_EQ(InsertGoods(ctx.db, {}), 1);
  }
  ChildProcess child(HEMULU_LOCK_CHILD, {dir.path().toStdString(), mode}, true);
  EXPECT_TRUE(child.Started());
  // The first sale is acknowledged and the folder browser has listed the folder.
  if (!child.WaitForAcknowledged(2)) return outcome;
  EXPECT_TRUE(QFileInfo::exists(dir.filePath("data.db-wal")));
  outcome.other_client_read = ReadWithTheCommandLineClient(dir.filePath("data.db"));
  child.Send("\n");
  // The second sale is acknowledged: the program says "销售商品完成".
  if (!child.WaitForAcknowledged(3)) return outcome;
  child.Kill();

  ScriptedPrompter prompter;
  FixedClock clock;
  RecordingNotifier notifier;
  AppContext ctx(dir.path(), prompter, clock, notifier);
  EXPECT_TRUE(ctx.EnsureDatabaseOpen().has_value());
  outcome.sales = CountRows(ctx.db, "sell");
  if (auto st = ctx.Query("select 存货数量 from buy where ID=1"); st && st->Step().value_or(false))
    outcome.stock = st->Double(0);
  return outcome;
}

bool HaveTheClient() { return !QStandardPaths::findExecutable(QStringLiteral("sqlcipher")).isEmpty(); }

TEST(LockLoss, BothAcknowledgedSalesSurviveTheFolderBrowserAndAnotherClient) {
  if (!HaveTheClient()) GTEST_SKIP() << "the sqlcipher command-line client is not installed (scripts/install-deps)";
  const Outcome outcome = SellBrowseReadSellKill("mended");
  EXPECT_TRUE(outcome.other_client_read);
  EXPECT_EQ(outcome.sales, 2);
  EXPECT_EQ(outcome.stock, 8);
}

// The negative control: the same run against the old folder browser loses the second
// sale, so the run above can tell a mended program from a broken one.
TEST(LockLoss, NegativeControlTheOldFolderBrowserLosesTheSecondSale) {
  if (!HaveTheClient()) GTEST_SKIP() << "the sqlcipher command-line client is not installed (scripts/install-deps)";
  const Outcome outcome = SellBrowseReadSellKill("broken");
  EXPECT_TRUE(outcome.other_client_read);
  EXPECT_EQ(outcome.sales, 1);
  EXPECT_EQ(outcome.stock, 9);
}

}  // namespace
