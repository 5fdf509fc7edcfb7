#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "TestSupport.h"
#include "lists/Grid.h"
#include "sales/DebtorsView.h"
#include "sales/RepaymentWindow.h"
#include "sales/StatementWindow.h"
#include "stock/NameInitials.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

qint64 CreditSale(Database& db, const QString& name, const QString& contact, double debt, const char* date) {
  auto r = db.Execute(
      "insert into sell (名称,销售日期,销售金额,欠款额,客户名称,联系方式,销售数量,净利润) values "
      "('茶杯',?,100,?,?,?,1,20)",
      QString::fromUtf8(date), debt, name, contact);
  EXPECT_TRUE(r.has_value());
  return db.LastInsertId();
}

double Debt(Database& db, qint64 sale) {
  auto st = db.Prepare("select 欠款额 from sell where \"ID\"=?");
  st->BindAll(sale);
  EXPECT_TRUE(st->Step().value_or(false));
  return st->Double(0);
}

QStringList Column(const Grid& grid, int col) {
  QStringList out;
  for (int r = grid.FixedRows(); r < grid.Rows(); ++r) out << grid.CellText(r, col);
  return out;
}

}  // namespace

TEST(DebtorsView, ListsEachCustomerMostOwedFirstWithTotalsAndFindsByInitials) {
  TestApp app;
  Database& db = app.ctx().db;
  CreditSale(db, "张三", "138", 100, "2026-11-01 10:00:00");
  CreditSale(db, "张三", "138", 150, "2026-11-03 10:00:00");
  CreditSale(db, "李四", "139", 50, "2026-11-02 10:00:00");
  CreditSale(db, "", "", 300, "2026-11-04 10:00:00");
  CreditSale(db, "王五", "137", 0, "2026-11-04 10:00:00");  // paid in full: not listed
  DebtorsView view(app.ctx(), [](const QString& name) { return NameInitials(name); });
  ASSERT_TRUE(view.Refill());
  const Grid& grid = *view.DebtorsGrid();
  // The last row holds the totals.
  EXPECT_EQ(Column(grid, kDebtorNameCol), (QStringList{"（未填客户）", "张三", "李四", ""}));
  EXPECT_EQ(Column(grid, kDebtorSalesCol), (QStringList{"1", "2", "1", "4"}));
  EXPECT_EQ(Column(grid, kDebtorOwedCol), (QStringList{"300", "250", "50", "600"}));
  EXPECT_EQ(grid.CellText(2, kDebtorOldestCol), "2026年11月1日");

  view.SearchBox()->setText("zs");
  EXPECT_EQ(Column(grid, kDebtorNameCol), (QStringList{"张三", ""}));
  view.SearchBox()->setText("李");
  EXPECT_EQ(Column(grid, kDebtorNameCol), (QStringList{"李四", ""}));

  // The nameless customer's row names the customer of the empty name.
  view.SearchBox()->clear();
  view.DebtorsGrid()->SelectRow(1);
  ASSERT_TRUE(view.ChosenCustomer().has_value());
  EXPECT_EQ(*view.ChosenCustomer(), (DebtCustomer{QString(), QString()}));
  view.DebtorsGrid()->SelectRow(4);  // the totals row
  EXPECT_FALSE(view.ChosenCustomer().has_value());
}

TEST(DebtorsView, ARefillKeepsTheChosenCustomerWhileListedTellingNamesApartByContact) {
  TestApp app;
  Database& db = app.ctx().db;
  CreditSale(db, "张三", "138", 300, "2026-11-01 10:00:00");
  const qint64 other = CreditSale(db, "张三", "136", 200, "2026-11-02 10:00:00");
  CreditSale(db, "李四", "139", 100, "2026-11-02 10:00:00");
  DebtorsView view(app.ctx(), [](const QString& name) { return NameInitials(name); });
  ASSERT_TRUE(view.Refill());
  Grid& grid = *view.DebtorsGrid();
  ASSERT_EQ(Column(grid, kDebtorContactCol), (QStringList{"138", "136", "139", "合计："}));
  grid.SelectRow(2);  // 张三 of 136
  // A repayment of part of it: still listed, still chosen though another 张三 comes first.
  ASSERT_TRUE(db.Execute("update sell set 欠款额=50 where \"ID\"=?", other));
  ASSERT_TRUE(view.Refill());
  EXPECT_EQ(*view.ChosenCustomer(), (DebtCustomer{"张三", "136"}));
  // Paid in full: gone from the list, and nobody else is chosen in its place.
  ASSERT_TRUE(db.Execute("update sell set 欠款额=0 where \"ID\"=?", other));
  ASSERT_TRUE(view.Refill());
  EXPECT_FALSE(view.ChosenCustomer().has_value());
}

