#include <gtest/gtest.h>

#include "MoneyTestSupport.h"
#include "money/BankLogic.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

BankForm Form(int kind, QString amount = "100", QString bank = QStringLiteral("工商银行"),
              QString account = QStringLiteral("6222001")) {
  BankForm f;
  f.kind_index = kind;
  f.bank = std::move(bank);
  f.account = std::move(account);
  f.amount = std::move(amount);
  f.note = QStringLiteral("营业款");
  f.date = QDate(2026, 12, 8);
  return f;
}

struct Stored {
  QString kind;
  double amount;
};

Stored Load(AppContext& ctx, qint64 id) {
  auto m = StoredMovement(ctx, id);
  EXPECT_TRUE(m);
  return m ? Stored{m->kind, m->amount} : Stored{};
}

}  // namespace

namespace {
class BankLogicOn : public test::EngineTest {};
HEMULU_ON_BOTH_ENGINES(BankLogicOn);
}  // namespace

TEST_P(BankLogicOn, OutgoingKindsAreStoredNegativeAndShownWithoutSign) {
  const double expected[] = {100, -100, 100, -100};
  for (int kind = 0; kind < 4; ++kind) {
    auto id = InsertBankMovement(ctx(), Form(kind));
    ASSERT_TRUE(id);
    const Stored s = Load(ctx(), *id);
    EXPECT_EQ(s.kind, MovementKinds()[kind]);
    EXPECT_EQ(s.amount, expected[kind]);
    auto m = StoredMovement(ctx(), *id);
    const BankForm shown = ChangeFormOf(*m);
    EXPECT_EQ(shown.amount, "100");
    EXPECT_EQ(shown.kind_index, kind);
    EXPECT_EQ(shown.date, QDate(2026, 12, 8));
  }
  EXPECT_TRUE(IsOutgoingKind(u"取款"));
  EXPECT_TRUE(IsOutgoingKind(u"转出"));
  EXPECT_FALSE(IsOutgoingKind(u"取款 "));
}

TEST_P(BankLogicOn, ChangingAWithdrawalKeepsOrFlipsTheSign) {
  auto id = InsertBankMovement(ctx(), Form(1));
  ASSERT_TRUE(id);
  BankForm shown = ChangeFormOf(*StoredMovement(ctx(), *id));
  ASSERT_TRUE(UpdateBankMovement(ctx(), *id, shown));
  EXPECT_EQ(Load(ctx(), *id).amount, -100);
  shown.kind_index = 0;
  ASSERT_TRUE(UpdateBankMovement(ctx(), *id, shown));
  EXPECT_EQ(Load(ctx(), *id).amount, 100);
  EXPECT_EQ(Load(ctx(), *id).kind, "存款");
}

TEST_P(BankLogicOn, AKindOutsideTheFourOpensUnselectedAndSavesEmptyAndNegated) {
  const qint64 id = InsertBankRow(ctx().db, "农业银行", "1", "利息", 30);
  const BankForm shown = ChangeFormOf(*StoredMovement(ctx(), id));
  EXPECT_EQ(shown.kind_index, -1);
  EXPECT_EQ(shown.amount, "30");
  ASSERT_TRUE(UpdateBankMovement(ctx(), id, shown));
  const Stored s = Load(ctx(), id);
  EXPECT_EQ(s.kind, "");
  EXPECT_EQ(s.amount, -30);
}

