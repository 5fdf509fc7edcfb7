#include <gtest/gtest.h>

#include "EngineSupport.h"
#include "JournalGoods.h"
#include "StoredGoods.h"
#include "TestSupport.h"
#include "stock/GoodsLogic.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

GoodsForm Form(QString name = QStringLiteral("可口可乐"), QString q = "5", QString p = "1.2", QString s = "2") {
  GoodsForm f;
  f.category = QStringLiteral("饮料");
  f.name = std::move(name);
  f.model = QStringLiteral("500ml");
  f.code = QStringLiteral("KKKL500ml");
  f.quantity = std::move(q);
  f.buy_price = std::move(p);
  f.sell_price = std::move(s);
  f.supplier = QStringLiteral("供货商甲");
  f.date = QDate(2026, 12, 8);
  return f;
}

std::vector<qint64> Ids(AppContext& ctx, const GoodsQuery& q) {
  std::vector<qint64> ids;
  const QString& sql = ctx.db.IsServer() && !q.server_sql.isEmpty() ? q.server_sql : q.sql;
  auto st = ctx.db.Prepare(sql.toStdString());
  EXPECT_TRUE(st.has_value()) << sql.toStdString();
  if (!st) return ids;
  for (int i = 0; i < q.params.size(); ++i) st->Bind(i + 1, q.params[i]);
  while (st->Step().value_or(false)) ids.push_back(st->Int("ID"));
  return ids;
}

}  // namespace

namespace {
class GoodsLogicOn : public test::EngineTest {};
HEMULU_ON_BOTH_ENGINES(GoodsLogicOn);
}  // namespace

TEST_P(GoodsLogicOn, NewGoodsStoresItsFiguresAndInitials) {
  auto id = InsertNewGoods(ctx(), Form());
  ASSERT_TRUE(id);
  const GoodsRecord r = StoredGoods(ctx(), *id);
  EXPECT_DOUBLE_EQ(r.bought, 5);
  EXPECT_DOUBLE_EQ(r.buy_price, 1.2);
  EXPECT_DOUBLE_EQ(r.bought_amount, 6);
  EXPECT_EQ(r.sold, 0);
  EXPECT_EQ(r.sold_amount, 0);
  EXPECT_DOUBLE_EQ(r.sell_price, 2);
  EXPECT_DOUBLE_EQ(r.stock, 5);
  EXPECT_DOUBLE_EQ(r.stock_amount, 6);
  EXPECT_EQ(r.date, QDateTime(QDate(2026, 12, 8), QTime(0, 0)));
  EXPECT_EQ(r.initials, "KKKL");
  EXPECT_EQ(r.code, "KKKL500ml");
}

TEST_P(GoodsLogicOn, LongNameIsRefusedWithItsCodeAndNothingWritten) {
  auto r = InsertNewGoods(ctx(), Form(QString(51, QChar(0x6C34))));
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error().Message(), "错误代码 [098]");
  GoodsForm f = Form();
  f.supplier = QString(51, 'x');
  EXPECT_EQ(InsertNewGoods(ctx(), f).error().code, "086");
  EXPECT_EQ(CountRows(ctx().db, "buy"), 0);
}

TEST(GoodsLogic, ValidationStopsAtTheFirstProblemInOrder) {
  GoodsForm f;
  const auto message = [&] { return ValidateGoodsForm(f).value_or(FormProblem{}).message; };
  EXPECT_EQ(message(), "商品类别必须填写");
  f.category = "饮料";
  EXPECT_EQ(message(), "商品名称必须填写");
  f.name = "可乐";
  EXPECT_EQ(message(), "商品编码必须填写");
  f.code = "KL";
  EXPECT_EQ(ValidateGoodsForm(f)->field, GoodsFormField::BuyPrice);
  for (const char* bad : {"", "abc", "-1", "0", "1e309", "0.00000001"}) {
    f.buy_price = bad;
    EXPECT_EQ(message(), "进货价格必须填写") << bad;
  }
  f.buy_price = "2.5";
  f.quantity = "0";
  EXPECT_EQ(message(), "进货数量必须填写");
  f.quantity = "3";
  f.sell_price = "x";
  EXPECT_EQ(message(), "销售价格必须填写");
  f.sell_price = "4";
  EXPECT_FALSE(ValidateGoodsForm(f));  // model, supplier and note may be empty
}

