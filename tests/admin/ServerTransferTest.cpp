// A whole shop moved between the file and a server, and backup and restore of a shop on
// a server: against a real file and a database of its own in the test cluster.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <memory>

#include "EngineSupport.h"
#include "TestSupport.h"
#include "admin/MaintenanceLogic.h"
#include "admin/MaintenanceWindow.h"
#include "data/DatabaseFiles.h"
#include "data/Schema.h"
#include "data/StockMoves.h"

namespace hemulu {
namespace {

using Kind = MaintenanceError::Kind;
using schema::ColumnType;

// Every row of every table, each cell as text by its column's kind, ordered by ID.
std::vector<QString> Dump(Database& db) {
  std::vector<QString> rows;
  for (const schema::Table* t : schema::StoredTables()) {
    std::string columns;
    for (const schema::Column& c : t->columns) columns += std::string(columns.empty() ? "\"" : ", \"") + c.name + "\"";
    auto st = db.Prepare("SELECT " + columns + " FROM \"" + t->name + "\" ORDER BY \"ID\"");
    EXPECT_TRUE(st.has_value()) << t->name;
    if (!st) continue;
    while (true) {
      auto more = st->Step();
      EXPECT_TRUE(more.has_value());
      if (!more || !*more) break;
      QString row = QString::fromUtf8(t->name);
      for (std::size_t i = 0; i < t->columns.size(); ++i) {
        const int col = static_cast<int>(i);
        row += QStringLiteral(" | ");
        if (st->CellIsNull(col)) {
          row += QStringLiteral("NULL");
        } else if (t->columns[i].type == ColumnType::Double) {
          row += QString::number(st->CellDouble(col), 'g', 17);
        } else if (t->columns[i].type == ColumnType::AutoId || t->columns[i].type == ColumnType::Long) {
          row += QString::number(st->CellInt(col));
        } else {
          row += st->Text(col);
        }
      }
      rows.push_back(row);
    }
  }
  return rows;
}

std::vector<QString> DailyTotals(Database& db) {
  std::vector<QString> rows;
  auto st =
      db.Prepare("SELECT \"日期\", \"销售金额\", \"净利润\", \"最大销售金额\", \"笔数\" FROM \"sell_day\" ORDER BY 1");
  EXPECT_TRUE(st.has_value());
  while (st && st->Step().value_or(false))
    rows.push_back(st->Text(0) + QStringLiteral(" %1 %2 %3 %4")
                                     .arg(st->CellDouble(1), 0, 'g', 17)
                                     .arg(st->CellDouble(2), 0, 'g', 17)
                                     .arg(st->CellDouble(3), 0, 'g', 17)
                                     .arg(st->CellInt(4)));
  return rows;
}

qint64 Sale(Database& db, const QString& customer, double amount, const QString& date) {
  auto r = db.Execute(
      "insert into sell (名称, 编码, 进货单价, 销售单价, 销售数量, 销售金额, 欠款额, 净利润, 销售日期, 客户名称, 备注, "
      "\"UID\") values ('可口可乐', 'KKKL500ml', 2, ?, 1, ?, 0.1, ?, ?, ?, ?, 1)",
      amount, amount, amount - 2, date, customer, QStringLiteral("备注\t含\\反斜杠\n换行"));
  EXPECT_TRUE(r.has_value()) << (r ? "" : r.error().message.toStdString());
  return db.LastInsertId();
}

// A shop with something in every kind of cell: quotes, Chinese, tabs and backslashes,
// NULLs, dates, money with fractions, gaps in the IDs.
void FillShop(Database& db) {
  test::GoodsRow goods;
  goods.name = QStringLiteral("王老吉'凉茶\"");
  goods.stock = 7.25;
  goods.buy_price = 0.1;
  test::InsertGoods(db, goods);
  test::GoodsRow second;
  second.name = QStringLiteral("农夫山泉");
  second.note = QStringLiteral("第一行\n第二行");
  const qint64 gone = test::InsertGoods(db, second);
  test::GoodsRow third;
  third.name = QStringLiteral("康师傅");
  third.note = QStringLiteral("甲\t乙\\");
  test::InsertGoods(db, third);
  ASSERT_TRUE(db.Execute("delete from buy where ID = ?", gone));
  // Its stock leaves with it, as a delete through the goods window records.
  ASSERT_TRUE(
      db.Execute("insert into stock_move (日期, 操作员, 商品号, 名称, 业务, 数量, 结存数量) values "
                 "('2026-12-02 08:00:00', '超级管理员', ?, '农夫山泉', '删除', -10, 0)",
                 gone));
  Sale(db, QStringLiteral("张三'"), 3.3, QStringLiteral("2026-12-01 10:00:00"));
  const qint64 gap = Sale(db, QStringLiteral("李四"), 1e-3, QStringLiteral("2026-12-01 11:00:00"));
  Sale(db, QStringLiteral("王五"), 12345678.91, QStringLiteral("2026-12-02 09:30:00"));
  ASSERT_TRUE(db.Execute("delete from sell where ID = ?", gap));
  ASSERT_TRUE(db.Execute("insert into sell (名称, UID) values ('无日期', 1)"));
  ASSERT_TRUE(
      db.Execute("insert into other (类型, 项目, 金额, 日期) values ('支出', '房租', -1500.5, "
                 "'2026-12-03 00:00:00')"));
  ASSERT_TRUE(
      db.Execute("insert into bank (银行, 账户, 金额, 日期, 备注) values ('工商银行', '6222', 800, "
                 "'2026-12-04 00:00:00', ?)",
                 QStringLiteral("存款 \\N 不是空值")));
  ASSERT_TRUE(db.Execute("insert into UserName (用户名, 密码, 权限) values ('收银员', '1', '普通用户')"));
}

// A shop of one goods with 4 in stock, as an older program's file: written before
// repayments and the movements journal were kept. Made in a backup `file`, or, given
// none, in the app's data.db itself (closed).
void MakeOlderShop(test::TestApp& app, QString file = {}) {
  test::GoodsRow goods;
  goods.name = QStringLiteral("旧版本的商品");
  goods.stock = 4;
  test::InsertGoods(app.ctx().db, goods);
  if (file.isEmpty()) {
    file = app.FilePath(QStringLiteral("data.db"));
    app.ctx().db.Close();
  } else {
    ASSERT_TRUE(BackUpDatabase(app.ctx(), file));
  }
  KeyedFile f;
  ASSERT_TRUE(f.Open(file));
  ASSERT_TRUE(f.Exec("DROP TABLE repayment; DROP TABLE repayment_part; DROP TABLE stock_move; DROP TABLE stock_check"));
}

// The older shop's one goods is there, its stock its opening movement, as at an older
// file's first open.
void ExpectOlderShopBroughtUpToDate(AppContext& shop) {
  EXPECT_EQ(test::CountRows(shop.db, "buy"), 1);
  auto mismatches = FindStockMismatches(shop);
  ASSERT_TRUE(mismatches.has_value());
  EXPECT_TRUE(mismatches->empty());
  EXPECT_EQ(test::CountRows(shop.db, "stock_move"), 1);
}

QByteArray Bytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ServerTransfer : public testing::Test {
 protected:
  void SetUp() override {
    QString why_not;
    scratch_ = test::ScratchDatabase(&why_not);
    if (!scratch_) GTEST_SKIP() << why_not.toStdString();
  }
  const ServerAddress& server() const { return *scratch_->Address(); }
  std::unique_ptr<Database> OnServer() {
    auto db = std::make_unique<Database>(server());
    EXPECT_TRUE(db->Open().has_value());
    return db;
  }
  // A program running on the server, its own folder for config.ini.
  std::unique_ptr<AppContext> ServerShop() {
    auto ctx = std::make_unique<AppContext>(dir_.path(), server(), prompter, clock, notifier);
    EXPECT_TRUE(ctx->EnsureDatabaseOpen().has_value());
    return ctx;
  }
  ReplaceServerShop Never() {
    return [](const ServerShopSize&) {
      ADD_FAILURE() << "asked to replace a shop";
      return false;
    };
  }

  test::ScriptedPrompter prompter;
  test::FixedClock clock;
  test::RecordingNotifier notifier;

 private:
  QTemporaryDir dir_;
  std::unique_ptr<test::ScratchServerDatabase> scratch_;
};

TEST_F(ServerTransfer, UploadThenDownloadKeepsEveryRowAndLeavesTheFileAsItWas) {
  test::TestApp app;
  FillShop(app.ctx().db);
  const std::vector<QString> shop = Dump(app.ctx().db);
  const std::vector<QString> totals = DailyTotals(app.ctx().db);
  auto source_mismatches = FindStockMismatches(app.ctx());
  ASSERT_TRUE(source_mismatches.has_value());
  for (const auto& m : *source_mismatches) ADD_FAILURE() << m.goods_id << " " << m.stock << " " << m.moves_sum;
  const QString path = app.ctx().db.Path();
  const QByteArray before = Bytes(path), log_before = Bytes(path + QStringLiteral("-wal"));

  ASSERT_TRUE(UploadToServer(app.ctx(), server(), Never()));
  EXPECT_EQ(Bytes(path), before);
  EXPECT_EQ(Bytes(path + QStringLiteral("-wal")), log_before);

  {
    auto db = OnServer();
    EXPECT_EQ(Dump(*db), shop);
    EXPECT_EQ(DailyTotals(*db), totals);
    // New rows on the server take IDs past the copied ones.
    auto max_id = db->Prepare("select max(\"ID\") from sell");
    ASSERT_TRUE(max_id && max_id->Step().value_or(false));
    const qint64 largest = max_id->Int(0);
    max_id->Reset();
    EXPECT_EQ(Sale(*db, QStringLiteral("新客户"), 5, QStringLiteral("2026-12-05 08:00:00")), largest + 1);
    ASSERT_TRUE(db->Execute("delete from sell where \"ID\" = ?", largest + 1));
  }
  auto on_server = ServerShop();
  auto mismatches = FindStockMismatches(*on_server);
  ASSERT_TRUE(mismatches.has_value());
  EXPECT_TRUE(mismatches->empty());

  // Back into another shop's folder, whose data.db is replaced and kept.
  test::TestApp other;
  const QByteArray empty_shop = Bytes(other.ctx().db.Path());
  ASSERT_TRUE(DownloadFromServer(other.ctx(), server()));
  EXPECT_TRUE(other.ctx().db.IsOpen());
  EXPECT_EQ(Dump(other.ctx().db), shop);
  EXPECT_EQ(DailyTotals(other.ctx().db), totals);
  mismatches = FindStockMismatches(other.ctx());
  ASSERT_TRUE(mismatches.has_value());
  EXPECT_TRUE(mismatches->empty());
  EXPECT_EQ(Bytes(other.ctx().db.Path() + kBeforeDownloadSuffix), empty_shop);
  // The new file is a keyed one of the program's page size: a file of ours opens it.
  KeyedFile reopened;
  ASSERT_TRUE(reopened.Open(other.ctx().db.Path()));
  EXPECT_EQ(reopened.Value("PRAGMA integrity_check").value_or(QString()), QStringLiteral("ok"));
}

// A new row taking a deleted one's ID would inherit what still names it: a deleted
// goods' movements and sales, a deleted sale's returns.
TEST_F(ServerTransfer, IdsOfDeletedRowsAreNotGivenAgainAfterAMoveEitherWay) {
  test::TestApp app;
  FillShop(app.ctx().db);
  const qint64 last_goods = test::InsertGoods(app.ctx().db, test::GoodsRow{});
  const qint64 last_sale = Sale(app.ctx().db, QStringLiteral("赵六"), 1, QStringLiteral("2026-12-05 08:00:00"));
  ASSERT_TRUE(app.ctx().db.Execute("delete from buy where ID = ?", last_goods));
  ASSERT_TRUE(app.ctx().db.Execute("delete from sell where ID = ?", last_sale));

  ASSERT_TRUE(UploadToServer(app.ctx(), server(), Never()));
  qint64 server_goods = 0, server_sale = 0;
  {
    auto db = OnServer();
    server_goods = test::InsertGoods(*db, test::GoodsRow{});
    server_sale = Sale(*db, QStringLiteral("新客户"), 5, QStringLiteral("2026-12-05 09:00:00"));
    EXPECT_GT(server_goods, last_goods);
    EXPECT_GT(server_sale, last_sale);
    ASSERT_TRUE(db->Execute("delete from buy where \"ID\" = ?", server_goods));
    ASSERT_TRUE(db->Execute("delete from sell where \"ID\" = ?", server_sale));
  }

  test::TestApp other;
  ASSERT_TRUE(DownloadFromServer(other.ctx(), server()));
  EXPECT_GT(test::InsertGoods(other.ctx().db, test::GoodsRow{}), server_goods);
  EXPECT_GT(Sale(other.ctx().db, QStringLiteral("新客户"), 5, QStringLiteral("2026-12-05 10:00:00")), server_sale);
}

TEST_F(ServerTransfer, AShopOnTheServerIsReplacedOnlyWhenTheUserAgrees) {
  test::TestApp app;
  FillShop(app.ctx().db);
  ASSERT_TRUE(UploadToServer(app.ctx(), server(), Never()));
  auto db = OnServer();
  ASSERT_TRUE(db->Execute("insert into \"buy\" (\"名称\", \"存货数量\") values ('服务器上的商品', 0)"));
  const std::vector<QString> theirs = Dump(*db);

  std::optional<ServerShopSize> asked;
  auto refused = UploadToServer(app.ctx(), server(), [&](const ServerShopSize& size) {
    asked = size;
    return false;
  });
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().kind, Kind::Cancelled);
  ASSERT_TRUE(asked);
  EXPECT_EQ(asked->goods, 3);
  EXPECT_EQ(asked->sales, 3);
  EXPECT_TRUE(ReplaceServerQuestion(*asked).startsWith(QStringLiteral("服务器上已有数据：商品 3 种，销售 3 笔")));
  EXPECT_EQ(Dump(*db), theirs);

