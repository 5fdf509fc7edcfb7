// Files written with the old 1 KiB cipher page open after the change, with every row,
// and are converted once; a conversion killed at any step leaves a whole database.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "TestSupport.h"
#include "data/Engine.h"
#include "data/Schema.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

bool Exec(sqlite3* db, const std::string& sql) {
  return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

// A database as the program wrote it before the page size changed: 1 KiB pages, WAL,
// 300 goods (one with quotes), a deleted row (so AUTOINCREMENT's counter matters) and,
// last, rows still only in the write-ahead log of a process that died without closing.
QString WriteLegacyDatabase(const QString& dir) {
  const QString path = QDir(dir).filePath("data.db");
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
  EXPECT_TRUE(KeyConnection(db, kLegacyCipherPageSize));
  EXPECT_TRUE(Exec(db, "PRAGMA journal_mode=WAL"));
  EXPECT_TRUE(Exec(db, "BEGIN;" + schema::CreateSql() + "COMMIT;"));
  EXPECT_TRUE(Exec(db, "BEGIN"));
  for (int i = 0; i < 300; ++i)
    EXPECT_TRUE(Exec(
        db, "insert into buy (名称, 存货数量) values ('商品" + std::to_string(i) + "', " + std::to_string(i) + ")"));
  EXPECT_TRUE(Exec(db, "insert into buy (名称) values ('O''Brien''s \"茶\"')"));
  EXPECT_TRUE(Exec(db, "insert into buy (名称) values ('deleted')"));
  EXPECT_TRUE(Exec(db, "delete from buy where 名称='deleted'"));
  EXPECT_TRUE(Exec(db, "insert into sell (名称, 销售金额) values ('商品1', 12.5)"));
  EXPECT_TRUE(Exec(db, "COMMIT"));
  sqlite3_close(db);

  const pid_t child = fork();
  if (child == 0) {
    sqlite3* c = nullptr;
    sqlite3_open(path.toUtf8().constData(), &c);
    const bool ok = KeyConnection(c, kLegacyCipherPageSize) && Exec(c, "PRAGMA wal_autocheckpoint=0") &&
                    Exec(c, "insert into other (类型, 金额) values ('收入', 100)") &&
                    Exec(c, "insert into bank (银行, 金额) values ('工商银行', -50)");
    _exit(ok ? 0 : 1);  // no close: the rows stay in the log
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_GT(QFileInfo(path + "-wal").size(), 0);
  return path;
}

// Opens `path` with the given page size only; true when it reads as a database.
bool ReadsWithPageSize(const QString& path, int page_size) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
  const bool ok = KeyConnection(db, page_size) && Exec(db, "select count(*) from sqlite_master");
  sqlite3_close(db);
  return ok;
}

void ExpectAllLegacyRows(Database& db) {
  EXPECT_EQ(CountRows(db, "buy"), 301);
  EXPECT_EQ(CountRows(db, "sell"), 1);
  EXPECT_EQ(CountRows(db, "other"), 1);
  EXPECT_EQ(CountRows(db, "bank"), 1);
  EXPECT_EQ(CountRows(db, "UserName"), 1);
  auto st = db.Prepare("select sum(存货数量), count(*) from buy where 名称 like ? or 名称 like ?");
  ASSERT_TRUE(st);
  st->BindAll(QStringLiteral("商品%"), QStringLiteral("O'Brien's \"茶\""));
  ASSERT_TRUE(st->Step().value_or(false));
  EXPECT_EQ(st->Double(0), 299 * 300 / 2);
  EXPECT_EQ(st->Int(1), 301);
  auto bank = db.Prepare("select 金额 from bank where 银行='工商银行'");
  ASSERT_TRUE(bank && bank->Step().value_or(false));
  EXPECT_EQ(bank->Double(0), -50);
}

}  // namespace

TEST(PageSizeConversion, LegacyFileOpensWithEveryRowAndIsConvertedOnce) {
  QTemporaryDir dir;
  const QString path = WriteLegacyDatabase(dir.path());
  ASSERT_TRUE(ReadsWithPageSize(path, kLegacyCipherPageSize));
  ASSERT_FALSE(ReadsWithPageSize(path, kCipherPageSize));

  {
    Database db(path);
    auto opened = db.Open();
    ASSERT_TRUE(opened) << opened.error().engine_code << " " << opened.error().message.toStdString();
    ExpectAllLegacyRows(db);
    // The counter of the deleted row survives: a new row does not reuse its ID.
    ASSERT_TRUE(db.Execute("insert into buy (名称) values ('新')"));
    EXPECT_EQ(db.LastInsertId(), 303);
  }
  EXPECT_TRUE(ReadsWithPageSize(path, kCipherPageSize));
  EXPECT_FALSE(ReadsWithPageSize(path, kLegacyCipherPageSize));
  // Nothing is left beside it once the converted file has opened.
  EXPECT_FALSE(QFile::exists(LegacyBackupPath(path)));
  EXPECT_FALSE(QFile::exists(ConversionTempPath(path)));

  // The second open is a plain open of the converted file.
  bool converted_again = false;
  Database again(path);
  again.SetConversionHook([&](ConversionStep) { converted_again = true; });
  ASSERT_TRUE(again.Open());
  EXPECT_FALSE(converted_again);
  EXPECT_EQ(CountRows(again, "buy"), 302);
}

TEST(PageSizeConversion, AConversionKilledAtAnyStepLeavesTheOldOrTheNewDatabase) {
  for (ConversionStep stop : {ConversionStep::Exported, ConversionStep::Synced, ConversionStep::Verified,
                              ConversionStep::BackupKept, ConversionStep::Replaced}) {
    SCOPED_TRACE(static_cast<int>(stop));
    QTemporaryDir dir;
    const QString path = WriteLegacyDatabase(dir.path());
    const pid_t child = fork();
    if (child == 0) {
      Database db(path);
      db.SetConversionHook([stop](ConversionStep s) {
        if (s == stop) _exit(0);  // as sudden as a kill: nothing closed, nothing cleaned
      });
      (void)db.Open();
      _exit(3);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0) << "the conversion did not reach its step";
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_TRUE(ReadsWithPageSize(path, kLegacyCipherPageSize) || ReadsWithPageSize(path, kCipherPageSize));

    // The next start opens it with every row, and finishes the conversion if needed.
    Database db(path);
    ASSERT_TRUE(db.Open());
    ExpectAllLegacyRows(db);
    db.Close();
    EXPECT_TRUE(ReadsWithPageSize(path, kCipherPageSize));
    EXPECT_FALSE(QFile::exists(ConversionTempPath(path)));
  }
}

TEST(PageSizeConversion, AFileOfNeitherPageSizeIsRefusedAndNothingIsWritten) {
  QTemporaryDir dir;
  const QString path = QDir(dir.path()).filePath("data.db");
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
  ASSERT_TRUE(KeyConnection(db, 4096));
  ASSERT_TRUE(Exec(db, schema::CreateSql()));
  sqlite3_close(db);
  const QStringList before = QDir(dir.path()).entryList(QDir::Files);
  Database refused(path);
  EXPECT_FALSE(refused.Open());
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), before);
}
