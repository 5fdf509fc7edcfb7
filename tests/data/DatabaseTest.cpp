#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>

#include "EngineSupport.h"
#include "TestSupport.h"
#include "data/EmbeddedFiles.h"
#include "data/Engine.h"
#include "data/Schema.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {
QByteArray Hash(const QString& path) {
  QFile f(path);
  f.open(QIODevice::ReadOnly);
  return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

std::vector<std::string> ColumnsOf(Database& db, const char* table) {
  std::vector<std::string> names;
  auto st = db.Prepare(std::string("PRAGMA table_info(\"") + table + "\")");
  while (st && st->Step().value_or(false)) names.push_back(st->Text(1).toStdString());
  return names;
}

void ExpectOpenFailsAndFileUnchanged(const QString& dir) {
  const QString path = QDir(dir).filePath("data.db");
  const QByteArray before = Hash(path);
  ScriptedPrompter prompter;
  FixedClock clock;
  RecordingNotifier notifier;
  AppContext ctx(dir, prompter, clock, notifier);
  // The data layer shows nothing: the failure, with the engine's reason, is a value.
  const auto open = ctx.EnsureDatabaseOpen();
  ASSERT_FALSE(open);
  EXPECT_TRUE(open.error().Unavailable());
  EXPECT_FALSE(open.error().message.isEmpty());
  EXPECT_TRUE(prompter.Prompts().empty());
  // Callers go on with empty results.
  EXPECT_FALSE(ctx.db.Prepare("select * from buy").has_value());
  EXPECT_FALSE(ctx.EnsureDatabaseOpen());
  // A window reports it as the one message.
  prompter.ExpectMessage("打开数据库失败！");
  ctx.ReportDatabaseUnavailable(open.error().message);
  ASSERT_EQ(prompter.Prompts().size(), 1u);
  EXPECT_EQ(prompter.Prompts()[0].caption, "提示");
  EXPECT_EQ(prompter.Prompts()[0].icon, MessageKind::Stop);
  ctx.db.Close();
  EXPECT_EQ(Hash(path), before);
  EXPECT_TRUE(QFile::exists(path));
}
}  // namespace

TEST(Database, TemplateHoldsTheFiveTablesAndTheBuiltInAccount) {
  TestApp app;
  Database& db = app.ctx().db;
  for (const schema::Table& t : schema::Tables()) {
    std::vector<std::string> expected;
    for (const schema::Column& c : t.columns) expected.push_back(c.name);
    EXPECT_EQ(ColumnsOf(db, t.name), expected) << t.name;
  }
  EXPECT_EQ(CountRows(db, "buy"), 0);
  EXPECT_EQ(CountRows(db, "sell"), 0);
  auto st = db.Prepare("select ID, 用户名, 密码, 权限 from UserName");
  ASSERT_TRUE(st && st->Step().value_or(false));
  EXPECT_EQ(st->Int(0), 1);
  EXPECT_EQ(st->Text(1), "超级管理员");
  EXPECT_EQ(st->Text(2), "735");
  EXPECT_EQ(st->Text(3), "超级管理员");
  EXPECT_FALSE(st->Step().value_or(true));

  auto mode = db.Prepare("PRAGMA journal_mode");
  ASSERT_TRUE(mode && mode->Step().value_or(false));
  EXPECT_EQ(mode->Text(0), "wal");
  auto indexes = db.Prepare(
      "select count(*) from sqlite_master where type='index' and name in "
      "('UID','sell_销售日期','other_日期','bank_日期','buy_入库日期')");
  ASSERT_TRUE(indexes && indexes->Step().value_or(false));
  EXPECT_EQ(indexes->Int(0), 5);
}

TEST(Database, TemplateIsWrittenByteForByteAndNeverReplaced) {
  QTemporaryDir dir;
  ASSERT_TRUE(WriteWorkingFiles(dir.path(), dir.path()));
  QFile f(dir.filePath("data.db"));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), TemplateDatabaseBytes());
  f.close();
  // Not a plain SQLite file: the header is encrypted.
  EXPECT_FALSE(TemplateDatabaseBytes().startsWith("SQLite format 3"));

  // An existing file, even empty, stays as it is.
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.close();
  ASSERT_TRUE(WriteWorkingFiles(dir.path(), dir.path()));
  EXPECT_EQ(QFileInfo(dir.filePath("data.db")).size(), 0);
  ExpectOpenFailsAndFileUnchanged(dir.path());
}

