#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "EngineSupport.h"
#include "TestSupport.h"
#include "data/StockMoves.h"
#include "data/TextFormat.h"
#include "sales/CheckoutLogic.h"
#include "sales/SalesLogic.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

// Whole cents of a figure: the debt parts must add up to the cent, not nearly.
qint64 Cents(double v) { return std::llround(v * 100); }

qint64 CentsOf(const std::vector<double>& parts) {
  qint64 sum = 0;
  for (double p : parts) {
    EXPECT_NEAR(p * 100, static_cast<double>(Cents(p)), 1e-6) << "not a whole cent: " << p;
    sum += Cents(p);
  }
  return sum;
}

BasketLine Line(double price, double discount, double quantity, double stock = 100) {
  BasketLine l;
  l.goods.sell_price = price;
  l.goods.stock = stock;
  l.discount = discount;
  l.quantity = quantity;
  return l;
}

}  // namespace

TEST(BasketArithmetic, PricesAmountsStockAndPayment) {
  EXPECT_EQ(LineActualPrice(Line(50, 80, 3)), 40);
  EXPECT_EQ(LineAmount(Line(50, 80, 3)), 120);
  EXPECT_EQ(LineAmount(Line(1.5, 100, 0)), 0);
  // The stock check's tolerance: a hair over is not over, a unit over is.
  EXPECT_FALSE(LineOverStock(Line(1, 100, 2.00000005, 2)));
  EXPECT_TRUE(LineOverStock(Line(1, 100, 2.001, 2)));
  EXPECT_TRUE(LineOverStock(Line(1, 100, 1, 0)));
  const BasketTotals t = TotalsOf({Line(50, 80, 3), Line(2.5, 100, 2), Line(10, 50, 1)});
  EXPECT_EQ(t.pieces, 6);
  EXPECT_EQ(t.total, 130);
  // Paid 100 of 99.9: 0.1 back, not 0.09999…; nothing owed.
  EXPECT_EQ(ChangeDue(99.9, 100), 0.1);
  EXPECT_EQ(DebtLeft(99.9, 100), 0);
  EXPECT_EQ(ChangeDue(130, 100), 0);
  EXPECT_EQ(DebtLeft(130, 100), 30);
  EXPECT_EQ(DebtLeft(0.3, 0.1), 0.2);
}

TEST(BasketArithmetic, DebtSpreadAddsUpToTheCent) {
  // Does not split evenly: the parts still make the debt.
  auto parts = SpreadDebt(10, {1, 1, 1});
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(CentsOf(parts), 1000);
  EXPECT_EQ(parts[0], 3.33);
  EXPECT_EQ(parts[1], 3.33);
  EXPECT_EQ(parts[2], 3.34);

  // Many small lines each rounding up must not push the last below 0.
  // (8 cents over five lines of 1 and one of 0.01: each share of 1.6 rounds to 2.)
  parts = SpreadDebt(0.08, {1, 1, 1, 1, 1, 0.01});
  EXPECT_EQ(CentsOf(parts), 8);
  for (double p : parts) EXPECT_GE(p, 0);

  // A line of amount 0 carries nothing, even when it is last.
  parts = SpreadDebt(7.77, {3.3, 0, 4.47, 0});
  EXPECT_EQ(CentsOf(parts), 777);
  EXPECT_EQ(parts[1], 0);
  EXPECT_EQ(parts[3], 0);

  // The whole total owed: each line owes its amount.
  parts = SpreadDebt(19.9 + 0.1 + 3.33, {19.9, 0.1, 3.33});
  EXPECT_EQ(parts, (std::vector<double>{19.9, 0.1, 3.33}));

  // Every amount 0 (a free basket with a debt typed): still the whole debt.
  parts = SpreadDebt(5, {0, 0, 0});
  EXPECT_EQ(CentsOf(parts), 500);
  EXPECT_TRUE(SpreadDebt(5, {}).empty());
}

