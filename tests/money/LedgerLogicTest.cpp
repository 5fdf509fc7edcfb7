#include <gtest/gtest.h>

#include "MoneyTestSupport.h"
#include "money/LedgerLogic.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

LedgerForm Form(QString item = QStringLiteral("房租"), QString quantity = "2", QString price = "1.5",
                QString amount = "3") {
  LedgerForm f;
  f.item = std::move(item);
  f.number = QStringLiteral("20121149530");
  f.quantity = std::move(quantity);
  f.price = std::move(price);
  f.amount = std::move(amount);
  f.note = QStringLiteral("十二月");
  f.date = QDate(2026, 12, 8);
  return f;
}

}  // namespace

namespace {
class LedgerLogicOn : public test::EngineTest {};
HEMULU_ON_BOTH_ENGINES(LedgerLogicOn);
}  // namespace

TEST(LedgerLogic, EntryNumbersPutTheExpenseSecondBeforeTheMinute) {
  const QDateTime at(QDate(2012, 11, 4), QTime(9, 5, 30));
  EXPECT_EQ(NewEntryNumber(at, LedgerKind::Expense), "20121149305");
  EXPECT_EQ(NewEntryNumber(at, LedgerKind::Income), "20121149530");
  // No leading zeros anywhere, midnight included.
  EXPECT_EQ(NewEntryNumber(QDateTime(QDate(2026, 1, 2), QTime(0, 0, 7)), LedgerKind::Income), "202612007");
}

TEST(LedgerLogic, LiveAmountCountsANonNumberAsZero) {
  EXPECT_EQ(LiveAmountText("2", "1.5"), "3");
  EXPECT_EQ(LiveAmountText("", "1.5"), "0");
  EXPECT_EQ(LiveAmountText("两", "9"), "0");
  EXPECT_EQ(LiveAmountText("0.1", "3"), "0.3");
  EXPECT_EQ(LiveAmountText("1e200", "1e200"), "0");  // an overflow is not an amount
}

TEST(LedgerLogic, ChecksInOrderNameTheirBox) {
  LedgerForm f = Form("", "", "", "");
  f.number.clear();
  auto p = ValidateLedgerForm(LedgerKind::Expense, f);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->field, LedgerFormField::Item);
  EXPECT_EQ(p->message, "支出项目必须填写");
  f.item = "水费";
  p = ValidateLedgerForm(LedgerKind::Income, f);
  EXPECT_EQ(p->field, LedgerFormField::Number);
  EXPECT_EQ(p->message, "收入编号必须填写");
  f.number = "1";
  p = ValidateLedgerForm(LedgerKind::Income, f);
  EXPECT_EQ(p->field, LedgerFormField::Amount);
  EXPECT_EQ(p->message, "收入金额必须填写");
  f.amount = "0";
  EXPECT_FALSE(ValidateLedgerForm(LedgerKind::Income, f));
}

TEST_P(LedgerLogicOn, RecordStoresTheEntryAndAnEmptyQuantityAsNone) {
  auto id = RecordLedgerEntry(ctx(), LedgerKind::Expense, Form("进货运费", "", "", "12.5"));
  ASSERT_TRUE(id) << id.error().Message().toStdString();
  auto st = ctx().db.Prepare("select 类型,编号,项目,数量,单价,金额,日期,备注 from other where \"ID\"=?");
  st->BindAll(*id);
  ASSERT_TRUE(st->Step().value_or(false));
  EXPECT_EQ(st->Text(0), "支出");
  EXPECT_EQ(st->Text(1), "20121149530");
  EXPECT_EQ(st->Text(2), "进货运费");
  EXPECT_TRUE(st->IsNull(3));
  EXPECT_EQ(st->Double(4), 0.0);
  EXPECT_EQ(st->Double(5), 12.5);
  EXPECT_EQ(st->Text(6), "2026-12-08 00:00:00");
  EXPECT_EQ(st->Text(7), "十二月");

  auto income = RecordLedgerEntry(ctx(), LedgerKind::Income, Form("房租", "2", "1.5", "3"));
  ASSERT_TRUE(income);
  st = ctx().db.Prepare("select 类型,数量 from other where \"ID\"=?");
  st->BindAll(*income);
  ASSERT_TRUE(st->Step().value_or(false));
  EXPECT_EQ(st->Text(0), "收入");
  EXPECT_EQ(st->Double(1), 2.0);
}

TEST_P(LedgerLogicOn, BadValuesFailTheirOwnCodeAndWriteNothing) {
  struct Case {
    LedgerForm form;
    const char* code;
  };
  const QString long_text(51, QChar(u'字'));
  LedgerForm long_number = Form();
  long_number.number = long_text;
  LedgerForm long_note = Form();
  long_note.note = long_text;
  const Case cases[] = {
      {long_number, "098"},
      {Form(long_text), "097"},
      {Form("房租", "两个"), "096"},
      {Form("房租", "1e309"), "096"},
      {Form("房租", "2", "abc"), "095"},
      {Form("房租", "2", "1", "12元"), "094"},
      {long_note, "093"},
  };
  for (const Case& c : cases) {
    auto r = RecordLedgerEntry(ctx(), LedgerKind::Income, c.form);
    ASSERT_FALSE(r) << c.code;
    EXPECT_EQ(r.error().Message(), QStringLiteral("错误代码 [") + c.code + "]");
  }
  EXPECT_EQ(CountRows(ctx().db, "other"), 0);
  // 50 characters and a quote are fine.
  auto ok = RecordLedgerEntry(ctx(), LedgerKind::Income, Form(QString(50, QChar(u'字')).left(49) + "'"));
  EXPECT_TRUE(ok);
}

