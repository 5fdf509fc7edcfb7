#include <gtest/gtest.h>

#include <QCoreApplication>
#include <map>
#include <mutex>
#include <random>
#include <thread>
#include <tuple>

#include "EngineSupport.h"
#include "data/ActionError.h"
#include "data/RowWriter.h"
#include "data/ServerEngine.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

class Engines : public EngineTest {};
HEMULU_ON_BOTH_ENGINES(Engines);

// What only a server has: a connection to lose, a transaction the server gives up.
class ServerOnly : public EngineTest {};
INSTANTIATE_TEST_SUITE_P(Engines, ServerOnly, testing::Values(Engine::Server), EngineName);

std::optional<QString> FirstText(Database& db, const char* sql) {
  auto st = db.Prepare(sql);
  if (!st || !st->Step().value_or(false)) return std::nullopt;
  return st->Text(0);
}

}  // namespace

TEST(ServerPlaceholders, OnlyMarksOutsideLiteralsNamesAndCommentsAreNumbered) {
  int count = 0;
  EXPECT_EQ(ServerPlaceholders("select ?, '?', 'it''s ?', \"a?\"\"b?\", ? -- ?\n, /* ? */ ?", &count),
            "select $1, '?', 'it''s ?', \"a?\"\"b?\", $2 -- ?\n, /* ? */ $3");
  EXPECT_EQ(count, 3);
  // Numbered marks keep their numbers; a bare one takes the next after the highest.
  EXPECT_EQ(ServerPlaceholders("?2 + ?1 + ?", &count), "$2 + $1 + $3");
  EXPECT_EQ(count, 3);
  // An unterminated literal is copied as it is, for the server to refuse.
  EXPECT_EQ(ServerPlaceholders("select 'a?", &count), "select 'a?");
  EXPECT_EQ(count, 0);
}

TEST(ServerErrors, SqlStatesBecomeOurKinds) {
  using K = DbError::Kind;
  EXPECT_EQ(KindOfSqlState("53100"), K::Full);
  EXPECT_EQ(KindOfSqlState("55P03"), K::Busy);
  EXPECT_EQ(KindOfSqlState("40P01"), K::Busy);
  EXPECT_EQ(KindOfSqlState("23505"), K::Constraint);
  EXPECT_EQ(KindOfSqlState("23514"), K::Constraint);
  EXPECT_EQ(KindOfSqlState("08006"), K::Unavailable);
  EXPECT_EQ(KindOfSqlState("57P01"), K::Unavailable);  // the server shut down
  EXPECT_EQ(KindOfSqlState("42501"), K::Refused);
  EXPECT_EQ(KindOfSqlState("42P01"), K::Other);  // no such table
  EXPECT_EQ(KindOfSqlState("22P02"), K::Other);  // not a number
}

TEST_P(Engines, QuestionMarksInLiteralsAndNamesAreNotValues) {
  auto st = db().Prepare("SELECT ? || ' is it? ''yes?''' AS \"what?\", ? /* ? */ + 1 AS \"n\"");
  ASSERT_TRUE(st) << st.error().message.toStdString();
  st->BindAll(QStringLiteral("a?"), 41);
  auto row = st->Step();
  ASSERT_TRUE(row && *row) << (row ? "" : row.error().message.toStdString());
  EXPECT_EQ(st->Text("what?"), "a? is it? 'yes?'");
  EXPECT_EQ(st->Int("n"), 42);
  EXPECT_FALSE(st->Step().value_or(true));
}

TEST_P(Engines, NewIdsComeAfterTheBuiltInAccountAndInOrder) {
  auto user = RowWriter(db(), "UserName").Set("用户名", "收银员", "01").Set("密码", "1", "02").Insert();
  ASSERT_TRUE(user) << user.error().detail.toStdString();
  EXPECT_EQ(*user, 2);
  auto first = RowWriter(db(), "buy").Set("名称", "甲", "01").Insert();
  auto second = RowWriter(db(), "buy").Set("名称", "乙", "01").Insert();
  ASSERT_TRUE(first && second);
  EXPECT_EQ(*first, 1);
  EXPECT_EQ(*second, 2);
  EXPECT_EQ(db().LastInsertId(), 2);
  EXPECT_EQ(db().Changes(), 1);
  // The ID the insert returned is not a row of the statement's own.
  auto st = db().Prepare("INSERT INTO \"other\" (\"类型\") VALUES (?)");
  ASSERT_TRUE(st);
  st->BindAll(QStringLiteral("收入"));
  EXPECT_FALSE(st->Step().value_or(true));
  EXPECT_EQ(db().LastInsertId(), 1);
  EXPECT_EQ(FirstText(db(), "SELECT \"用户名\" FROM \"UserName\" WHERE \"ID\" = 1"), "超级管理员");
}

