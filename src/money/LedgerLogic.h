#pragma once
// The ledger of other income and expenses (table `other`): its queries, the entry
// numbers, the checks and the insertion of an entry, and its delete. No widgets;
// errors come back as values.

#include <QDate>
#include <QDateTime>
#include <optional>

#include "data/RowWriter.h"
#include "money/MoneyLogic.h"

namespace hemulu {

inline const QString kIncomeType = QStringLiteral("收入");
inline const QString kExpenseType = QStringLiteral("支出");

enum class LedgerKind { Income, Expense };

MoneyQuery AllLedgerQuery();

// The four search boxes; each searches its own column and ignores the others.
enum class LedgerSearchField { Type, Number, Item, Note };
// Empty text gives every entry; otherwise the column contains the text as typed.
MoneyQuery SearchLedgerQuery(LedgerSearchField field, const QString& text);
// Entries dated from the first day to the last, both included.
MoneyQuery LedgerByDateQuery(const QDate& first, const QDate& last);
MoneyQuery LedgerOfDayQuery(const QDate& day);
// Entries of the calendar month of `now`.
MoneyQuery LedgerOfMonthQuery(const QDateTime& now);

// Values of the item and the note pick lists, in the grouping query's order.
enum class LedgerPick { Item, Note };
[[nodiscard]] std::expected<QStringList, DbError> LedgerPickValues(AppContext& ctx, LedgerPick pick);

// The proposed entry number: year, month, day, hour, minute, second for income; the
// second before the minute for an expense. No leading zeros, no separators.
QString NewEntryNumber(const QDateTime& now, LedgerKind kind);

// number(quantity) × number(price), a text that is not a number counting 0.
QString LiveAmountText(const QString& quantity, const QString& price);

// One entry form as typed.
struct LedgerForm {
  QString item, number, quantity, price, amount, note;
  QDate date;
};

enum class LedgerFormField { Item, Number, Amount };
struct LedgerProblem {
  LedgerFormField field;
  QString message;  // shown with the caption "请填写完整信息"
};
// The three checks in order: item, number, amount must not be empty.
std::optional<LedgerProblem> ValidateLedgerForm(LedgerKind kind, const LedgerForm& form);

// Inserts the entry field by field with the codes [099] … [093]. An empty quantity
// stores none; a quantity, price or amount that is not a number fails its own code
// ([096], [095], [094]); an empty price counts as 0.
[[nodiscard]] std::expected<qint64, WriteError> RecordLedgerEntry(AppContext& ctx, LedgerKind kind,
                                                                  const LedgerForm& form);

// Deletes an entry; refused to operators.
[[nodiscard]] std::expected<void, ActionError> DeleteLedgerEntry(AppContext& ctx, qint64 id);

}  // namespace hemulu
