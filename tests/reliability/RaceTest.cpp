// Two tills sell the same last unit at the same moment, round after round: two child
// programs, each calling RecordSale, are handed the same goods ID together (a line on
// each one's standard input; both wait on it, so neither starts before the other is
// told). For every goods with a stock of 1, exactly one sale must go through and the
// other be refused for want of stock; the goods row, the sales and the per-day totals
// must agree. HEMULU_RACE_ROUNDS sets the number of rounds (1,000 by default).

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

#include "ChildProcess.h"
#include "EngineSupport.h"
#include "TestSupport.h"
#include "data/EmbeddedFiles.h"
#include "data/StockMoves.h"

namespace hemulu::test {
namespace {

struct RaceResult {
  int rounds = 0;
  int double_sales = 0;  // rounds in which both tills sold the one unit
  QStringList faults;    // anything else that is wrong, the first few
  qint64 millis = 0;
};

void Fault(RaceResult& r, const QString& text) {
  if (r.faults.size() < 10) r.faults << text;
}

// `rounds` goods of stock 1, in one transaction; their IDs in order.
std::vector<qint64> LastUnits(Database& db, int rounds) {
  std::vector<qint64> ids;
  auto tx = Transaction::Begin(db);
  if (!tx) return ids;
  for (int i = 0; i < rounds; ++i) {
    GoodsRow row;
    row.code = QStringLiteral("RACE%1").arg(i);
    row.bought = row.stock = 1;
    row.bought_amount = row.stock_amount = 2;
    ids.push_back(InsertGoods(db, row));
  }
  return tx->Commit() ? ids : std::vector<qint64>();
}

// Runs the rounds with two children started with `child_args`, then checks the database.
RaceResult Race(Database& db, const std::vector<std::string>& child_args, int rounds) {
  RaceResult r;
  const std::vector<qint64> ids = LastUnits(db, rounds);
  if (static_cast<int>(ids.size()) != rounds) {
    Fault(r, QStringLiteral("goods not made"));
    return r;
  }
  QElapsedTimer timer;
  timer.start();
  ChildProcess a(HEMULU_RACE_CHILD, child_args, true), b(HEMULU_RACE_CHILD, child_args, true);
  if (!a.Started() || !b.Started() || !a.WaitForAcknowledged(1) || !b.WaitForAcknowledged(1)) {
    Fault(r, QStringLiteral("children did not open the database"));
    return r;
  }
  for (int i = 0; i < rounds; ++i) {
    const std::string line = std::to_string(ids[static_cast<std::size_t>(i)]) + "\n";
    // Each child told first in turn.
    ChildProcess& first = i % 2 ? b : a;
    ChildProcess& second = i % 2 ? a : b;
    if (!first.Send(line) || !second.Send(line) || !a.WaitForAcknowledged(i + 2) || !b.WaitForAcknowledged(i + 2)) {
      Fault(r, QStringLiteral("round %1: a child stopped").arg(i));
      return r;
    }
    const qint64 sa = a.Values()[static_cast<std::size_t>(i) + 1], sb = b.Values()[static_cast<std::size_t>(i) + 1];
    ++r.rounds;
    if (sa > 0 && sb > 0)
      ++r.double_sales;
    else if (!((sa > 0 && sb == 0) || (sa == 0 && sb > 0)))
      Fault(r, QStringLiteral("round %1: answers %2 and %3 (0 = refused for want of stock, -1 = other failure)")
                   .arg(i)
                   .arg(sa)
                   .arg(sb));
  }
  EXPECT_EQ(0, a.Wait());
  EXPECT_EQ(0, b.Wait());
  r.millis = timer.elapsed();

  // What is stored: every unit sold exactly once, and the day's totals equal to the sales.
  auto goods = db.Prepare(
      "select b.\"ID\", b.存货数量, b.销售数量, (select count(*) from sell s where s.\"UID\"=b.\"ID\") from buy b "
      "where b.编码 like 'RACE%' order by b.\"ID\"");
  if (!goods) {
    Fault(r, goods.error().message);
    return r;
  }
  int checked = 0;
  while (goods->Step().value_or(false)) {
    ++checked;
    const qint64 sales = goods->Int(3);
    if (goods->Double(1) != 0 || sales < 1)
      Fault(r, QStringLiteral("goods %1: stock %2, %3 sales").arg(goods->Int(0)).arg(goods->Double(1)).arg(sales));
    // A double sale leaves one unit sold on the goods row and two sales of it.
    if (sales > 1 && r.double_sales == 0) Fault(r, QStringLiteral("goods %1: %2 sales").arg(goods->Int(0)).arg(sales));
  }
  if (checked != rounds) Fault(r, QStringLiteral("%1 goods rows, %2 rounds").arg(checked).arg(rounds));
  auto totals = db.Prepare(
      "select (select count(*) from sell), (select sum(销售金额) from sell), (select sum(笔数) from sell_day), "
      "(select sum(销售金额) from sell_day)");
  if (!totals || !totals->Step().value_or(false)) {
    Fault(r, QStringLiteral("totals not read"));
    return r;
  }
  const qint64 sold = totals->Int(0);
  if (sold != rounds + r.double_sales) Fault(r, QStringLiteral("%1 sales stored for %2 rounds").arg(sold).arg(rounds));
  if (totals->Int(2) != sold || totals->Double(3) != totals->Double(1))
    Fault(r, QStringLiteral("sell_day holds %1 sales of %2, sell %3 of %4")
                 .arg(totals->Int(2))
                 .arg(totals->Double(3))
                 .arg(sold)
                 .arg(totals->Double(1)));
  return r;
}

// The goods whose movements do not add up to their stock; -1 when the check failed.
int MismatchCount(AppContext& ctx) {
  auto mismatches = FindStockMismatches(ctx);
  EXPECT_TRUE(mismatches.has_value());
  if (!mismatches) return -1;
  return static_cast<int>(mismatches->size());
}

void Print(const char* what, const RaceResult& r) {
  std::printf("race test, %s: %d rounds, %d double sales, %lld ms\n", what, r.rounds, r.double_sales,
              static_cast<long long>(r.millis));
}

// A scratch database in the test cluster with our tables made, or the reason why not.
class ServerRace : public testing::Test {
 protected:
  void SetUp() override {
    QString why_not;
    scratch_ = ScratchDatabase(&why_not);
    if (!scratch_) GTEST_SKIP() << why_not.toStdString();
    ASSERT_TRUE(WriteWorkingFiles(dir_.path(), dir_.path()));
    ctx_ = std::make_unique<AppContext>(dir_.path(), *scratch_->Address(), prompter_, clock_, notifier_);
    ASSERT_TRUE(ctx_->EnsureDatabaseOpen());
  }
  void TearDown() override {
    ctx_.reset();
    scratch_.reset();
  }