TEST_P(Engines, BrokenRulesOfTheSchemaAreConstraintErrors) {
  const char* insert = "INSERT INTO \"buy\" (\"ID\", \"名称\") VALUES (?, ?)";
  ASSERT_TRUE(db().Execute(insert, 7, QStringLiteral("甲")));
  auto again = db().Execute(insert, 7, QStringLiteral("乙"));
  ASSERT_FALSE(again);
  EXPECT_EQ(again.error().kind, DbError::Kind::Constraint);
  EXPECT_FALSE(again.error().message.isEmpty());
  // The 50-character limit is the schema's own too, counted in characters.
  ASSERT_TRUE(db().Execute("INSERT INTO \"buy\" (\"名称\") VALUES (?)", QString(50, QChar(0x540D))));
  auto too_long = db().Execute("INSERT INTO \"buy\" (\"名称\") VALUES (?)", QString(51, QChar(0x540D)));
  ASSERT_FALSE(too_long);
  EXPECT_EQ(too_long.error().kind, DbError::Kind::Constraint);
  EXPECT_EQ(CountRows(db(), "buy"), 2);
}

TEST_P(Engines, NumbersReadBackExactly) {
  const double values[] = {0.1, 1e-7, 123456789.123, 1.0 / 3, 2.5e-310, 1.7976931348623157e308, -0.30000000000000004};
  for (double v : values) {
    ASSERT_TRUE(db().Execute("INSERT INTO \"buy\" (\"进货单价\") VALUES (?)", v));
    // The same number typed as text, as a box gives it.
    ASSERT_TRUE(db().Execute("INSERT INTO \"buy\" (\"进货单价\") VALUES (?)", QString::number(v, 'g', 17)));
  }
  auto st = db().Prepare("SELECT \"进货单价\", \"进货单价\" / 2 FROM \"buy\" ORDER BY \"ID\"");
  ASSERT_TRUE(st);
  for (double v : values) {
    for (int twice = 0; twice < 2; ++twice) {
      auto row = st->Step();
      ASSERT_TRUE(row && *row) << (row ? "no row" : row.error().message.toStdString());
      EXPECT_EQ(st->CellDouble(0), v) << QString::number(v, 'g', 17).toStdString();
      EXPECT_EQ(st->Double(0), v);
      EXPECT_EQ(st->CellDouble(1), v / 2);
      EXPECT_EQ(st->CellStored(0), Statement::Stored::Real);
    }
  }
  EXPECT_FALSE(st->Step().value_or(true));
}

TEST_P(Engines, TextRoundTripsAsUtf8Bytes) {
  const QString name = QStringLiteral("可口可乐½é😀'单'\"双\"\\%_?");
  const QString note = QStringLiteral("第一行\n第二行\t制表 ") + QString(300, QChar(0x6CE8));
  auto id = RowWriter(db(), "buy").Set("名称", name, "01").Set("备注", note, "02").Set("型号", "", "03").Insert();
  ASSERT_TRUE(id) << id.error().detail.toStdString();
  auto st = db().Prepare("SELECT \"名称\", \"备注\", \"型号\", \"编码\" FROM \"buy\" WHERE \"ID\" = ?");
  ASSERT_TRUE(st);
  st->BindAll(*id);
  ASSERT_TRUE(st->Step().value_or(false));
  EXPECT_EQ(st->Text(0), name);
  EXPECT_EQ(st->Text(1), note);
  const QByteArray utf8 = name.toUtf8();
  const auto bytes = st->CellBytes(0);
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())), utf8);
  EXPECT_EQ(st->CellStored(0), Statement::Stored::Text);
  // An empty text is not a missing one.
  EXPECT_FALSE(st->CellIsNull(2));
  EXPECT_TRUE(st->CellBytes(2).empty());
  EXPECT_TRUE(st->CellIsNull(3));
  EXPECT_TRUE(st->IsNull(3));
}

