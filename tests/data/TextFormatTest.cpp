#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "data/TextFormat.h"

using namespace hemulu;

namespace {
// The printf-style "%.13g", without "-0": what the fast path must always agree with.
QString GeneralForm(double value) {
  if (value == 0.0) value = 0.0;
  char buf[40];
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 13);
  return QString::fromLatin1(buf, static_cast<qsizetype>(r.ptr - buf));
}
}  // namespace

TEST(TextFormat, NumbersAreShortestWithThirteenDigits) {
  EXPECT_EQ(NumberText(2468000.5), "2468000.5");
  EXPECT_EQ(NumberText(0.1 + 0.2), "0.3");
  EXPECT_EQ(NumberText(3.0), "3");
  EXPECT_EQ(NumberText(12.5), "12.5");
  EXPECT_EQ(NumberText(-0.0), "0");
  EXPECT_EQ(NumberText(1234567890123456.0), "1.234567890123e+15");
  EXPECT_EQ(NumberText(1.0 / 3.0), "0.3333333333333");
}

TEST(TextFormat, TypedNumbersAreReadStrictly) {
  EXPECT_EQ(ParseNumber(" 2.9 "), 2.9);
  EXPECT_FALSE(ParseNumber("abc"));
  EXPECT_FALSE(ParseNumber("12abc"));
  EXPECT_FALSE(ParseNumber(""));
  EXPECT_FALSE(ParseNumber("1e309"));  // overflows to infinity
  EXPECT_FALSE(ParseNumber("nan"));
  EXPECT_EQ(NumberValue("x"), 0.0);
  EXPECT_EQ(NumberValue("-5"), -5.0);
}

TEST(TextFormat, CellDatesShowTheTimeOnlyWhenNotMidnight) {
  EXPECT_EQ(DateCellText(QDateTime(QDate(2012, 3, 4), QTime(0, 0))), "2012年3月4日");
  EXPECT_EQ(DateCellText(QDateTime(QDate(2012, 3, 4), QTime(9, 5, 7))), "2012年3月4日9时5分7秒");
  EXPECT_EQ(DateCellText(QDateTime(QDate(2012, 3, 4), QTime(9, 5, 0))), "2012年3月4日9时5分");
  EXPECT_EQ(DateCellText(QDateTime(QDate(2012, 3, 4), QTime(9, 0, 0))), "2012年3月4日9时");
  EXPECT_EQ(DateCellText(QDateTime(QDate(2012, 3, 4), QTime(0, 0, 5))), "2012年3月4日0时0分5秒");

  for (const QDateTime& dt :
       {QDateTime(QDate(2012, 3, 4), QTime(0, 0)), QDateTime(QDate(2026, 12, 31), QTime(23, 59, 1)),
        QDateTime(QDate(2026, 1, 9), QTime(9, 30)), QDateTime(QDate(2026, 1, 9), QTime(0, 0, 5))})
    EXPECT_EQ(ParseDateCellText(DateCellText(dt)), dt) << DateCellText(dt).toStdString();
  EXPECT_FALSE(ParseDateCellText("2026年2月30日"));
  EXPECT_FALSE(ParseDateCellText("合计："));
}

TEST(TextFormat, SqlDatesSortAsText) {
  EXPECT_EQ(DateSqlText(QDateTime(QDate(2012, 3, 4), QTime(5, 6, 7))), "2012-03-04 05:06:07");
  EXPECT_LT(DateSqlText(QDateTime(QDate(2026, 9, 30), QTime(0, 0))),
            DateSqlText(QDateTime(QDate(2026, 10, 1), QTime(0, 0))));
  EXPECT_EQ(ParseDateSqlText("2012-03-04"), QDateTime(QDate(2012, 3, 4), QTime(0, 0)));
  EXPECT_FALSE(ParseDateSqlText("yesterday"));
}

