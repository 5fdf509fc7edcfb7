#include "data/TextFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace hemulu {

namespace {

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The decimal digits of n, ending just before `end`; returns where they begin.
char* DigitsBefore(char* end, std::uint64_t n) {
  while (n >= 100) {
    const auto pair = static_cast<std::size_t>(n % 100) * 2;
    n /= 100;
    *--end = kDigitPairs[pair + 1];
    *--end = kDigitPairs[pair];
  }
  if (n >= 10) {
    *--end = kDigitPairs[n * 2 + 1];
    *--end = kDigitPairs[n * 2];
  } else {
    *--end = static_cast<char>('0' + n);
  }
  return end;
}

}  // namespace

std::size_t NumberChars(double value, char* buf, bool& exact) {
  exact = true;
  if (value == 0.0) {  // no "-0" in a cell
    buf[0] = '0';
    return 1;
  }
  // A value that is exactly the double nearest to n / 10^k, with n of at most 13 digits
  // and k ≤ 4, prints as that decimal under "%.13g": the binary error is far below the
  // 13th digit, and 1e-4 ≤ |value| < 1e13 keeps "%g" in fixed notation. Such a text
  // also reads back as exactly the value.
  static constexpr double kScale[] = {1, 10, 100, 1000, 10000};
  static constexpr std::uint64_t kLimit = 10000000000000;  // 13 digits
  const double magnitude = std::fabs(value);
  if (magnitude < 1e13) {
    for (int k = 0; k <= 4; ++k) {
      // Near a whole number the product is within a hair of it, so adding one half and
      // cutting off finds it; anywhere else the check below fails whatever is found.
      const auto n = static_cast<std::uint64_t>(magnitude * kScale[k] + 0.5);
      if (n >= kLimit) break;
      if (static_cast<double>(n) / kScale[k] != magnitude) continue;
      char digits[24];
      char* const digits_end = digits + sizeof digits;
      char* first = DigitsBefore(digits_end, n);
      const auto count = static_cast<int>(digits_end - first);
      char* p = buf;
      if (value < 0) *p++ = '-';
      if (count <= k) {
        *p++ = '0';
        *p++ = '.';
        for (int z = count; z < k; ++z) *p++ = '0';
        p = std::copy(first, digits_end, p);
      } else {
        p = std::copy(first, digits_end - k, p);
        if (k > 0) {
          *p++ = '.';
          p = std::copy(digits_end - k, digits_end, p);
        }
      }
      if (k > 0) {  // the shortest k leaves no trailing zero, but be sure
        while (p[-1] == '0') --p;
        if (p[-1] == '.') --p;
      }
      return static_cast<std::size_t>(p - buf);
    }
  }
  exact = false;
  const auto r = std::to_chars(buf, buf + 40, value, std::chars_format::general, 13);
  return static_cast<std::size_t>(r.ptr - buf);
}

std::size_t NumberChars(double value, char* buf) {
  bool exact = false;
  return NumberChars(value, buf, exact);
}

QString NumberText(double value) {
  char buf[40];
  return QString::fromLatin1(buf, static_cast<qsizetype>(NumberChars(value, buf)));
}

std::optional<double> ParseNumber(QStringView text) {
  text = text.trimmed();
  if (text.startsWith(u'+')) text = text.mid(1);
  if (text.isEmpty() || text.size() > 64) return std::nullopt;
  char buf[64];
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t ch = text[i].unicode();
    if (ch > 127) return std::nullopt;
    buf[i] = static_cast<char>(ch);
  }
  const char* end = buf + text.size();
  double v = 0;
  const auto r = std::from_chars(buf, end, v, std::chars_format::general);
  if (r.ec != std::errc() || r.ptr != end || !std::isfinite(v)) return std::nullopt;
  return v;
}

double NumberValue(const QString& text) { return ParseNumber(text).value_or(0.0); }

qsizetype CharacterCount(const QString& text) {
  return std::count_if(text.begin(), text.end(), [](QChar c) { return !c.isLowSurrogate(); });
}

bool IsRealDate(const DateParts& p) {
  if (p.month < 1 || p.month > 12 || p.day < 1) return false;
  if (p.hour < 0 || p.hour > 23 || p.minute < 0 || p.minute > 59 || p.second < 0 || p.second > 59) return false;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (p.year % 4 == 0 && p.year % 100 != 0) || p.year % 400 == 0;
  const int days = p.month == 2 && leap ? 29 : kDays[p.month - 1];
  return p.day <= days;
}

std::optional<DateParts> ReadStoredDate(const unsigned char* p, std::size_t size) {
  // The form the program itself writes, "YYYY-MM-DD HH:MM:SS", read in one go.
  static constexpr char kFull[] = "0000-00-00 00:00:00";
  if (size == sizeof kFull - 1) {
    bool full = true;
    for (std::size_t i = 0; i < size && full; ++i)
      full = kFull[i] == '0' ? p[i] >= '0' && p[i] <= '9' : p[i] == static_cast<unsigned char>(kFull[i]);
    if (full) {
      const auto two = [p](int at) { return (p[at] - '0') * 10 + (p[at + 1] - '0'); };
      const DateParts date{two(0) * 100 + two(2), two(5), two(8), two(11), two(14), two(17)};
      if (!IsRealDate(date)) return std::nullopt;
      return date;
    }
  }
  const unsigned char* end = p + size;
  static constexpr char kSeparators[] = {'-', '-', ' ', ':', ':'};
  int parts[6] = {0, 0, 0, 0, 0, 0};
  int count = 0;
  while (p < end && *p == ' ') ++p;
  while (count < 6) {
    int v = 0, digits = 0;
    while (p < end && *p >= '0' && *p <= '9' && digits < 4) {
      v = v * 10 + (*p - '0');
      ++p;
      ++digits;
    }
    if (digits == 0) return std::nullopt;
    parts[count++] = v;
    if (p == end || count == 6) break;
    if (*p != static_cast<unsigned char>(kSeparators[count - 1])) {
      if (count == 3 && *p == 'T') {  // ISO form with T
        ++p;
        continue;
      }
      return std::nullopt;
    }
    ++p;
  }
  while (p < end && *p == ' ') ++p;
  if (p != end || count < 3) return std::nullopt;
  const DateParts date{parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]};
  if (!IsRealDate(date)) return std::nullopt;
  return date;
}

