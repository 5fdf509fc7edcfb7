#include <gtest/gtest.h>

#include "EngineSupport.h"
#include "TestSupport.h"
#include "data/TextFormat.h"
#include "sales/SalesLogic.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

// Goods of the worked example: stock 10, bought at 30, sold at 50.
GoodsRow Example() {
  GoodsRow r;
  r.name = QStringLiteral("张三牌茶杯");
  r.initials = QStringLiteral("ZSPCB");
  r.bought = 10;
  r.buy_price = 30;
  r.bought_amount = 300;
  r.sell_price = 50;
  r.stock = 10;
  r.stock_amount = 300;
  return r;
}

SaleForm FormFor(const SaleGoods& g, const QString& quantity, const QString& price) {
  SaleForm f;
  f.name = g.name;
  f.model = g.model;
  f.code = g.code;
  f.category = g.category;
  f.shown_stock = NumberText(g.stock);
  f.quantity = quantity;
  f.actual_price = price;
  f.amount = NumberText(NumberValue(price) * NumberValue(quantity));
  f.date = QDate(2012, 4, 6);
  f.customer_number = QStringLiteral("20124681530");
  return f;
}

struct Figures {
  double sold, sold_amount, stock, stock_amount;
};
Figures GoodsFigures(Database& db, qint64 id) {
  auto st = db.Prepare("select 销售数量,销售金额,存货数量,存货金额 from buy where \"ID\"=?");
  st->BindAll(id);
  EXPECT_TRUE(st->Step().value_or(false));
  return {st->Double(0), st->Double(1), st->Double(2), st->Double(3)};
}

int Rows(AppContext& ctx, const SalesQuery& q) {
  const QString& sql = ctx.db.IsServer() && !q.server_sql.isEmpty() ? q.server_sql : q.sql;
  auto st = ctx.db.Prepare(sql.toStdString());
  EXPECT_TRUE(st.has_value()) << sql.toStdString();
  if (!st) return -1;
  for (int i = 0; i < q.params.size(); ++i) st->Bind(i + 1, q.params[i]);
  int n = 0;
  while (st->Step().value_or(false)) ++n;
  return n;
}

qint64 AddSale(Database& db, const QString& initials, const QString& date, double debt,
               const QString& customer = QString(), const QString& note = QString()) {
  auto r = db.Execute(
      "insert into sell (名称,首拼,销售日期,欠款额,客户名称,备注,销售数量,销售金额,净利润) "
      "values ('货',?,?,?,?,?,1,10,2)",
      initials, date, debt, customer, note);
  EXPECT_TRUE(r.has_value());
  return db.LastInsertId();
}

}  // namespace

namespace {
class RecordSaleOn : public test::EngineTest {};
HEMULU_ON_BOTH_ENGINES(RecordSaleOn);
class SalesQueriesOn : public test::EngineTest {};
HEMULU_ON_BOTH_ENGINES(SalesQueriesOn);
class EditAndDeleteOn : public test::EngineTest {};
HEMULU_ON_BOTH_ENGINES(EditAndDeleteOn);
}  // namespace

TEST(SaleRules, CustomerNumberClampAndArrows) {
  EXPECT_EQ(CustomerNumber(QDateTime(QDate(2012, 4, 6), QTime(8, 15, 30))), "20124681530");
  EXPECT_EQ(CustomerNumber(QDateTime(QDate(2013, 1, 1), QTime(0, 0, 0))), "201311000");
  EXPECT_EQ(CustomerNumber(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59))).size(), 14);

  EXPECT_EQ(ClampToStock(1, 0), 0);
  EXPECT_EQ(ClampToStock(1, 0.5), 0.5);
  EXPECT_EQ(ClampToStock(10.00000005, 10), 10.00000005);  // within the tolerance
  EXPECT_EQ(ClampToStock(10.5, 10), 10);

  EXPECT_EQ(DiscountStep(98, true), 103);
  EXPECT_EQ(DiscountStep(100, true), 100);
  EXPECT_EQ(DiscountStep(99.99999999, true), 99.99999999);
  EXPECT_EQ(DiscountStep(0, false), -5);

  EXPECT_EQ(QuantityStep(9, 10, true), 10);
  EXPECT_EQ(QuantityStep(10, 10, true), 10);
  EXPECT_EQ(QuantityStep(12, 10, true), 10);  // clamped first
  EXPECT_EQ(QuantityStep(0, 10, false), 0);
  EXPECT_EQ(QuantityStep(0.5, 10, false), -0.5);
  EXPECT_EQ(QuantityStep(12, 10, false), 9);

  EXPECT_EQ(DiscountedPrice(50, 80), 40);
  EXPECT_EQ(NetProfit(40, 30, 3), 30);
}

