// Two tills on one server, one write held open on the second while the first acts: the
// first must wait for it and then decide on what it committed. The action runs in a
// thread; the held transaction is committed as soon as the server shows the action
// waiting for a lock (pg_locks), so each case runs one way only, without timing.
// Each lock's case also runs with the locks switched off (the test hook) and must then
// show the fault the lock prevents.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "EngineSupport.h"
#include "TestSupport.h"
#include "admin/AccountsLogic.h"
#include "data/EngineSql.h"
#include "sales/CheckoutLogic.h"
#include "sales/SalesLogic.h"
#include "stock/GoodsLogic.h"

namespace hemulu::test {
namespace {

class TwoTills : public EngineTest {
 protected:
  void TearDown() override {
    test_hook::row_locks_off = false;
    EngineTest::TearDown();
  }

  // Runs `action` on this till while the other till holds a transaction that ran `sql`;
  // commits that transaction once the action waits for it. The action's result, and
  // whether it waited (it must, or the case proves nothing).
  template <class Action, class... Args>
  auto WhileTheOtherTillWrites(Action action, std::string_view sql, const Args&... args) {
    auto other = AnotherConnection();
    decltype(action()) result;
    bool waited = false;
    if (!other->Open()) {
      ADD_FAILURE() << "second connection";
      return std::pair{result, waited};
    }
    // This till's server process: the one whose wait is looked for.
    qint64 pid = 0;
    if (auto st = ctx().Query("select pg_backend_pid()"); st && st->Step().value_or(false)) pid = st->Int(0);
    auto held = Transaction::Begin(*other);
    EXPECT_TRUE(held);
    EXPECT_TRUE(other->Execute(sql, args...));
    std::atomic<bool> done{false};
    std::thread till([&] {
      result = action();
      done = true;
    });
    while (!done && !waited) {
      auto st = other->Prepare("select count(*) from pg_locks where not granted and pid=?");
      if (!st) break;
      st->BindAll(pid);
      waited = st->Step().value_or(false) && st->Int(0) > 0;
    }
    EXPECT_TRUE(held->Commit());
    till.join();
    return std::pair{result, waited};
  }

  double Figure(const char* column, qint64 goods_id) {
    auto st = ctx().Query(std::string("select ") + column + " from buy where \"ID\"=?", goods_id);
    return st && st->Step().value_or(false) ? st->Double(0) : -1;
  }

