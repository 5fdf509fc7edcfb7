#include <gtest/gtest.h>

#include "EngineSupport.h"
#include "TestSupport.h"
#include "data/TextFormat.h"
#include "sales/DebtsLogic.h"
#include "sales/SalesLogic.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

class DebtsOn : public EngineTest {
 protected:
  qint64 Sale(const char* date, double debt, const QString& name = QStringLiteral("王五"),
              const QString& contact = QStringLiteral("139")) {
    auto r = db().Execute(
        "insert into sell (名称,销售日期,销售金额,欠款额,客户名称,联系方式,销售数量,净利润) "
        "values ('茶杯',?,100,?,?,?,1,20)",
        QString::fromUtf8(date), debt, name, contact);
    EXPECT_TRUE(r.has_value());
    return db().LastInsertId();
  }
  double Debt(qint64 sale) {
    auto st = db().Prepare("select 欠款额 from sell where \"ID\"=?");
    st->BindAll(sale);
    EXPECT_TRUE(st->Step().value_or(false));
    return st->Double(0);
  }
  RepaymentForm Form(const QString& amount, const QString& name = QStringLiteral("王五"),
                     const QString& contact = QStringLiteral("139")) {
    RepaymentForm f;
    f.customer = {name, contact};
    f.amount = amount;
    f.date = QDate(2026, 3, 1);
    f.method = QStringLiteral("现金");
    return f;
  }
  // The last statement balance must be the debtors list's figure for the customer,
  // and both the sum of the sales' debts.
  void ExpectAgreement(const DebtCustomer& c, double expected) {
    auto lines = LoadStatement(ctx(), c);
    ASSERT_TRUE(lines.has_value());
    const double statement = lines->empty() ? 0 : lines->back().balance;
    EXPECT_NEAR(statement, expected, 1e-9);
    auto debtors = LoadDebtors(ctx());
    ASSERT_TRUE(debtors.has_value());
    double listed = 0;
    for (const Debtor& d : *debtors)
      if (d.customer == c) listed = d.owed;
    EXPECT_NEAR(listed, expected, 1e-9);
  }
};
HEMULU_ON_BOTH_ENGINES(DebtsOn);

TEST_P(DebtsOn, RepaymentSettlesOldestFirstAndTheLastInPart) {
  const qint64 newest = Sale("2026-02-10 10:00:00", 30);
  const qint64 oldest = Sale("2026-01-05 09:00:00", 20);
  const qint64 middle = Sale("2026-01-20 09:00:00", 25);
  const qint64 settled = Sale("2026-01-01 09:00:00", 0);
  const qint64 other = Sale("2026-01-02 09:00:00", 40, QStringLiteral("王五"), QStringLiteral("138"));

  auto id = RecordRepayment(ctx(), Form("50"));
  ASSERT_TRUE(id.has_value()) << id.error().message.toStdString();
  EXPECT_EQ(Debt(oldest), 0);
  EXPECT_EQ(Debt(middle), 0);
  EXPECT_NEAR(Debt(newest), 25, 1e-9);
  EXPECT_EQ(Debt(settled), 0);
  EXPECT_EQ(Debt(other), 40);  // same name, another contact: another customer

  auto st = db().Prepare("select 销售号,金额 from repayment_part where 收款号=? order by \"ID\"");
  st->BindAll(*id);
  std::vector<std::pair<qint64, double>> parts;
  while (st->Step().value_or(false)) parts.emplace_back(st->Int(0), st->Double(1));
  EXPECT_EQ(parts, (std::vector<std::pair<qint64, double>>{{oldest, 20}, {middle, 25}, {newest, 5}}));
  EXPECT_NEAR(*OwedBy(ctx(), {QStringLiteral("王五"), QStringLiteral("139")}), 25, 1e-9);
  ExpectAgreement({QStringLiteral("王五"), QStringLiteral("139")}, 25);
}

