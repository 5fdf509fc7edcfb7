// The stock movements journal: each change of stock writes one movement in its own
// transaction, a failure on either side leaves neither, and the movements add up.

#include <gtest/gtest.h>

#include <QFile>
#include <functional>

#include "EngineSupport.h"
#include "JournalGoods.h"
#include "StoredGoods.h"
#include "TestSupport.h"
#include "data/Schema.h"
#include "data/StockMoves.h"
#include "sales/SalesLogic.h"
#include "stock/GoodsLogic.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

struct Move {
  QString kind, user, date, name, code;
  qint64 goods = 0;
  double change = 0, after = 0;
  std::optional<double> price = {}, old_quantity = {}, new_quantity = {}, old_price = {}, new_price = {};
  QString supplier = {};
  std::optional<qint64> sale = {};
};

std::optional<double> Maybe(const Statement& st, int column) {
  return st.IsNull(column) ? std::nullopt : std::optional<double>(st.Double(column));
}

std::vector<Move> Moves(Database& db) {
  std::vector<Move> moves;
  auto st = db.Prepare(
      "select 业务,操作员,日期,名称,编码,商品号,数量,结存数量,进货单价,原数量,新数量,原单价,新单价,供货商,销售号 "
      "from stock_move order by \"ID\"");
  EXPECT_TRUE(st.has_value());
  while (st && st->Step().value_or(false)) {
    Move m{st->Text(0), st->Text(1), st->Text(2), st->Text(3), st->Text(4), st->Int(5), st->Double(6), st->Double(7)};
    m.price = Maybe(*st, 8);
    m.old_quantity = Maybe(*st, 9);
    m.new_quantity = Maybe(*st, 10);
    m.old_price = Maybe(*st, 11);
    m.new_price = Maybe(*st, 12);
    m.supplier = st->Text(13);
    if (!st->IsNull(14)) m.sale = st->Int(14);
    moves.push_back(std::move(m));
  }
  return moves;
}

GoodsForm Form() { return JournalGoodsForm(); }

SaleForm SaleOf(AppContext& ctx, qint64 goods, const QString& quantity) { return JournalSaleOf(ctx, goods, quantity); }

void ExpectAddsUp(AppContext& ctx) { ExpectStockMovesAddUp(ctx); }

class StockMovesOn : public EngineTest {
 protected:
  // Makes the database refuse every row added to `table` (or changed, for "update").
  void Refuse(const char* table, const char* what = "INSERT") {
    const std::string t = table, w = what;
    ASSERT_TRUE(
        db().ExecScript((OnServer() ? "CREATE OR REPLACE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS "
                                      "$$BEGIN RAISE EXCEPTION 'injected'; END$$; CREATE TRIGGER refuse BEFORE " +
                                          w + " ON \"" + t + "\" FOR EACH ROW EXECUTE FUNCTION refuse();"
                                    : "CREATE TEMP TRIGGER refuse BEFORE " + w + " ON \"" + t +
                                          "\" BEGIN SELECT RAISE(ABORT, 'injected'); END;")
                            .c_str()));
  }
  void Allow(const char* table) {
    ASSERT_TRUE(db().ExecScript(
        (OnServer() ? "DROP TRIGGER refuse ON \"" + std::string(table) + "\";" : std::string("DROP TRIGGER refuse;"))
            .c_str()));
  }
};
HEMULU_ON_BOTH_ENGINES(StockMovesOn);

}  // namespace

