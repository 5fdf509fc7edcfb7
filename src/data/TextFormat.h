#pragma once
// The text forms of numbers and dates used in cells, totals, boxes and SQL values.

#include <QDateTime>
#include <QString>
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
// Strict reading of a typed number: the whole trimmed text must be a finite number.
std::optional<double> ParseNumber(const QString& text);
// A box's value: empty, non-numeric or non-finite text counts as 0.
double NumberValue(const QString& text);

// Characters as the database counts them: a surrogate pair is one character.
qsizetype CharacterCount(const QString& text);

// "2012年3月4日", with "%d时%d分%d秒" / "%d时%d分" / "%d时" only when not midnight.
QString DateCellText(const QDateTime& value);
// The reverse of DateCellText; nullopt when the text is not such a date.
std::optional<QDateTime> ParseDateCellText(const QString& text);

// The stored form, bound into SQL: "YYYY-MM-DD HH:MM:SS" in local time.
QString DateSqlText(const QDateTime& value);
std::optional<QDateTime> ParseDateSqlText(const QString& text);

}  // namespace hemulu