TEST_P(DebtsOn, OverpaymentAndBadAmountsAreRefusedAndChangeNothing) {
  const qint64 a = Sale("2026-01-05 09:00:00", 0.1);
  const qint64 b = Sale("2026-01-06 09:00:00", 0.2);
  auto over = RecordRepayment(ctx(), Form("0.31"));
  ASSERT_FALSE(over.has_value());
  EXPECT_EQ(over.error().kind, ActionError::Kind::Invalid);
  EXPECT_TRUE(over.error().message.contains(QStringLiteral("共欠款0.3元"))) << over.error().message.toStdString();
  EXPECT_EQ(over.error().focus, kRepaymentAmountBox);
  for (const char* bad : {"", "abc", "1e309", "-5", "0"}) EXPECT_FALSE(RecordRepayment(ctx(), Form(bad)).has_value());
  RepaymentForm long_note = Form("0.1");
  long_note.note = QString(51, QChar(u'备'));
  EXPECT_FALSE(RecordRepayment(ctx(), long_note).has_value());
  RepaymentForm no_bank = Form("0.1");
  no_bank.method = kBankMethod;
  no_bank.to_bank = true;
  EXPECT_EQ(RecordRepayment(ctx(), no_bank).error().focus, kRepaymentBankBox);
  EXPECT_FALSE(RecordRepayment(ctx(), Form("1", QStringLiteral("没人"))).has_value());
  EXPECT_EQ(CountRows(db(), "repayment"), 0);
  EXPECT_EQ(CountRows(db(), "bank"), 0);
  EXPECT_EQ(Debt(a), 0.1);
  EXPECT_EQ(Debt(b), 0.2);
  // What 0.1 + 0.2 comes to is paid in full, leaving no remainder behind.
  ASSERT_TRUE(RecordRepayment(ctx(), Form("0.3")).has_value());
  EXPECT_EQ(Debt(a), 0);
  EXPECT_EQ(Debt(b), 0);
}

TEST_P(DebtsOn, UndoPutsEveryPartBackOnceAndOnlyForTheSuperAdministrator) {
  const qint64 a = Sale("2026-01-05 09:00:00", 20);
  const qint64 b = Sale("2026-01-06 09:00:00", 30);
  RepaymentForm f = Form("35");
  f.method = kBankMethod;
  f.to_bank = true;
  f.bank = QStringLiteral("工商银行");
  f.account = QStringLiteral("6222");
  auto id = RecordRepayment(ctx(), f);
  ASSERT_TRUE(id.has_value());
  EXPECT_EQ(CountRows(db(), "bank"), 1);
  auto deposited = db().Prepare("select sum(金额) from bank");
  ASSERT_TRUE(deposited && deposited->Step().value_or(false));
  EXPECT_EQ(deposited->Double(0), 35);

  ctx().session.SetUser(QStringLiteral("店员"), QStringLiteral("1"));
  auto refused = UndoRepayment(ctx(), *id);
  ASSERT_FALSE(refused.has_value());
  EXPECT_EQ(refused.error().kind, ActionError::Kind::NotAllowed);
  EXPECT_EQ(Debt(a), 0);
  // An operator may still take a repayment.
  ASSERT_TRUE(RecordRepayment(ctx(), Form("5")).has_value());
  EXPECT_EQ(Debt(b), 10);

  ctx().session.SetUser(kSuperAdministrator, QStringLiteral("735"));
  auto undo = UndoRepayment(ctx(), *id);
  ASSERT_TRUE(undo.has_value()) << undo.error().message.toStdString();
  EXPECT_EQ(Debt(a), 20);
  EXPECT_EQ(Debt(b), 25);
  // The deposit stays in the bank's history and a withdrawal takes it out.
  EXPECT_EQ(CountRows(db(), "bank"), 2);
  auto bank = db().Prepare("select sum(金额) from bank");
  ASSERT_TRUE(bank && bank->Step().value_or(false));
  EXPECT_EQ(bank->Double(0), 0);
  // Undone twice, or the undo itself undone: refused, nothing changes.
  EXPECT_FALSE(UndoRepayment(ctx(), *id).has_value());
  EXPECT_FALSE(UndoRepayment(ctx(), *undo).has_value());
  EXPECT_EQ(UndoRepayment(ctx(), 9999).error().kind, ActionError::Kind::Gone);
  EXPECT_EQ(Debt(a), 20);
  EXPECT_EQ(CountRows(db(), "repayment"), 3);

  auto lines = LoadStatement(ctx(), {QStringLiteral("王五"), QStringLiteral("139")});
  ASSERT_TRUE(lines.has_value());
  ASSERT_EQ(lines->size(), 5u);
  EXPECT_TRUE((*lines)[2].undone);
  EXPECT_TRUE((*lines)[4].is_undo);
  EXPECT_EQ((*lines)[4].paid, -35);
  ExpectAgreement({QStringLiteral("王五"), QStringLiteral("139")}, 45);
}