  ASSERT_TRUE(UploadToServer(app.ctx(), server(), [](const ServerShopSize&) { return true; }));
  EXPECT_EQ(Dump(*db), Dump(app.ctx().db));
}

// A shop with nothing but ledger rows is still a shop. The question is asked without the
// lock other tills take at their start; a shop changed while it was read is asked about
// again.
TEST_F(ServerTransfer, AnyShopIsAskedAboutOutsideTheLockAndAgainWhenItChanged) {
  auto db = OnServer();
  ASSERT_TRUE(db->Execute("insert into \"other\" (\"类型\", \"项目\", \"金额\") values ('支出', '房租', -1500)"));
  test::TestApp app;
  std::vector<ServerShopSize> asked;
  bool lock_was_free = false;
  auto refused = UploadToServer(app.ctx(), server(), [&](const ServerShopSize& size) {
    asked.push_back(size);
    if (asked.size() == 1) {
      auto st = db->Prepare("SELECT CASE WHEN pg_try_advisory_lock(1751477622) THEN 1 ELSE 0 END");
      auto row = st->Step();
      lock_was_free = row && *row && st->Int(0) == 1;
      EXPECT_TRUE(db->Execute("SELECT pg_advisory_unlock(1751477622)"));
      // Another till writes while the question is read.
      EXPECT_TRUE(db->Execute("insert into \"bank\" (\"银行\", \"金额\") values ('工商银行', 800)"));
      return true;
    }
    return false;
  });
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().kind, Kind::Cancelled);
  EXPECT_TRUE(lock_was_free);
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0], (ServerShopSize{0, 0, 1}));
  EXPECT_EQ(asked[1], (ServerShopSize{0, 0, 2}));
  EXPECT_EQ(ReplaceServerQuestion(asked[1]),
            QStringLiteral("服务器上已有数据：商品 0 种，销售 0 笔，其他记录（账目、用户等）2 条。\n\n"
                           "上传后服务器上的这些数据将被本机数据替换，确定要上传吗？"));
  EXPECT_EQ(test::CountRows(*db, "other"), 1);
  EXPECT_EQ(test::CountRows(*db, "bank"), 1);
}

