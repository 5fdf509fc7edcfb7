#pragma once
// Bank deposits and withdrawals (table `bank`): the queries of the detail and summary
// views, the sign rule, the checks, and the insertion, change and delete of a
// movement. No widgets; errors come back as values.

#include <QDate>
#include <array>
#include <optional>

#include "data/RowWriter.h"
#include "money/MoneyLogic.h"

namespace hemulu {

// The four kinds in the order of the window's list: 存款, 取款, 转入, 转出.
const std::array<QString, 4>& MovementKinds();
// The index of a kind's text in that list, -1 when it is none of the four.
int MovementKindIndex(const QString& kind);

// The stored amount: deposits (index 0) and transfers in (index 2) as typed, every
// other index, none (-1) included, negated.
double SignedAmount(int kind_index, double typed);
// Withdrawals and transfers out take the outgoing colour in the list.
bool IsOutgoingKind(QStringView kind);

MoneyQuery AllBankQuery();
// Empty text gives every movement; otherwise the bank name contains the text.
MoneyQuery SearchBankQuery(const QString& bank_text);
MoneyQuery BankByDateQuery(const QDate& first, const QDate& last);
// One row per bank and account with its balance (总计).
MoneyQuery BankSummaryQuery();

enum class BankPick { Bank, Account };
[[nodiscard]] std::expected<QStringList, DbError> BankPickValues(AppContext& ctx, BankPick pick);

// The movement window as typed; kind_index is the selected item of the kind list.
struct BankForm {
  int kind_index = 0;
  QString bank, account, amount, note;
  QDate date;
};

enum class BankFormField { Bank, Amount };
struct BankProblem {
  BankFormField field;
  QString message;  // shown with the caption "请填写完整信息"
};
// Bank name and amount must be given, and the amount must read as a number.
std::optional<BankProblem> ValidateBankForm(const BankForm& form);

// Inserts the movement with the code [099] on every field (a form that fails the
// checks above fails it too).
[[nodiscard]] std::expected<qint64, WriteError> InsertBankMovement(AppContext& ctx, const BankForm& form);
// Rewrites the movement `id` from the form; a field the column would refuse gives
// "错误代码 [099]" as on insertion, and a row that no longer exists is reported.
[[nodiscard]] std::expected<void, ActionError> UpdateBankMovement(AppContext& ctx, qint64 id, const BankForm& form);
// What a command on a movement that no longer exists is told.
inline const QString kMovementGoneText = QStringLiteral("该存取记录已不存在，可能已被删除。");
// Deletes a movement; refused to operators.
[[nodiscard]] std::expected<void, ActionError> DeleteBankMovement(AppContext& ctx, qint64 id);

// One movement as stored.
struct BankMovement {
  qint64 id = 0;
  QString bank, account, kind, note;
  double amount = 0;
  QDate date;
};
// The movement; nullopt when there is no such row.
[[nodiscard]] std::expected<std::optional<BankMovement>, DbError> LoadBankMovement(AppContext& ctx, qint64 id);

// What the change window shows for a movement: the kind's index (-1 for none of the
// four) and the amount without its sign.
BankForm ChangeFormOf(const BankMovement& movement);

}  // namespace hemulu