TEST_P(DebtsOn, FailureMidAllocationLeavesNothingChanged) {
  const qint64 a = Sale("2026-01-05 09:00:00", 20);
  const qint64 b = Sale("2026-01-06 09:00:00", 30);
  const qint64 c = Sale("2026-01-07 09:00:00", 30);
  // The second part is refused by the database.
  const std::string refuse =
      OnServer() ? std::string("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS "
                               "$$BEGIN IF NEW.\"销售号\" = ") +
                       std::to_string(b) +
                       " THEN RAISE EXCEPTION 'injected'; END IF; RETURN NEW; END$$; "
                       "CREATE TRIGGER refuse BEFORE INSERT ON repayment_part FOR EACH ROW EXECUTE FUNCTION refuse();"
                 : std::string("CREATE TEMP TRIGGER refuse BEFORE INSERT ON repayment_part WHEN NEW.销售号 = ") +
                       std::to_string(b) + " BEGIN SELECT RAISE(ABORT, 'injected'); END;";
  ASSERT_TRUE(db().ExecScript(refuse.c_str()));
  RepaymentForm f = Form("60");
  f.method = kBankMethod;
  f.to_bank = true;
  f.bank = QStringLiteral("工商银行");
  auto r = RecordRepayment(ctx(), f);
  ASSERT_FALSE(r.has_value());
  EXPECT_EQ(r.error().kind, ActionError::Kind::Database);
  EXPECT_EQ(Debt(a), 20);
  EXPECT_EQ(Debt(b), 30);
  EXPECT_EQ(Debt(c), 30);
  EXPECT_EQ(CountRows(db(), "repayment"), 0);
  EXPECT_EQ(CountRows(db(), "repayment_part"), 0);
  EXPECT_EQ(CountRows(db(), "bank"), 0);
}

