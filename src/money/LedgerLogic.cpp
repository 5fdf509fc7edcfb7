#include "money/LedgerLogic.h"

#include <cmath>

#include "data/EngineSql.h"
#include "data/TextFormat.h"

namespace hemulu {

namespace {

const char* SearchColumn(LedgerSearchField field) {
  switch (field) {
    case LedgerSearchField::Type:
      return "类型";
    case LedgerSearchField::Number:
      return "编号";
    case LedgerSearchField::Item:
      return "项目";
    case LedgerSearchField::Note:
      return "备注";
  }
  return "类型";
}

// Entries dated on or after `from` and before `until` (stored dates compare as text).
MoneyQuery DateRangeQuery(const QDate& from, const QDate& until) {
  return {QStringLiteral("select * from other where 日期>=? and 日期<? order by 日期, \"ID\""),
          {DateSqlText(QDateTime(from, QTime(0, 0))), DateSqlText(QDateTime(until, QTime(0, 0)))},
          PeriodText(from, until.addDays(-1))};
}

}  // namespace

MoneyQuery AllLedgerQuery() { return {QStringLiteral("select * from other order by \"ID\""), {}}; }

MoneyQuery SearchLedgerQuery(LedgerSearchField field, const QString& text) {
  if (text.isEmpty()) return AllLedgerQuery();
  const QString column = QString::fromUtf8(SearchColumn(field));
  // The server's LIKE minds case; ILIKE under "C" folds ASCII letters only, as the file's LIKE does.
  return {QString::fromUtf8(FileSql("select * from other where %1 like ? escape '\\'")).arg(column),
          {ContainsPattern(text)},
          SearchScope(column, text),
          QString::fromUtf8(ServerSql("select * from other where %1 COLLATE \"C\" ilike ? escape '\\' order by \"ID\""))
              .arg(column)};
}

MoneyQuery LedgerByDateQuery(const QDate& first, const QDate& last) { return DateRangeQuery(first, last.addDays(1)); }

MoneyQuery LedgerOfDayQuery(const QDate& day) { return DateRangeQuery(day, day.addDays(1)); }

MoneyQuery LedgerOfMonthQuery(const QDateTime& now) {
  const QDate first(now.date().year(), now.date().month(), 1);
  return DateRangeQuery(first, first.addMonths(1));
}

std::expected<QStringList, DbError> LedgerPickValues(AppContext& ctx, LedgerPick pick) {
  return GroupedValues(ctx, "other", pick == LedgerPick::Item ? "项目" : "备注");
}

QString NewEntryNumber(const QDateTime& now, LedgerKind kind) {
  // One reading of the clock for every part, so a second that ticks over meanwhile
  // cannot mix two moments in one number.
  const QDate d = now.date();
  const QTime t = now.time();
  QString number =
      QString::number(d.year()) + QString::number(d.month()) + QString::number(d.day()) + QString::number(t.hour());
  if (kind == LedgerKind::Income)
    number += QString::number(t.minute()) + QString::number(t.second());
  else
    number += QString::number(t.second()) + QString::number(t.minute());
  return number;
}

QString LiveAmountText(const QString& quantity, const QString& price) {
  const double amount = NumberValue(quantity) * NumberValue(price);
  return NumberText(std::isfinite(amount) ? amount : 0.0);
}

std::optional<LedgerProblem> ValidateLedgerForm(LedgerKind kind, const LedgerForm& form) {
  const bool income = kind == LedgerKind::Income;
  if (form.item.isEmpty())
    return LedgerProblem{LedgerFormField::Item,
                         income ? QStringLiteral("收入项目必须填写") : QStringLiteral("支出项目必须填写")};
  if (form.number.isEmpty())
    return LedgerProblem{LedgerFormField::Number,
                         income ? QStringLiteral("收入编号必须填写") : QStringLiteral("支出编号必须填写")};
  if (form.amount.isEmpty())
    return LedgerProblem{LedgerFormField::Amount,
                         income ? QStringLiteral("收入金额必须填写") : QStringLiteral("支出金额必须填写")};
  return std::nullopt;
}

std::expected<qint64, WriteError> RecordLedgerEntry(AppContext& ctx, LedgerKind kind, const LedgerForm& f) {
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(UnavailableWriteError(open.error()));
  // A number box's text goes to the writer as typed, so one that is not a number
  // fails its own code instead of being stored as 0; an empty price is 0.
  const auto number_or_zero = [](const QString& text) -> QVariant {
    return text.trimmed().isEmpty() ? QVariant(0.0) : QVariant(text);
  };
  RowWriter row(ctx.db, "other");
  row.Set("类型", kind == LedgerKind::Income ? kIncomeType : kExpenseType, QStringLiteral("099"))
      .Set("编号", f.number, QStringLiteral("098"))
      .Set("项目", f.item, QStringLiteral("097"));
  // The quantity is optional: an empty box stores none.
  if (!f.quantity.trimmed().isEmpty()) row.Set("数量", f.quantity, QStringLiteral("096"));
  return row.Set("单价", number_or_zero(f.price), QStringLiteral("095"))
      .Set("金额", number_or_zero(f.amount), QStringLiteral("094"))
      .Set("日期", f.date, QStringLiteral("093"))
      .Set("备注", f.note, QStringLiteral("093"))
      .Insert();
}

std::expected<void, ActionError> DeleteLedgerEntry(AppContext& ctx, qint64 id) {
  return DeleteMoneyRow(ctx, "other", id);
}

}  // namespace hemulu