TEST_P(Engines, ASecondWriterWaitingTooLongIsBusyAndChangesNothing) {
  auto other = AnotherConnection();
  ASSERT_TRUE(other->Open());
  auto held = Transaction::Begin(db());
  ASSERT_TRUE(held);
  ASSERT_TRUE(db().Execute("UPDATE \"UserName\" SET \"密码\" = ? WHERE \"ID\" = 1", QStringLiteral("111")));
  const auto blocked = [&]() -> std::expected<int, DbError> {
    auto second = Transaction::Begin(*other);
    if (!second) return std::unexpected(second.error());
    return other->Execute("UPDATE \"UserName\" SET \"密码\" = ? WHERE \"ID\" = 1", QStringLiteral("222"));
  }();
  ASSERT_FALSE(blocked);
  EXPECT_EQ(blocked.error().kind, DbError::Kind::Busy) << blocked.error().message.toStdString();
  ASSERT_TRUE(held->Commit());
  EXPECT_EQ(FirstText(*other, "SELECT \"密码\" FROM \"UserName\" WHERE \"ID\" = 1"), "111");
}

// Two programs selling, changing and deleting sales of the same few days at once: the
// per-day totals still equal the sales, and no write fails.
TEST_P(Engines, DailyTotalsEqualTheSalesUnderTwoWriters) {
  std::mutex mutex;
  std::vector<std::string> failures;
  auto writer = [&](unsigned seed) {
    auto conn = AnotherConnection();
    auto fail = [&](const DbError& e) {
      std::lock_guard lock(mutex);
      failures.push_back(e.message.toStdString());
    };
    if (auto open = conn->Open(); !open) return fail(open.error());
    std::mt19937 rng(seed);
    for (int i = 0; i < 150; ++i) {
      const QString day = QStringLiteral("2026-12-0%1").arg(rng() % 3 + 1);
      const QString date = day + QStringLiteral(" 10:%1:00").arg(i % 60, 2, 10, QLatin1Char('0'));
      auto t = Transaction::Begin(*conn);
      if (!t) return fail(t.error());
      std::expected<int, DbError> r;
      switch (rng() % 4) {
        case 0:
          // A sale moves to another day, and its amount changes.
          r = conn->Execute(
              "UPDATE \"sell\" SET \"销售日期\" = ?, \"销售金额\" = \"销售金额\" + 1 WHERE \"ID\" = "
              "(SELECT min(\"ID\") FROM \"sell\" WHERE \"销售日期\" NOT LIKE ?)",
              date, day + QLatin1Char('%'));
          break;
        case 1:
          r = conn->Execute(
              "DELETE FROM \"sell\" WHERE \"ID\" = (SELECT max(\"ID\") FROM \"sell\" WHERE "
              "\"销售日期\" LIKE ?)",
              day + QLatin1Char('%'));
          break;
        default:
          r = conn->Execute(
              "INSERT INTO \"sell\" (\"名称\", \"销售日期\", \"销售金额\", \"净利润\") VALUES (?, ?, ?, ?)",
              QStringLiteral("商品"), date, static_cast<double>(rng() % 100), static_cast<double>(rng() % 50) - 10);
      }
      if (!r) {
        fail(r.error());
        continue;
      }
      if (auto c = t->Commit(); !c) fail(c.error());
    }
  };
  std::thread a(writer, 1u), b(writer, 2u);
  a.join();
  b.join();
  ASSERT_TRUE(failures.empty()) << failures.size() << " failed, the first: " << failures.front();

  using Day = std::tuple<QString, double, double, double, double, qint64>;
  auto read = [&](const char* sql) {
    std::vector<Day> days;
    auto st = db().Prepare(sql);
    EXPECT_TRUE(st);
    while (st && st->Step().value_or(false))
      days.emplace_back(st->Text(0), st->Double(1), st->Double(2), st->Double(3), st->Double(4), st->Int(5));
    return days;
  };
  const auto totals = read(
      "SELECT \"日期\", \"销售金额\", \"净利润\", \"最大销售金额\", \"最大净利润\", \"笔数\" FROM \"sell_day\" "
      "ORDER BY \"日期\"");
  const auto sales = read(
      "SELECT substr(\"销售日期\", 1, 10) AS d, sum(\"销售金额\"), sum(\"净利润\"), max(\"销售金额\"), "
      "max(\"净利润\"), count(*) FROM \"sell\" GROUP BY d ORDER BY d");
  EXPECT_FALSE(sales.empty());
  EXPECT_EQ(totals, sales);
}

