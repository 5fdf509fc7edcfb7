#include "data/TextFormat.h"

#include <QRegularExpression>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace hemulu {

QString NumberText(double value) {
  if (value == 0.0) value = 0.0;  // no "-0" in a cell
  char buf[40];
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 13);
  return QString::fromLatin1(buf, static_cast<qsizetype>(r.ptr - buf));
}

std::optional<double> ParseNumber(const QString& text) {
  const QString t = text.trimmed();
  if (t.isEmpty()) return std::nullopt;
  bool ok = false;
  const double v = t.toDouble(&ok);
  if (!ok || !std::isfinite(v)) return std::nullopt;
  return v;
}

double NumberValue(const QString& text) { return ParseNumber(text).value_or(0.0); }

qsizetype CharacterCount(const QString& text) {
  return std::count_if(text.begin(), text.end(), [](QChar c) { return !c.isLowSurrogate(); });
}

QString DateCellText(const QDateTime& value) {
  const QDate d = value.date();
  const QTime t = value.time();
  QString s = QStringLiteral("%1年%2月%3日").arg(d.year()).arg(d.month()).arg(d.day());
  if (t.second() != 0)
    s += QStringLiteral("%1时%2分%3秒").arg(t.hour()).arg(t.minute()).arg(t.second());
  else if (t.minute() != 0)
    s += QStringLiteral("%1时%2分").arg(t.hour()).arg(t.minute());
  else if (t.hour() != 0)
    s += QStringLiteral("%1时").arg(t.hour());
  return s;
}

std::optional<QDateTime> ParseDateCellText(const QString& text) {
  static const QRegularExpression re(
      QStringLiteral("^\\s*(\\d{1,4})年(\\d{1,2})月(\\d{1,2})日(?:(\\d{1,2})时)?(?:(\\d{1,2})分)?(?:(\\d{1,2})秒)?\\s*$"));
  const auto m = re.match(text);
  if (!m.hasMatch()) return std::nullopt;
  const QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
  const QTime t(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
  if (!d.isValid() || !t.isValid()) return std::nullopt;
  return QDateTime(d, t);
}

QString DateSqlText(const QDateTime& value) { return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }

std::optional<QDateTime> ParseDateSqlText(const QString& text) {
  QDateTime v = QDateTime::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
  if (!v.isValid()) {
    const QDate d = QDate::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd"));
    if (!d.isValid()) return std::nullopt;
    v = QDateTime(d, QTime(0, 0));
  }
  return v;
}

}  // namespace hemulu