TEST(RepaymentWindow, RefusesOverpaymentKeepingWhatWasTypedAndDepositsWhenTicked) {
  TestApp app;
  Database& db = app.ctx().db;
  const qint64 a = CreditSale(db, "张三", "138", 100, "2026-11-01 10:00:00");
  const qint64 b = CreditSale(db, "张三", "138", 150, "2026-11-03 10:00:00");
  QWidget owner;
  RepaymentWindow window(app.ctx(), {"张三", "138"}, &owner);
  auto* amount = window.findChild<QLineEdit*>(kRepaymentAmountBox);
  auto* method = window.findChild<QComboBox*>("收款方式框");
  auto* to_bank = window.findChild<QCheckBox*>("收款存入银行框");
  auto* bank = window.findChild<QComboBox*>(kRepaymentBankBox);
  ASSERT_TRUE(amount && method && to_bank && bank);
  // Cash cannot go into the bank.
  EXPECT_FALSE(to_bank->isEnabled());

  amount->setText("300");
  app.prompter.ExpectMessage("收款金额超过了欠款：张三共欠款250元。");
  window.Save();
  EXPECT_EQ(window.result(), 0);
  EXPECT_EQ(amount->text(), "300");
  EXPECT_EQ(Debt(db, a), 100);

  amount->setText("120");
  method->setCurrentText(kBankMethod);
  ASSERT_TRUE(to_bank->isEnabled());
  to_bank->setChecked(true);
  bank->setEditText("工商银行");
  window.Save();
  EXPECT_EQ(window.result(), QDialog::Accepted);
  EXPECT_TRUE(window.Deposited());
  EXPECT_EQ(Debt(db, a), 0);
  EXPECT_EQ(Debt(db, b), 130);
  EXPECT_EQ(CountRows(db, "bank"), 1);
}

TEST(StatementWindow, OnlyTheSuperAdministratorUndoesAndTheBalanceFollows) {
  TestApp app;
  Database& db = app.ctx().db;
  const qint64 a = CreditSale(db, "张三", "138", 100, "2026-11-01 10:00:00");
  RepaymentForm f;
  f.customer = {"张三", "138"};
  f.amount = "60";
  f.date = QDate(2026, 11, 5);
  f.method = "现金";
  ASSERT_TRUE(RecordRepayment(app.ctx(), f).has_value());

  {
    app.ctx().session.SetUser("店员", "1");
    StatementWindow operator_view(app.ctx(), {"张三", "138"}, nullptr);
    EXPECT_FALSE(operator_view.findChild<QPushButton*>("撤销收款按钮")->isVisibleTo(&operator_view));
    app.ctx().session.SetUser(kSuperAdministrator, "735");
  }

  StatementWindow window(app.ctx(), {"张三", "138"}, nullptr);
  Grid& grid = *window.StatementGrid();
  EXPECT_EQ(Column(grid, kStatementKindCol), (QStringList{"销售", "收款"}));
  EXPECT_EQ(Column(grid, kStatementBalanceCol), (QStringList{"100", "40"}));
  EXPECT_EQ(window.Balance(), 40);

  // No row chosen: told so, nothing undone.
  app.prompter.ExpectMessage("请先选中要撤销的收款记录。");
  window.UndoChosen();
  grid.SelectRow(2);
  app.prompter.AnswerConfirm(false);
  window.UndoChosen();
  EXPECT_EQ(Debt(db, a), 40);
  grid.SelectRow(2);
  app.prompter.AnswerConfirm(true);
  bool told = false;
  QObject::connect(&window, &StatementWindow::RepaymentUndone, [&told] { told = true; });
  window.UndoChosen();
  EXPECT_TRUE(told);
  EXPECT_EQ(Debt(db, a), 100);
  EXPECT_EQ(Column(grid, kStatementKindCol), (QStringList{"销售", "收款", "撤销收款"}));
  EXPECT_EQ(window.Balance(), 100);
  EXPECT_EQ(StatementFileName({"张三", "138"}), "对账单-张三.xlsx");
}