TEST_P(LedgerLogicOn, SearchesMatchTheirOwnColumnLiterally) {
  Database& db = ctx().db;
  const qint64 income = InsertLedgerRow(db, "收入", 10, "2026-12-08 00:00:00", "房租", "50%折扣");
  const qint64 expense = InsertLedgerRow(db, "支出", 20, "2026-11-30 00:00:00", "电费", "100_x");
  const qint64 odd = InsertLedgerRow(db, "收入 ", 5, "2026-12-01 00:00:00", "收款'", "");
  AppContext& ctx = this->ctx();
  EXPECT_EQ(QueryIds(ctx, SearchLedgerQuery(LedgerSearchField::Type, "收")), (std::vector<qint64>{income, odd}));
  EXPECT_EQ(QueryIds(ctx, SearchLedgerQuery(LedgerSearchField::Type, "")), (std::vector<qint64>{income, expense, odd}));
  EXPECT_EQ(QueryIds(ctx, SearchLedgerQuery(LedgerSearchField::Note, "%")), (std::vector<qint64>{income}));
  EXPECT_EQ(QueryIds(ctx, SearchLedgerQuery(LedgerSearchField::Note, "_")), (std::vector<qint64>{expense}));
  EXPECT_EQ(QueryIds(ctx, SearchLedgerQuery(LedgerSearchField::Item, "'")), (std::vector<qint64>{odd}));
  EXPECT_EQ(QueryIds(ctx, SearchLedgerQuery(LedgerSearchField::Number, "1")).size(), 3u);
  // Date ranges include both days; a one-day range is that day.
  EXPECT_EQ(SortedIds(ctx, LedgerByDateQuery(QDate(2026, 12, 1), QDate(2026, 12, 8))),
            (std::vector<qint64>{income, odd}));
  EXPECT_EQ(SortedIds(ctx, LedgerByDateQuery(QDate(2026, 11, 30), QDate(2026, 11, 30))),
            (std::vector<qint64>{expense}));
  EXPECT_EQ(SortedIds(ctx, LedgerOfDayQuery(QDate(2026, 12, 8))), (std::vector<qint64>{income}));
  EXPECT_EQ(SortedIds(ctx, LedgerOfMonthQuery(QDateTime(QDate(2026, 12, 31), QTime(23, 59)))),
            (std::vector<qint64>{income, odd}));
  EXPECT_EQ(SortedIds(ctx, LedgerOfMonthQuery(QDateTime(QDate(2025, 12, 8), QTime(9, 0)))).size(), 0u);
}

TEST_P(LedgerLogicOn, PickListsSkipEmptyValues) {
  InsertLedgerRow(ctx().db, "收入", 1, "2026-12-01 00:00:00", "房租", "");
  InsertLedgerRow(ctx().db, "支出", 1, "2026-12-01 00:00:00", "房租", "现金");
  InsertLedgerRow(ctx().db, "支出", 1, "2026-12-01 00:00:00", "", "转账");
  EXPECT_EQ(LedgerPickValues(ctx(), LedgerPick::Item).value(), QStringList{"房租"});
  EXPECT_EQ(LedgerPickValues(ctx(), LedgerPick::Note).value().size(), 2);
}

TEST_P(LedgerLogicOn, DeleteIsForTheSuperAdministratorAndReportsAMissingRow) {
  ctx().session.SetUser(QStringLiteral("小王"), QStringLiteral("735"));
  const qint64 id = InsertLedgerRow(ctx().db, "收入", 1);
  auto refused = DeleteLedgerEntry(ctx(), id);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().kind, ActionError::Kind::NotAllowed);
  EXPECT_EQ(CountRows(ctx().db, "other"), 1);

  ctx().session.SetUser(kSuperAdministrator, QStringLiteral("735"));
  const qint64 own = InsertLedgerRow(ctx().db, "收入", 1);
  EXPECT_TRUE(DeleteLedgerEntry(ctx(), own));
  auto again = DeleteLedgerEntry(ctx(), own);
  ASSERT_FALSE(again);
  EXPECT_EQ(again.error().kind, ActionError::Kind::Gone);
  EXPECT_EQ(IdOfText("12"), 12);
  EXPECT_EQ(IdOfText(""), 0);
  EXPECT_EQ(IdOfText("1.5"), 0);
  EXPECT_EQ(IdOfText("0.00000001"), 0);
}

TEST(LedgerLogic, EachQuerySaysWhatItCoversForThePrintedHeading) {
  EXPECT_EQ(AllLedgerQuery().scope, "全部记录");
  EXPECT_EQ(LedgerOfMonthQuery(QDateTime(QDate(2026, 2, 14), QTime(9, 0))).scope, "2026年2月1日至2026年2月28日");
  EXPECT_EQ(LedgerOfDayQuery(QDate(2026, 10, 5)).scope, "2026年10月5日");
  EXPECT_EQ(LedgerByDateQuery(QDate(2026, 10, 1), QDate(2026, 10, 31)).scope, "2026年10月1日至2026年10月31日");
  EXPECT_EQ(SearchLedgerQuery(LedgerSearchField::Number, "2026").scope, "编号含“2026”");
  EXPECT_EQ(SearchLedgerQuery(LedgerSearchField::Number, "").scope, "全部记录");
}