TEST_F(ServerTransfer, AFailureHalfwayLeavesTheServersShopWhole) {
  test::TestApp app;
  FillShop(app.ctx().db);
  ASSERT_TRUE(UploadToServer(app.ctx(), server(), Never()));
  auto db = OnServer();
  const std::vector<QString> old_shop = Dump(*db);
  const std::vector<QString> old_totals = DailyTotals(*db);

  // The last table the copy writes refuses its rows: everything before it is written by then.
  const std::string last = schema::StoredTables().back()->name;
  ASSERT_TRUE(db->ExecScript(("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RAISE "
                              "EXCEPTION 'refused'; END $$; CREATE TRIGGER refuse BEFORE INSERT ON \"" +
                              last + "\" FOR EACH ROW EXECUTE FUNCTION refuse();")
                                 .c_str()));
  ASSERT_TRUE(app.ctx().db.Execute("insert into stock_check (流水号) values (1)"));
  Sale(app.ctx().db, QStringLiteral("新的一笔"), 9, QStringLiteral("2026-12-06 10:00:00"));

  auto r = UploadToServer(app.ctx(), server(), [](const ServerShopSize&) { return true; });
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error().kind, Kind::Failed);
  EXPECT_FALSE(r.error().reason.isEmpty());
  EXPECT_EQ(Dump(*db), old_shop);
  EXPECT_EQ(DailyTotals(*db), old_totals);
}