TEST_P(RecordSaleOn, WritesGoodsAndSaleTogetherWithProfitFromThePrice) {
  const qint64 id = InsertGoods(ctx().db, Example());
  const SaleGoods g = *LoadSaleGoods(ctx(), id);
  SaleForm f = FormFor(g, "3", "40");
  f.amount = "100";  // typed by hand: the profit still follows the price
  f.customer_name = QStringLiteral("O'Brien \"老王\"");
  const auto sale = RecordSale(ctx(), id, f);
  ASSERT_TRUE(sale.has_value()) << sale.error().message.toStdString();

  const Figures after = GoodsFigures(ctx().db, id);
  EXPECT_EQ(after.sold, 3);
  EXPECT_EQ(after.sold_amount, 100);
  EXPECT_EQ(after.stock, 7);
  EXPECT_EQ(after.stock_amount, 210);

  auto st = ctx().db.Prepare("select * from sell where \"ID\"=?");
  st->BindAll(*sale);
  ASSERT_TRUE(st->Step().value_or(false));
  EXPECT_EQ(st->Double("净利润"), 30);
  EXPECT_EQ(st->Double("存货数量"), 7);
  EXPECT_EQ(st->Double("销售单价"), 40);
  EXPECT_EQ(st->Double("销售金额"), 100);
  EXPECT_EQ(st->Double("欠款额"), 0);  // an empty debt box
  EXPECT_EQ(st->Double("进货单价"), 30);
  EXPECT_EQ(st->Text("销售日期"), "2012-04-06 00:00:00");
  EXPECT_EQ(st->Text("首拼"), "ZSPCB");
  EXPECT_EQ(st->Int("UID"), id);
  EXPECT_EQ(st->Text("客户名称"), QStringLiteral("O'Brien \"老王\""));
  EXPECT_EQ(st->Text("客户编号"), "20124681530");
}

TEST_P(RecordSaleOn, RefusalsInOrderWriteNothing) {
  const qint64 id = InsertGoods(ctx().db, Example());
  const SaleGoods g = *LoadSaleGoods(ctx(), id);
  const auto refused = [&](const SaleForm& f, qint64 goods = 0) {
    auto r = RecordSale(ctx(), goods ? goods : id, f);
    EXPECT_FALSE(r.has_value());
    return r ? QString() : r.error().message;
  };
  EXPECT_EQ(refused(FormFor(g, "0", "40")), "销售数量不能是0");
  EXPECT_EQ(refused(FormFor(g, "0.00000005", "40")), "销售数量不能是0");
  EXPECT_EQ(refused(FormFor(g, "abc", "40")), "销售数量不能是0");
  EXPECT_EQ(refused(FormFor(g, "10.5", "40")), "库存不足，无法销售");
  EXPECT_EQ(refused(FormFor(g, "1", "4o")), "实际零售价必须是数字，请重新填写");
  SaleForm bad_debt = FormFor(g, "1", "40");
  bad_debt.debt = "1e309";
  EXPECT_EQ(refused(bad_debt), "欠款金额必须是数字，请重新填写");
  EXPECT_EQ(refused(FormFor(g, "1", "40"), id + 100), "错误代码 [083]");
  EXPECT_EQ(CountRows(ctx().db, "sell"), 0);
  EXPECT_EQ(GoodsFigures(ctx().db, id).stock, 10);

  // The whole stock, and a hair above it within the tolerance, still sells.
  EXPECT_TRUE(RecordSale(ctx(), id, FormFor(g, "10.00000005", "40")).has_value());
}