TEST_P(ServerOnly, ALostConnectionIsUnavailableAndTheNextOpenConnectsAgain) {
  const auto pid = FirstText(db(), "SELECT pg_backend_pid()");
  ASSERT_TRUE(pid);
  auto other = AnotherConnection();
  ASSERT_TRUE(other->Open());
  ASSERT_TRUE(other->Execute("SELECT pg_terminate_backend(?)", pid->toLongLong()));
  auto lost = db().Execute("SELECT count(*) FROM \"UserName\"");
  ASSERT_FALSE(lost);
  EXPECT_EQ(lost.error().kind, DbError::Kind::Unavailable) << lost.error().message.toStdString();
  EXPECT_FALSE(db().IsOpen());
  // The user is told the server was lost, not that a file did not open.
  EXPECT_EQ(DatabaseActionError(lost.error()).kind, ActionError::Kind::Unavailable);
  EXPECT_TRUE(ctx().DatabaseUnavailableText().startsWith(kServerUnavailableText));
  ASSERT_TRUE(ctx().EnsureDatabaseOpen());
  EXPECT_EQ(FirstText(db(), "SELECT \"密码\" FROM \"UserName\""), "735");
}

TEST_P(ServerOnly, ACommitAfterAFailedStatementSaysSoAndKeepsNothing) {
  {
    auto t = Transaction::Begin(db());
    ASSERT_TRUE(t);
    ASSERT_TRUE(db().Execute("INSERT INTO \"other\" (\"类型\") VALUES ('收入')"));
    ASSERT_FALSE(db().Execute("INSERT INTO \"other\" (\"数量\") VALUES ('不是数字')"));
    // The server has thrown the transaction away: never reported as saved.
    auto committed = t->Commit();
    ASSERT_FALSE(committed);
    EXPECT_NE(committed.error().kind, DbError::Kind::Constraint);
  }
  EXPECT_EQ(CountRows(db(), "other"), 0);
  // The connection is fit for the next transaction.
  auto t = Transaction::Begin(db());
  ASSERT_TRUE(t);
  ASSERT_TRUE(db().Execute("INSERT INTO \"other\" (\"类型\") VALUES ('收入')"));
  ASSERT_TRUE(t->Commit());
  EXPECT_EQ(CountRows(db(), "other"), 1);
}

// Two programs finding an empty database at once: one makes the tables, the other
// waits and finds them; one built-in account.
TEST_P(ServerOnly, TheFirstTwoConnectionsMakeTheTablesOnce) {
  ScratchServerDatabase fresh(*TestCluster(nullptr));
  ASSERT_TRUE(fresh.Address()) << fresh.Error().toStdString();
  Database a(*fresh.Address()), b(*fresh.Address());
  std::expected<void, DbError> opened_a, opened_b;
  std::thread ta([&] { opened_a = a.Open(); }), tb([&] { opened_b = b.Open(); });
  ta.join();
  tb.join();
  ASSERT_TRUE(opened_a) << opened_a.error().message.toStdString();
  ASSERT_TRUE(opened_b) << opened_b.error().message.toStdString();
  EXPECT_EQ(FirstText(a, "SELECT count(*) FROM \"UserName\""), "1");
  auto id = RowWriter(b, "UserName").Set("用户名", "收银员", "01").Insert();
  ASSERT_TRUE(id);
  EXPECT_EQ(*id, 2);
  a.Close();
  b.Close();
}

// A database holding some other program's tables, or only some of ours, is not taken for ours.
TEST_P(ServerOnly, ADatabaseWithOnlySomeOfOurTablesIsRefused) {
  ScratchServerDatabase fresh(*TestCluster(nullptr));
  ASSERT_TRUE(fresh.Address());
  {
    Database setup(*fresh.Address());
    ASSERT_TRUE(setup.Open());
    ASSERT_TRUE(setup.ExecScript("DROP TABLE \"bank\""));
  }
  Database again(*fresh.Address());
  auto opened = again.Open();
  ASSERT_FALSE(opened);
  EXPECT_EQ(opened.error().kind, DbError::Kind::NotADatabase);
}