TEST_F(ServerTransfer, ABackupOfAServerShopHoldsTheCommittedSalesWhileAnotherTillSells) {
  test::TestApp app;
  FillShop(app.ctx().db);
  ASSERT_TRUE(UploadToServer(app.ctx(), server(), Never()));
  auto shop = ServerShop();
  const std::vector<QString> committed = Dump(shop->db);

  // Another till's sale, still open while the backup runs.
  auto till = OnServer();
  auto tx = Transaction::Begin(*till);
  ASSERT_TRUE(tx.has_value());
  Sale(*till, QStringLiteral("未提交"), 7, QStringLiteral("2026-12-07 10:00:00"));

  QTemporaryDir out;
  const QString target = out.filePath(QStringLiteral("BackupData.db"));
  ASSERT_TRUE(BackUpDatabase(*shop, target));
  ASSERT_TRUE(tx->Commit());

  EXPECT_FALSE(Bytes(target).startsWith("SQLite format 3"));
  KeyedFile check;
  ASSERT_TRUE(check.Open(target));
  EXPECT_EQ(check.Value("PRAGMA integrity_check").value_or(QString()), QStringLiteral("ok"));
  check.Close();
  Database backup(target);
  ASSERT_TRUE(backup.Open());
  EXPECT_EQ(Dump(backup), committed);
  EXPECT_EQ(DailyTotals(backup), DailyTotals(app.ctx().db));
}