TEST_P(RecordSaleOn, FailureAfterTheGoodsUpdateLeavesBothTablesAsTheyWere) {
  const qint64 id = InsertGoods(ctx().db, Example());
  const SaleGoods g = *LoadSaleGoods(ctx(), id);

  SaleForm too_long = FormFor(g, "3", "40");
  too_long.customer_name = QString(51, QChar(u'客'));
  auto r = RecordSale(ctx(), id, too_long);
  ASSERT_FALSE(r.has_value());
  EXPECT_EQ(r.error().message, "错误代码 [074]");
  EXPECT_EQ(r.error().kind, ActionError::Kind::Field);

  // The database refuses the sale row itself.
  ASSERT_TRUE(ctx().db.ExecScript(
      OnServer() ? "CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS "
                   "$$BEGIN RAISE EXCEPTION 'injected'; END$$; "
                   "CREATE TRIGGER refuse BEFORE INSERT ON sell FOR EACH ROW EXECUTE FUNCTION refuse();"
                 : "CREATE TEMP TRIGGER refuse BEFORE INSERT ON sell BEGIN SELECT RAISE(ABORT, 'injected'); END;"));
  r = RecordSale(ctx(), id, FormFor(g, "3", "40"));
  ASSERT_FALSE(r.has_value());
  EXPECT_EQ(r.error().kind, ActionError::Kind::Database);
  EXPECT_EQ(CountRows(ctx().db, "sell"), 0);
  const Figures unchanged = GoodsFigures(ctx().db, id);
  EXPECT_EQ(unchanged.stock, 10);
  EXPECT_EQ(unchanged.sold, 0);
  EXPECT_EQ(unchanged.stock_amount, 300);

  // Pressing again once the fault is gone reduces the stock once.
  ASSERT_TRUE(ctx().db.ExecScript(OnServer() ? "DROP TRIGGER refuse ON sell;" : "DROP TRIGGER refuse;"));
  ASSERT_TRUE(RecordSale(ctx(), id, FormFor(g, "3", "40")).has_value());
  EXPECT_EQ(GoodsFigures(ctx().db, id).stock, 7);
  EXPECT_EQ(CountRows(ctx().db, "sell"), 1);
}

TEST_P(RecordSaleOn, StaleShownStockCannotSellTheSameStockTwice) {
  GoodsRow row = Example();
  row.stock = 5;
  const qint64 id = InsertGoods(ctx().db, row);
  const SaleGoods g = *LoadSaleGoods(ctx(), id);
  // Two windows opened on the same goods both show 5.
  ASSERT_TRUE(RecordSale(ctx(), id, FormFor(g, "3", "50")).has_value());
  const auto second = RecordSale(ctx(), id, FormFor(g, "3", "50"));
  ASSERT_FALSE(second.has_value());
  EXPECT_EQ(second.error().message, "库存不足，无法销售");
  EXPECT_EQ(GoodsFigures(ctx().db, id).stock, 2);
  EXPECT_EQ(CountRows(ctx().db, "sell"), 1);
}

TEST_P(SalesQueriesOn, FiltersByDayMonthRangeDebtAndText) {
  Database& db = ctx().db;
  AddSale(db, "ZSPCB", "2026-12-08 00:00:00", 20, "张三");
  AddSale(db, "LSBZ", "2026-12-08 15:30:00", 0, "O'Brien");
  AddSale(db, "zsx", "2026-12-01 00:00:00", 0.00000005, "100%_纯");
  AddSale(db, "WW", "2026-11-30 00:00:00", -5, "王五", "备注'引号");
  AddSale(db, "WW", "2027-01-01 00:00:00", 0);
  AppContext& ctx = this->ctx();

  EXPECT_EQ(Rows(ctx, AllSalesQuery()), 5);
  EXPECT_EQ(Rows(ctx, SalesOfDayQuery(QDate(2026, 12, 8))), 2);
  EXPECT_EQ(Rows(ctx, SalesOfMonthQuery(QDate(2026, 12, 8))), 3);
  EXPECT_EQ(Rows(ctx, SalesBetweenQuery(QDate(2026, 11, 30), QDate(2026, 12, 1))), 2);  // both ends
  EXPECT_EQ(Rows(ctx, SalesBetweenQuery(QDate(2026, 12, 8), QDate(2026, 12, 1))), 0);   // reversed
  EXPECT_EQ(Rows(ctx, DebtSalesQuery()), 2);                                            // 20 and 0.00000005

  EXPECT_EQ(Rows(ctx, SearchSalesQuery(SalesSearchField::Initials, "zs")), 2);
  EXPECT_EQ(Rows(ctx, SearchSalesQuery(SalesSearchField::Initials, "")), 5);
  EXPECT_EQ(Rows(ctx, SearchSalesQuery(SalesSearchField::Customer, "O'B")), 1);
  EXPECT_EQ(Rows(ctx, SearchSalesQuery(SalesSearchField::Customer, "%_")), 1);
  EXPECT_EQ(Rows(ctx, SearchSalesQuery(SalesSearchField::Customer, "_")), 1);
  EXPECT_EQ(Rows(ctx, SearchSalesQuery(SalesSearchField::Note, "'")), 1);
  EXPECT_EQ(Rows(ctx, SearchSalesQuery(SalesSearchField::Code, "x")), 0);

  const QStringList names = CustomerNameValues(ctx).value();
  EXPECT_TRUE(names.contains("张三"));
  EXPECT_FALSE(names.contains(QString()));
}