TEST_P(StockMovesOn, EachChangeWritesOneMovementWithItsFigures) {
  ctx().session.SetUser(kSuperAdministrator, QStringLiteral("735"));
  auto id = InsertNewGoods(ctx(), Form());
  ASSERT_TRUE(id);
  ASSERT_TRUE(RestockGoods(ctx(), *id, 3, 1.5, QStringLiteral("供货商乙")));
  auto sale = RecordSale(ctx(), *id, SaleOf(ctx(), *id, "2"));
  ASSERT_TRUE(sale);
  // An edit as a return: 10 bought (was 8 after the restock) at a new price, 2 sold.
  GoodsForm edit = Form();
  edit.name = QStringLiteral("可口可乐新");
  edit.quantity = QStringLiteral("10");
  edit.buy_price = QStringLiteral("1.3");
  ASSERT_TRUE(UpdateGoods(ctx(), *id, edit, 2));
  ASSERT_TRUE(DeleteSale(ctx(), *sale));
  EXPECT_DOUBLE_EQ(StoredGoods(ctx(), *id).stock, 8);
  ExpectAddsUp(ctx());
  ASSERT_TRUE(DeleteGoods(ctx(), *id));
  ExpectAddsUp(ctx());

  const std::vector<Move> m = Moves(db());
  ASSERT_EQ(m.size(), 6u);
  for (const Move& move : m) {
    EXPECT_EQ(move.goods, *id);
    EXPECT_EQ(move.user, kSuperAdministrator);
    EXPECT_EQ(move.date, "2026-12-08 10:30:00");
  }
  EXPECT_EQ(m[0].kind, "入库");
  EXPECT_EQ(m[0].change, 5);
  EXPECT_EQ(m[0].after, 5);
  EXPECT_EQ(m[0].price, 1.2);
  EXPECT_EQ(m[0].supplier, "供货商甲");
  EXPECT_EQ(m[0].code, "KKKL500ml");

  EXPECT_EQ(m[1].kind, "续存");
  EXPECT_EQ(m[1].change, 3);
  EXPECT_EQ(m[1].after, 8);
  EXPECT_EQ(m[1].price, 1.5);
  EXPECT_EQ(m[1].supplier, "供货商乙");  // the delivery's, not the row's

  EXPECT_EQ(m[2].kind, "销售");
  EXPECT_EQ(m[2].change, -2);
  EXPECT_EQ(m[2].after, 6);
  EXPECT_EQ(m[2].sale, *sale);
  EXPECT_FALSE(m[2].price);

  EXPECT_EQ(m[3].kind, "修改");
  EXPECT_EQ(m[3].change, 2);
  EXPECT_EQ(m[3].after, 8);
  EXPECT_EQ(m[3].name, "可口可乐新");
  EXPECT_EQ(m[3].old_quantity, 8);
  EXPECT_EQ(m[3].new_quantity, 10);
  EXPECT_EQ(m[3].old_price, 1.3125);  // the average cost after the restock: (5 × 1.2 + 3 × 1.5) / 8
  EXPECT_EQ(m[3].new_price, 1.3);

  // A deleted sale gives nothing back to the stock, but is recorded with its quantity.
  EXPECT_EQ(m[4].kind, "删除销售");
  EXPECT_EQ(m[4].change, 0);
  EXPECT_EQ(m[4].after, 8);
  EXPECT_EQ(m[4].sale, *sale);
  EXPECT_EQ(m[4].old_quantity, 2);

  EXPECT_EQ(m[5].kind, "删除");
  EXPECT_EQ(m[5].change, -8);
  EXPECT_EQ(m[5].after, 0);
  EXPECT_EQ(m[5].name, "可口可乐新");
}