TEST_F(ServerTransfer, ARestoreReplacesTheServersShopInOneTransaction) {
  test::TestApp app;
  FillShop(app.ctx().db);
  ASSERT_TRUE(UploadToServer(app.ctx(), server(), Never()));
  auto shop = ServerShop();
  const std::vector<QString> old_shop = Dump(shop->db);

  // The backup: another shop, with a goods row and a sale of its own.
  test::TestApp other;
  test::GoodsRow goods;
  goods.name = QStringLiteral("备份里的商品");
  test::InsertGoods(other.ctx().db, goods);
  Sale(other.ctx().db, QStringLiteral("备份客户"), 42, QStringLiteral("2026-11-30 10:00:00"));
  const std::vector<QString> backed_up = Dump(other.ctx().db);
  QTemporaryDir out;
  const QString file = out.filePath(QStringLiteral("BackupData.db"));
  ASSERT_TRUE(BackUpDatabase(other.ctx(), file));

  auto watcher = OnServer();
  // A reader that would wait for the load stops at once instead: it must never get rows.
  ASSERT_TRUE(watcher->ExecScript("SET lock_timeout = 50"));
  std::vector<QSet<QString>> heard;
  watcher->OnChanges([&](const QSet<QString>& tables) { heard.push_back(tables); });
  int looked = 0;
  std::optional<BackupContents> confirmed;
  auto restored = RestoreDatabase(
      *shop, file,
      [&](qint64 done, qint64 total) {
        if (done > 0 && done < total) {
          ++looked;
          auto st = watcher->Prepare("select count(*) from \"buy\"");
          if (!st) return true;
          auto row = st->Step();
          // Old rows or none at all, never the backup's half loaded.
          if (row && *row) {
            EXPECT_EQ(st->Int(0), 2);
          }
        }
        return true;
      },
      FreeSpaceIn,
      [&](const BackupContents& contents) {
        confirmed = contents;
        return true;
      });
  ASSERT_TRUE(restored) << restored.error().reason.toStdString();
  EXPECT_GT(looked, 0);
  ASSERT_TRUE(confirmed);
  EXPECT_EQ(confirmed->goods, 1);
  EXPECT_EQ(confirmed->sales, 1);
  EXPECT_EQ(Dump(shop->db), backed_up);
  EXPECT_NE(Dump(shop->db), old_shop);
  // Every till refills every page: each table is named in the notice of the commit.
  QSet<QString> every{QString::fromUtf8(schema::kDailyTotalsTable)};
  for (const schema::Table* t : schema::StoredTables()) every.insert(QString::fromUtf8(t->name));
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return std::ranges::any_of(heard, [&](const QSet<QString>& h) { return h.contains(every); }); }, 2000));
  auto mismatches = FindStockMismatches(*shop);
  ASSERT_TRUE(mismatches.has_value());
  EXPECT_TRUE(mismatches->empty());
}