// File only: an older file's upgrade and the file planner's choice of index.
TEST(SalesQueries, AnOlderFileGetsTheSearchIndexesAtOpen) {
  TestApp app;
  // A file of the version before: the one-column 首拼 index, none of the wide ones.
  ASSERT_TRUE(
      app.ctx().db.ExecScript("DROP INDEX \"sell_首拼_合计\"; DROP INDEX \"sell_客户名称_合计\"; "
                              "DROP INDEX \"sell_客户名称\"; CREATE INDEX \"sell_首拼\" ON sell(首拼);"));
  app.ctx().db.Close();
  ASSERT_TRUE(app.ctx().db.Open());
  auto st = app.ctx().db.Prepare(
      "select group_concat(name, ' ') from (select name from sqlite_master where type='index' and name like 'sell%' "
      "order by name)");
  ASSERT_TRUE(st->Step().value_or(false));
  EXPECT_EQ(st->Text(0),
            "sell_客户名称 sell_客户名称_合计 sell_客户编号 sell_欠款额 sell_类型 sell_销售日期 sell_首拼_合计");
  // The keys and totals of the two busiest searches come from their index alone.
  for (const auto field : {SalesSearchField::Initials, SalesSearchField::Customer}) {
    const SalesQuery q = SearchSalesQuery(field, "a");
    auto plan = app.ctx().db.Prepare("explain query plan " + q.keys_sql.toStdString());
    ASSERT_TRUE(plan.has_value());
    plan->Bind(1, q.params[0]);
    QString steps;
    while (plan->Step().value_or(false)) steps += plan->Text(3) + "; ";
    EXPECT_TRUE(steps.contains("COVERING INDEX")) << steps.toStdString();
  }
  // The searches name their index; they must run on such a file.
  EXPECT_EQ(Rows(app.ctx(), SearchSalesQuery(SalesSearchField::Initials, "a")), 0);
}

TEST_P(EditAndDeleteOn, UpdateWritesOnlyTheCustomerPartAndDeleteLeavesGoods) {
  const qint64 goods = InsertGoods(ctx().db, Example());
  const SaleGoods g = *LoadSaleGoods(ctx(), goods);
  SaleForm f = FormFor(g, "3", "40");
  f.debt = "20";
  const qint64 sale = *RecordSale(ctx(), goods, f);

  EXPECT_TRUE(UpdateSale(ctx(), sale, {"0", "李'四", "138", "地址", "已结清"}).has_value());
  auto st = ctx().db.Prepare("select 欠款额,客户名称,备注,净利润,销售金额,销售数量,名称 from sell where \"ID\"=?");
  st->BindAll(sale);
  ASSERT_TRUE(st->Step().value_or(false));
  EXPECT_EQ(st->Double(0), 0);
  EXPECT_EQ(st->Text(1), "李'四");
  EXPECT_EQ(st->Text(2), "已结清");
  EXPECT_EQ(st->Double(3), 30);
  EXPECT_EQ(st->Double(4), 120);
  EXPECT_EQ(st->Double(5), 3);
  EXPECT_EQ(st->Text(6), g.name);
  st = ctx().db.Prepare("select 1");  // finalise the read before writing

  EXPECT_FALSE(UpdateSale(ctx(), sale, {"2o", "", "", "", ""}).has_value());
  EXPECT_FALSE(UpdateSale(ctx(), sale, {"1", QString(51, QChar(u'名')), "", "", ""}).has_value());
  auto gone = UpdateSale(ctx(), sale + 99, {"1", "", "", "", ""});
  ASSERT_FALSE(gone.has_value());
  EXPECT_EQ(gone.error().message, "该销售记录已不存在，可能已被删除。");
  EXPECT_TRUE(UpdateSale(ctx(), sale, {"", "", "", "", ""}).has_value());  // empty debt is 0

  ctx().session.SetUser("营业员", "1");
  auto refused = DeleteSale(ctx(), sale);
  ASSERT_FALSE(refused.has_value());
  EXPECT_EQ(CountRows(ctx().db, "sell"), 1);

  ctx().session.SetUser(kSuperAdministrator, "735");
  EXPECT_TRUE(DeleteSale(ctx(), sale).has_value());
  EXPECT_EQ(CountRows(ctx().db, "sell"), 0);
  EXPECT_EQ(GoodsFigures(ctx().db, goods).stock, 7);
  auto deleted_twice = DeleteSale(ctx(), sale);
  ASSERT_FALSE(deleted_twice.has_value());
  EXPECT_EQ(deleted_twice.error().message, kSaleGoneText);
  EXPECT_EQ(kSaleGoneText, "该销售记录已不存在，可能已被删除。");
}