  std::vector<std::string> ChildArgs(bool row_lock) const {
    const ServerAddress& a = *scratch_->Address();
    std::vector<std::string> args{dir_.path().toStdString(), "server",
                                  a.host.toStdString(),      std::to_string(a.port),
                                  a.database.toStdString(),  a.user.toStdString()};
    if (!row_lock) args.push_back("no-row-lock");
    return args;
  }

  QTemporaryDir dir_;
  std::unique_ptr<ScratchServerDatabase> scratch_;
  ScriptedPrompter prompter_;
  FixedClock clock_;
  RecordingNotifier notifier_;
  std::unique_ptr<AppContext> ctx_;
};

TEST_F(ServerRace, TwoTillsSellingTheLastUnitSellItOnce) {
  const RaceResult r = Race(ctx_->db, ChildArgs(true), EnvCount("HEMULU_RACE_ROUNDS", 1000));
  Print("server", r);
  EXPECT_EQ(0, r.double_sales);
  EXPECT_TRUE(r.faults.isEmpty()) << r.faults.join('\n').toStdString();
  EXPECT_EQ(MismatchCount(*ctx_), 0);
}

// The negative control: without the row lock both tills read a stock of 1 and both sell.
// The race test must see it, or it proves nothing.
TEST_F(ServerRace, WithoutTheRowLockBothTillsSellTheLastUnit) {
  const RaceResult r = Race(ctx_->db, ChildArgs(false), EnvCount("HEMULU_RACE_ROUNDS", 1000));
  Print("server without the row lock", r);
  EXPECT_GT(r.double_sales, 0);
  EXPECT_TRUE(r.faults.isEmpty()) << r.faults.join('\n').toStdString();
  // Each double sale left two movements of -1 on a stock that fell by 1: the check names
  // every one of those goods.
  EXPECT_EQ(MismatchCount(*ctx_), r.double_sales);
}

// On the file, BEGIN IMMEDIATE lets one sale in at a time: the second reads the stock
// the first left.
TEST(FileRace, TwoProgramsSellingTheLastUnitOfOneFileSellItOnce) {
  QTemporaryDir dir;
  ASSERT_TRUE(WriteWorkingFiles(dir.path(), dir.path()));
  ScriptedPrompter prompter;
  FixedClock clock;
  RecordingNotifier notifier;
  AppContext ctx(dir.path(), prompter, clock, notifier);
  ASSERT_TRUE(ctx.EnsureDatabaseOpen());
  const RaceResult r = Race(ctx.db, {dir.path().toStdString(), "file"}, EnvCount("HEMULU_RACE_ROUNDS", 1000));
  Print("file", r);
  EXPECT_EQ(0, r.double_sales);
  EXPECT_TRUE(r.faults.isEmpty()) << r.faults.join('\n').toStdString();
  EXPECT_EQ(MismatchCount(ctx), 0);
}

}  // namespace
}  // namespace hemulu::test