TEST_P(GoodsLogicOn, RestockRaisesPurchaseAndStockFiguresOnly) {
  GoodsRow row;
  row.bought = 10, row.bought_amount = 25, row.stock = 4, row.stock_amount = 10, row.buy_price = 2.5;
  row.sold = 6, row.sold_amount = 30;
  const qint64 id = InsertGoods(ctx().db, row);
  const qint64 other = InsertGoods(ctx().db, GoodsRow{});
  ASSERT_TRUE(RestockGoods(ctx(), id, 3, 2.5, QStringLiteral("供货商甲")));
  const GoodsRecord r = StoredGoods(ctx(), id);
  EXPECT_EQ(r.buy_price, 2.5);
  EXPECT_DOUBLE_EQ(r.bought, 13);
  EXPECT_DOUBLE_EQ(r.bought_amount, 32.5);
  EXPECT_DOUBLE_EQ(r.stock, 7);
  EXPECT_DOUBLE_EQ(r.stock_amount, 17.5);
  EXPECT_EQ(r.sold, 6);
  EXPECT_EQ(r.sold_amount, 30);
  EXPECT_EQ(r.date, row.date);
  EXPECT_EQ(r.initials, row.initials);
  EXPECT_DOUBLE_EQ(StoredGoods(ctx(), other).stock, 10);

  // A sale made while the window was open is kept.
  ASSERT_TRUE(ctx().db.Execute("update buy set 存货数量=存货数量-2 where \"ID\"=?", id));
  ASSERT_TRUE(RestockGoods(ctx(), id, 1, 2.5, QStringLiteral("供货商甲")));
  EXPECT_DOUBLE_EQ(StoredGoods(ctx(), id).stock, 6);

  EXPECT_EQ(RestockGoods(ctx(), 999, 1, 1, QStringLiteral("供货商甲")).error().kind, ActionError::Kind::Gone);
  EXPECT_EQ(RestockGoods(ctx(), id, 0, 1, QStringLiteral("供货商甲")).error().kind, ActionError::Kind::Invalid);
}

TEST_P(GoodsLogicOn, RestockAtAnotherPriceAveragesTheCostAndTheMovementKeepsTheDelivery) {
  ctx().session.SetUser(kSuperAdministrator, QStringLiteral("735"));
  auto id = InsertNewGoods(ctx(), JournalGoodsForm());  // 5 at 1.2 from 供货商甲
  ASSERT_TRUE(id);
  ASSERT_TRUE(RestockGoods(ctx(), *id, 5, 1.3, QStringLiteral("供货商乙")));
  GoodsRecord r = StoredGoods(ctx(), *id);
  EXPECT_DOUBLE_EQ(r.buy_price, 1.25);  // (5 × 1.2 + 5 × 1.3) / 10
  EXPECT_DOUBLE_EQ(r.bought, 10);
  EXPECT_DOUBLE_EQ(r.bought_amount, 12.5);
  EXPECT_DOUBLE_EQ(r.stock, 10);
  EXPECT_DOUBLE_EQ(r.stock_amount, 12.5);
  EXPECT_EQ(r.supplier, "供货商甲");  // the row keeps its own supplier

  // Sold out, the next delivery's price is the cost of everything on hand.
  ASSERT_TRUE(RecordSale(ctx(), *id, JournalSaleOf(ctx(), *id, "10")));
  ASSERT_TRUE(RestockGoods(ctx(), *id, 8, 1.1, QStringLiteral("供货商丙")));
  r = StoredGoods(ctx(), *id);
  EXPECT_EQ(r.buy_price, 1.1);
  EXPECT_DOUBLE_EQ(r.stock, 8);
  EXPECT_DOUBLE_EQ(r.stock_amount, 8.8);
  EXPECT_DOUBLE_EQ(r.bought_amount, 21.3);

  auto st = ctx().db.Prepare("select 进货单价,供货商,数量,结存数量 from stock_move where 业务=? order by \"ID\"");
  ASSERT_TRUE(st);
  st->BindAll(kMoveRestock);
  const struct {
    double price;
    const char* supplier;
    double change, after;
  } expected[] = {{1.3, "供货商乙", 5, 10}, {1.1, "供货商丙", 8, 8}};
  for (const auto& e : expected) {
    ASSERT_TRUE(st->Step().value_or(false));
    EXPECT_EQ(st->Double(0), e.price);
    EXPECT_EQ(st->Text(1), QString::fromUtf8(e.supplier));
    EXPECT_EQ(st->Double(2), e.change);
    EXPECT_EQ(st->Double(3), e.after);
  }
  EXPECT_FALSE(st->Step().value_or(true));
  st = Statement();
  ExpectStockMovesAddUp(ctx());
}