TEST_F(ServerTransfer, ABackupOfAnOlderProgramIsRestoredIntoTheServerWithTheTablesAddedSince) {
  test::TestApp app;
  FillShop(app.ctx().db);
  ASSERT_TRUE(UploadToServer(app.ctx(), server(), Never()));
  auto shop = ServerShop();
  test::TestApp older;
  QTemporaryDir out;
  const QString file = out.filePath(QStringLiteral("BackupData.db"));
  MakeOlderShop(older, file);
  auto r = RestoreDatabase(*shop, file, {}, FreeSpaceIn, [](const BackupContents&) { return true; });
  ASSERT_TRUE(r) << r.error().reason.toStdString();
  ExpectOlderShopBroughtUpToDate(*shop);
}

TEST_F(ServerTransfer, AFileOfAnOlderProgramIsUploadedWithTheTablesAddedSince) {
  test::TestApp app;
  MakeOlderShop(app);
  // The program runs on the server; the older file waits beside it to be uploaded.
  AppContext ctx(app.Dir(), server(), prompter, clock, notifier);
  auto r = UploadToServer(ctx, server(), Never());
  ASSERT_TRUE(r) << r.error().reason.toStdString();
  ExpectOlderShopBroughtUpToDate(*ServerShop());
}

TEST_F(ServerTransfer, ARestoreTheUserDeclinesChangesNothing) {
  test::TestApp app;
  FillShop(app.ctx().db);
  ASSERT_TRUE(UploadToServer(app.ctx(), server(), Never()));
  auto shop = ServerShop();
  const std::vector<QString> old_shop = Dump(shop->db);
  test::TestApp other;
  QTemporaryDir out;
  const QString file = out.filePath(QStringLiteral("BackupData.db"));
  ASSERT_TRUE(BackUpDatabase(other.ctx(), file));
  auto r = RestoreDatabase(*shop, file, {}, FreeSpaceIn, [](const BackupContents&) { return false; });
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error().kind, Kind::Cancelled);
  EXPECT_EQ(Dump(shop->db), old_shop);
  // A foreign file is refused before anything is asked.
  QFile foreign(out.filePath(QStringLiteral("foreign.db")));
  ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
  foreign.write(QByteArray(8192, 'x'));
  foreign.close();
  r = RestoreDatabase(*shop, foreign.fileName(), {}, FreeSpaceIn, [](const BackupContents&) {
    ADD_FAILURE() << "asked about a foreign file";
    return true;
  });
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error().kind, Kind::Refused);
  EXPECT_EQ(Dump(shop->db), old_shop);
}

void Click(QWidget& window, const QString& button) {
  auto* b = window.findChild<QPushButton*>(button);
  ASSERT_NE(b, nullptr) << button.toStdString();
  QTest::mouseClick(b, Qt::LeftButton);
}