namespace {

// Ends `db`'s connection from another one, as a network cut or a server restart would.
void CutConnection(Database& db, Database& other) {
  const auto pid = FirstText(db, "SELECT pg_backend_pid()");
  ASSERT_TRUE(pid);
  ASSERT_TRUE(other.Open());
  ASSERT_TRUE(other.Execute("SELECT pg_terminate_backend(?)", pid->toLongLong()));
}

}  // namespace

// The connection breaks between the last statement and COMMIT: the program cannot know
// whether the server made the sale final, so it must say neither "saved" nor "not saved".
TEST_P(ServerOnly, AConnectionLostAtCommitLeavesTheOutcomeUnknown) {
  auto other = AnotherConnection();
  std::expected<void, DbError> committed;
  {
    auto t = Transaction::Begin(db());
    ASSERT_TRUE(t);
    ASSERT_TRUE(db().Execute("INSERT INTO \"other\" (\"类型\") VALUES ('收入')"));
    CutConnection(db(), *other);
    committed = t->Commit();
  }
  ASSERT_FALSE(committed);
  EXPECT_EQ(committed.error().kind, DbError::Kind::OutcomeUnknown) << committed.error().message.toStdString();
  const ActionError action = DatabaseActionError(committed.error());
  EXPECT_EQ(action.kind, ActionError::Kind::Database);
  EXPECT_TRUE(action.message.contains(QStringLiteral("结果未知，请刷新后核对"))) << action.message.toStdString();
  EXPECT_FALSE(action.message.contains(QStringLiteral("没有保存："))) << action.message.toStdString();
  // The next action connects again.
  ASSERT_TRUE(ctx().EnsureDatabaseOpen());
  // Here the server had not yet received the COMMIT.
  EXPECT_EQ(CountRows(db(), "other"), 0);
}

// A single write outside a transaction is its own COMMIT: the same holds for it, and
// for the message of every insertion.
TEST_P(ServerOnly, ASingleWriteLostOnTheWayIsUnknownButALostReadOrTransactionIsUnavailable) {
  auto other = AnotherConnection();
  CutConnection(db(), *other);
  auto row = RowWriter(db(), "other").Set("类型", "收入", "01").Insert();
  ASSERT_FALSE(row);
  EXPECT_EQ(row.error().kind, DbError::Kind::OutcomeUnknown) << row.error().detail.toStdString();
  EXPECT_TRUE(row.error().Message().contains(QStringLiteral("结果未知，请刷新后核对")));
  EXPECT_FALSE(row.error().Message().contains(QStringLiteral("没有保存：")));

  // Inside a transaction a lost statement keeps nothing: the server rolls it back.
  ASSERT_TRUE(ctx().EnsureDatabaseOpen());
  const int before = CountRows(db(), "other");
  {
    auto t = Transaction::Begin(db());
    ASSERT_TRUE(t);
    ASSERT_TRUE(db().Execute("INSERT INTO \"other\" (\"类型\") VALUES ('收入')"));
    CutConnection(db(), *other);
    auto lost = RowWriter(db(), "other").Set("类型", "支出", "01").Insert();
    ASSERT_FALSE(lost);
    EXPECT_EQ(lost.error().kind, DbError::Kind::Unavailable) << lost.error().detail.toStdString();
    // The user hears of the server, not of a file that did not open.
    prompter.ExpectMessage(ServerUnavailableText(DbError{DbError::Kind::Unavailable, QString()}));
    ctx().ReportWriteError(lost.error());
    EXPECT_TRUE(prompter.Messages().back().startsWith(kServerUnavailableText));
  }
  ASSERT_TRUE(ctx().EnsureDatabaseOpen());
  EXPECT_EQ(CountRows(db(), "other"), before);
}