TEST_P(DebtsOn, SaleEditsAreRecordedAndTheStatementFollowsEveryChange) {
  const DebtCustomer wang{QStringLiteral("王五"), QStringLiteral("139")};
  const qint64 a = Sale("2026-01-05 09:00:00", 100);
  const qint64 b = Sale("2026-01-06 09:00:00", 50);
  const qint64 paid_cash = Sale("2026-01-07 09:00:00", 0);
  Sale("2026-01-08 09:00:00", 7, QString(), QString());

  // Lowered in the edit window: a repayment of that sale; raised: a negative one.
  ASSERT_TRUE(UpdateSale(ctx(), a, {"60", wang.name, wang.contact, "", ""}).has_value());
  ASSERT_TRUE(UpdateSale(ctx(), paid_cash, {"15", wang.name, wang.contact, "", ""}).has_value());
  // A change of the customer texts alone writes no record.
  ASSERT_TRUE(UpdateSale(ctx(), b, {"50", wang.name, wang.contact, "地址", "备注"}).has_value());
  auto st = db().Prepare("select 金额,备注 from repayment order by \"ID\"");
  std::vector<std::pair<double, QString>> records;
  while (st->Step().value_or(false)) records.emplace_back(st->Double(0), st->Text(1));
  EXPECT_EQ(records, (std::vector<std::pair<double, QString>>{{40, kSaleEditNote}, {-15, kSaleEditNote}}));
  ExpectAgreement(wang, 60 + 50 + 15);

  auto pay = RecordRepayment(ctx(), Form("70"));
  ASSERT_TRUE(pay.has_value());
  ExpectAgreement(wang, 55);
  ASSERT_TRUE(UndoRepayment(ctx(), *pay).has_value());
  ExpectAgreement(wang, 125);
  ASSERT_TRUE(RecordRepayment(ctx(), Form("125")).has_value());
  ExpectAgreement(wang, 0);

  // A sale moved to another customer takes its history along.
  ASSERT_TRUE(UpdateSale(ctx(), b, {"5", QStringLiteral("赵六"), "", "", ""}).has_value());
  ExpectAgreement(wang, 0);
  ExpectAgreement({QStringLiteral("赵六"), QString()}, 5);
  ExpectAgreement({QString(), QString()}, 7);

  // The statement: each sale with what it first owed, then the repayments.
  auto lines = LoadStatement(ctx(), wang);
  ASSERT_TRUE(lines.has_value());
  ASSERT_FALSE(lines->empty());
  EXPECT_EQ(lines->front().kind, StatementLine::Kind::Sale);
  EXPECT_EQ(lines->front().id, a);
  EXPECT_EQ(lines->front().charged, 100);
  for (std::size_t i = 1; i < lines->size(); ++i)
    EXPECT_LE((*lines)[i - 1].date.date(), (*lines)[i].date.date());

  auto debtors = LoadDebtors(ctx());
  ASSERT_TRUE(debtors.has_value());
  ASSERT_EQ(debtors->size(), 2u);  // most owed first
  EXPECT_EQ((*debtors)[0].customer.name, QString());
  EXPECT_EQ((*debtors)[0].open_sales, 1);
  EXPECT_EQ((*debtors)[0].owed, 7);
  EXPECT_EQ((*debtors)[1].customer.name, QStringLiteral("赵六"));
}

TEST_P(DebtsOn, ADatabaseWithoutRepaymentTablesGetsThemAtConnection) {
  ASSERT_TRUE(db().ExecScript("DROP TABLE repayment; DROP TABLE repayment_part;"));
  auto other = AnotherConnection();
  ASSERT_TRUE(other->Open().has_value());
  EXPECT_EQ(CountRows(*other, "repayment"), 0);
  EXPECT_EQ(CountRows(*other, "repayment_part"), 0);
  Sale("2026-01-05 09:00:00", 20);
  EXPECT_TRUE(RecordRepayment(ctx(), Form("5")).has_value());
}

}  // namespace

TEST(Debts, StatementFileNameHoldsNoPathCharacters) {
  EXPECT_EQ(StatementFileName({QStringLiteral("王/五:"), {}}), QStringLiteral("对账单-王_五_.xlsx"));
  EXPECT_EQ(StatementFileName({}), QStringLiteral("对账单-（未填客户）.xlsx"));
}

TEST(Debts, AFileWithoutRepaymentTablesGetsThemAtOpen) {
  TestApp app;
  Database& db = app.ctx().db;
  ASSERT_TRUE(db.ExecScript("DROP TABLE repayment; DROP TABLE repayment_part; DROP INDEX \"sell_欠款额\";"));
  db.Close();
  ASSERT_TRUE(db.Open().has_value());
  EXPECT_EQ(CountRows(db, "repayment"), 0);
  EXPECT_EQ(CountRows(db, "repayment_part"), 0);
  auto index = db.Prepare("select count(*) from sqlite_master where name='sell_欠款额'");
  ASSERT_TRUE(index && index->Step().value_or(false));
  EXPECT_EQ(index->Int(0), 1);
}
