// File only by nature: backups, restores, integrity checks and page sizes are whole-file
// work, meaningless on a server.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <cerrno>

#include "TestSupport.h"
#include "admin/MaintenanceLogic.h"
#include "data/DatabaseKey.h"
#include "data/EmbeddedFiles.h"
#include "data/Engine.h"
#include "data/Schema.h"

namespace hemulu {
namespace {

using test::TestApp;
using Kind = MaintenanceError::Kind;

qint64 InsertSale(Database& db, const QString& customer, const QString& date = QStringLiteral("2026-12-01 10:00:00")) {
  auto r = db.Execute(
      "insert into sell (名称, 销售数量, 销售金额, 客户名称, UID, 销售日期) values ('可口可乐', 1, 3, ?, 1, ?)",
      customer, date);
  EXPECT_TRUE(r.has_value());
  return db.LastInsertId();
}

// Words for the user: Chinese, and never the engine's or the system's English (a "U盘"
// is Chinese).
bool UserWords(const QString& text) {
  return !text.isEmpty() && !text.contains(QRegularExpression(QStringLiteral("[A-Za-z]{2,}")));
}

// The file opened as the program opens data.db, in a folder of its own.
struct OpenedCopy {
  explicit OpenedCopy(const QString& file) : db(dir.filePath(QStringLiteral("data.db"))) {
    EXPECT_TRUE(QFile::copy(file, dir.filePath(QStringLiteral("data.db"))));
    opened = db.Open().has_value();
  }
  QTemporaryDir dir;
  Database db;
  bool opened = false;
};

QByteArray FirstBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.read(16) : QByteArray();
}

// Files a failed or finished operation might have left behind.
QStringList Leftovers(const QString& folder) {
  return QDir(folder).entryList(QStringList{QStringLiteral(".*")}, QDir::Files | QDir::Hidden);
}

TEST(Backup, IsEncryptedConsistentAndLeavesTheOpenTransactionOut) {
  TestApp app;
  Database& db = app.ctx().db;
  test::InsertGoods(db, {});
  InsertSale(db, QStringLiteral("committed"));
  // A sale still open on the program's connection when the backup starts.
  auto tx = Transaction::Begin(db);
  ASSERT_TRUE(tx.has_value());
  InsertSale(db, QStringLiteral("uncommitted"));
  ASSERT_TRUE(db.Execute("update buy set 存货数量 = 存货数量 - 1"));

  QTemporaryDir out;
  const QString target = out.filePath(QStringLiteral("BackupData.db"));
  std::vector<qint64> seen;
  auto r = BackUpDatabase(app.ctx(), target, [&](qint64 done, qint64 total) {
    seen.push_back(done);
    return done <= total;
  });
  ASSERT_TRUE(r.has_value()) << r.error().reason.toStdString();
  ASSERT_TRUE(tx->Commit());
  EXPECT_FALSE(seen.empty());

  EXPECT_FALSE(FirstBytes(target).startsWith("SQLite format 3"));
  EXPECT_EQ(FirstBytes(target).size(), 16);
  OpenedCopy copy(target);
  ASSERT_TRUE(copy.opened);
  EXPECT_EQ(test::CountRows(copy.db, "sell"), 1);
  auto st = copy.db.Prepare("select 存货数量 from buy");
  ASSERT_TRUE(st && *st->Step());
  EXPECT_EQ(st->Double(0), 10.0);
  EXPECT_TRUE(Leftovers(out.path()).isEmpty());

  // Unkeyed, the copy is not a database at all.
  sqlite3* plain = nullptr;
  ASSERT_EQ(sqlite3_open_v2(QFile::encodeName(target).constData(), &plain, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  EXPECT_NE(sqlite3_exec(plain, "select count(*) from sqlite_master", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(plain);
}

QByteArray AllBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(Backup, TakesSalesStillInTheLogAndCopiesDataDbByteForByte) {
  TestApp app;
  Database& db = app.ctx().db;
  test::InsertGoods(db, {});
  InsertSale(db, QStringLiteral("in the log"));
  // Committed, but only in the -wal: data.db's own bytes do not hold the sale yet.
  const QString data_db = app.FilePath(QStringLiteral("data.db"));
  {
    OpenedCopy main_file_alone(data_db);
    ASSERT_TRUE(main_file_alone.opened);
    ASSERT_EQ(test::CountRows(main_file_alone.db, "sell"), 0);
  }

  QTemporaryDir out;
  const QString target = out.filePath(QStringLiteral("BackupData.db"));
  qint64 last_done = -1, last_total = -1;
  auto r = BackUpDatabase(app.ctx(), target, [&](qint64 done, qint64 total) {
    last_done = done, last_total = total;
    return true;
  });
  ASSERT_TRUE(r.has_value()) << r.error().reason.toStdString();
  EXPECT_EQ(last_done, last_total);
  OpenedCopy copy(target);
  ASSERT_TRUE(copy.opened);
  EXPECT_EQ(test::CountRows(copy.db, "sell"), 1);
  EXPECT_EQ(test::CountRows(copy.db, "buy"), 1);
  // The log was written back into data.db first and the backup is its very bytes.
  EXPECT_EQ(AllBytes(target), AllBytes(data_db));
  EXPECT_TRUE(Leftovers(out.path()).isEmpty());
  // The program goes on writing as before.
  InsertSale(db, QStringLiteral("after"));
  EXPECT_EQ(test::CountRows(db, "sell"), 2);
}

TEST(Backup, AReaderOfAnOlderSnapshotStillGivesTheLatestCommittedData) {
  TestApp app;
  Database& db = app.ctx().db;
  InsertSale(db, QStringLiteral("first"));
  // Another connection reading an older snapshot keeps the log from being written back
  // past it; the backup then copies through the engine.
  sqlite3* reader = nullptr;
  ASSERT_EQ(sqlite3_open(QFile::encodeName(app.FilePath(QStringLiteral("data.db"))).constData(), &reader), SQLITE_OK);
  ASSERT_TRUE(KeyConnection(reader));
  ASSERT_EQ(sqlite3_exec(reader, "BEGIN; select count(*) from sell;", nullptr, nullptr, nullptr), SQLITE_OK);
  InsertSale(db, QStringLiteral("second"));

  QTemporaryDir out;
  const QString target = out.filePath(QStringLiteral("BackupData.db"));
  auto r = BackUpDatabase(app.ctx(), target);
  ASSERT_TRUE(r.has_value()) << r.error().reason.toStdString();
  EXPECT_EQ(sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(reader);
  EXPECT_FALSE(FirstBytes(target).startsWith("SQLite format 3"));
  // Written by the engine: a file of its own, with a salt of its own.
  EXPECT_NE(FirstBytes(target), FirstBytes(app.FilePath(QStringLiteral("data.db"))));
  OpenedCopy copy(target);
  ASSERT_TRUE(copy.opened);
  EXPECT_EQ(test::CountRows(copy.db, "sell"), 2);
  EXPECT_TRUE(Leftovers(out.path()).isEmpty());
}

TEST(Backup, RefusesTheDatabaseItselfAndLeavesNothingOnFailure) {
  TestApp app;
  for (const QString& name :
       {QStringLiteral("data.db"), QStringLiteral("data.db-wal"), QStringLiteral("data.db-shm")}) {
    auto r = BackUpDatabase(app.ctx(), app.FilePath(name));
    ASSERT_FALSE(r.has_value()) << name.toStdString();
    EXPECT_EQ(r.error().kind, Kind::Refused);
  }
  // Another path to the same file.
  QTemporaryDir out;
  const QString link = out.filePath(QStringLiteral("link.db"));
  ASSERT_TRUE(QFile::link(app.FilePath(QStringLiteral("data.db")), link));
  EXPECT_FALSE(BackUpDatabase(app.ctx(), link));
  ASSERT_TRUE(QFile::remove(link));
  EXPECT_FALSE(BackUpDatabase(app.ctx(), out.path()));
  EXPECT_FALSE(BackUpDatabase(app.ctx(), out.filePath(QStringLiteral("no/such/folder/b.db"))));
  EXPECT_FALSE(BackUpDatabase(app.ctx(), QStringLiteral("  ")));

  // An existing target survives a cancel and a full disk untouched.
  const QString target = out.filePath(QStringLiteral("BackupData.db"));
  {
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("older backup");
  }
  auto cancelled = BackUpDatabase(app.ctx(), target, [](qint64, qint64) { return false; });
  ASSERT_FALSE(cancelled.has_value());
  EXPECT_EQ(cancelled.error().kind, Kind::Cancelled);
  auto full = BackUpDatabase(app.ctx(), target, {}, [](const QString&) { return qint64(4096); });
  ASSERT_FALSE(full.has_value());
  EXPECT_EQ(full.error().reason, QStringLiteral("磁盘空间不足"));
  EXPECT_EQ(FirstBytes(target), QByteArray("older backup"));
  EXPECT_TRUE(Leftovers(out.path()).isEmpty());
  EXPECT_TRUE(app.ctx().db.IsOpen());

  ASSERT_TRUE(BackUpDatabase(app.ctx(), target));
  OpenedCopy copy(target);
  EXPECT_TRUE(copy.opened);
}

TEST(Compaction, TwiceInARowKeepsTheRowsAndTheKey) {
  TestApp app;
  Database& db = app.ctx().db;
  for (int i = 0; i < 300; ++i) InsertSale(db, QString(40, QChar(0x5BA2)));
  ASSERT_TRUE(db.Execute("delete from sell where ID > 10"));
  ASSERT_TRUE(CompactDatabase(app.ctx()));
  auto second = CompactDatabase(app.ctx());
  ASSERT_TRUE(second.has_value()) << second.error().reason.toStdString();
  EXPECT_TRUE(db.IsOpen());
  EXPECT_EQ(test::CountRows(db, "sell"), 10);
  EXPECT_FALSE(FirstBytes(app.FilePath(QStringLiteral("data.db"))).startsWith("SQLite format 3"));
  OpenedCopy copy(app.FilePath(QStringLiteral("data.db")));
  ASSERT_TRUE(copy.opened);
  EXPECT_EQ(test::CountRows(copy.db, "sell"), 10);
}

TEST(Compaction, AFailureLeavesDataDbIntactAndOpen) {
  TestApp app;
  Database& db = app.ctx().db;
  InsertSale(db, QStringLiteral("kept"));
  auto full = CompactDatabase(app.ctx(), [](const QString&) { return qint64(0); });
  ASSERT_FALSE(full.has_value());
  EXPECT_EQ(full.error().reason, QStringLiteral("磁盘空间不足"));
  EXPECT_TRUE(db.IsOpen());
  EXPECT_EQ(test::CountRows(db, "sell"), 1);

  // The engine refusing: a read still in progress on the connection.
  auto reading = db.Prepare("select * from UserName");
  ASSERT_TRUE(reading && *reading->Step());
  auto busy = CompactDatabase(app.ctx());
  ASSERT_FALSE(busy.has_value());
  // The engine's English goes to the log only.
  EXPECT_TRUE(UserWords(busy.error().reason)) << busy.error().reason.toStdString();
  EXPECT_FALSE(busy.error().detail.isEmpty());
  reading = db.Prepare("select 1");
  EXPECT_TRUE(db.IsOpen());
  EXPECT_EQ(test::CountRows(db, "sell"), 1);
  InsertSale(db, QStringLiteral("after"));
  EXPECT_EQ(test::CountRows(db, "sell"), 2);
}

TEST(Reinitialisation, EmptiesEveryTableAndRestoresTheDefaultPassword) {
  TestApp app;
  Database& db = app.ctx().db;
  test::InsertGoods(db, {});
  InsertSale(db, QStringLiteral("x"));
  ASSERT_TRUE(db.Execute("insert into other (类型) values ('收入')"));
  ASSERT_TRUE(db.Execute("insert into bank (银行) values ('工商银行')"));
  ASSERT_TRUE(db.Execute("insert into UserName (用户名, 密码, 权限) values ('张三', '1', '操作员')"));
  ASSERT_TRUE(db.Execute("update UserName set 密码='999' where ID=1"));

  auto r = ReinitialiseDatabase(app.ctx());
  ASSERT_TRUE(r.has_value()) << r.error().reason.toStdString();
  ASSERT_TRUE(db.IsOpen());
  for (const char* table : {"buy", "sell", "other", "bank"}) EXPECT_EQ(test::CountRows(db, table), 0) << table;
  auto st = db.Prepare("select 用户名, 密码 from UserName");
  ASSERT_TRUE(st && *st->Step());
  EXPECT_EQ(st->Text(0), QStringLiteral("超级管理员"));
  EXPECT_EQ(st->Text(1), QStringLiteral("735"));
  EXPECT_FALSE(*st->Step());
  EXPECT_TRUE(Leftovers(app.Dir()).isEmpty());
  EXPECT_EQ(QFile::permissions(app.FilePath(QStringLiteral("data.db"))),
            QFile::permissions(app.FilePath(QStringLiteral("config.ini"))));
}

TEST(Restore, PutsTheBackupBackAndKeepsThePreviousDatabase) {
  TestApp app;
  Database& db = app.ctx().db;
  test::InsertGoods(db, {});
  test::InsertGoods(db, {});
  InsertSale(db, QStringLiteral("before backup"));
  QTemporaryDir out;
  const QString backup = out.filePath(QStringLiteral("BackupData.db"));
  ASSERT_TRUE(BackUpDatabase(app.ctx(), backup));
  InsertSale(db, QStringLiteral("after backup"));

  auto r = RestoreDatabase(app.ctx(), backup);
  ASSERT_TRUE(r.has_value()) << r.error().reason.toStdString();
  EXPECT_EQ(r->goods, 2);
  EXPECT_EQ(r->sales, 1);
  ASSERT_TRUE(db.IsOpen());
  EXPECT_EQ(test::CountRows(db, "sell"), 1);
  OpenedCopy previous(app.FilePath(QStringLiteral("data.db.before-restore")));
  ASSERT_TRUE(previous.opened);
  EXPECT_EQ(test::CountRows(previous.db, "sell"), 2);
  EXPECT_TRUE(Leftovers(app.Dir()).isEmpty());
  // The backup itself is left as it was, and a second restore keeps one generation.
  ASSERT_TRUE(RestoreDatabase(app.ctx(), backup));
  OpenedCopy kept(app.FilePath(QStringLiteral("data.db.before-restore")));
  EXPECT_EQ(test::CountRows(kept.db, "sell"), 1);
}

TEST(Restore, ADamagedOrForeignFileChangesNothing) {
  TestApp app;
  Database& db = app.ctx().db;
  InsertSale(db, QStringLiteral("current"));
  QTemporaryDir out;
  const QString good = out.filePath(QStringLiteral("good.db"));
  for (int i = 0; i < 200; ++i) InsertSale(db, QString(40, QChar(0x5BA2)));
  ASSERT_TRUE(BackUpDatabase(app.ctx(), good));
  ASSERT_TRUE(db.Execute("delete from sell where ID > 1"));

  auto write = [&](const QString& name, const QByteArray& bytes) {
    const QString path = out.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
  };
  QFile g(good);
  ASSERT_TRUE(g.open(QIODevice::ReadOnly));
  const QByteArray good_bytes = g.readAll();
  QByteArray flipped = good_bytes;
  flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 0x5A);

  // A database of another program, keyed with our key but with other tables.
  const QString foreign = out.filePath(QStringLiteral("foreign.db"));
  {
    sqlite3* f = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(foreign).constData(), &f), SQLITE_OK);
    ASSERT_TRUE(KeyConnection(f));
    ASSERT_EQ(sqlite3_exec(f, "create table buy (x); create table sell (y);", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(f);
  }
  const QString files[] = {
      write(QStringLiteral("empty.db"), QByteArray()),
      write(QStringLiteral("text.db"), QByteArray("not a database at all")),
      write(QStringLiteral("cut.db"), good_bytes.left(good_bytes.size() / 2)),
      write(QStringLiteral("flipped.db"), flipped),
      foreign,
      out.filePath(QStringLiteral("missing.db")),
      app.FilePath(QStringLiteral("data.db")),
  };
  for (const QString& file : files) {
    auto r = RestoreDatabase(app.ctx(), file);
    ASSERT_FALSE(r.has_value()) << file.toStdString();
    EXPECT_FALSE(r.error().reason.isEmpty());
    EXPECT_TRUE(db.IsOpen());
    EXPECT_EQ(test::CountRows(db, "sell"), 1) << file.toStdString();
  }
  auto cancelled = RestoreDatabase(app.ctx(), good, [](qint64, qint64) { return false; });
  ASSERT_FALSE(cancelled.has_value());
  EXPECT_EQ(cancelled.error().kind, Kind::Cancelled);
  EXPECT_EQ(test::CountRows(db, "sell"), 1);
  EXPECT_FALSE(QFile::exists(app.FilePath(QStringLiteral("data.db.before-restore"))));
  EXPECT_TRUE(Leftovers(app.Dir()).isEmpty());
}

TEST(Restore, ABackupWithTheOldPageSizeIsTakenAndConverted) {
  TestApp app;
  QTemporaryDir out;
  const QString old = out.filePath(QStringLiteral("old.db"));
  {
    sqlite3* f = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(old).constData(), &f), SQLITE_OK);
    ASSERT_TRUE(KeyConnection(f, kLegacyCipherPageSize));
    const std::string sql = schema::CreateSql() + "INSERT INTO buy (名称) VALUES ('旧商品');";
    ASSERT_EQ(sqlite3_exec(f, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(f);
  }
  auto r = RestoreDatabase(app.ctx(), old);
  ASSERT_TRUE(r.has_value()) << r.error().reason.toStdString();
  EXPECT_EQ(r->goods, 1);
  ASSERT_TRUE(app.ctx().db.IsOpen());
  EXPECT_EQ(test::CountRows(app.ctx().db, "buy"), 1);
  auto page = app.ctx().db.Prepare("PRAGMA page_size");
  ASSERT_TRUE(page && *page->Step());
  EXPECT_EQ(page->Int(0), kCipherPageSize);
}

TEST(Backup, RemovesThePartFilesOfAKilledBackupToTheSameFileAndNothingElse) {
  TestApp app;
  QTemporaryDir out;
  const QString target = out.filePath(QStringLiteral("BackupData.db"));
  auto make = [&](const QString& name) {
    QFile f(out.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << name.toStdString();
    f.write("left by a killed backup");
  };
  // What backups killed mid-copy left: the part file under the name the template gives,
  // and the companions the engine writes beside it.
  const QString part = QFileInfo(PartFileTemplate(target)).fileName();
  ASSERT_EQ(part, QStringLiteral(".BackupData.db.part-XXXXXX"));
  QStringList abandoned = {
      QStringLiteral(".BackupData.db.part-a1B2c3"), QStringLiteral(".BackupData.db.part-a1B2c3-wal"),
      QStringLiteral(".BackupData.db.part-a1B2c3-shm"), QStringLiteral(".BackupData.db.part-ZZZZZZ-journal")};
  {
    // As the part files of earlier versions were made.
    QTemporaryFile earlier(PartFileTemplate(target));
    earlier.setAutoRemove(false);
    ASSERT_TRUE(earlier.open());
    abandoned << QFileInfo(earlier.fileName()).fileName();
  }
  // Everything else is someone's file, however alike.
  const QStringList kept = {
      QStringLiteral(".BackupData.db.part-a1B2c"),     QStringLiteral(".BackupData.db.part-a1B2c3d"),
      QStringLiteral(".BackupData.db.part-a1B2c!"),    QStringLiteral(".BackupData.db.part-a1B2c3-old"),
      QStringLiteral("BackupData.db.part-a1B2c3"),     QStringLiteral(".Other.db.part-a1B2c3"),
      QStringLiteral(".BackupData.db.part-a1B2c3.db"), QStringLiteral("BackupData.db.bak"),
      QStringLiteral(".BackupData.db.part-In0use")};
  for (const QString& name : abandoned + kept) make(name);
  // A link of that name may point anywhere: it is not followed and not removed.
  ASSERT_TRUE(QFile::link(app.FilePath(QStringLiteral("config.ini")),
                          out.filePath(QStringLiteral(".BackupData.db.part-L1nk00"))));
  // Another program still writing its backup into the folder holds its part file locked.
  const int writer =
      ::open(QFile::encodeName(out.filePath(QStringLiteral(".BackupData.db.part-In0use"))).constData(), O_RDWR);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(::flock(writer, LOCK_EX), 0);

  auto r = BackUpDatabase(app.ctx(), target);
  ASSERT_TRUE(r.has_value()) << r.error().reason.toStdString();
  ::close(writer);
  for (const QString& name : abandoned) EXPECT_FALSE(QFile::exists(out.filePath(name))) << name.toStdString();
  for (const QString& name : kept) EXPECT_TRUE(QFile::exists(out.filePath(name))) << name.toStdString();
  EXPECT_TRUE(QFileInfo(out.filePath(QStringLiteral(".BackupData.db.part-L1nk00"))).isSymLink());
  EXPECT_TRUE(QFile::exists(app.FilePath(QStringLiteral("config.ini"))));
  OpenedCopy copy(target);
  EXPECT_TRUE(copy.opened);
}

TEST(FailureTexts, EveryKindOfEngineAndSystemFailureIsToldInChinese) {
  // Every engine code, extended ones and unknown ones included, is told in words.
  for (int code : {SQLITE_ERROR, SQLITE_BUSY, SQLITE_LOCKED, SQLITE_FULL, SQLITE_IOERR, SQLITE_IOERR_WRITE,
                   SQLITE_IOERR_FSYNC, SQLITE_CORRUPT, SQLITE_NOTADB, SQLITE_READONLY, SQLITE_READONLY_DBMOVED,
                   SQLITE_PERM, SQLITE_CANTOPEN, SQLITE_NOMEM, SQLITE_BUSY_SNAPSHOT, SQLITE_PROTOCOL, 4242}) {
    const QString text = EngineFailureText(KindOfEngineCode(code));
    EXPECT_TRUE(UserWords(text)) << code << " " << text.toStdString();
  }
  // Extended codes are told by their kind.
  EXPECT_EQ(KindOfEngineCode(SQLITE_BUSY_SNAPSHOT), DbError::Kind::Busy);
  EXPECT_EQ(KindOfEngineCode(SQLITE_IOERR_FSYNC), DbError::Kind::IoError);
  EXPECT_EQ(KindOfEngineCode(SQLITE_READONLY_DBMOVED), DbError::Kind::ReadOnly);
  EXPECT_EQ(EngineFailureText(DbError::Kind::Full), QStringLiteral("磁盘空间不足"));
  EXPECT_NE(EngineFailureText(DbError::Kind::Busy), EngineFailureText(DbError::Kind::Corrupt));
  for (int error : {ENOSPC, EDQUOT, EFBIG, EACCES, EPERM, EROFS, EIO, ENOENT, ENAMETOOLONG, EMFILE, EXDEV})
    EXPECT_TRUE(UserWords(SystemFailureText(error))) << error << " " << SystemFailureText(error).toStdString();
}

TEST(Restore, AsksWithWhatBothSidesHoldAndARefusalChangesNothing) {
  TestApp app;
  Database& db = app.ctx().db;
  test::InsertGoods(db, {});
  InsertSale(db, QStringLiteral("甲"), QStringLiteral("2026-11-03 09:15:00"));
  QTemporaryDir out;
  const QString backup = out.filePath(QStringLiteral("BackupData.db"));
  ASSERT_TRUE(BackUpDatabase(app.ctx(), backup));
  test::InsertGoods(db, {});
  InsertSale(db, QStringLiteral("乙"), QStringLiteral("2026-12-05 14:30:15"));
  InsertSale(db, QStringLiteral("丙"), QStringLiteral("2026-10-01 08:00:00"));

  auto current = CurrentContents(app.ctx());
  ASSERT_TRUE(current.has_value());
  EXPECT_EQ(current->goods, 2);
  EXPECT_EQ(current->sales, 3);
  std::optional<BackupContents> asked;
  auto refused = RestoreDatabase(app.ctx(), backup, {}, FreeSpaceIn, [&](const BackupContents& b) {
    asked = b;
    return false;
  });
  ASSERT_FALSE(refused.has_value());
  EXPECT_EQ(refused.error().kind, Kind::Cancelled);
  ASSERT_TRUE(asked.has_value());
  EXPECT_EQ(asked->goods, 1);
  EXPECT_EQ(asked->sales, 1);
  EXPECT_EQ(RestoreQuestion(*current, *asked),
            QStringLiteral("当前数据：商品 2 种，销售 3 笔，最近销售 2026年12月5日\n"
                           "备份文件：商品 1 种，销售 1 笔，最近销售 2026年11月3日\n\n"
                           "恢复后当前数据将被备份文件替换，确定要恢复吗？"));
  EXPECT_EQ(test::CountRows(db, "sell"), 3);
  EXPECT_FALSE(QFile::exists(app.FilePath(QStringLiteral("data.db.before-restore"))));
  EXPECT_TRUE(Leftovers(app.Dir()).isEmpty());

  // An empty side names no sale date; an unreadable one says so.
  EXPECT_EQ(
      RestoreQuestion(std::nullopt, BackupContents{}),
      QStringLiteral(
          "当前数据：无法读取\n备份文件：商品 0 种，销售 0 笔\n\n恢复后当前数据将被备份文件替换，确定要恢复吗？"));

  auto agreed = RestoreDatabase(app.ctx(), backup, {}, FreeSpaceIn, [](const BackupContents&) { return true; });
  ASSERT_TRUE(agreed.has_value()) << agreed.error().reason.toStdString();
  EXPECT_EQ(test::CountRows(db, "sell"), 1);
}

}  // namespace
}  // namespace hemulu