namespace {

// Goods of the worked example: stock 10, bought at 30, sold at 50.
GoodsRow Cup() {
  GoodsRow r;
  r.name = QStringLiteral("张三牌茶杯");
  r.code = QStringLiteral("6901234567890");
  r.initials = QStringLiteral("ZSPCB");
  r.bought = 10;
  r.buy_price = 30;
  r.bought_amount = 300;
  r.sell_price = 50;
  r.stock = 10;
  r.stock_amount = 300;
  return r;
}

class CheckoutOn : public EngineTest {
 protected:
  BasketLine LineOf(qint64 id, double quantity, double discount = 100) {
    auto g = LoadCounterGoods(ctx(), id);
    EXPECT_TRUE(g && *g);
    BasketLine l;
    if (g && *g) l.goods = **g;
    l.quantity = quantity;
    l.discount = discount;
    return l;
  }
  double Figure(const char* table, const char* column, qint64 id) {
    auto st = db().Prepare(std::string("select ") + column + " from " + table + " where \"ID\"=?");
    EXPECT_TRUE(st.has_value());
    if (!st) return -1;
    st->BindAll(id);
    return st->Step().value_or(false) ? st->Double(0) : -1;
  }
  QString Text(const char* table, const char* column, qint64 id) {
    auto st = db().Prepare(std::string("select ") + column + " from " + table + " where \"ID\"=?");
    if (!st) return {};
    st->BindAll(id);
    return st->Step().value_or(false) ? st->Text(0) : QString();
  }
  void ExpectMovesAddUp() {
    auto mismatches = FindStockMismatches(ctx());
    ASSERT_TRUE(mismatches.has_value());
    EXPECT_TRUE(mismatches->empty()) << StockMismatchMessage(*mismatches).toStdString();
  }
  // Refuses the insert of a sale row of the goods `goods_id`, as a full disk would.
  void RefuseSalesOf(qint64 goods_id) {
    const std::string id = std::to_string(goods_id);
    const std::string sql =
        OnServer() ? "CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN IF NEW.\"UID\" = " + id +
                         " THEN RAISE EXCEPTION 'injected'; END IF; RETURN NEW; END$$; "
                         "CREATE TRIGGER refuse BEFORE INSERT ON sell FOR EACH ROW EXECUTE FUNCTION refuse();"
                   : "CREATE TEMP TRIGGER refuse BEFORE INSERT ON sell WHEN NEW.UID = " + id +
                         " BEGIN SELECT RAISE(ABORT, 'injected'); END;";
    ASSERT_TRUE(db().ExecScript(sql.c_str()));
  }
};
HEMULU_ON_BOTH_ENGINES(CheckoutOn);

}  // namespace

TEST_P(CheckoutOn, FindsGoodsByExactCodeAndSearchesLiterally) {
  GoodsRow a = Cup();
  const qint64 cup = InsertGoods(db(), a);
  a.name = QStringLiteral("张三牌茶杯（大）");
  const qint64 big = InsertGoods(db(), a);  // same code
  GoodsRow odd;
  odd.name = QStringLiteral("50%果汁 O'Neil");
  odd.code = QStringLiteral("690123");
  odd.initials = QStringLiteral("GZ");
  const qint64 juice = InsertGoods(db(), odd);

  auto found = FindGoodsByCode(ctx(), QStringLiteral("6901234567890"));
  ASSERT_TRUE(found.has_value());
  ASSERT_EQ(found->size(), 2u);
  EXPECT_EQ((*found)[0].id, cup);
  EXPECT_EQ((*found)[1].id, big);
  EXPECT_EQ((*found)[0].sell_price, 50);
  EXPECT_EQ((*found)[0].stock, 10);
  // Exact: a code that is a prefix of another finds only its own goods.
  found = FindGoodsByCode(ctx(), QStringLiteral("690123"));
  ASSERT_TRUE(found.has_value());
  ASSERT_EQ(found->size(), 1u);
  EXPECT_EQ((*found)[0].id, juice);

  auto searched = SearchCounterGoods(ctx(), QStringLiteral("zspc"));  // initials, any case
  ASSERT_TRUE(searched.has_value());
  EXPECT_EQ(searched->size(), 2u);
  searched = SearchCounterGoods(ctx(), QStringLiteral("0%"));  // % taken literally
  ASSERT_TRUE(searched.has_value());
  ASSERT_EQ(searched->size(), 1u);
  EXPECT_EQ((*searched)[0].id, juice);
  searched = SearchCounterGoods(ctx(), QStringLiteral("O'Neil"));
  ASSERT_TRUE(searched.has_value());
  EXPECT_EQ(searched->size(), 1u);
  searched = SearchCounterGoods(ctx(), QStringLiteral("690"), 2);  // code, limited
  ASSERT_TRUE(searched.has_value());
  EXPECT_EQ(searched->size(), 2u);
}

