// Compaction and re-initialisation of a shop on a server.
#include <gtest/gtest.h>

#include "EngineSupport.h"
#include "TestSupport.h"
#include "admin/MaintenanceLogic.h"
#include "admin/MaintenanceWindow.h"
#include "data/StockMoves.h"

namespace hemulu::test {
namespace {

class ServerMaintenance : public EngineTest {};

TEST_P(ServerMaintenance, CompactingKeepsTheShopAndReinitialisingEmptiesItForEveryTillAtOnce) {
  InsertGoods(db(), GoodsRow{});
  ASSERT_TRUE(db().Execute("insert into \"UserName\" (用户名, 密码, 权限) values ('张三', '1', '操作员')"));
  auto other = AnotherConnection();
  ASSERT_TRUE(other->Open());

  auto compacted = CompactDatabase(ctx());
  ASSERT_TRUE(compacted) << compacted.error().reason.toStdString() << compacted.error().detail.toStdString();
  EXPECT_EQ(CountRows(*other, "buy"), 1);
  auto vacuumed = other->Prepare("select last_vacuum is not null from pg_stat_user_tables where relname = 'buy'");
  ASSERT_TRUE(vacuumed && vacuumed->Step().value_or(false));
  EXPECT_EQ(vacuumed->Int(0), 1) << "the goods table was not vacuumed";

  auto reinitialised = ReinitialiseDatabase(ctx());
  ASSERT_TRUE(reinitialised) << reinitialised.error().reason.toStdString();
  // What the other till sees: the built-in empty shop, its one account, an empty journal.
  EXPECT_EQ(CountRows(*other, "buy"), 0);
  EXPECT_EQ(CountRows(*other, "stock_move"), 0);
  EXPECT_EQ(CountRows(*other, "UserName"), 1);
  auto account = other->Prepare("select 用户名, 密码 from \"UserName\"");
  ASSERT_TRUE(account && account->Step().value_or(false));
  EXPECT_EQ(account->Text(0), kSuperAdministrator);
  EXPECT_EQ(account->Text(1), "735");
  // The shop works on: new goods get IDs again, and the journal adds up.
  EXPECT_GT(InsertGoods(db(), GoodsRow{}), 0);
  auto mismatches = FindStockMismatches(ctx());
  ASSERT_TRUE(mismatches);
  EXPECT_TRUE(mismatches->empty());
}

TEST_P(ServerMaintenance, TheWindowAsksOnceMoreBeforeEmptyingTheServersShop) {
  InsertGoods(db(), GoodsRow{});
  int replaced = 0;
  MaintenanceWindow window(ctx(), [&replaced] { ++replaced; });
  prompter.AnswerText(QStringLiteral("735"));
  prompter.AnswerConfirm(false);  // every till is affected: no
  window.Reinitialise();
  EXPECT_EQ(CountRows(db(), "buy"), 1);
  EXPECT_EQ(replaced, 0);

  prompter.AnswerText(QStringLiteral("735"));
  prompter.AnswerConfirm(true);
  prompter.ExpectMessage(QStringLiteral("初始化数据库完成"));
  window.Reinitialise();
  EXPECT_EQ(CountRows(db(), "buy"), 0);
  EXPECT_EQ(replaced, 1);
}

INSTANTIATE_TEST_SUITE_P(Engines, ServerMaintenance, testing::Values(Engine::Server), EngineName);

}  // namespace
}  // namespace hemulu::test