// The journal refusing its row undoes the change; the goods row refusing the change
// writes no movement. Either way nothing of the action is left.
TEST_P(StockMovesOn, AFailureOnEitherSideLeavesNeither) {
  ctx().session.SetUser(kSuperAdministrator, QStringLiteral("735"));
  auto id = InsertNewGoods(ctx(), Form());
  ASSERT_TRUE(id);
  auto sale = RecordSale(ctx(), *id, SaleOf(ctx(), *id, "1"));
  ASSERT_TRUE(sale);
  const auto before = Moves(db()).size();

  Refuse("stock_move");
  EXPECT_FALSE(InsertNewGoods(ctx(), Form()));
  EXPECT_EQ(CountRows(db(), "buy"), 1);
  EXPECT_FALSE(RestockGoods(ctx(), *id, 3, 1.5, QStringLiteral("供货商甲")));
  EXPECT_FALSE(RecordSale(ctx(), *id, SaleOf(ctx(), *id, "1")));
  EXPECT_EQ(CountRows(db(), "sell"), 1);
  GoodsForm edit = Form();
  edit.quantity = QStringLiteral("9");
  EXPECT_FALSE(UpdateGoods(ctx(), *id, edit, 1));
  EXPECT_FALSE(DeleteSale(ctx(), *sale));
  EXPECT_EQ(CountRows(db(), "sell"), 1);
  EXPECT_FALSE(DeleteGoods(ctx(), *id));
  EXPECT_EQ(CountRows(db(), "buy"), 1);
  EXPECT_DOUBLE_EQ(StoredGoods(ctx(), *id).stock, 4);
  EXPECT_DOUBLE_EQ(StoredGoods(ctx(), *id).bought, 5);
  Allow("stock_move");

  Refuse("buy", "UPDATE");
  EXPECT_FALSE(RestockGoods(ctx(), *id, 3, 1.5, QStringLiteral("供货商甲")));
  EXPECT_FALSE(RecordSale(ctx(), *id, SaleOf(ctx(), *id, "1")));
  EXPECT_FALSE(UpdateGoods(ctx(), *id, edit, 1));
  Allow("buy");
  Refuse("buy", "DELETE");
  EXPECT_FALSE(DeleteGoods(ctx(), *id));
  Allow("buy");
  Refuse("sell", "DELETE");
  EXPECT_FALSE(DeleteSale(ctx(), *sale));
  Allow("sell");

  EXPECT_EQ(Moves(db()).size(), before);
  EXPECT_DOUBLE_EQ(StoredGoods(ctx(), *id).stock, 4);
  ExpectAddsUp(ctx());
  // Once the fault is gone the restock goes through once.
  ASSERT_TRUE(RestockGoods(ctx(), *id, 3, 1.5, QStringLiteral("供货商甲")));
  EXPECT_EQ(Moves(db()).size(), before + 1);
  ExpectAddsUp(ctx());
}

// A stock changed behind the journal's back is named; the bounded check sees only goods
// with movements after its mark, and a mark past the journal's end checks everything.
TEST_P(StockMovesOn, TheCheckNamesGoodsWhoseMovementsDoNotAddUp) {
  GoodsRow a;
  a.name = QStringLiteral("甲商品");
  const qint64 first = InsertGoods(db(), a);
  GoodsRow b;
  b.name = QStringLiteral("乙商品");
  const qint64 second = InsertGoods(db(), b);
  ExpectAddsUp(ctx());
  const qint64 mark = *LastStockMoveId(ctx());

  ASSERT_TRUE(db().Execute("update buy set 存货数量=存货数量+0.5 where \"ID\"=?", first));
  ASSERT_TRUE(db().Execute("update buy set 存货数量=存货数量+0.00000001 where \"ID\"=?", second));  // within 1e-7
  auto all = FindStockMismatches(ctx());
  ASSERT_TRUE(all);
  ASSERT_EQ(all->size(), 1u);
  EXPECT_EQ((*all)[0].goods_id, first);
  EXPECT_DOUBLE_EQ((*all)[0].stock, 10.5);
  EXPECT_DOUBLE_EQ((*all)[0].moves_sum, 10);
  EXPECT_TRUE(StockMismatchMessage(*all).contains(QStringLiteral("甲商品")));

  // Nothing moved since the mark: the bounded check has nothing to look at.
  EXPECT_TRUE(FindStockMismatchesSince(ctx(), mark)->empty());
  ASSERT_TRUE(RestockGoods(ctx(), first, 1, 2, QStringLiteral("供货商甲")));
  ASSERT_TRUE(RestockGoods(ctx(), second, 1, 2, QStringLiteral("供货商甲")));
  auto since = FindStockMismatchesSince(ctx(), mark);
  ASSERT_TRUE(since);
  ASSERT_EQ(since->size(), 1u);
  EXPECT_EQ((*since)[0].goods_id, first);
  EXPECT_EQ(FindStockMismatchesSince(ctx(), mark + 100)->size(), 1u);

  // Goods deleted behind the journal's back: its stock never left in a movement.
  ASSERT_TRUE(db().Execute("delete from buy where \"ID\"=?", second));
  all = FindStockMismatches(ctx());
  ASSERT_EQ(all->size(), 2u);
  EXPECT_EQ((*all)[1].goods_id, second);
  EXPECT_EQ((*all)[1].name, "乙商品");
  EXPECT_DOUBLE_EQ((*all)[1].moves_sum, 11);
}