TEST_P(CheckoutOn, ABasketWritesEachLineAsASaleUnderOneReceipt) {
  const qint64 cup = InsertGoods(db(), Cup());
  const qint64 cola = InsertGoods(db(), GoodsRow{});  // 3 each, bought at 2, 10 in stock
  Checkout c;
  c.lines = {LineOf(cup, 2, 80), LineOf(cola, 3)};
  c.paid = QStringLiteral("100");
  c.customer_name = QStringLiteral("O'Brien");
  auto r = RecordBasket(ctx(), c);
  ASSERT_TRUE(r.has_value()) << r.error().message.toStdString();
  EXPECT_EQ(r->receipt_number, CustomerNumber(clock.Now()));
  EXPECT_EQ(r->total, 89);
  EXPECT_EQ(r->paid, 100);
  EXPECT_EQ(r->change, 11);
  EXPECT_EQ(r->debt, 0);
  ASSERT_EQ(r->sale_ids.size(), 2u);

  // Discount 80 on 50: sold at 40, profit from that price, the stock after the sale.
  const qint64 first = r->sale_ids[0];
  EXPECT_EQ(Figure("sell", "销售单价", first), 40);
  EXPECT_EQ(Figure("sell", "销售数量", first), 2);
  EXPECT_EQ(Figure("sell", "销售金额", first), 80);
  EXPECT_EQ(Figure("sell", "净利润", first), 20);
  EXPECT_EQ(Figure("sell", "进货单价", first), 30);
  EXPECT_EQ(Figure("sell", "存货数量", first), 8);
  EXPECT_EQ(Figure("sell", "\"UID\"", first), cup);
  EXPECT_EQ(Text("sell", "首拼", first), QStringLiteral("ZSPCB"));
  EXPECT_EQ(Text("sell", "销售日期", first), QStringLiteral("2026-12-08 00:00:00"));
  EXPECT_EQ(Text("sell", "客户编号", r->sale_ids[1]), r->receipt_number);
  EXPECT_EQ(Figure("sell", "净利润", r->sale_ids[1]), 3);
  EXPECT_EQ(Figure("buy", "存货数量", cup), 8);
  EXPECT_EQ(Figure("buy", "存货金额", cup), 240);
  EXPECT_EQ(Figure("buy", "销售数量", cup), 2);
  EXPECT_EQ(Figure("buy", "销售金额", cup), 80);
  EXPECT_EQ(Figure("buy", "存货数量", cola), 7);
  ExpectMovesAddUp();

  // The reprint shows what was paid and given back.
  auto receipt = LoadBasketReceipt(ctx(), r->receipt_number);
  ASSERT_TRUE(receipt.has_value()) << receipt.error().message.toStdString();
  ASSERT_EQ(receipt->lines.size(), 2u);
  EXPECT_EQ(receipt->lines[0].price, 40);
  EXPECT_EQ(receipt->pieces, 5);
  EXPECT_EQ(receipt->total, 89);
  EXPECT_EQ(receipt->paid, 100);
  EXPECT_EQ(receipt->change, 11);
  EXPECT_EQ(receipt->operator_name, QStringLiteral("超级管理员"));
  EXPECT_FALSE(LoadBasketReceipt(ctx(), QStringLiteral("1")).has_value());
}

TEST_P(CheckoutOn, ADebtNeedsANameAndIsSpreadOverTheLines) {
  const qint64 cup = InsertGoods(db(), Cup());
  const qint64 cola = InsertGoods(db(), GoodsRow{});
  Checkout c;
  c.lines = {LineOf(cup, 1), LineOf(cola, 1), LineOf(cola, 1)};  // 56
  c.paid = QStringLiteral("46");
  auto refused = RecordBasket(ctx(), c);
  ASSERT_FALSE(refused.has_value());
  EXPECT_TRUE(refused.error().message.contains(QStringLiteral("客户名称")));
  EXPECT_EQ(CountRows(db(), "sell"), 0);

  c.customer_name = QStringLiteral("王五");
  auto r = RecordBasket(ctx(), c);
  ASSERT_TRUE(r.has_value()) << r.error().message.toStdString();
  EXPECT_EQ(r->debt, 10);
  EXPECT_EQ(r->change, 0);
  double debts = 0;
  for (qint64 id : r->sale_ids) debts += Figure("sell", "欠款额", id);
  EXPECT_EQ(Cents(debts), 1000);
  EXPECT_EQ(Figure("sell", "欠款额", r->sale_ids[0]), 8.93);  // 50 of 56

  // A receipt of the sale window: no payment kept, paid what is not owed.
  SaleForm f;
  f.name = QStringLiteral("张三牌茶杯");
  f.shown_stock = QStringLiteral("9");
  f.quantity = QStringLiteral("1");
  f.actual_price = f.amount = QStringLiteral("50");
  f.debt = QStringLiteral("20");
  f.date = QDate(2026, 12, 1);
  f.customer_number = QStringLiteral("2026121900");
  ASSERT_TRUE(RecordSale(ctx(), cup, f).has_value());
  auto old = LoadBasketReceipt(ctx(), f.customer_number);
  ASSERT_TRUE(old.has_value());
  EXPECT_EQ(old->paid, 30);
  EXPECT_EQ(old->change, 0);
  EXPECT_EQ(old->debt, 20);
}