TEST_P(BankLogicOn, ChecksAndRefusedValuesWriteNothing) {
  EXPECT_EQ(ValidateBankForm(Form(0, "100", ""))->message, "银行名称必须填写");
  EXPECT_EQ(ValidateBankForm(Form(0, ""))->field, BankFormField::Amount);
  EXPECT_EQ(ValidateBankForm(Form(0, ""))->message, "金额必须填写");
  EXPECT_EQ(ValidateBankForm(Form(0, "1OO"))->message, "金额必须是数字");
  EXPECT_EQ(ValidateBankForm(Form(0, "1e309"))->message, "金额必须是数字");
  auto too_long = InsertBankMovement(ctx(), Form(0, "1", QString(51, QChar(u'行'))));
  ASSERT_FALSE(too_long);
  EXPECT_EQ(too_long.error().Message(), "错误代码 [099]");
  EXPECT_EQ(CountRows(ctx().db, "bank"), 0);

  // A change that the column would refuse leaves the row as it was; a quote is fine.
  auto id = InsertBankMovement(ctx(), Form(0, "5", "招商'银行"));
  ASSERT_TRUE(id);
  auto refused = UpdateBankMovement(ctx(), *id, Form(0, "7", "招商银行", QString(51, QChar(u'号'))));
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().message, "错误代码 [099]");
  EXPECT_EQ(StoredMovement(ctx(), *id)->bank, "招商'银行");
  EXPECT_EQ(Load(ctx(), *id).amount, 5);
  // A long note is a memo.
  BankForm memo = Form(0, "5");
  memo.note = QString(300, QChar(u'注'));
  EXPECT_TRUE(UpdateBankMovement(ctx(), *id, memo));
  auto gone = UpdateBankMovement(ctx(), *id + 100, Form(0));
  ASSERT_FALSE(gone);
  EXPECT_EQ(gone.error().kind, ActionError::Kind::Gone);
}

TEST_P(BankLogicOn, SummaryGivesOneBalancePerBankAndAccount) {
  Database& db = ctx().db;
  InsertBankRow(db, "工商银行", "甲", "存款", 500);
  InsertBankRow(db, "工商银行", "甲", "取款", -100);
  InsertBankRow(db, "工商银行", "乙", "存款", 70);
  InsertBankRow(db, "建设银行", "甲", "转入", 30);
  auto st = db.Prepare(BankSummaryQuery().sql.toStdString());
  ASSERT_TRUE(st);
  std::vector<std::tuple<QString, QString, double>> rows;
  while (st->Step().value_or(false)) rows.emplace_back(st->Text("银行"), st->Text("账户"), st->Double("总计"));
  std::sort(rows.begin(), rows.end(), [](const auto& x, const auto& y) { return std::get<2>(x) > std::get<2>(y); });
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], std::make_tuple(QString("工商银行"), QString("甲"), 400.0));
  EXPECT_EQ(rows[1], std::make_tuple(QString("工商银行"), QString("乙"), 70.0));
  EXPECT_EQ(rows[2], std::make_tuple(QString("建设银行"), QString("甲"), 30.0));
}

TEST_P(BankLogicOn, SearchesAndPickLists) {
  Database& db = ctx().db;
  const qint64 a = InsertBankRow(db, "工商银行", "甲", "存款", 1, "2026-12-01 00:00:00");
  const qint64 b = InsertBankRow(db, "建设银行", "", "存款", 1, "2026-12-08 00:00:00");
  EXPECT_EQ(QueryIds(ctx(), SearchBankQuery("工商")), std::vector<qint64>{a});
  EXPECT_EQ(QueryIds(ctx(), SearchBankQuery("")), (std::vector<qint64>{a, b}));
  EXPECT_EQ(QueryIds(ctx(), BankByDateQuery(QDate(2026, 12, 8), QDate(2026, 12, 8))), std::vector<qint64>{b});
  EXPECT_EQ(BankPickValues(ctx(), BankPick::Bank).value(), (QStringList{"工商银行", "建设银行"}));
  EXPECT_EQ(BankPickValues(ctx(), BankPick::Account).value(), QStringList{"甲"});

  ctx().session.SetUser(QStringLiteral("小王"), QStringLiteral("735"));
  auto refused = DeleteBankMovement(ctx(), a);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().kind, ActionError::Kind::NotAllowed);
  EXPECT_EQ(CountRows(db, "bank"), 2);
  ctx().session.SetUser(kSuperAdministrator, QStringLiteral("735"));
  EXPECT_TRUE(DeleteBankMovement(ctx(), a));
  EXPECT_EQ(CountRows(db, "bank"), 1);
}
