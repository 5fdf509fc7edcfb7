#include "money/MoneyFill.h"

#include "money/BankLogic.h"

namespace hemulu {

namespace {

// Field numbers of a ledger record and of a bank movement (field i lands in column i + 1).
enum LedgerField { kLId, kLType, kLNumber, kLItem, kLQuantity, kLPrice, kLAmount, kLDate, kLNote };
enum BankField { kBId, kBBank, kBAccount, kBKind, kBAmount, kBDate, kBNote };

}  // namespace

std::optional<LedgerKind> LedgerKindOfType(QStringView type) {
  if (IsIncomeType(type)) return LedgerKind::Income;
  if (IsExpenseType(type)) return LedgerKind::Expense;
  return std::nullopt;
}

ListPlan LedgerListPlan(const MoneyQuery& query) {
  ListPlan plan;
  plan.sql = query.sql.toStdString();
  plan.server_sql = query.server_sql.toStdString();
  plan.values.assign(query.params.begin(), query.params.end());
  plan.fields = {{"ID", FieldKind::Number},
                 {"类型"},
                 {"编号"},
                 {"项目"},
                 {"数量", FieldKind::OptionalNumber},
                 {"单价", FieldKind::Number},
                 {"金额", FieldKind::Number},
                 {"日期", FieldKind::Date},
                 {"备注"}};
  const FieldTest expense = TextTest(kLType, IsExpenseType);
  plan.totals = {
      {kLAmount, kLedgerItemCol, TextTest(kLType, IsIncomeType)},
      {kLAmount, kLedgerAmountCol, expense},
      {kLAmount, kLedgerNoteCol, TextTest(kLType, [](QStringView type) { return !LedgerKindOfType(type); })}};
  plan.colour_rules.push_back({QStringLiteral("outcolor"), expense});
  plan.colour_first_col = 5;
  plan.colour_last_col = 7;
  plan.label_column = -1;
  plan.sort_column = kLedgerAmountCol;
  plan.totals_first_col = 1;
  plan.totals_last_col = 9;
  plan.line_first_col = 1;
  plan.line_last_col = -1;
  return plan;
}

LedgerSums LedgerSumsOf(const std::vector<double>& totals) {
  if (totals.size() < 3) return {};
  return LedgerSums{totals[0], totals[1], totals[2]};
}

ListPlan BankDetailListPlan(const MoneyQuery& query) {
  ListPlan plan;
  plan.sql = query.sql.toStdString();
  plan.server_sql = query.server_sql.toStdString();
  plan.values.assign(query.params.begin(), query.params.end());
  plan.fields = {{"ID", FieldKind::Number}, {"银行"}, {"账户"}, {"方式"}, {"金额", FieldKind::Number},
                 {"日期", FieldKind::Date}, {"备注"}};
  plan.colour_rules.push_back({QStringLiteral("outcolor"), TextTest(kBKind, IsOutgoingKind)});
  plan.colour_first_col = 4;
  plan.colour_last_col = 5;
  plan.sort_column = kBankNoteCol;
  plan.line_first_col = 1;
  plan.plain_last_row = true;
  return plan;
}

ListPlan BankSummaryListPlan() {
  ListPlan plan;
  const MoneyQuery query = BankSummaryQuery();
  plan.sql = query.sql.toStdString();
  plan.server_sql = query.server_sql.toStdString();
  plan.values.assign(query.params.begin(), query.params.end());
  plan.fields = {{"银行"}, {"账户"}, {"总计", FieldKind::Number}};
  plan.sort_column = kBankBalanceCol;
  plan.line_first_col = 1;
  plan.plain_last_row = true;
  return plan;
}

}  // namespace hemulu