TEST_P(CheckoutOn, AFailureOnTheLastLineWritesNothing) {
  const qint64 cup = InsertGoods(db(), Cup());
  GoodsRow other;
  other.name = QStringLiteral("雪碧");
  const qint64 sprite = InsertGoods(db(), other);
  const qint64 moves = CountRows(db(), "stock_move");
  RefuseSalesOf(sprite);
  Checkout c;
  c.lines = {LineOf(cup, 2), LineOf(cup, 1), LineOf(sprite, 1)};
  auto r = RecordBasket(ctx(), c);
  ASSERT_FALSE(r.has_value());
  EXPECT_TRUE(r.error().message.startsWith(QStringLiteral("第3行（雪碧）："))) << r.error().message.toStdString();
  EXPECT_EQ(CountRows(db(), "sell"), 0);
  EXPECT_EQ(CountRows(db(), "receipt"), 0);
  EXPECT_EQ(CountRows(db(), "stock_move"), moves);
  EXPECT_EQ(Figure("buy", "存货数量", cup), 10);
  EXPECT_EQ(Figure("buy", "销售数量", cup), 0);
}

TEST_P(CheckoutOn, TheStoredStockDecidesNotTheBasketsSnapshot) {
  const qint64 cup = InsertGoods(db(), Cup());
  const qint64 cola = InsertGoods(db(), GoodsRow{});
  Checkout c;
  c.lines = {LineOf(cola, 1), LineOf(cup, 2)};
  // Another till sold all but one meanwhile.
  ASSERT_TRUE(db().Execute("update buy set 存货数量=1 where \"ID\"=?", cup));
  auto r = RecordBasket(ctx(), c);
  ASSERT_FALSE(r.has_value());
  EXPECT_EQ(r.error().message, QStringLiteral("第2行（张三牌茶杯）：库存不足，无法销售"));
  EXPECT_EQ(CountRows(db(), "sell"), 0);
  EXPECT_EQ(Figure("buy", "存货数量", cola), 10);

  // Bad input: nothing, a quantity of 0, a letter, 1e309.
  EXPECT_FALSE(RecordBasket(ctx(), Checkout{}).has_value());
  c.lines = {LineOf(cola, 0)};
  EXPECT_FALSE(RecordBasket(ctx(), c).has_value());
  c.lines = {LineOf(cola, 1)};
  c.paid = QStringLiteral("1O");
  EXPECT_FALSE(RecordBasket(ctx(), c).has_value());
  c.paid = QStringLiteral("1e309");
  EXPECT_FALSE(RecordBasket(ctx(), c).has_value());
  c.paid.clear();
  c.lines = {LineOf(cola, std::numeric_limits<double>::infinity())};
  EXPECT_FALSE(RecordBasket(ctx(), c).has_value());
  c.lines = {LineOf(cola, 1)};
  c.customer_name = QString(51, QChar(u'王'));
  EXPECT_FALSE(RecordBasket(ctx(), c).has_value());
  EXPECT_EQ(CountRows(db(), "sell"), 0);
  EXPECT_EQ(CountRows(db(), "receipt"), 0);
}