TEST_F(ServerTransfer, TheMaintenanceWindowMovesTheShopToTheServerChosenInTheSettingsAndBack) {
  test::TestApp app;
  FillShop(app.ctx().db);
  int replaced = 0;
  MaintenanceWindow window(app.ctx(), [&] { ++replaced; });
  auto& prompter = app.prompter;

  // No server chosen yet: said before any password is asked.
  prompter.ExpectMessage(QStringLiteral("请先按「设置数据库服务器」设置要使用的服务器"));
  Click(window, QStringLiteral("把本机数据上传到服务器"));
  EXPECT_EQ(prompter.Prompts().size(), 1u);

  ASSERT_TRUE(app.ctx().settings.Write(kServerSection, QStringLiteral("host"), server().host));
  ASSERT_TRUE(app.ctx().settings.Write(kServerSection, QStringLiteral("port"), QString::number(server().port)));
  ASSERT_TRUE(app.ctx().settings.Write(kServerSection, QStringLiteral("dbname"), server().database));
  ASSERT_TRUE(app.ctx().settings.Write(kServerSection, QStringLiteral("user"), server().user));
  prompter.AnswerText(QStringLiteral("735"));
  prompter.ExpectMessage(QStringLiteral("上传完成！本机数据已复制到服务器，核对无误。\n本机数据文件未作改动。"));
  Click(window, QStringLiteral("把本机数据上传到服务器"));
  auto db = OnServer();
  EXPECT_EQ(Dump(*db), Dump(app.ctx().db));

  // A second upload finds the shop there: Enter (Cancel) keeps it.
  ASSERT_TRUE(db->Execute("insert into \"buy\" (\"名称\", \"存货数量\") values ('只在服务器上', 0)"));
  const std::vector<QString> on_server = Dump(*db);
  prompter.AnswerText(QStringLiteral("735"));
  prompter.AnswerConfirm(false);
  prompter.ExpectMessage(QStringLiteral("已取消上传，服务器上的数据未作改动"));
  Click(window, QStringLiteral("把本机数据上传到服务器"));
  const test::Prompt& asked = prompter.Prompts()[prompter.Prompts().size() - 2];
  EXPECT_TRUE(asked.text.startsWith(QStringLiteral("服务器上已有数据：商品 3 种，销售 3 笔")))
      << asked.text.toStdString();
  EXPECT_EQ(asked.default_button, ConfirmDefault::Cancel);
  EXPECT_EQ(Dump(*db), on_server);

  // Back to the file: the server's row is in data.db now, and the pages are told.
  prompter.AnswerText(QStringLiteral("735"));
  prompter.AnswerConfirm(true);
  prompter.ExpectMessage(
      QStringLiteral("下载完成！服务器上的数据已复制到本机，核对无误。\n原数据文件已另存为 data.db.before-download"));
  Click(window, QStringLiteral("把服务器数据下载到本机"));
  EXPECT_EQ(Dump(app.ctx().db), on_server);
  EXPECT_EQ(replaced, 1);

  // In the program, an upload from the local file offers the restart that puts the
  // shop on the server.
  int restarts = 0;
  window.SetRestart([&restarts] { ++restarts; });
  window.show();
  prompter.AnswerText(QStringLiteral("735"));
  prompter.AnswerConfirm(true);  // replace the server's shop
  prompter.AnswerConfirm(true);  // start again now
  Click(window, QStringLiteral("把本机数据上传到服务器"));
  EXPECT_TRUE(prompter.Prompts().back().text.endsWith(QStringLiteral("现在重新启动吗？")))
      << prompter.Prompts().back().text.toStdString();
  EXPECT_EQ(restarts, 1);
  EXPECT_FALSE(window.isVisible());
}

// Cancelled in the middle of the sales, a download stops there, with the server's copy
// unfinished on a connection it closes: the file and its folder are as they were, and
// the next download takes everything.
TEST_F(ServerTransfer, ADownloadCancelledInTheMiddleOfATableChangesNothing) {
  auto db = OnServer();
  ASSERT_TRUE(
      db->Execute("insert into \"sell\" (\"名称\", \"UID\", \"销售日期\", \"销售金额\") select '可乐', 1, "
                  "'2026-12-01 10:00:00', g from generate_series(1, 10000) g"));
  test::TestApp app;
  const QString path = app.ctx().db.Path();
  const QByteArray before = Bytes(path);
  const QStringList folder = QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files | QDir::Hidden);
  std::vector<qint64> reported;
  auto r = DownloadFromServer(app.ctx(), server(), [&](qint64 done, qint64) {
    reported.push_back(done);
    return done == 0;
  });
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error().kind, Kind::Cancelled);
  EXPECT_EQ(reported, (std::vector<qint64>{0, 4096}));
  EXPECT_EQ(Bytes(path), before);
  EXPECT_EQ(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files | QDir::Hidden), folder);

  ASSERT_TRUE(DownloadFromServer(app.ctx(), server()));
  EXPECT_EQ(test::CountRows(app.ctx().db, "sell"), 10000);
}