// A statement the server stops for taking too long is told as such, not as a busy file.
TEST_P(ServerOnly, AStatementStoppedByTheServersTimeoutIsTimedOut) {
  // The connection carries the statement timeout of every till.
  EXPECT_EQ(FirstText(db(), "SHOW statement_timeout"), QString::number(kStatementTimeoutMs / 1000) + "s");
  ASSERT_TRUE(db().ExecScript("SET statement_timeout = 200"));
  auto slow = db().Execute("SELECT pg_sleep(5)");
  ASSERT_FALSE(slow);
  EXPECT_EQ(slow.error().kind, DbError::Kind::TimedOut) << slow.error().message.toStdString();
  EXPECT_TRUE(DatabaseActionError(slow.error()).message.contains(EngineFailureText(DbError::Kind::TimedOut)));
  // The connection is fit for the next statement.
  EXPECT_EQ(FirstText(db(), "SELECT 1"), "1");
}

// A stalled network or server is noticed within seconds, not the system's minutes.
TEST(ServerConnection, EveryWayOfWaitingGivesUpWithinSeconds) {
  ServerAddress a;
  a.host = "till.example";
  a.database = "shop";
  std::map<std::string, std::string> p;
  for (const auto& [key, value] : ConnectionParameters(a)) p[key] = value;
  for (const char* key :
       {"connect_timeout", "keepalives_idle", "keepalives_interval", "keepalives_count", "tcp_user_timeout"})
    ASSERT_TRUE(p.contains(key)) << key;
  EXPECT_EQ(p["keepalives"], "1");
  EXPECT_LE(std::stoi(p["connect_timeout"]), 10);
  // A peer gone silent is given up after idle + interval × count seconds.
  EXPECT_LE(std::stoi(p["keepalives_idle"]) + std::stoi(p["keepalives_interval"]) * std::stoi(p["keepalives_count"]),
            15);
  EXPECT_LE(std::stoi(p["tcp_user_timeout"]), 10000);
  EXPECT_TRUE(p["options"].find("statement_timeout=") != std::string::npos);
  EXPECT_TRUE(p["options"].find("lock_timeout=3000") != std::string::npos);
  // No password of ours unless one was typed; libpq finds ~/.pgpass itself.
  EXPECT_FALSE(p.contains("password"));
  a.password = "secret";
  bool given = false;
  for (const auto& [key, value] : ConnectionParameters(a)) given |= key == "password" && value == "secret";
  EXPECT_TRUE(given);
}

// ---- Long results read in pieces ----

namespace {

// More rows than the first few batches of a result read in pieces, each with a number,
// a text and a fraction.
constexpr int kLongRows = 25000;
constexpr const char* kLongSql =
    "select x, 'row ' || cast(x as text) as label, x * 0.25 as quarter from (with recursive n(x) as "
    "(select 1 union all select x + 1 from n where x < 25000) select x from n) as numbers order by x";

struct LongRow {
  qint64 number;
  std::string label;
  double quarter;
  bool operator==(const LongRow&) const = default;
};

LongRow ReadLongRow(const Statement& st) {
  const auto bytes = st.CellBytes(1);
  return {st.CellInt(0), std::string(bytes.begin(), bytes.end()), st.CellDouble(2)};
}

// Every row of the long query, read whole.
std::vector<LongRow> WholeRead(Database& db) {
  std::vector<LongRow> rows;
  auto st = db.Prepare(kLongSql);
  if (!st) return rows;
  while (st->Step().value_or(false)) rows.push_back(ReadLongRow(*st));
  return rows;
}

}  // namespace