namespace {
// Reads 1..max_digits digits followed by `unit`; advances `i`.
bool ReadCellPart(QStringView t, qsizetype& i, int max_digits, char16_t unit, int& out) {
  int v = 0, digits = 0;
  qsizetype k = i;
  while (k < t.size() && t[k] >= u'0' && t[k] <= u'9' && digits < max_digits) {
    v = v * 10 + (t[k].unicode() - u'0');
    ++k;
    ++digits;
  }
  if (digits == 0 || k >= t.size() || t[k] != unit) return false;
  i = k + 1;
  out = v;
  return true;
}

// nullopt for a date Qt's calendar has not got (year 0).
std::optional<QDateTime> ToDateTime(const DateParts& d) {
  const QDate date(d.year, d.month, d.day);
  if (!date.isValid()) return std::nullopt;
  return QDateTime(date, QTime(d.hour, d.minute, d.second));
}

std::size_t IntChars(int v, char16_t* out) {
  if (v >= 0 && v < 10) {
    out[0] = static_cast<char16_t>(u'0' + v);
    return 1;
  }
  if (v >= 10 && v < 100) {
    out[0] = static_cast<char16_t>(u'0' + v / 10);
    out[1] = static_cast<char16_t>(u'0' + v % 10);
    return 2;
  }
  char buf[16];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  const auto n = static_cast<std::size_t>(r.ptr - buf);
  for (std::size_t k = 0; k < n; ++k) out[k] = static_cast<char16_t>(buf[k]);
  return n;
}
}  // namespace

std::optional<DateParts> ReadCellDate(QStringView text) {
  text = text.trimmed();
  qsizetype i = 0;
  DateParts d;
  if (!ReadCellPart(text, i, 4, u'年', d.year) || !ReadCellPart(text, i, 2, u'月', d.month) ||
      !ReadCellPart(text, i, 2, u'日', d.day))
    return std::nullopt;
  // The time parts are optional, each only in its place.
  ReadCellPart(text, i, 2, u'时', d.hour);
  ReadCellPart(text, i, 2, u'分', d.minute);
  ReadCellPart(text, i, 2, u'秒', d.second);
  if (i != text.size() || !IsRealDate(d)) return std::nullopt;
  return d;
}

std::size_t CellDateChars(const DateParts& d, char16_t* out) {
  char16_t* p = out;
  const auto part = [&p](int v, char16_t unit) {
    p += IntChars(v, p);
    *p++ = unit;
  };
  part(d.year, u'年');
  part(d.month, u'月');
  part(d.day, u'日');
  if (d.second != 0 || d.minute != 0 || d.hour != 0) {
    part(d.hour, u'时');
    if (d.second != 0 || d.minute != 0) {
      part(d.minute, u'分');
      if (d.second != 0) part(d.second, u'秒');
    }
  }
  return static_cast<std::size_t>(p - out);
}

QString DateCellText(const DateParts& parts) {
  char16_t buf[64];
  return QString(reinterpret_cast<const QChar*>(buf), static_cast<qsizetype>(CellDateChars(parts, buf)));
}

QString DateCellText(const QDateTime& value) {
  const QDate d = value.date();
  const QTime t = value.time();
  return DateCellText(DateParts{d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()});
}

QString PeriodText(const QDate& first, const QDate& last) {
  const auto day = [](const QDate& d) { return DateCellText(DateParts{d.year(), d.month(), d.day()}); };
  return first == last ? day(first) : day(first) + QStringLiteral("至") + day(last);
}

QString SearchScope(const QString& what, const QString& text) {
  return text.isEmpty() ? kAllRecordsScope : what + QStringLiteral("含“") + text + QStringLiteral("”");
}

std::optional<QDateTime> ParseDateCellText(const QString& text) {
  const auto d = ReadCellDate(text);
  if (!d) return std::nullopt;
  return ToDateTime(*d);
}

QString DateFieldText(QStringView stored) {
  const QByteArray utf8 = stored.toUtf8();
  const auto d =
      ReadStoredDate(reinterpret_cast<const unsigned char*>(utf8.constData()), static_cast<std::size_t>(utf8.size()));
  return d ? DateCellText(*d) : stored.toString();
}

QString DateSqlText(const QDateTime& value) { return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }

std::optional<QDateTime> ParseDateSqlText(const QString& text) {
  const QByteArray t = text.trimmed().toLatin1();
  // Exactly the two stored shapes: digits where digits belong, the separators in place.
  static constexpr char kLong[] = "0000-00-00 00:00:00";
  if (t.size() != 19 && t.size() != 10) return std::nullopt;
  for (qsizetype i = 0; i < t.size(); ++i) {
    const bool digit = t[i] >= '0' && t[i] <= '9';
    if ((kLong[i] == '0') != digit || (!digit && t[i] != kLong[i])) return std::nullopt;
  }
  const auto d =
      ReadStoredDate(reinterpret_cast<const unsigned char*>(t.constData()), static_cast<std::size_t>(t.size()));
  if (!d) return std::nullopt;
  return ToDateTime(*d);
}

}  // namespace hemulu
