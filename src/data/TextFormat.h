#pragma once
// The text forms of numbers and dates used in cells, totals, boxes and SQL values.

#include <QDateTime>
#include <QString>
#include <QStringView>
#include <cstddef>
#include <optional>

namespace hemulu {

// Quantities and money are compared with this tolerance everywhere.
inline constexpr double kTolerance = 1e-7;

// "%.13g": at most 13 significant digits, shortest form (3.0 → "3", 0.1 + 0.2 → "0.3").
QString NumberText(double value);
// The same text as bytes into buf (40 bytes are enough); returns its length. Fills
// write it straight into their row buffers; quantities and prices with up to four
// decimals take a fast path.
std::size_t NumberChars(double value, char* buf);
// The same; `exact` is set when the text is known to read back as exactly `value` (a
// sort by the text may then use the value itself), cleared when it may not.
std::size_t NumberChars(double value, char* buf, bool& exact);
// Strict reading of a typed number or a cell: the whole trimmed text must be a finite
// number in the C form ("+2.5", "-1e3", ".5"); the one number reader of the program.
std::optional<double> ParseNumber(QStringView text);
inline std::optional<double> ParseNumber(const QString& text) { return ParseNumber(QStringView(text)); }
// A box's value: empty, non-numeric or non-finite text counts as 0.
double NumberValue(const QString& text);

// Characters as the database counts them: a surrogate pair is one character.
qsizetype CharacterCount(const QString& text);

// ---- Dates: the one module that reads and writes their texts ----
// Every reader refuses a day the calendar does not have (2月30日, 2025年2月29日).

struct DateParts {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// Whether the calendar has the day (leap years counted) and the time is a real one.
bool IsRealDate(const DateParts& parts);

// The stored form "YYYY-MM-DD[ HH:MM[:SS]]" (a T for the blank too, fields of 1 to 4
// digits, blanks around), as stored files hold it; nullopt for anything else.
std::optional<DateParts> ReadStoredDate(const unsigned char* utf8, std::size_t size);
// The cell form "2012年3月4日[H时[M分[S秒]]]", blanks around; nullopt for anything else.
std::optional<DateParts> ReadCellDate(QStringView text);

// The cell form into `out` (32 units are enough); its length. "2012年3月4日", with
// "%d时%d分%d秒" / "%d时%d分" / "%d时" only when not midnight.
std::size_t CellDateChars(const DateParts& parts, char16_t* out);
QString DateCellText(const DateParts& parts);
QString DateCellText(const QDateTime& value);
// What a list covers, as its printed heading says it: one day "2026年10月5日", a period
// "2026年10月1日至2026年10月31日" (one day when both are the same), a search
// "商品编码含“007”", and every row.
inline const QString kAllRecordsScope = QStringLiteral("全部记录");
QString PeriodText(const QDate& first, const QDate& last);
QString SearchScope(const QString& what, const QString& text);
// The reverse of DateCellText; nullopt when the text is not such a date.
std::optional<QDateTime> ParseDateCellText(const QString& text);
// The cell form of a stored date text; the stored text as it is when it is not a date.
QString DateFieldText(QStringView stored);

// The stored form, bound into SQL: "YYYY-MM-DD HH:MM:SS" in local time.
QString DateSqlText(const QDateTime& value);
// Exactly "YYYY-MM-DD HH:MM:SS" or "YYYY-MM-DD" (blanks around ignored).
std::optional<QDateTime> ParseDateSqlText(const QString& text);

}  // namespace hemulu
