// Every privileged action is refused to an operator by the logic itself, whichever
// window calls it, and the refused action changes nothing.

#include <gtest/gtest.h>

#include "../money/MoneyTestSupport.h"
#include "TestSupport.h"
#include "admin/AccountsLogic.h"
#include "app/Login.h"
#include "data/TextFormat.h"
#include "lists/Grid.h"
#include "money/BankLogic.h"
#include "money/LedgerLogic.h"
#include "sales/SalesList.h"
#include "sales/SalesLogic.h"
#include "sales/SalesStatistics.h"
#include "stock/GoodsLogic.h"
#include "stock/StockFill.h"
#include "stock/StockList.h"

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
  const qint64 movement =
      InsertBankRow(db, QStringLiteral("工商银行"), QStringLiteral("6222"), QStringLiteral("存入"), 50);

  GoodsForm form{QStringLiteral("饮料"),
                 QStringLiteral("改过的名字"),
                 QStringLiteral("1L"),
                 QStringLiteral("X"),
                 QString(),
                 QString(),
                 QStringLiteral("1"),
                 QStringLiteral("1"),
                 QStringLiteral("1"),
                 QDate(2026, 12, 8)};
  auto updated = UpdateGoods(app.ctx(), goods, form, 0);
  ASSERT_FALSE(updated.has_value());
  EXPECT_EQ(ActionError::Kind::NotAllowed, updated.error().kind);
  EXPECT_EQ(GoodsNotAllowedMessage().toStdString(), updated.error().message.toStdString());

  auto deleted_goods = DeleteGoods(app.ctx(), goods);
  ASSERT_FALSE(deleted_goods.has_value());
  EXPECT_EQ(ActionError::Kind::NotAllowed, deleted_goods.error().kind);

  auto deleted_sale = DeleteSale(app.ctx(), sale);
  ASSERT_FALSE(deleted_sale.has_value());
  EXPECT_EQ(ActionError::Kind::NotAllowed, deleted_sale.error().kind);
  EXPECT_EQ("对不起，只有超级管理员才能删除销售记录。", deleted_sale.error().message.toStdString());

  for (auto result : {DeleteLedgerEntry(app.ctx(), entry), DeleteBankMovement(app.ctx(), movement)}) {
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(ActionError::Kind::NotAllowed, result.error().kind);
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

// User management is refused whatever window asks: adding, changing and deleting
// accounts and the super-administrator's password. Nothing changes.
TEST_P(OperatorRoles, UserManagementIsRefusedAndChangesNothing) {
  TestApp app{QString::fromUtf8(GetParam())};
  Database& db = app.ctx().db;
  ASSERT_TRUE(db.Execute("insert into UserName (用户名,密码,权限) values ('店员甲','1','操作员')").has_value());
  const qint64 clerk = db.LastInsertId();
  const QString refused = QStringLiteral(" 对不起，您不能这么做!\n\n请使用超级管理员账号登陆");
  const QString flag = app.ctx().settings.ReadSetupValue(QStringLiteral("password"));

  auto added = AddAccount(app.ctx(), QStringLiteral("店员乙"), QStringLiteral("2"));
  ASSERT_FALSE(added.has_value());
  EXPECT_EQ(refused.toStdString(), added.error().message.toStdString());
  auto checked = CheckAccountChange(app.ctx(), clerk, QStringLiteral("店员丙"), QStringLiteral("3"));
  ASSERT_FALSE(checked.has_value());
  EXPECT_EQ(refused.toStdString(), checked.error().message.toStdString());
  auto changed = ChangeAccount(app.ctx(), clerk, QStringLiteral("店员丙"), QStringLiteral("3"));
  ASSERT_FALSE(changed.has_value());
  EXPECT_EQ(refused.toStdString(), changed.error().message.toStdString());
  auto deleted = DeleteAccount(app.ctx(), clerk);
  ASSERT_FALSE(deleted.has_value());
  EXPECT_EQ(refused.toStdString(), deleted.error().message.toStdString());
  auto password = SetSuperAdministratorPassword(app.ctx(), QStringLiteral("999"));
  ASSERT_FALSE(password.has_value());
  EXPECT_EQ(refused.toStdString(), password.error().message.toStdString());

  auto st = db.Prepare("select 用户名, 密码 from UserName order by ID");
  ASSERT_TRUE(st.has_value());
  std::vector<std::string> accounts;
  while (st->Step().value_or(false)) accounts.push_back((st->Text(0) + "/" + st->Text(1)).toStdString());
  EXPECT_EQ((std::vector<std::string>{"超级管理员/735", "店员甲/1"}), accounts);
  EXPECT_EQ(flag.toStdString(), app.ctx().settings.ReadSetupValue(QStringLiteral("password")).toStdString());
}

// The lists, and so their prints and exports, which read what the list holds, give an
// operator no purchase price, purchase amount, sales amount, stock value or profit: the
// cells and their totals are empty, whichever window fills them.
TEST_P(OperatorRoles, ListsHoldNoPurchaseFiguresOrProfit) {
  TestApp app{QString::fromUtf8(GetParam())};
  GoodsRow g;
  g.buy_price = 2.75;
  g.bought_amount = g.stock_amount = 27.5;
  g.sold_amount = 13.25;
  const qint64 goods = InsertGoods(app.ctx().db, g);
  ASSERT_TRUE(
      app.ctx()
          .db.Execute("insert into sell (名称,销售数量,销售金额,净利润,UID) values ('可口可乐',1,3,0.25,?)", goods)
          .has_value());

  Grid stock;
  LayOutStockGrid(stock);
  ASSERT_FALSE(FillStockGrid(app.ctx(), stock, AllGoodsQuery(), 0).error.has_value());
  ASSERT_EQ(stock.FixedRows() + 2, stock.Rows());  // the goods row and the totals row
  for (int row = stock.FixedRows(); row < stock.Rows(); ++row)
    for (int col : {kStockBuyPriceCol, kStockBuyAmountCol, kStockSoldAmountCol, kStockStockAmountCol})
      EXPECT_TRUE(stock.CellText(row, col).isEmpty() || NumberValue(stock.CellText(row, col)) == 0)
          << row << "," << col << ": " << stock.CellText(row, col).toStdString();
  EXPECT_EQ("10", stock.CellText(stock.FixedRows(), kStockQuantityCol).toStdString());  // the rest is there

  Grid summary;
  LayOutSummaryGrid(summary);
  ASSERT_FALSE(FillSummaryGrid(app.ctx(), summary, 0).error.has_value());
  for (int row = summary.FixedRows(); row < summary.Rows(); ++row)
    for (int col : {kSummaryBoughtAmountCol, kSummarySoldAmountCol, kSummaryStockAmountCol})
      EXPECT_TRUE(summary.CellText(row, col).isEmpty() || NumberValue(summary.CellText(row, col)) == 0)
          << row << "," << col << ": " << summary.CellText(row, col).toStdString();

  Grid sales;
  LayOutSalesGrid(sales);
  ASSERT_FALSE(FillSalesGrid(app.ctx(), sales, AllSalesQuery()).error.has_value());
  for (int row = sales.FixedRows(); row < sales.Rows(); ++row)
    EXPECT_TRUE(sales.CellText(row, kSaleProfitCol).isEmpty() || NumberValue(sales.CellText(row, kSaleProfitCol)) == 0)
        << row << ": " << sales.CellText(row, kSaleProfitCol).toStdString();
  EXPECT_EQ("3", sales.CellText(sales.FixedRows(), kSaleAmountCol).toStdString());

  // The charts: the profit reports are refused, the sales amounts are not.
  for (auto report :
       {MonthlyReport(app.ctx(), SalesFigure::Profit, 2026), DailyReport(app.ctx(), SalesFigure::Profit, 2026, 12)}) {
    ASSERT_FALSE(report.has_value());
    EXPECT_EQ(DbError::Kind::Refused, report.error().kind);
    EXPECT_EQ(kProfitRefusedText.toStdString(), report.error().message.toStdString());
  }
  EXPECT_TRUE(MonthlyReport(app.ctx(), SalesFigure::Amount, 2026).has_value());
  EXPECT_TRUE(DailyReport(app.ctx(), SalesFigure::Amount, 2026, 12).has_value());
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
  EXPECT_TRUE(DeleteBankMovement(app.ctx(), InsertBankRow(db, QStringLiteral("工商银行"), QStringLiteral("6222"),
                                                          QStringLiteral("存入"), 50))
                  .has_value());
  for (const char* table : {"buy", "sell", "other", "bank"}) EXPECT_EQ(0, CountRows(db, table)) << table;

  auto added = AddAccount(app.ctx(), QStringLiteral("店员乙"), QStringLiteral("2"));
  ASSERT_TRUE(added.has_value());
  EXPECT_TRUE(ChangeAccount(app.ctx(), *added, QStringLiteral("店员丙"), QStringLiteral("3")).has_value());
  EXPECT_TRUE(DeleteAccount(app.ctx(), *added).has_value());
  EXPECT_TRUE(SetSuperAdministratorPassword(app.ctx(), QStringLiteral("999")).has_value());
  EXPECT_EQ(1, CountRows(db, "UserName"));
}

// 超级管理员 sees every figure, as before.
TEST(SuperAdministratorRole, ListsHoldPurchaseFiguresAndProfit) {
  TestApp app;
  GoodsRow g;
  g.buy_price = 2.75;
  g.bought_amount = g.stock_amount = 27.5;
  const qint64 goods = InsertGoods(app.ctx().db, g);
  ASSERT_TRUE(
      app.ctx()
          .db.Execute("insert into sell (名称,销售数量,销售金额,净利润,UID) values ('可口可乐',1,3,0.25,?)", goods)
          .has_value());
  Grid stock;
  LayOutStockGrid(stock);
  ASSERT_FALSE(FillStockGrid(app.ctx(), stock, AllGoodsQuery(), 0).error.has_value());
  EXPECT_EQ("2.75", stock.CellText(stock.FixedRows(), kStockBuyPriceCol).toStdString());
  EXPECT_EQ("27.5", stock.CellText(stock.Rows() - 1, kStockBuyAmountCol).toStdString());
  Grid summary;
  LayOutSummaryGrid(summary);
  ASSERT_FALSE(FillSummaryGrid(app.ctx(), summary, 0).error.has_value());
  EXPECT_EQ("27.5", summary.CellText(summary.FixedRows(), kSummaryStockAmountCol).toStdString());
  Grid sales;
  LayOutSalesGrid(sales);
  ASSERT_FALSE(FillSalesGrid(app.ctx(), sales, AllSalesQuery()).error.has_value());
  EXPECT_EQ("0.25", sales.CellText(sales.FixedRows(), kSaleProfitCol).toStdString());
  EXPECT_EQ("0.25", sales.CellText(sales.Rows() - 1, kSaleProfitCol).toStdString());
  EXPECT_TRUE(MonthlyReport(app.ctx(), SalesFigure::Profit, 2026).has_value());
  EXPECT_TRUE(DailyReport(app.ctx(), SalesFigure::Profit, 2026, 12).has_value());
}

}  // namespace
}  // namespace hemulu::test