TEST(RestockedBuyPrice, AveragesWhatIsOnHandToTheTenThousandth) {
  const auto row = [](double stock, double price) { return MovedGoods{.stock = stock, .buy_price = price}; };
  EXPECT_EQ(RestockedBuyPrice(row(10, 1.2), 5, 1.3), 1.2333);     // 18.5 / 15
  EXPECT_EQ(RestockedBuyPrice(row(15, 1.2333), 8, 1.1), 1.1869);  // (18.4995 + 8.8) / 23 = 1.186934…
  // Nothing (or less than nothing, after an edit below the sold quantity) on hand: the delivery's price.
  EXPECT_EQ(RestockedBuyPrice(row(0, 1.2), 5, 1.3), 1.3);
  EXPECT_EQ(RestockedBuyPrice(row(-3, 1.2), 5, 1.3), 1.3);
  // The same price stays bit for bit, even one that rounding would change.
  EXPECT_EQ(RestockedBuyPrice(row(7, 0.123456789), 5, 0.123456789), 0.123456789);
}

TEST_P(GoodsLogicOn, RestockRefusesABadPriceOrSupplierWritingNothing) {
  ctx().session.SetUser(kSuperAdministrator, QStringLiteral("735"));
  auto id = InsertNewGoods(ctx(), JournalGoodsForm());
  ASSERT_TRUE(id);
  const struct {
    double quantity, price;
    QString supplier;
    const char* message;
    const char* focus;
  } bad[] = {{1, NumberValue("abc"), "乙", "进货价格必须填写", "进货单价框"},
             {1, std::numeric_limits<double>::infinity(), "乙", "进货价格必须填写", "进货单价框"},
             {1, std::nan(""), "乙", "进货价格必须填写", "进货单价框"},
             {1, -1.5, "乙", "进货价格必须填写", "进货单价框"},
             {std::numeric_limits<double>::infinity(), 1.2, "乙", "进货数量必须填写", "数量框"},
             {1, 1.2, QString(51, u'乙'), "供货商不能超过50个字", "供货商框"}};
  for (const auto& b : bad) {
    auto done = RestockGoods(ctx(), *id, b.quantity, b.price, b.supplier);
    ASSERT_FALSE(done) << b.message;
    EXPECT_EQ(done.error().message, QString::fromUtf8(b.message));
    EXPECT_EQ(done.error().focus, QString::fromUtf8(b.focus));
  }
  // 50 characters are taken.
  ASSERT_TRUE(RestockGoods(ctx(), *id, 1, 1.2, QString(50, u'乙')));
  EXPECT_EQ(CountRows(db(), "stock_move"), 2);
  EXPECT_DOUBLE_EQ(StoredGoods(ctx(), *id).stock, 6);
  EXPECT_EQ(StoredGoods(ctx(), *id).buy_price, 1.2);  // the same price kept exactly
}

