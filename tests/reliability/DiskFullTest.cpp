// A full disk, made with a file size limit (RLIMIT_FSIZE, as `ulimit -f` does) or a
// small tmpfs: a sale, a goods entry, a ledger entry and a backup each fail with a clear
// message, store nothing, leave no part file, and leave a database that passes its
// check, sells again once there is room, and opens afresh. And a data.db made read-only
// while the program has it open: the next write is refused with a message.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include "ChildProcess.h"
#include "TestSupport.h"
#include "admin/MaintenanceLogic.h"
#include "admin/MaintenanceWindow.h"
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
    EXPECT_EQ(ActionError::Kind::Database, sale.error().kind);
    EXPECT_TRUE(sale.error().message.startsWith(failed)) << sale.error().message.toStdString();
    // In the user's words: the engine's own (English) words go to the log only.
    EXPECT_FALSE(sale.error().message.contains(QRegularExpression(QStringLiteral("[A-Za-z]{2,}"))))
        << sale.error().message.toStdString();

    GoodsForm form{QStringLiteral("饮料"),
                   QStringLiteral("雪碧"),
                   QStringLiteral("330ml"),
                   QStringLiteral("XB330"),
                   QString(),
                   QString(),
                   QStringLiteral("2"),
                   QStringLiteral("5"),
                   QStringLiteral("3"),
                   QDate(2026, 12, 8)};
    auto entered = InsertNewGoods(app.ctx(), form);
    ASSERT_FALSE(entered.has_value());
    EXPECT_TRUE(entered.error().Message().startsWith(failed)) << entered.error().Message().toStdString();

    LedgerForm entry{QStringLiteral("房租"), QStringLiteral("1"), QString(),         QString(),
                     QStringLiteral("100"),  QString(),           QDate(2026, 12, 8)};
    auto recorded = RecordLedgerEntry(app.ctx(), LedgerKind::Expense, entry);
    ASSERT_FALSE(recorded.has_value());
    EXPECT_TRUE(recorded.error().Message().startsWith(failed)) << recorded.error().Message().toStdString();
    EXPECT_FALSE(recorded.error().Message().contains(QRegularExpression(QStringLiteral("[A-Za-z]{2,}"))))
        << recorded.error().Message().toStdString();
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