  qint64 SalesOf(qint64 goods_id) {
    auto st = ctx().Query("select count(*) from sell where \"UID\"=?", goods_id);
    return st && st->Step().value_or(false) ? st->Int(0) : -1;
  }
};

INSTANTIATE_TEST_SUITE_P(Server, TwoTills, testing::Values(Engine::Server), EngineName);

SaleForm LastUnitForm() {
  SaleForm form;
  form.name = QStringLiteral("可口可乐");
  form.shown_stock = QStringLiteral("1");
  form.actual_price = QStringLiteral("3");
  form.quantity = QStringLiteral("1");
  form.amount = QStringLiteral("3");
  form.debt = QStringLiteral("0");
  form.date = QDate(2026, 12, 9);
  return form;
}

// The other till is selling the last unit; this one sells it too.
TEST_P(TwoTills, ASaleWaitsForTheOtherTillsSaleOfTheLastUnitAndIsRefused) {
  for (const bool locks : {true, false}) {
    SCOPED_TRACE(locks ? "row lock" : "no row lock");
    test_hook::row_locks_off = !locks;
    GoodsRow row;
    row.bought = row.stock = 1;
    const qint64 id = InsertGoods(db(), row);
    auto [sold, waited] = WhileTheOtherTillWrites([&] { return RecordSale(ctx(), id, LastUnitForm()); },
                                                  "update buy set 存货数量=0, 销售数量=1 where \"ID\"=?", id);
    EXPECT_TRUE(waited);
    EXPECT_EQ(0, Figure("存货数量", id));
    if (locks) {
      ASSERT_FALSE(sold);
      EXPECT_EQ(sold.error().message, QStringLiteral("库存不足，无法销售"));
      EXPECT_EQ(0, SalesOf(id));
    } else {
      // What the lock prevents: the unit sold twice, and the stock still reads 0.
      EXPECT_TRUE(sold);
      EXPECT_EQ(1, SalesOf(id));
    }
  }
}

// The goods window was opened before the other till's sale; saving it must not undo
// that sale's figures.
TEST_P(TwoTills, AGoodsChangeWaitsForTheOtherTillsSaleAndIsRefused) {
  for (const bool locks : {true, false}) {
    SCOPED_TRACE(locks ? "row lock" : "no row lock");
    test_hook::row_locks_off = !locks;
    const qint64 id = InsertGoods(db(), GoodsRow{});  // 10 bought, none sold
    GoodsForm form;
    form.category = QStringLiteral("饮料");
    form.name = QStringLiteral("可口可乐");
    form.code = QStringLiteral("KKKL500ml");
    form.buy_price = QStringLiteral("2");
    form.quantity = QStringLiteral("10");
    form.sell_price = QStringLiteral("4");
    form.date = QDate(2026, 12, 1);
    auto [changed, waited] = WhileTheOtherTillWrites([&] { return UpdateGoods(ctx(), id, form, 0); },
                                                     "update buy set 销售数量=1, 存货数量=9 where \"ID\"=?", id);
    EXPECT_TRUE(waited);
    if (locks) {
      ASSERT_FALSE(changed);
      EXPECT_EQ(changed.error().kind, ActionError::Kind::Changed);
      EXPECT_EQ(1, Figure("销售数量", id));
      EXPECT_EQ(9, Figure("存货数量", id));
    } else {
      // What the lock prevents: the sale is gone from the goods row.
      EXPECT_TRUE(changed);
      EXPECT_EQ(0, Figure("销售数量", id));
    }
  }
}

// A restock adds to the stored figures in its one statement, with no read before it: the
// other till's sale, committed while the restock waited, is kept.
TEST_P(TwoTills, ARestockWaitingForTheOtherTillsSaleAddsToWhatItLeft) {
  const qint64 id = InsertGoods(db(), GoodsRow{});  // 10 in stock
  auto [restocked, waited] =
      WhileTheOtherTillWrites([&] { return RestockGoods(ctx(), id, 5, 2, QStringLiteral("供货商甲")); },
                              "update buy set 销售数量=1, 存货数量=9 where \"ID\"=?", id);
  EXPECT_TRUE(waited);
  ASSERT_TRUE(restocked);
  EXPECT_EQ(14, Figure("存货数量", id));
  EXPECT_EQ(15, Figure("进货数量", id));
  EXPECT_EQ(1, Figure("销售数量", id));
}

// The other till adds, or renames an account to, the name this one adds or renames to:
// the server's unique name refuses the second with the check's own message.
TEST_P(TwoTills, TwoTillsGivingOneNameAtOnceKeepOneAccountOfIt) {
  const char* add = "insert into \"UserName\" (用户名, 密码, 权限) values (?, '1', ?)";
  auto [added, waited] =
      WhileTheOtherTillWrites([&] { return AddAccount(ctx(), QStringLiteral("张三"), QStringLiteral("2")); }, add,
                              QStringLiteral("张三"), kOperatorRole);
  EXPECT_TRUE(waited);
  ASSERT_FALSE(added);
  EXPECT_EQ(added.error().message, QStringLiteral("发现重复用户名，请重新输入"));
  EXPECT_EQ(added.error().focus, kNewNameBox);

  auto li = AddAccount(ctx(), QStringLiteral("李四"), QStringLiteral("3"));
  ASSERT_TRUE(li);
  auto [renamed, rename_waited] =
      WhileTheOtherTillWrites([&] { return ChangeAccount(ctx(), *li, QStringLiteral("王五"), QStringLiteral("3")); },
                              add, QStringLiteral("王五"), kOperatorRole);
  EXPECT_TRUE(rename_waited);
  ASSERT_FALSE(renamed);
  EXPECT_EQ(renamed.error().message, QStringLiteral("发现重复用户名，请重新输入"));
  EXPECT_EQ(renamed.error().focus, kChangeNameBox);

  auto names = ctx().Query("select 用户名 from \"UserName\" where \"ID\">1 order by \"ID\"");
  ASSERT_TRUE(names);
  QStringList stored;
  while (names->Step().value_or(false)) stored << names->Text(0);
  EXPECT_EQ(stored, (QStringList{QStringLiteral("张三"), QStringLiteral("李四"), QStringLiteral("王五")}));
}

// The other till is selling the last unit of the basket's second line: the whole basket
// waits for it and is refused, its first line with it.
TEST_P(TwoTills, ABasketWaitsForTheOtherTillsSaleOfTheLastUnitAndIsRefusedWhole) {
  for (const bool locks : {true, false}) {
    SCOPED_TRACE(locks ? "row lock" : "no row lock");
    test_hook::row_locks_off = !locks;
    const qint64 plenty = InsertGoods(db(), GoodsRow{});
    GoodsRow last;
    last.name = QStringLiteral("雪碧");
    last.bought = last.stock = 1;
    const qint64 id = InsertGoods(db(), last);
    Checkout basket;
    for (qint64 goods : {plenty, id}) {
      auto g = LoadCounterGoods(ctx(), goods);
      ASSERT_TRUE(g && *g);
      basket.lines.push_back({.goods = **g, .quantity = 1});
    }
    auto [sold, waited] = WhileTheOtherTillWrites([&] { return RecordBasket(ctx(), basket); },
                                                  "update buy set 存货数量=0, 销售数量=1 where \"ID\"=?", id);
    EXPECT_TRUE(waited);
    if (locks) {
      ASSERT_FALSE(sold);
      EXPECT_EQ(sold.error().message, QStringLiteral("第2行（雪碧）：库存不足，无法销售"));
      EXPECT_EQ(0, SalesOf(id));
      EXPECT_EQ(0, SalesOf(plenty));
      EXPECT_EQ(10, Figure("存货数量", plenty));
    } else {
      EXPECT_TRUE(sold);
      EXPECT_EQ(1, SalesOf(id));
    }
  }
}

// The other till took this second's receipt number and has not committed yet: this one
// waits for it and is refused rather than sharing the number.
TEST_P(TwoTills, TwoBasketsAtTheSameSecondNeverShareAReceiptNumber) {
  const qint64 id = InsertGoods(db(), GoodsRow{});
  auto g = LoadCounterGoods(ctx(), id);
  ASSERT_TRUE(g && *g);
  Checkout basket;
  basket.lines.push_back({.goods = **g, .quantity = 1});
  auto [sold, waited] =
      WhileTheOtherTillWrites([&] { return RecordBasket(ctx(), basket); },
                              "insert into receipt (小票号,合计金额) values (?,3)", CustomerNumber(clock.Now()));
  EXPECT_TRUE(waited);
  // Refused its number once the other till committed, it took the next second's itself.
  ASSERT_TRUE(sold) << sold.error().message.toStdString();
  EXPECT_EQ(sold->receipt_number, CustomerNumber(clock.Now().addSecs(1)));
  EXPECT_EQ(1, SalesOf(id));
}

}  // namespace
}  // namespace hemulu::test