// A database written before the journal gets it at its next open, with one opening
// movement per goods row, and the movements add up from the first open on.
TEST_P(StockMovesOn, AnOlderDatabaseGetsItsOpeningMovementsAtOpen) {
  ASSERT_TRUE(db().ExecScript("DROP TABLE stock_move;"));
  const auto add = [&](const char* name, double stock) {
    EXPECT_TRUE(db().Execute("insert into buy (名称,编码,存货数量) values (?,'X',?)", name, stock));
    return db().LastInsertId();
  };
  const qint64 first = add("可口可乐", 7.25);
  const qint64 second = add("雪碧", 0);
  db().Close();
  ASSERT_TRUE(ctx().EnsureDatabaseOpen());

  const std::vector<Move> m = Moves(db());
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m[0].kind, QString::fromUtf8(schema::kOpeningMoveKind));
  EXPECT_EQ(m[0].goods, first);
  EXPECT_EQ(m[0].change, 7.25);
  EXPECT_EQ(m[0].after, 7.25);
  EXPECT_EQ(m[1].goods, second);
  EXPECT_EQ(m[1].name, "雪碧");
  EXPECT_EQ(m[1].change, 0);
  EXPECT_TRUE(ParseDateSqlText(m[0].date).has_value()) << m[0].date.toStdString();
  ExpectAddsUp(ctx());

  // Made once: the next open adds nothing, and the journal carries on from there.
  db().Close();
  ASSERT_TRUE(ctx().EnsureDatabaseOpen());
  ASSERT_TRUE(RestockGoods(ctx(), first, 1, 2, QStringLiteral("供货商甲")));
  EXPECT_EQ(Moves(db()).size(), 3u);
  ExpectAddsUp(ctx());
}

// At start-up only the goods changed since the last clean exit are checked; without a
// mark, every goods row. The message names the goods.
TEST_P(StockMovesOn, TheStartUpCheckLooksAtWhatChangedSinceTheLastCleanExit) {
  GoodsRow a;
  a.name = QStringLiteral("甲商品");
  const qint64 first = InsertGoods(db(), a);
  ASSERT_TRUE(db().Execute("update buy set 存货数量=3 where \"ID\"=?", first));
  auto told = StartupStockCheck(ctx());
  ASSERT_TRUE(told);
  EXPECT_TRUE(told->contains(QStringLiteral("甲商品"))) << told->toStdString();

  auto settings = [&] {
    QFile f(ctx().FilePath(QStringLiteral("config.ini")));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("absent");
  };
  const QByteArray settings_before = settings();
  ASSERT_TRUE(MarkCleanExit(ctx()));
  ASSERT_TRUE(MarkCleanExit(ctx()));  // twice: still one mark
  auto marks = db().Prepare("select count(*), max(流水号) from stock_check");
  ASSERT_TRUE(marks && marks->Step().value_or(false));
  EXPECT_EQ(marks->Int(0), 1);
  EXPECT_EQ(marks->Int(1), *LastStockMoveId(ctx()));
  // The shop's settings are the user's: the mark is not written there.
  EXPECT_EQ(settings(), settings_before);
  EXPECT_EQ(StartupStockCheck(ctx()).value_or(QStringLiteral("failed")), QString());
  // A restock after the mark (as a run that was then killed) brings the goods back in.
  ASSERT_TRUE(RestockGoods(ctx(), first, 1, 2, QStringLiteral("供货商甲")));
  told = StartupStockCheck(ctx());
  ASSERT_TRUE(told);
  EXPECT_TRUE(told->contains(QStringLiteral("甲商品"))) << told->toStdString();
  EXPECT_TRUE(told->contains(QStringLiteral("库存 4，流水合计 11"))) << told->toStdString();
}
