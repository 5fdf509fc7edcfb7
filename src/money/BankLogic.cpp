#include "money/BankLogic.h"

#include <cmath>

#include "data/EngineSql.h"
#include "data/Schema.h"
#include "data/TextFormat.h"

namespace hemulu {

const std::array<QString, 4>& MovementKinds() {
  static const std::array<QString, 4> kinds = {QStringLiteral("存款"), QStringLiteral("取款"), QStringLiteral("转入"),
                                               QStringLiteral("转出")};
  return kinds;
}

int MovementKindIndex(const QString& kind) {
  const auto& kinds = MovementKinds();
  for (std::size_t i = 0; i < kinds.size(); ++i)
    if (kinds[i] == kind) return static_cast<int>(i);
  return -1;
}

double SignedAmount(int kind_index, double typed) { return kind_index == 0 || kind_index == 2 ? typed : -typed; }

bool IsOutgoingKind(QStringView kind) { return kind == u"取款" || kind == u"转出"; }

MoneyQuery AllBankQuery() { return {QStringLiteral("select * from bank order by \"ID\""), {}}; }

MoneyQuery SearchBankQuery(const QString& bank_text) {
  if (bank_text.isEmpty()) return AllBankQuery();
  return {
      QString::fromUtf8(FileSql("select * from bank where 银行 like ? escape '\\'")),
      {ContainsPattern(bank_text)},
      SearchScope(QStringLiteral("银行"), bank_text),
      QString::fromUtf8(ServerSql("select * from bank where 银行 COLLATE \"C\" ilike ? escape '\\' order by \"ID\""))};
}

MoneyQuery BankByDateQuery(const QDate& first, const QDate& last) {
  return {QStringLiteral("select * from bank where 日期>=? and 日期<? order by 日期, \"ID\""),
          {DateSqlText(QDateTime(first, QTime(0, 0))), DateSqlText(QDateTime(last.addDays(1), QTime(0, 0)))},
          PeriodText(first, last)};
}

MoneyQuery BankSummaryQuery() {
  return {QStringLiteral("select 银行,账户,sum(金额) as 总计 from bank group by 银行,账户 order by 银行,账户"),
          {},
          QStringLiteral("各银行账户余额")};
}

std::expected<QStringList, DbError> BankPickValues(AppContext& ctx, BankPick pick) {
  return GroupedValues(ctx, "bank", pick == BankPick::Bank ? "银行" : "账户");
}

std::optional<BankProblem> ValidateBankForm(const BankForm& form) {
  if (form.bank.isEmpty()) return BankProblem{BankFormField::Bank, QStringLiteral("银行名称必须填写")};
  if (form.amount.isEmpty()) return BankProblem{BankFormField::Amount, QStringLiteral("金额必须填写")};
  // A typing slip must not be stored as a movement of 0.
  if (!ParseNumber(form.amount)) return BankProblem{BankFormField::Amount, QStringLiteral("金额必须是数字")};
  return std::nullopt;
}

namespace {

QString KindText(int kind_index) {
  const auto& kinds = MovementKinds();
  return kind_index >= 0 && kind_index < static_cast<int>(kinds.size()) ? kinds[static_cast<std::size_t>(kind_index)]
                                                                        : QString();
}

double StoredAmount(const BankForm& form) {
  return SignedAmount(form.kind_index, ParseNumber(form.amount).value_or(0.0));
}

const QString kCode = QStringLiteral("099");

}  // namespace

std::expected<qint64, WriteError> InsertBankMovement(AppContext& ctx, const BankForm& f) {
  if (ValidateBankForm(f)) return std::unexpected(WriteError{kCode, QString()});
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(UnavailableWriteError(open.error()));
  return RowWriter(ctx.db, "bank")
      .Set("银行", f.bank, kCode)
      .Set("账户", f.account, kCode)
      .Set("方式", KindText(f.kind_index), kCode)
      .Set("金额", StoredAmount(f), kCode)
      .Set("日期", f.date, kCode)
      .Set("备注", f.note, kCode)
      .Insert();
}

std::expected<void, ActionError> UpdateBankMovement(AppContext& ctx, qint64 id, const BankForm& f) {
  if (auto problem = ValidateBankForm(f))
    return std::unexpected(ActionError{ActionError::Kind::Invalid, problem->message});
  if (id <= 0)
    return std::unexpected(ActionError{ActionError::Kind::Invalid, QStringLiteral("没有选中要修改的存取记录。")});
  const QString kind = KindText(f.kind_index);
  // The same checks as an insertion, with its code, so the two windows answer alike.
  for (const QString* text : {&f.bank, &f.account, &kind})
    if (CharacterCount(*text) > schema::kTextLimit)
      return std::unexpected(ActionError{ActionError::Kind::Invalid, WriteError{kCode, QString()}.Message()});
  if (!f.date.isValid())
    return std::unexpected(ActionError{ActionError::Kind::Invalid, WriteError{kCode, QString()}.Message()});
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(DatabaseActionError(open.error()));
  auto changed =
      ctx.db.Execute("update bank set 银行=?,账户=?,方式=?,金额=?,日期=?,备注=? where \"ID\"=?", f.bank, f.account,
                     kind, StoredAmount(f), DateSqlText(QDateTime(f.date, QTime(0, 0))), f.note, id);
  if (!changed) return std::unexpected(DatabaseActionError(changed.error()));
  if (*changed == 0) return std::unexpected(ActionError{ActionError::Kind::Gone, kMovementGoneText});
  return {};
}

std::expected<void, ActionError> DeleteBankMovement(AppContext& ctx, qint64 id) {
  return DeleteMoneyRow(ctx, "bank", id);
}

std::expected<std::optional<BankMovement>, DbError> LoadBankMovement(AppContext& ctx, qint64 id) {
  if (id <= 0) return std::nullopt;
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(open.error());
  auto st = ctx.db.Prepare("select * from bank where \"ID\"=?");
  if (!st) return std::unexpected(st.error());
  st->BindAll(id);
  auto row = st->Step();
  if (!row) return std::unexpected(row.error());
  if (!*row) return std::nullopt;
  BankMovement m;
  m.id = st->Int("ID");
  m.bank = st->Text("银行");
  m.account = st->Text("账户");
  m.kind = st->Text("方式");
  m.amount = st->Double("金额");
  if (auto date = ParseDateSqlText(st->Text("日期"))) m.date = date->date();
  m.note = st->Text("备注");
  return m;
}

BankForm ChangeFormOf(const BankMovement& m) {
  BankForm f;
  f.kind_index = MovementKindIndex(m.kind);
  f.bank = m.bank;
  f.account = m.account;
  f.amount = NumberText(std::fabs(m.amount));
  f.date = m.date;
  f.note = m.note;
  return f;
}

}  // namespace hemulu