// The part file of a re-initialisation or restore cut short by a crash goes at the next
// start; every other file beside data.db, hidden or not, stays.
TEST(Database, StartUpRemovesOnlyCutShortPartFilesOfDataDb) {
  QTemporaryDir dir;
  const QString part = QFileInfo(PartFileTemplate(dir.filePath("data.db"))).fileName().replace("XXXXXX", "a1B2c3");
  const QStringList kept{".data.db.backup", ".data.db.part-a1B2c3d", "data.db.before-restore",
                         ".BackupData.db.part-a1B2c3", "data.db.part-a1B2c3"};
  for (const QString& name : kept + QStringList{part}) {
    QFile f(dir.filePath(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
  }
  ASSERT_TRUE(WriteWorkingFiles(dir.path(), dir.path()));
  EXPECT_FALSE(QFileInfo::exists(dir.filePath(part)));
  for (const QString& name : kept) EXPECT_TRUE(QFileInfo::exists(dir.filePath(name))) << name.toStdString();
}

TEST(Database, EmbeddedBlockLayoutIsChecked) {
  const unsigned char good[] = {1, 0, 0, 0, 3, 0, 0, 0, 'a', 'b', 'c'};
  EXPECT_EQ(BlockBytes(good, sizeof good), QByteArray("abc"));
  const unsigned char wrong_tag[] = {2, 0, 0, 0, 3, 0, 0, 0, 'a', 'b', 'c'};
  EXPECT_FALSE(BlockBytes(wrong_tag, sizeof wrong_tag));
  const unsigned char too_long[] = {1, 0, 0, 0, 9, 0, 0, 0, 'a', 'b', 'c'};
  EXPECT_FALSE(BlockBytes(too_long, sizeof too_long));
}

TEST(Database, ForeignWrongKeyAndDamagedFilesAreRefusedUntouched) {
  {  // a text file
    QTemporaryDir dir;
    QFile f(dir.filePath("data.db"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'x'));
    f.close();
    ExpectOpenFailsAndFileUnchanged(dir.path());
  }
  {  // an SQLite file under another key
    QTemporaryDir dir;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(dir.filePath("data.db").toUtf8().constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_key(db, "other", 5), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, schema::CreateSql().c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    ExpectOpenFailsAndFileUnchanged(dir.path());
  }
  {  // the real template with a damaged first page
    QTemporaryDir dir;
    ASSERT_TRUE(WriteWorkingFiles(dir.path(), dir.path()));
    QFile f(dir.filePath("data.db"));
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek(200);
    f.write(QByteArray(64, '\x5a'));
    f.close();
    ExpectOpenFailsAndFileUnchanged(dir.path());
  }
  {  // a file cut short
    QTemporaryDir dir;
    ASSERT_TRUE(WriteWorkingFiles(dir.path(), dir.path()));
    ASSERT_TRUE(QFile::resize(dir.filePath("data.db"), 2048));
    ExpectOpenFailsAndFileUnchanged(dir.path());
  }
  {  // no file at all: nothing is created
    QTemporaryDir dir;
    ScriptedPrompter prompter;
    FixedClock clock;
    RecordingNotifier notifier;
    AppContext ctx(dir.path(), prompter, clock, notifier);
    EXPECT_FALSE(ctx.EnsureDatabaseOpen());
    EXPECT_FALSE(QFile::exists(dir.filePath("data.db")));
  }
}

namespace {
class DatabaseOn : public EngineTest {};
HEMULU_ON_BOTH_ENGINES(DatabaseOn);
}  // namespace

TEST_P(DatabaseOn, TransactionRollsBackUnlessCommitted) {
  Database& db = this->db();
  {
    auto tx = Transaction::Begin(db);
    ASSERT_TRUE(tx);
    InsertGoods(db, GoodsRow{});
  }
  EXPECT_EQ(CountRows(db, "buy"), 0);
  {
    auto tx = Transaction::Begin(db);
    ASSERT_TRUE(tx);
    InsertGoods(db, GoodsRow{});
    ASSERT_TRUE(tx->Commit());
  }
  EXPECT_EQ(CountRows(db, "buy"), 1);
}

TEST_P(DatabaseOn, ValuesWithQuotesAreStoredAndFoundAsTyped) {
  Database& db = this->db();
  GoodsRow row;
  row.name = "O'Brien's \"好\" 茶";
  InsertGoods(db, row);
  auto st = db.Prepare("select 名称 from buy where 名称 like ?");
  ASSERT_TRUE(st);
  st->BindAll(QStringLiteral("%'Brien's%"));
  ASSERT_TRUE(st->Step().value_or(false));
  EXPECT_EQ(st->Text("名称"), row.name);
  EXPECT_EQ(st->ColumnIndex("nope"), -1);
  EXPECT_EQ(st->Text("nope"), "");
}