TEST_P(CheckoutOn, TheReceiptNumberIsUniqueWithinOneSecond) {
  const qint64 cola = InsertGoods(db(), GoodsRow{});
  clock.Set(QDateTime(QDate(2026, 12, 8), QTime(10, 30, 58)));
  // The sale window sold at that second already.
  SaleForm f;
  f.name = QStringLiteral("可口可乐");
  f.shown_stock = QStringLiteral("10");
  f.quantity = QStringLiteral("1");
  f.actual_price = f.amount = QStringLiteral("3");
  f.date = QDate(2026, 12, 8);
  f.customer_number = CustomerNumber(clock.Now());
  ASSERT_TRUE(RecordSale(ctx(), cola, f).has_value());

  Checkout c;
  c.lines = {LineOf(cola, 1)};
  auto a = RecordBasket(ctx(), c);
  auto b = RecordBasket(ctx(), c);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->receipt_number, CustomerNumber(QDateTime(QDate(2026, 12, 8), QTime(10, 30, 59))));
  EXPECT_EQ(b->receipt_number, CustomerNumber(QDateTime(QDate(2026, 12, 8), QTime(10, 31, 0))));
  auto receipt = LoadBasketReceipt(ctx(), a->receipt_number);
  ASSERT_TRUE(receipt.has_value());
  EXPECT_EQ(receipt->lines.size(), 1u);
}

TEST_P(CheckoutOn, AHeldBasketSurvivesAReopenAndSaysWhatChanged) {
  const qint64 cup = InsertGoods(db(), Cup());
  const qint64 cola = InsertGoods(db(), GoodsRow{});
  GoodsRow gone;
  gone.name = QStringLiteral("雪碧");
  const qint64 sprite = InsertGoods(db(), gone);
  Checkout c;
  c.lines = {LineOf(cup, 3, 90), LineOf(cola, 2), LineOf(sprite, 1)};
  c.customer_name = QStringLiteral("王五");
  c.paid = QStringLiteral("200");
  auto held = HoldBasket(ctx(), c);
  ASSERT_TRUE(held.has_value()) << held.error().message.toStdString();

  db().Close();
  ASSERT_TRUE(db().Open().has_value());
  auto baskets = HeldBaskets(ctx());
  ASSERT_TRUE(baskets.has_value());
  ASSERT_EQ(baskets->size(), 1u);
  EXPECT_EQ((*baskets)[0].id, *held);
  EXPECT_EQ((*baskets)[0].user, QStringLiteral("超级管理员"));
  EXPECT_EQ((*baskets)[0].held_at, clock.Now());
  ASSERT_EQ((*baskets)[0].checkout.lines.size(), 3u);
  EXPECT_EQ((*baskets)[0].checkout.lines[0].discount, 90);
  EXPECT_EQ((*baskets)[0].checkout.paid, QStringLiteral("200"));

  // Meanwhile: the cola's price went up, the cup's stock went down, the sprite was deleted.
  ASSERT_TRUE(db().Execute("update buy set 销售单价=3.5 where \"ID\"=?", cola));
  ASSERT_TRUE(db().Execute("update buy set 存货数量=2 where \"ID\"=?", cup));
  ASSERT_TRUE(db().Execute("delete from buy where \"ID\"=?", sprite));
  auto recalled = RecallBasket(ctx(), *held);
  ASSERT_TRUE(recalled.has_value()) << recalled.error().message.toStdString();
  EXPECT_EQ(recalled->changes,
            (QStringList{QStringLiteral("张三牌茶杯：库存不足（剩 2）"), QStringLiteral("可口可乐：售价 3 → 3.5"),
                         QStringLiteral("雪碧：商品已删除，已从清单中去掉")}));
  ASSERT_EQ(recalled->checkout.lines.size(), 2u);
  EXPECT_EQ(recalled->checkout.lines[0].quantity, 3);  // marked, not clamped
  EXPECT_EQ(recalled->checkout.lines[0].goods.stock, 2);
  EXPECT_EQ(recalled->checkout.lines[1].goods.sell_price, 3.5);
  EXPECT_EQ(recalled->checkout.customer_name, QStringLiteral("王五"));
  // Taken out: not there for a second recall.
  EXPECT_EQ(CountRows(db(), "held_basket"), 0);
  EXPECT_EQ(CountRows(db(), "held_basket_line"), 0);
  auto again = RecallBasket(ctx(), *held);
  ASSERT_FALSE(again.has_value());
  EXPECT_EQ(again.error().kind, ActionError::Kind::Gone);
}

