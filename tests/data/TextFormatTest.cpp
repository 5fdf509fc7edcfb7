#include <gtest/gtest.h>

#include "data/TextFormat.h"

using namespace hemulu;

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

  for (const QDateTime& dt : {QDateTime(QDate(2012, 3, 4), QTime(0, 0)), QDateTime(QDate(2026, 12, 31), QTime(23, 59, 1)),
                              QDateTime(QDate(2026, 1, 9), QTime(9, 30)), QDateTime(QDate(2026, 1, 9), QTime(0, 0, 5))})
    EXPECT_EQ(ParseDateCellText(DateCellText(dt)), dt) << DateCellText(dt).toStdString();
  EXPECT_FALSE(ParseDateCellText("2026年2月30日"));
  EXPECT_FALSE(ParseDateCellText("合计："));
}

TEST(TextFormat, SqlDatesSortAsText) {
  EXPECT_EQ(DateSqlText(QDateTime(QDate(2012, 3, 4), QTime(5, 6, 7))), "2012-03-04 05:06:07");
  EXPECT_LT(DateSqlText(QDateTime(QDate(2026, 9, 30), QTime(0, 0))), DateSqlText(QDateTime(QDate(2026, 10, 1), QTime(0, 0))));
  EXPECT_EQ(ParseDateSqlText("2012-03-04"), QDateTime(QDate(2012, 3, 4), QTime(0, 0)));
  EXPECT_FALSE(ParseDateSqlText("yesterday"));
}