// Enough goods rows that data.db is some hundreds of kilobytes.
void FillGoods(Database& db, int rows) {
  ASSERT_TRUE(db.ExecScript("BEGIN").has_value());
  for (int i = 0; i < rows; ++i) {
    GoodsRow row;
    row.name = QStringLiteral("商品%1").arg(i);
    row.code = QStringLiteral("SP%1").arg(i);
    row.note = QStringLiteral("备注").repeated(20);
    InsertGoods(db, row);
  }
  ASSERT_TRUE(db.ExecScript("COMMIT; PRAGMA wal_checkpoint(TRUNCATE);").has_value());
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList FilesIn(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

bool HasChinese(const QString& text) {
  for (QChar c : text)
    if (c.unicode() >= 0x4e00 && c.unicode() <= 0x9fff) return true;
  return false;
}

// A backup made while `full` stands: the logic fails with a reason in Chinese (returned),
// the window shows "备份数据库失败了" with it, the backup made before is untouched, and
// no part file is left beside it.
QString BackupFailsWhole(TestApp& app, const QString& folder,
                         const std::function<std::unique_ptr<void, void (*)(void*)>()>& full) {
  const QString target = QDir(folder).filePath(QStringLiteral("BackupData.db"));
  EXPECT_TRUE(BackUpDatabase(app.ctx(), target).has_value());  // the earlier backup
  const QByteArray earlier = ReadAll(target);
  InsertGoods(app.ctx().db, GoodsRow{});
  // The disk fills after the free-space check: the copy itself must fail cleanly.
  const FreeSpaceProbe plenty = [](const QString&) { return qint64(1) << 40; };

  QString reason;
  {
    auto scope = full();
    auto done = BackUpDatabase(app.ctx(), target, {}, plenty);
    EXPECT_FALSE(done.has_value());
    if (!done) {
      EXPECT_EQ(MaintenanceError::Kind::Failed, done.error().kind);
      reason = done.error().reason;
    }
  }
  EXPECT_TRUE(HasChinese(reason)) << reason.toStdString();
  EXPECT_EQ(FilesIn(folder), QStringList{QStringLiteral("BackupData.db")});
  EXPECT_EQ(ReadAll(target), earlier);

  MaintenanceWindow window(app.ctx(), [] {});
  window.SetFreeSpaceProbe(plenty);
  auto* box = window.findChild<QLineEdit*>(QStringLiteral("编辑框1"));
  EXPECT_NE(nullptr, box);
  if (!box) return reason;
  box->setText(target);
  app.prompter.AnswerConfirm(true);  // replace the earlier backup
  app.prompter.ExpectMessage(QStringLiteral("备份数据库失败了\n\n") + reason);
  {
    auto scope = full();
    window.BackUp();
  }
  EXPECT_EQ(MessageKind::Stop, app.prompter.Prompts().back().icon);
  EXPECT_EQ(FilesIn(folder), QStringList{QStringLiteral("BackupData.db")});
  EXPECT_EQ(ReadAll(target), earlier);
  EXPECT_EQ("ok", IntegrityCheck(app.ctx().db).toStdString());
  // Room again: the same backup goes through.
  EXPECT_TRUE(BackUpDatabase(app.ctx(), target).has_value());
  return reason;
}

using Scope = std::unique_ptr<void, void (*)(void*)>;

TEST(DiskFull, BackupPastTheLargestFileSizeFailsWithAMessageAndLeavesNoPartFile) {
  TestApp app;
  FillGoods(app.ctx().db, 2000);
  QTemporaryDir out;
  // A limit on a page boundary refuses the next page outright (EFBIG), as a file system
  // with a largest file size does; one within a page lets part of it through.
  for (rlim_t limit : {rlim_t(128 * 1024), rlim_t(128 * 1024 + 100)}) {
    SCOPED_TRACE(limit);
    const QString reason = BackupFailsWhole(app, out.path(), [limit] {
      return Scope(new FileSizeLimit(limit), [](void* p) { delete static_cast<FileSizeLimit*>(p); });
    });
    std::printf("backup past a file size limit of %llu bytes: %s\n", static_cast<unsigned long long>(limit),
                reason.toUtf8().constData());
  }
}

// A real full disk (ENOSPC): a 4 MiB tmpfs, filled up once the earlier backup is on it.
// Mounting needs root.
TEST(DiskFull, BackupOnAFullDiskFailsWithAMessageAndLeavesNoPartFile) {
  QTemporaryDir mount_point;
  const QByteArray where = QFile::encodeName(mount_point.path());
  if (geteuid() != 0 || mount("hemulu-test", where.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=4m") != 0)
    GTEST_SKIP() << "a tmpfs cannot be mounted here (needs root); the file-size-limit case stands in for it";
  struct Unmount {
    QByteArray where;
    ~Unmount() { umount2(where.constData(), MNT_DETACH); }
  } unmount{where};
  TestApp app;
  FillGoods(app.ctx().db, 2000);
  // The earlier backup fits; a filler file then takes the rest of the disk.
  const QString reason = BackupFailsWhole(app, mount_point.path(), [&] {
    auto* filler = new QString(QDir(mount_point.path()).filePath(QStringLiteral("filler")));
    QFile f(*filler);
    if (f.open(QIODevice::WriteOnly)) {
      const QByteArray block(64 * 1024, 'x');
      while (f.write(block) == block.size() && f.flush()) {
      }
    }
    return Scope(filler, [](void* p) {
      auto* path = static_cast<QString*>(p);
      QFile::remove(*path);
      delete path;
    });
  });
  EXPECT_EQ(QStringLiteral("磁盘空间不足"), reason);
}

// data.db made read-only while the program has it open. Root passes any permission, so
// a root run hands the folder to the unprivileged user 65534, as whom the child runs.
TEST(ReadOnly, DataDbMadeReadOnlyWhileOpenRefusesTheNextWriteWithAMessage) {
  signal(SIGPIPE, SIG_IGN);  // a child that died must fail the test, not end it
  QTemporaryDir dir;
  ASSERT_TRUE(PrepareSalesFolder(dir.path()));
  const QString db = dir.filePath(QStringLiteral("data.db"));
  if (geteuid() == 0) {
    const QStringList names = FilesIn(dir.path()) << QString();
    for (const QString& name : names)
      ASSERT_EQ(0, chown(QFile::encodeName(QDir(dir.path()).filePath(name)).constData(), 65534, 65534));
  }
  ChildProcess child(HEMULU_READONLY_CHILD, {dir.path().toStdString()}, true);
  ASSERT_TRUE(child.Started());
  auto ask = [&](const char* command) -> qint64 {
    const std::size_t before = child.Lines();
    if (!child.Send(command) || !child.WaitForAcknowledged(before + 1)) return -1;
    return child.Values().back();
  };
  // Writable: a sale and a goods entry go through.
  const qint64 first = ask("s");
  if (first < 0) {
    const int status = child.Wait();
    if (WIFEXITED(status) && WEXITSTATUS(status) == 4)
      GTEST_SKIP() << "root here cannot become an unprivileged user (no CAP_SETUID), and root writes any file";
  }
  EXPECT_EQ(1, first);
  EXPECT_EQ(1, ask("g"));

  ASSERT_EQ(0, chmod(QFile::encodeName(db).constData(), 0444));
  // The next write, on the connection opened before, and after it opens afresh.
  EXPECT_EQ(2, ask("s"));
  EXPECT_EQ(2, ask("g"));
  const qint64 reopened = ask("r");
  EXPECT_TRUE(reopened == 1 || reopened == 2) << reopened;
  EXPECT_EQ(2, ask("s"));
  EXPECT_EQ(2, ask("g"));
  ASSERT_TRUE(child.Send("q"));
  const int status = child.Wait();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

  // Nothing half-written: one sale and one goods row more than prepared, stock whole.
  ASSERT_EQ(0, chmod(QFile::encodeName(db).constData(), 0644));
  ScriptedPrompter prompter;
  FixedClock clock;
  RecordingNotifier notifier;
  AppContext ctx(dir.path(), prompter, clock, notifier);
  ASSERT_TRUE(ctx.EnsureDatabaseOpen().has_value());
  EXPECT_EQ("ok", IntegrityCheck(ctx.db).toStdString());
  EXPECT_EQ(1, CountRows(ctx.db, "sell"));
  EXPECT_EQ(21, CountRows(ctx.db, "buy"));
  auto broken = ctx.db.Prepare(
      "select count(*) from buy b where 编码 like 'SP%' and "
      "abs(存货数量 + (select coalesce(sum(销售数量),0) from sell s where s.UID=b.ID) - ?) > 1e-9");
  ASSERT_TRUE(broken.has_value());
  broken->BindAll(kInitialStock);
  ASSERT_TRUE(broken->Step().value_or(false));
  EXPECT_EQ(0, broken->Int(0));
}

}  // namespace
}  // namespace hemulu::test