TEST_P(CheckoutOn, AReturnPutsTheStockBackAndIsRefusedBeyondWhatWasSold) {
  const qint64 cup = InsertGoods(db(), Cup());
  const qint64 cola = InsertGoods(db(), GoodsRow{});
  Checkout c;
  c.lines = {LineOf(cup, 3, 80), LineOf(cola, 2)};
  auto sold = RecordBasket(ctx(), c);
  ASSERT_TRUE(sold.has_value());
  const QString number = sold->receipt_number;
  const qint64 cup_sale = sold->sale_ids[0];

  // More than was sold.
  auto refused = RecordReturn(ctx(), number, {{cup_sale, 4}});
  ASSERT_FALSE(refused.has_value());
  EXPECT_TRUE(refused.error().message.contains(QStringLiteral("可退 3"))) << refused.error().message.toStdString();

  clock.Set(clock.Now().addSecs(60));
  auto back = RecordReturn(ctx(), number, {{cup_sale, 1}, {cup_sale, 1}});
  ASSERT_TRUE(back.has_value()) << back.error().message.toStdString();
  ASSERT_EQ(back->sale_ids.size(), 1u);
  EXPECT_NE(back->receipt_number, number);
  EXPECT_EQ(back->total, -80);
  const qint64 row = back->sale_ids[0];
  EXPECT_EQ(Figure("sell", "销售数量", row), -2);
  EXPECT_EQ(Figure("sell", "销售金额", row), -80);
  EXPECT_EQ(Figure("sell", "销售单价", row), 40);
  EXPECT_EQ(Figure("sell", "净利润", row), -20);
  EXPECT_EQ(Figure("sell", "存货数量", row), 9);
  EXPECT_EQ(Text("sell", "备注", row), QStringLiteral("退货，原小票 ") + number);
  EXPECT_EQ(Figure("buy", "存货数量", cup), 9);
  EXPECT_EQ(Figure("buy", "销售数量", cup), 1);
  EXPECT_EQ(Figure("buy", "销售金额", cup), 40);
  ExpectMovesAddUp();
  auto st = db().Prepare("select count(*) from stock_move where 业务=? and 销售号=?");
  st->BindAll(kMoveReturn, row);
  ASSERT_TRUE(st->Step().value_or(false));
  EXPECT_EQ(st->Int(0), 1);

  // A note that merely reads like a return's does not count as one.
  ASSERT_TRUE(db().Execute("update sell set 备注=? where \"ID\"=?", QStringLiteral("退货，原小票 ") + number,
                           sold->sale_ids[1]));
  auto lines = ReturnableLines(ctx(), number);
  ASSERT_TRUE(lines.has_value());
  ASSERT_EQ(lines->size(), 2u);
  EXPECT_EQ((*lines)[0].sold, 3);
  EXPECT_EQ((*lines)[0].returned, 2);
  EXPECT_EQ((*lines)[0].price, 40);
  EXPECT_EQ((*lines)[1].returned, 0);

  // Deleting the return's sale row keeps the stock it put back: it stays returned.
  ASSERT_TRUE(DeleteSale(ctx(), row).has_value());
  lines = ReturnableLines(ctx(), number);
  ASSERT_TRUE(lines.has_value());
  EXPECT_EQ((*lines)[0].returned, 2);

  // After the partial return only 1 is left.
  refused = RecordReturn(ctx(), number, {{cup_sale, 1.5}});
  ASSERT_FALSE(refused.has_value());
  EXPECT_TRUE(refused.error().message.contains(QStringLiteral("可退 1")));
  EXPECT_TRUE(RecordReturn(ctx(), number, {{cup_sale, 1}}).has_value());
  EXPECT_FALSE(RecordReturn(ctx(), number, {{cup_sale, 1}}).has_value());
  // A sale of another receipt, an unknown receipt, nothing to return.
  EXPECT_FALSE(RecordReturn(ctx(), QStringLiteral("1"), {{cup_sale, 1}}).has_value());
  EXPECT_FALSE(RecordReturn(ctx(), number, {}).has_value());
  EXPECT_FALSE(ReturnableLines(ctx(), back->receipt_number).has_value());
  EXPECT_EQ(Figure("buy", "存货数量", cup), 10);
  ExpectMovesAddUp();
}