// Goods deleted leave their history: a shop of nothing else is still asked about, and the
// question names what would go.
TEST_F(ServerTransfer, AShopOfOnlyHistoryIsAskedAboutAndTheQuestionNamesIt) {
  auto db = OnServer();
  const qint64 gone = test::InsertGoods(*db, test::GoodsRow{});
  ASSERT_TRUE(db->Execute("delete from \"buy\" where \"ID\" = ?", gone));
  test::TestApp app;
  std::optional<ServerShopSize> asked;
  auto refused = UploadToServer(app.ctx(), server(), [&](const ServerShopSize& size) {
    asked = size;
    return false;
  });
  ASSERT_FALSE(refused);
  ASSERT_TRUE(asked);
  EXPECT_EQ(ReplaceServerQuestion(*asked),
            QStringLiteral("服务器上已有数据：商品 0 种，销售 0 笔，流水和小票等明细 1 条。\n\n"
                           "上传后服务器上的这些数据将被本机数据替换，确定要上传吗？"));
  EXPECT_EQ(test::CountRows(*db, "stock_move"), 1);
}

// A till that has always run on the server has no file to keep aside, and is not told
// of one.
TEST_F(ServerTransfer, ATillWithoutALocalFileDownloadsWithoutNamingAFileKeptAside) {
  test::TestApp app;
  FillShop(app.ctx().db);
  ASSERT_TRUE(UploadToServer(app.ctx(), server(), Never()));
  auto shop = ServerShop();
  const QString local = LocalDatabasePath(*shop);
  ASSERT_FALSE(QFileInfo::exists(local));
  MaintenanceWindow window(*shop, [] {});
  int restarts = 0;
  window.SetRestart([&restarts] { ++restarts; });
  prompter.AnswerText(QStringLiteral("735"));
  prompter.AnswerConfirm(true);   // download
  prompter.AnswerConfirm(false);  // stay on the server for now
  Click(window, QStringLiteral("把服务器数据下载到本机"));
  const auto& prompts = prompter.Prompts();
  ASSERT_GE(prompts.size(), 2u);
  EXPECT_EQ(prompts[prompts.size() - 2].text,
            QStringLiteral("服务器上的数据将复制到本机数据文件 data.db。\n\n确定要下载吗？"));
  EXPECT_EQ(prompts.back().text, QStringLiteral("下载完成！服务器上的数据已复制到本机，核对无误。\n\n"
                                                "现在改回本机数据库并重新启动程序吗？"));
  EXPECT_EQ(restarts, 0);
  EXPECT_FALSE(QFileInfo::exists(local + kBeforeDownloadSuffix));
  Database copy(local);
  ASSERT_TRUE(copy.Open());
  EXPECT_EQ(Dump(copy), Dump(shop->db));
}

TEST_F(ServerTransfer, TheMaintenanceWindowBacksUpAServerShopAndRestoresItThere) {
  test::TestApp app;
  FillShop(app.ctx().db);
  ASSERT_TRUE(UploadToServer(app.ctx(), server(), Never()));
  auto shop = ServerShop();
  const std::vector<QString> whole = Dump(shop->db);
  int replaced = 0;
  MaintenanceWindow window(*shop, [&] { ++replaced; });

  QTemporaryDir out;
  const QString backup = out.filePath(QStringLiteral("BackupData.db"));
  window.findChild<QLineEdit*>(QStringLiteral("编辑框1"))->setText(backup);
  prompter.ExpectMessage(QStringLiteral("备份数据库完成！"));
  Click(window, QStringLiteral("备份当前数据库"));

  auto till = OnServer();
  ASSERT_TRUE(till->Execute("delete from \"buy\" where \"名称\" = ?", QStringLiteral("康师傅")));
  ASSERT_NE(Dump(shop->db), whole);
  prompter.AnswerFile(backup);
  prompter.AnswerText(QStringLiteral("735"));
  prompter.AnswerConfirm(true);
  prompter.ExpectMessage(
      QStringLiteral("恢复备份数据库完成！\n\n备份文件：%1\n其中有商品 2 种，销售记录 3 条。\n服务器上的数据已替换，"
                     "各收银台的页面随之更新。")
          .arg(backup));
  Click(window, QStringLiteral("恢复备份数据库"));
  // The question named both sides: the server's shop as it is now, and the backup's.
  const test::Prompt& asked = prompter.Prompts()[prompter.Prompts().size() - 2];
  EXPECT_TRUE(asked.text.startsWith(QStringLiteral("当前数据：商品 1 种，销售 3 笔"))) << asked.text.toStdString();
  EXPECT_EQ(Dump(shop->db), whole);
  EXPECT_EQ(Dump(*till), whole);
  EXPECT_EQ(replaced, 1);
}

}  // namespace
}  // namespace hemulu