// Batch by batch, the rows and their cells are those of the whole result, and a second
// statement may still run, read or write, on the connection between two steps: the
// write is saved at once (another program sees it before the long read ends), and the
// rows after it still all come, in order.
TEST_P(Engines, ALongResultReadInPiecesGivesEveryRowAndLetsAnotherStatementRunBetweenSteps) {
  const std::vector<LongRow> whole = WholeRead(db());
  ASSERT_EQ(whole.size(), static_cast<std::size_t>(kLongRows));
  ASSERT_TRUE(whole[41] == (LongRow{42, "row 42", 10.5}));

  {
    auto st = db().Prepare(kLongSql);
    ASSERT_TRUE(st);
    st->ReadInPieces();
    ASSERT_EQ(st->ColumnCount(), 3);  // known before the first step, as the fills ask
    std::vector<LongRow> pieces;
    for (;;) {
      auto step = st->Step();
      ASSERT_TRUE(step) << step.error().message.toStdString();
      if (!*step) break;
      pieces.push_back(ReadLongRow(*st));
    }
    EXPECT_TRUE(pieces == whole);
  }

  auto other = AnotherConnection();
  ASSERT_TRUE(other->Open());
  auto st = db().Prepare(kLongSql);
  ASSERT_TRUE(st);
  st->ReadInPieces();
  std::vector<LongRow> rows;
  while (rows.size() < 1500 && st->Step().value_or(false)) rows.push_back(ReadLongRow(*st));
  ASSERT_EQ(rows.size(), 1500u);
  // Between two steps: a read, a write outside any transaction, then a transaction.
  EXPECT_EQ(FirstText(db(), "SELECT \"密码\" FROM \"UserName\" WHERE \"ID\" = 1"), "735");
  EXPECT_TRUE(ReadLongRow(*st) == whole[1499]);  // the present row is still readable
  ASSERT_TRUE(db().Execute("INSERT INTO bank (银行) VALUES (?)", QStringLiteral("中途写入")));
  EXPECT_EQ(FirstText(*other, "SELECT \"银行\" FROM bank"), "中途写入");
  {
    auto tx = Transaction::Begin(db());
    ASSERT_TRUE(tx) << tx.error().message.toStdString();
    ASSERT_TRUE(db().Execute("UPDATE bank SET 银行 = ?", QStringLiteral("事务写入")));
    ASSERT_TRUE(tx->Commit());
  }
  EXPECT_EQ(FirstText(*other, "SELECT \"银行\" FROM bank"), "事务写入");
  for (;;) {
    auto step = st->Step();
    ASSERT_TRUE(step) << step.error().message.toStdString();
    if (!*step) break;
    rows.push_back(ReadLongRow(*st));
  }
  EXPECT_TRUE(rows == whole);

  // Inside a transaction of the caller, to its end, then a write in the same transaction.
  auto tx = Transaction::Begin(db());
  ASSERT_TRUE(tx);
  auto inside = db().Prepare(kLongSql);
  ASSERT_TRUE(inside);
  inside->ReadInPieces();
  int count = 0;
  while (inside->Step().value_or(false)) ++count;
  EXPECT_EQ(count, kLongRows);
  ASSERT_TRUE(db().Execute("UPDATE bank SET 银行 = ?", QStringLiteral("事务内")));
  ASSERT_TRUE(tx->Commit());
  EXPECT_EQ(FirstText(*other, "SELECT \"银行\" FROM bank"), "事务内");
}

// The contains-searches of the server compare the column under "C": their trigram
// indexes are made on that expression, so the planner can use them (told here not to
// read the table whole, so the answer does not hang on its cost estimates for a few
// rows). A database made before the indexes gets them at its next connection.
TEST_P(ServerOnly, TheContainsSearchesCanUseTheTrigramIndexesAndAnOldDatabaseGetsThem) {
  auto plan_of = [&](const char* sql) {
    std::string plan;
    auto st = db().Prepare(std::string("EXPLAIN ") + sql);
    if (!st) return plan;
    st->Bind(1, QStringLiteral("%张伟明%"));
    while (st->Step().value_or(false)) plan += st->Text(0).toStdString() + "\n";
    return plan;
  };
  constexpr const char* kSearch = "select * from sell where 客户名称 COLLATE \"C\" ilike ? escape '\\' order by \"ID\"";
  ASSERT_TRUE(db().ExecScript("DROP INDEX \"sell_客户名称_trgm\"; DROP INDEX \"buy_编码_trgm\""));
  ASSERT_TRUE(db().ExecScript("SET enable_seqscan = off; SET enable_indexscan = off"));
  EXPECT_EQ(plan_of(kSearch).find("trgm"), std::string::npos);

  db().Close();
  ASSERT_TRUE(ctx().EnsureDatabaseOpen());
  ASSERT_TRUE(db().ExecScript("SET enable_seqscan = off; SET enable_indexscan = off"));
  const std::string plan = plan_of(kSearch);
  EXPECT_NE(plan.find("sell_客户名称_trgm"), std::string::npos) << plan;
  EXPECT_EQ(FirstText(db(), "SELECT count(*) FROM pg_indexes WHERE indexname LIKE '%\\_trgm'"), "5");
}