TEST(TextFormat, FastNumberTextMatchesTheGeneralForm) {
  std::vector<double> values = {0.0,       -0.0,     1,       -1,          3.0,     12.5,          0.1 + 0.2,
                                2468000.5, 0.0001,   0.00012, 0.00001,     1e13,    9999999999999, 9999999999999.5,
                                1e20,      -1234.56, 0.05,    123456.7891, 1.0 / 3, 2.675,         1e-300};
  std::mt19937 rng(7);
  for (int i = 0; i < 200000; ++i) {
    const int decimals = static_cast<int>(rng() % 6);
    const double whole = static_cast<double>(rng() % 100000000) * ((rng() & 1) ? 1 : -1);
    double v = whole;
    for (int d = 0; d < decimals; ++d) v /= 10;
    values.push_back(v);
    values.push_back(std::ldexp(static_cast<double>(rng()), static_cast<int>(rng() % 80) - 60));
  }
  for (double v : values) {
    char buf[40];
    bool exact = false;
    const std::size_t n = NumberChars(v, buf, exact);
    const QString text = QString::fromLatin1(buf, static_cast<qsizetype>(n));
    ASSERT_EQ(text, GeneralForm(v)) << v;
    // A text said to be exact reads back as the value itself (the fill sorts by it).
    if (exact) {
      ASSERT_EQ(ParseNumber(text), v == 0.0 ? 0.0 : v) << v;
    }
  }
  bool exact = true;
  char buf[40];
  NumberChars(2.0000000000001, buf, exact);  // prints as "2"
  EXPECT_FALSE(exact);
}

TEST(TextFormat, EveryDateReaderRefusesDaysTheCalendarHasNot) {
  const auto stored = [](const char* text) {
    return ReadStoredDate(reinterpret_cast<const unsigned char*>(text), std::strlen(text)).has_value();
  };
  EXPECT_TRUE(stored("2024-02-29 08:30:00"));  // a leap year
  EXPECT_TRUE(stored("2000-02-29"));
  EXPECT_TRUE(stored(" 2026-3-4T5:06:07 "));
  EXPECT_TRUE(stored("2026-3-4 5:06"));
  EXPECT_TRUE(stored("2026-12-31 23:59:59"));
  for (const char* impossible :
       {"2026/12/31 23:59:59", "2026-12-31 23:59:5x", "2026-02-29 00:00:00", "2026-02-30", "2025-02-29", "1900-02-29",
        "2026-04-31 00:00:00", "2026-13-01", "2026-00-10", "2026-01-00", "2026-01-01 24:00:00", "2026-01-01 10:60:00"})
    EXPECT_FALSE(stored(impossible)) << impossible;

  EXPECT_TRUE(ReadCellDate(u"2024年2月29日"));
  EXPECT_FALSE(ReadCellDate(u"2026年2月30日"));
  EXPECT_FALSE(ReadCellDate(u"2026年6月31日5时"));
  EXPECT_FALSE(ParseDateCellText("2025年2月29日"));
  EXPECT_FALSE(ParseDateSqlText("2026-02-30 00:00:00"));
  EXPECT_FALSE(ParseDateSqlText("2026-2-3"));  // the stored form has two-digit fields
  EXPECT_FALSE(ParseDateSqlText("0000-01-01"));
  // A stored text that is no real date is shown as it stands.
  EXPECT_EQ(DateFieldText(u"2026-02-30 00:00:00"), "2026-02-30 00:00:00");
  EXPECT_EQ(DateFieldText(u"2024-02-29 00:00:00"), "2024年2月29日");
}

TEST(TextFormat, OneNumberReaderForBoxesAndCells) {
  EXPECT_EQ(ParseNumber(u"+2.5"), 2.5);
  EXPECT_EQ(ParseNumber(u" -1e3 "), -1000.0);
  EXPECT_EQ(ParseNumber(u".5"), 0.5);
  for (const char16_t* bad : {u"1,000", u"0x10", u"inf", u"1e309", u"２", u"1 2", u""})
    EXPECT_FALSE(ParseNumber(QStringView(bad))) << QString::fromUtf16(bad).toStdString();
}