TEST_P(GoodsLogicOn, EditRecomputesFromTheSoldQuantity) {
  GoodsRow row;
  row.sold = 3;
  const qint64 id = InsertGoods(ctx().db, row);
  GoodsForm f = Form(QStringLiteral("可乐"), "10", "2", "5");
  f.note = "O'Hara \"特价\"";
  ASSERT_TRUE(UpdateGoods(ctx(), id, f, 3));
  GoodsRecord r = StoredGoods(ctx(), id);
  EXPECT_DOUBLE_EQ(r.bought_amount, 20);
  EXPECT_DOUBLE_EQ(r.sold_amount, 15);
  EXPECT_DOUBLE_EQ(r.stock, 7);
  EXPECT_DOUBLE_EQ(r.stock_amount, 14);
  EXPECT_EQ(r.sold, 3);
  EXPECT_EQ(r.initials, "KL");
  EXPECT_EQ(r.note, f.note);
  EXPECT_EQ(r.date, row.date);  // the entry date is not rewritten

  // A return below the sold quantity leaves negative stock.
  ASSERT_TRUE(UpdateGoods(ctx(), id, Form(QStringLiteral("可乐"), "2", "2", "5"), 3));
  r = StoredGoods(ctx(), id);
  EXPECT_DOUBLE_EQ(r.stock, -1);
  EXPECT_DOUBLE_EQ(r.stock_amount, -2);
}

TEST_P(GoodsLogicOn, EditAndDeleteRefuseOperatorsAndStaleOrMissingRows) {
  ctx().session.SetUser("收银员", QStringLiteral("735"));
  const qint64 id = InsertGoods(ctx().db, GoodsRow{});
  EXPECT_EQ(UpdateGoods(ctx(), id, Form(), 0).error().kind, ActionError::Kind::NotAllowed);
  EXPECT_EQ(DeleteGoods(ctx(), id).error().kind, ActionError::Kind::NotAllowed);
  EXPECT_EQ(CountRows(ctx().db, "buy"), 1);

  ctx().session.SetUser(kSuperAdministrator, "735");
  // Sold meanwhile: the kept sold quantity no longer holds.
  ASSERT_TRUE(ctx().db.Execute("update buy set 销售数量=1 where \"ID\"=?", id));
  EXPECT_EQ(UpdateGoods(ctx(), id, Form(), 0).error().kind, ActionError::Kind::Changed);
  EXPECT_EQ(UpdateGoods(ctx(), id + 1, Form(), 0).error().kind, ActionError::Kind::Gone);
  GoodsForm long_model = Form();
  long_model.model = QString(51, 'm');
  EXPECT_EQ(UpdateGoods(ctx(), id, long_model, 1).error().message, "规格型号不能超过50个字");
  EXPECT_EQ(StoredGoods(ctx(), id).name, "可口可乐");

  ASSERT_TRUE(ctx().db.Execute("insert into sell (名称, \"UID\") values ('可口可乐', ?)", id));
  ASSERT_TRUE(DeleteGoods(ctx(), id));
  EXPECT_EQ(CountRows(ctx().db, "buy"), 0);
  EXPECT_EQ(CountRows(ctx().db, "sell"), 1);
}

TEST_P(GoodsLogicOn, SearchesMatchAnywhereWithTextAsTyped) {
  Database& db = ctx().db;
  GoodsRow a, b, c, d;
  a.code = "A010", a.initials = "KL", a.category = "饮料";
  b.code = "2015", b.initials = "KKKL", b.category = "进口饮料";
  c.code = "X'9", c.initials = "BXL", c.category = "零食", c.supplier = "老王's店";
  d.code = "50%_off", d.initials = "D", d.category = "";
  const qint64 ia = InsertGoods(db, a), ib = InsertGoods(db, b), ic = InsertGoods(db, c), id = InsertGoods(db, d);
  using F = GoodsSearchField;
  EXPECT_EQ(Ids(ctx(), SearchGoodsQuery(F::Code, "01")), (std::vector{ia, ib}));
  EXPECT_EQ(Ids(ctx(), SearchGoodsQuery(F::Initials, "kl")), (std::vector{ia, ib}));
  EXPECT_EQ(Ids(ctx(), SearchGoodsQuery(F::Code, "'")), (std::vector{ic}));
  EXPECT_EQ(Ids(ctx(), SearchGoodsQuery(F::Supplier, "王's")), (std::vector{ic}));
  EXPECT_EQ(Ids(ctx(), SearchGoodsQuery(F::Code, "%_")), (std::vector{id}));
  EXPECT_EQ(Ids(ctx(), SearchGoodsQuery(F::Code, "")).size(), 4u);
  EXPECT_EQ(Ids(ctx(), CategoryTreeQuery("饮料")), (std::vector{ia, ib}));
  EXPECT_EQ(Ids(ctx(), SearchGoodsQuery(F::Category, "饮料")), (std::vector{ia, ib}));
  EXPECT_EQ(Ids(ctx(), CategoryTreeQuery("全部信息")).size(), 4u);
}

