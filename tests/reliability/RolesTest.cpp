// Every privileged action is refused to an operator by the logic itself, whichever
// window calls it, and the refused action changes nothing.

#include <gtest/gtest.h>

#include "../money/MoneyTestSupport.h"
#include "TestSupport.h"
#include "money/BankLogic.h"
#include "money/LedgerLogic.h"
#include "sales/SalesLogic.h"
#include "stock/GoodsLogic.h"

namespace hemulu::test {
namespace {

qint64 InsertSaleRow(Database& db, qint64 goods_id) {
  auto r = db.Execute("insert into sell (名称,销售数量,UID) values ('可口可乐',1,?)", goods_id);
  EXPECT_TRUE(r.has_value());
  return db.LastInsertId();
}

// A name that only looks like the super-administrator's is an operator too.
class OperatorRoles : public ::testing::TestWithParam<const char*> {};

TEST_P(OperatorRoles, PrivilegedActionsAreRefusedAndChangeNothing) {
  TestApp app{QString::fromUtf8(GetParam())};
  Database& db = app.ctx().db;
  const qint64 goods = InsertGoods(db, GoodsRow{});
  const qint64 sale = InsertSaleRow(db, goods);
  const qint64 entry = InsertLedgerRow(db, QStringLiteral("支出"), 100);
  const qint64 movement = InsertBankRow(db, QStringLiteral("工商银行"), QStringLiteral("6222"), QStringLiteral("存入"), 50);

  GoodsForm form{QStringLiteral("饮料"), QStringLiteral("改过的名字"), QStringLiteral("1L"), QStringLiteral("X"),
                 QString(), QString(), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"),
                 QDate(2026, 12, 8)};
  auto updated = UpdateGoods(app.ctx(), goods, form, 0);
  ASSERT_FALSE(updated.has_value());
  EXPECT_EQ(GoodsError::Kind::NotAllowed, updated.error().kind);
  EXPECT_EQ(GoodsNotAllowedMessage().toStdString(), updated.error().message.toStdString());

  auto deleted_goods = DeleteGoods(app.ctx(), goods);
  ASSERT_FALSE(deleted_goods.has_value());
  EXPECT_EQ(GoodsError::Kind::NotAllowed, deleted_goods.error().kind);

  auto deleted_sale = DeleteSale(app.ctx(), sale);
  ASSERT_FALSE(deleted_sale.has_value());
  EXPECT_EQ(SaleError::Kind::Refused, deleted_sale.error().kind);
  EXPECT_EQ("对不起，只有超级管理员才能删除销售记录。", deleted_sale.error().message.toStdString());

  for (auto result : {DeleteLedgerEntry(app.ctx(), entry), DeleteBankMovement(app.ctx(), movement)}) {
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(MoneyError::Kind::NotAllowed, result.error().kind);
    EXPECT_EQ("对不起，只有超级管理员才能删除记录。", result.error().message.toStdString());
  }

  auto name = db.Prepare("select 名称 from buy where ID=?");
  ASSERT_TRUE(name.has_value());
  name->BindAll(goods);
  ASSERT_TRUE(name->Step().value_or(false));
  EXPECT_EQ("可口可乐", name->Text(0).toStdString());
  EXPECT_EQ(1, CountRows(db, "buy"));
  EXPECT_EQ(1, CountRows(db, "sell"));
  EXPECT_EQ(1, CountRows(db, "other"));
  EXPECT_EQ(1, CountRows(db, "bank"));
}

INSTANTIATE_TEST_SUITE_P(Names, OperatorRoles,
                         ::testing::Values("张三", "超级管理员 ", " 超级管理员", "超级管理", "超级管理员\n", ""),
                         [](const auto& info) { return "name" + std::to_string(info.index); });

// The same actions by the super-administrator go through: the refusals above are the
// role's doing, not a broken action.
TEST(SuperAdministratorRole, ThePrivilegedActionsWork) {
  TestApp app;
  Database& db = app.ctx().db;
  const qint64 goods = InsertGoods(db, GoodsRow{});
  const qint64 sale = InsertSaleRow(db, goods);
  EXPECT_TRUE(DeleteSale(app.ctx(), sale).has_value());
  EXPECT_TRUE(DeleteGoods(app.ctx(), goods).has_value());
  EXPECT_TRUE(DeleteLedgerEntry(app.ctx(), InsertLedgerRow(db, QStringLiteral("支出"), 100)).has_value());
  EXPECT_TRUE(
      DeleteBankMovement(app.ctx(), InsertBankRow(db, QStringLiteral("工商银行"), QStringLiteral("6222"),
                                                  QStringLiteral("存入"), 50))
          .has_value());
  for (const char* table : {"buy", "sell", "other", "bank"}) EXPECT_EQ(0, CountRows(db, table)) << table;
}

}  // namespace
}  // namespace hemulu::test
