#pragma once
// The ledger's and the bank's lists without widgets: their columns, their fill plans
// with the colour rules and totals, and the ledger's rule telling income from expense.

#include <QStringView>
#include <optional>
#include <vector>

#include "lists/ListPlan.h"
#include "money/LedgerLogic.h"

namespace hemulu {

// ---- Ledger ----
// Columns of the ledger grid (field i of the plan lands in column i + 1).
inline constexpr int kLedgerCols = 10;
inline constexpr int kLedgerIdCol = 1;
inline constexpr int kLedgerTypeCol = 2;
inline constexpr int kLedgerItemCol = 4;
inline constexpr int kLedgerAmountCol = 7;
inline constexpr int kLedgerNoteCol = 9;

// What an entry's type names, told by the exact text: "收入 " with a blank, or any
// other text, is neither (its amount counts as unknown).
inline bool IsIncomeType(QStringView type) { return type == kIncomeType; }
inline bool IsExpenseType(QStringView type) { return type == kExpenseType; }
std::optional<LedgerKind> LedgerKindOfType(QStringView type);

// The ledger's list: expenses coloured, sorted by amount, and three totals of the
// amount (income, expense, unknown) standing in the item, amount and note columns.
ListPlan LedgerListPlan(const MoneyQuery& query);

struct LedgerSums {
  double income = 0, expense = 0, unknown = 0;
};
// The sums among the totals of a fill of LedgerListPlan.
LedgerSums LedgerSumsOf(const std::vector<double>& totals);

// ---- Bank ----
// Columns of the bank grid's detail view, and of its summary view.
inline constexpr int kBankDetailCols = 8;
inline constexpr int kBankSummaryCols = 4;
inline constexpr int kBankIdCol = 1;
inline constexpr int kBankKindCol = 4;
inline constexpr int kBankAmountCol = 5;
inline constexpr int kBankNoteCol = 7;
inline constexpr int kBankBalanceCol = 3;  // summary view

// The movements: outgoing ones coloured, no totals.
ListPlan BankDetailListPlan(const MoneyQuery& query);
// Each bank account with its balance.
ListPlan BankSummaryListPlan();

}  // namespace hemulu