// Both engines fold ASCII letters only: a full-width or accented letter finds itself alone,
// whatever the case of the letters around it.
TEST_P(GoodsLogicOn, SearchesFoldAsciiLettersOnly) {
  std::vector<qint64> ids;
  for (const char* code : {"xAbCx", "ＡＢＣ", "ａｂｃ", "Àbc", "àbc"}) {
    GoodsRow row;
    row.code = QString::fromUtf8(code);
    ids.push_back(InsertGoods(ctx().db, row));
  }
  using F = GoodsSearchField;
  EXPECT_EQ(Ids(ctx(), SearchGoodsQuery(F::Code, "ABC")), (std::vector{ids[0]}));
  EXPECT_EQ(Ids(ctx(), SearchGoodsQuery(F::Code, "ａｂｃ")), (std::vector{ids[2]}));
  EXPECT_EQ(Ids(ctx(), SearchGoodsQuery(F::Code, "ÀBC")), (std::vector{ids[3]}));
  EXPECT_EQ(Ids(ctx(), SearchGoodsQuery(F::Code, "bc")), (std::vector{ids[0], ids[3], ids[4]}));
}

// A scanned code's goods come oldest first, however their rows were changed since (the
// server keeps no insertion order: a changed row moves), and no more than asked for.
TEST_P(GoodsLogicOn, GoodsWithACodeComeInIdOrderUpToTheLimit) {
  GoodsRow row, other;
  row.code = "690";
  other.code = "6901";
  const qint64 a = InsertGoods(ctx().db, row), b = InsertGoods(ctx().db, row);
  InsertGoods(ctx().db, other);
  const qint64 c = InsertGoods(ctx().db, row);
  ASSERT_TRUE(RestockGoods(ctx(), a, 1, 2, QStringLiteral("供货商甲")));
  EXPECT_EQ(GoodsIdsWithCode(ctx(), "690", 2).value(), (std::vector{a, b}));
  EXPECT_EQ(GoodsIdsWithCode(ctx(), "690", 10).value(), (std::vector{a, b, c}));
  EXPECT_TRUE(GoodsIdsWithCode(ctx(), "", 10).value().empty());
}

TEST_P(GoodsLogicOn, DateRangeIncludesBothDays) {
  Database& db = ctx().db;
  GoodsRow a, b, c;
  a.date = QDateTime(QDate(2026, 3, 1), QTime(0, 0));
  b.date = QDateTime(QDate(2026, 3, 5), QTime(0, 0));
  c.date = QDateTime(QDate(2026, 3, 6), QTime(0, 0));
  const qint64 ia = InsertGoods(db, a), ib = InsertGoods(db, b);
  InsertGoods(db, c);
  EXPECT_EQ(Ids(ctx(), GoodsByDateQuery(QDate(2026, 3, 1), QDate(2026, 3, 5))), (std::vector{ia, ib}));
  EXPECT_EQ(Ids(ctx(), GoodsByDateQuery(QDate(2026, 3, 5), QDate(2026, 3, 5))), (std::vector{ib}));
}

TEST_P(GoodsLogicOn, PickListsHoldEachValueOnceInPinyinOrder) {
  for (const char* category : {"饮料", "", "啤酒", "饮料", "矿泉水", "Apple"}) {
    GoodsRow r;
    r.category = category;
    InsertGoods(ctx().db, r);
  }
  QStringList values = PickListValues(ctx(), PickField::Category).value_or(QStringList());
  ASSERT_EQ(values.size(), 4);
  values.removeAll("Apple");  // where Latin text goes is the collation's choice
  EXPECT_EQ(values, (QStringList{"矿泉水", "啤酒", "饮料"}));
  EXPECT_EQ(PickListValues(ctx(), PickField::Supplier).value_or(QStringList()), (QStringList{"供货商甲"}));
}