// Goods bought on credit and brought back: the debt goes first, only the rest is paid
// out; and the return's profit cancels the sale's, whatever the goods cost since.
TEST_P(CheckoutOn, AReturnOfGoodsNotYetPaidForTakesTheDebtOffFirstAndCancelsTheProfit) {
  const qint64 cup = InsertGoods(db(), Cup());  // costs 30, sells at 50
  Checkout c;
  c.lines = {LineOf(cup, 2)};
  c.paid = QStringLiteral("30");
  c.customer_name = QStringLiteral("张三");
  auto sold = RecordBasket(ctx(), c);
  ASSERT_TRUE(sold.has_value()) << sold.error().message.toStdString();
  const qint64 sale = sold->sale_ids[0];
  ASSERT_EQ(Figure("sell", "欠款额", sale), 70);
  ASSERT_EQ(Figure("sell", "净利润", sale), 40);
  // Bought in since at another price: the goods' cost moves.
  ASSERT_TRUE(db().Execute("update buy set 进货单价=45 where \"ID\"=?", cup));

  clock.Set(clock.Now().addSecs(60));
  auto back = RecordReturn(ctx(), sold->receipt_number, {{sale, 1}});
  ASSERT_TRUE(back.has_value()) << back.error().message.toStdString();
  EXPECT_EQ(back->total, -50);
  EXPECT_EQ(back->paid, 0);  // nothing paid out: the 50 comes off the 70 owed
  EXPECT_EQ(back->debt, -50);
  EXPECT_EQ(Figure("sell", "欠款额", sale), 20);
  EXPECT_EQ(Figure("sell", "净利润", back->sale_ids[0]), -20);
  // The debt's change is on the customer's record, as a repayment is.
  auto noted = db().Prepare("select sum(金额) from repayment_part where 销售号=?");
  noted->BindAll(sale);
  ASSERT_TRUE(noted->Step().value_or(false));
  EXPECT_EQ(noted->Double(0), 50);

  // The second: 20 still owed, 30 paid out.
  auto rest = RecordReturn(ctx(), sold->receipt_number, {{sale, 1}});
  ASSERT_TRUE(rest.has_value()) << rest.error().message.toStdString();
  EXPECT_EQ(rest->paid, -30);
  EXPECT_EQ(rest->debt, -20);
  EXPECT_EQ(Figure("sell", "欠款额", sale), 0);
  // Sold and brought back whole: no profit left, no debt, the stock as before.
  auto profit = db().Prepare("select sum(净利润) from sell");
  ASSERT_TRUE(profit && profit->Step().value_or(false));
  EXPECT_EQ(profit->Double(0), 0);
  EXPECT_EQ(Figure("buy", "存货数量", cup), 10);
  ExpectMovesAddUp();
}

TEST_P(CheckoutOn, ADatabaseWithoutTheCountersTablesGetsThemAtConnection) {
  ASSERT_TRUE(db().ExecScript("DROP TABLE held_basket; DROP TABLE held_basket_line; DROP TABLE receipt;"));
  auto other = AnotherConnection();
  ASSERT_TRUE(other->Open().has_value());
  EXPECT_EQ(CountRows(*other, "held_basket"), 0);
  EXPECT_EQ(CountRows(*other, "held_basket_line"), 0);
  EXPECT_EQ(CountRows(*other, "receipt"), 0);
  const qint64 cola = InsertGoods(db(), GoodsRow{});
  Checkout c;
  c.lines = {LineOf(cola, 1)};
  EXPECT_TRUE(RecordBasket(ctx(), c).has_value());
}

TEST(Checkout, AnOlderFileGetsTheCountersTablesAndCodeIndexAtOpen) {
  TestApp app;
  Database& db = app.ctx().db;
  ASSERT_TRUE(
      db.ExecScript("DROP TABLE receipt; DROP TABLE return_line; DROP TABLE held_basket; DROP TABLE held_basket_line; "
                    "DROP INDEX \"buy_编码\"; DROP INDEX \"sell_客户编号\";"));
  db.Close();
  ASSERT_TRUE(db.Open().has_value());
  auto st = db.Prepare(
      "select count(*) from sqlite_master where name in ('receipt','return_line','held_basket','held_basket_line',"
      "'buy_编码','sell_客户编号','receipt_小票号')");
  ASSERT_TRUE(st && st->Step().value_or(false));
  EXPECT_EQ(st->Int(0), 7);
  // The scan's read goes through the code's index, not the whole goods table.
  auto plan = db.Prepare("explain query plan select \"ID\" from buy where 编码=?");
  ASSERT_TRUE(plan && plan->Step().value_or(false));
  EXPECT_TRUE(plan->Text(3).contains(QStringLiteral("buy_编码"))) << plan->Text(3).toStdString();
}
