#include "data/TextFormat.h"

#include <QRegularExpression>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace hemulu {

std::size_t NumberChars(double value, char* buf) {
  if (value == 0.0) {  // no "-0" in a cell
    buf[0] = '0';
    return 1;
  }
  // A value that is exactly the double nearest to n / 10^k, with n of at most 13 digits
  // and k ≤ 4, prints as that decimal under "%.13g": the binary error is far below the
  // 13th digit, and 1e-4 ≤ |value| < 1e13 keeps "%g" in fixed notation.
  static constexpr double kScale[] = {1, 10, 100, 1000, 10000};
  if (std::fabs(value) < 1e13) {
    for (int k = 0; k <= 4; ++k) {
      const double scaled = std::round(value * kScale[k]);
      if (std::fabs(scaled) >= 1e13) break;
      if (scaled / kScale[k] != value) continue;
      char digits[24];
      const auto n = static_cast<long long>(std::fabs(scaled));
      const int count = static_cast<int>(std::to_chars(digits, digits + sizeof digits, n).ptr - digits);
      char* p = buf;
      if (value < 0) *p++ = '-';
      if (count <= k) {
        *p++ = '0';
        *p++ = '.';
        for (int z = count; z < k; ++z) *p++ = '0';
        p = std::copy(digits, digits + count, p);
      } else {
        p = std::copy(digits, digits + count - k, p);
        if (k > 0) {
          *p++ = '.';
          p = std::copy(digits + count - k, digits + count, p);
        }
      }
      if (k > 0) {  // the shortest k leaves no trailing zero, but be sure
        while (p[-1] == '0') --p;
        if (p[-1] == '.') --p;
      }
      return static_cast<std::size_t>(p - buf);
    }
  }
  const auto r = std::to_chars(buf, buf + 40, value, std::chars_format::general, 13);
  return static_cast<std::size_t>(r.ptr - buf);
}

QString NumberText(double value) {
  char buf[40];
  return QString::fromLatin1(buf, static_cast<qsizetype>(NumberChars(value, buf)));
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
