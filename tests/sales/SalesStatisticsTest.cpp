#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>

#include "EngineSupport.h"
#include "TestSupport.h"
#include "data/EmbeddedFiles.h"
#include "data/Schema.h"
#include "sales/BarChart.h"
#include "sales/SalesStatistics.h"

namespace hemulu {
namespace {

using test::TestApp;

void InsertSale(Database& db, const QString& date, double amount, double profit) {
  auto done = db.Execute(
      "INSERT INTO sell (名称, 销售数量, 销售金额, 销售日期, 净利润, \"UID\") VALUES ('可乐', 1, ?, ?, ?, 1)", amount,
      date, profit);
  ASSERT_TRUE(done) << done.error().message.toStdString();
}

void Exec(Database& db, const char* sql) {
  auto done = db.Execute(sql);
  ASSERT_TRUE(done) << sql << ": " << done.error().message.toStdString();
}

std::vector<double> Zeros(int n) { return std::vector<double>(static_cast<std::size_t>(n), 0.0); }

// The per-day totals table against sums taken straight from the sales.
void ExpectDailyTotalsMatchSales(Database& db) {
  auto direct = db.Prepare(
      "SELECT substr(销售日期, 1, 10) AS d, coalesce(sum(销售金额), 0), coalesce(sum(净利润), 0), max(销售金额), "
      "max(净利润), count(*) "
      "FROM sell WHERE 销售日期 IS NOT NULL GROUP BY d ORDER BY d");
  auto kept = db.Prepare("SELECT 日期, 销售金额, 净利润, 最大销售金额, 最大净利润, 笔数 FROM sell_day ORDER BY 日期");
  ASSERT_TRUE(direct && kept);
  for (;;) {
    auto a = direct->Step();
    auto b = kept->Step();
    ASSERT_TRUE(a && b);
    ASSERT_EQ(*a, *b) << "a different number of days";
    if (!*a) return;
    EXPECT_EQ(direct->Text(0), kept->Text(0));
    for (int c = 1; c <= 4; ++c) {
      EXPECT_EQ(direct->IsNull(c), kept->IsNull(c)) << kept->Text(0).toStdString() << " column " << c;
      EXPECT_NEAR(direct->Double(c), kept->Double(c), 1e-7) << kept->Text(0).toStdString() << " column " << c;
    }
    EXPECT_EQ(direct->Int(5), kept->Int(5));
  }
}

namespace {
class SalesStatisticsOn : public test::EngineTest {};
HEMULU_ON_BOTH_ENGINES(SalesStatisticsOn);
}  // namespace

TEST_P(SalesStatisticsOn, YearWithSalesOnlyInMarch) {
  Database& db = ctx().db;
  InsertSale(db, "2025-03-02 09:15:00", 1200.5, 300);
  InsertSale(db, "2025-03-31 23:59:59", 99.5, 20.25);
  InsertSale(db, "2024-12-31 23:00:00", 5000, 800);  // neighbouring years stay out
  InsertSale(db, "2026-01-01 00:00:00", 7000, 900);

  auto amount = MonthlyReport(ctx(), SalesFigure::Amount, 2025);
  ASSERT_TRUE(amount);
  std::vector<double> expected = Zeros(12);
  expected[2] = 1300;
  EXPECT_EQ(amount->values, expected);
  EXPECT_EQ(amount->title, "月销售金额统计报表");
  EXPECT_EQ(amount->category_caption, "月份");
  EXPECT_EQ(amount->unit, "元");
  EXPECT_EQ(amount->colour, 255);
  EXPECT_EQ(amount->divisions, 10);
  EXPECT_EQ(amount->labels.front(), "1月");
  EXPECT_EQ(amount->labels.back(), "12月");
  EXPECT_EQ(amount->scale_maximum, 1400);  // 13 rounded → 1300 + 100

  auto profit = MonthlyReport(ctx(), SalesFigure::Profit, 2025);
  ASSERT_TRUE(profit);
  EXPECT_EQ(profit->title, "月销售利润统计报表");
  EXPECT_DOUBLE_EQ(profit->values[2], 320.25);
  EXPECT_EQ(profit->scale_maximum, 400);  // 320 → 3.2 → 3
}

TEST_P(SalesStatisticsOn, ScaleMaximumFollowsTheYearsWholeTotal) {
  EXPECT_EQ(ScaleMaximum(12345), 12400);
  EXPECT_EQ(ScaleMaximum(12351), 12500);
  EXPECT_EQ(ScaleMaximum(12350), 12500);  // halves away from zero
  EXPECT_EQ(ScaleMaximum(0), 100);
  EXPECT_EQ(ScaleMaximum(-12350), -12300);
  EXPECT_EQ(WholeNumber(12345.9), 12345);
  EXPECT_EQ(WholeNumber(-7.5), -7);
  EXPECT_EQ(WholeNumber(12349.99999999), 12350);  // rounding noise of a sum is not a fraction
  Database& db = ctx().db;
  // The total, not the tallest month, sets the scale.
  InsertSale(db, "2024-01-10 10:00:00", 6000, 1);
  InsertSale(db, "2024-07-10 10:00:00", 6345.9, 1);
  auto low = MonthlyReport(ctx(), SalesFigure::Amount, 2024);
  ASSERT_TRUE(low);
  EXPECT_EQ(low->scale_maximum, 12400);
  InsertSale(db, "2024-07-11 10:00:00", 5.1, 1);  // 12351
  auto high = MonthlyReport(ctx(), SalesFigure::Amount, 2024);
  ASSERT_TRUE(high);
  EXPECT_EQ(high->scale_maximum, 12500);
}

TEST_P(SalesStatisticsOn, NegativeProfitBars) {
  Database& db = ctx().db;
  InsertSale(db, "2025-05-03 10:00:00", 100, -40);
  InsertSale(db, "2025-05-03 11:00:00", 100, -10.5);
  InsertSale(db, "2025-05-04 10:00:00", 100, 20);
  auto monthly = MonthlyReport(ctx(), SalesFigure::Profit, 2025);
  ASSERT_TRUE(monthly);
  EXPECT_DOUBLE_EQ(monthly->values[4], -30.5);
  EXPECT_EQ(monthly->scale_maximum, 100);  // -30 → -0.3 → 0
  auto daily = DailyReport(ctx(), SalesFigure::Profit, 2025, 5);
  ASSERT_TRUE(daily);
  EXPECT_DOUBLE_EQ(daily->values[2], -50.5);
  EXPECT_DOUBLE_EQ(daily->values[3], 20);
  EXPECT_EQ(daily->title, "日销净利润统计报表");
  EXPECT_EQ(daily->scale_maximum, 100);  // largest single profit 20 → 0 + 100
}

TEST_P(SalesStatisticsOn, DailyScaleFollowsTheLargestSingleSale) {
  Database& db = ctx().db;
  InsertSale(db, "2025-06-05 08:00:00", 300, 30);
  InsertSale(db, "2025-06-05 18:00:00", 449.9, 40);
  InsertSale(db, "2025-06-20 12:00:00", 120, 12);
  InsertSale(db, "2025-07-01 12:00:00", 9999, 99);  // another month
  auto daily = DailyReport(ctx(), SalesFigure::Amount, 2025, 6);
  ASSERT_TRUE(daily);
  EXPECT_EQ(daily->title, "日销售金额统计报表");
  EXPECT_TRUE(daily->category_caption.isEmpty());
  EXPECT_EQ(daily->colour, 55512);
  ASSERT_EQ(daily->values.size(), 30u);
  EXPECT_DOUBLE_EQ(daily->values[4], 749.9);
  EXPECT_DOUBLE_EQ(daily->values[19], 120);
  EXPECT_EQ(daily->Total(), 869.9);
  // 449.9 → 449 → 4.49 → 4: the day's 749.9 stands above its stated maximum.
  EXPECT_EQ(daily->scale_maximum, 500);
}

TEST_P(SalesStatisticsOn, DayBarsFollowTheRealMonthLength) {
  Database& db = ctx().db;
  InsertSale(db, "2024-02-29 10:00:00", 10, 1);
  auto leap = DailyReport(ctx(), SalesFigure::Amount, 2024, 2);
  ASSERT_TRUE(leap);
  ASSERT_EQ(leap->values.size(), 29u);
  EXPECT_EQ(leap->labels.front(), "1");
  EXPECT_EQ(leap->labels.back(), "29");
  EXPECT_EQ(leap->values[28], 10);
  auto plain = DailyReport(ctx(), SalesFigure::Amount, 2026, 2);
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->values.size(), 28u);
  EXPECT_EQ(DailyReport(ctx(), SalesFigure::Amount, 2026, 4)->values.size(), 30u);
  EXPECT_EQ(DailyReport(ctx(), SalesFigure::Amount, 2026, 12)->values.size(), 31u);
  EXPECT_FALSE(DailyReport(ctx(), SalesFigure::Amount, 2026, 13));
  EXPECT_FALSE(MonthlyReport(ctx(), SalesFigure::Amount, 0));
}

TEST_P(SalesStatisticsOn, NoSalesGiveZerosAndScaleOfHundred) {
  auto monthly = MonthlyReport(ctx(), SalesFigure::Amount, 2026);
  ASSERT_TRUE(monthly);
  EXPECT_EQ(monthly->values, Zeros(12));
  EXPECT_EQ(monthly->scale_maximum, 100);
  auto daily = DailyReport(ctx(), SalesFigure::Profit, 2026, 12);
  ASSERT_TRUE(daily);
  EXPECT_EQ(daily->values, Zeros(31));
  EXPECT_EQ(daily->scale_maximum, 100);
  auto years = SalesYears(ctx(), 2026);
  ASSERT_TRUE(years);
  EXPECT_EQ(*years, std::vector<int>{2026});
}

TEST_P(SalesStatisticsOn, YearListReachesTheCurrentYear) {
  Database& db = ctx().db;
  InsertSale(db, "2021-08-01 10:00:00", 10, 1);
  InsertSale(db, "2023-08-01 10:00:00", 10, 1);
  EXPECT_EQ(*SalesYears(ctx(), 2026), (std::vector<int>{2021, 2022, 2023, 2024, 2025, 2026}));
  // A sale dated ahead of the clock stays reachable.
  InsertSale(db, "2028-01-01 10:00:00", 10, 1);
  EXPECT_EQ(SalesYears(ctx(), 2026)->back(), 2028);
}

TEST_P(SalesStatisticsOn, DailyTotalsFollowEveryChangeOfTheSales) {
  Database& db = ctx().db;
  InsertSale(db, "2025-03-01 09:00:00", 100, 10);
  InsertSale(db, "2025-03-01 10:00:00", 250.25, -5);
  InsertSale(db, "2025-03-02 10:00:00", 80, 8);
  InsertSale(db, "2025-03-03 10:00:00", 70, 7);
  ASSERT_TRUE(db.Execute("INSERT INTO sell (名称, \"UID\") VALUES ('无日期', 1)"));  // no date: counted nowhere
  ExpectDailyTotalsMatchSales(db);

  // Edits of amount, profit and date, the date moving a sale to another day.
  Exec(db, "UPDATE sell SET 销售金额 = 30 WHERE 销售金额 = 250.25");
  ExpectDailyTotalsMatchSales(db);
  Exec(db, "UPDATE sell SET 净利润 = 99 WHERE 销售金额 = 80");
  ExpectDailyTotalsMatchSales(db);
  Exec(db, "UPDATE sell SET 销售日期 = '2025-04-09 08:00:00' WHERE 销售金额 = 100");
  ExpectDailyTotalsMatchSales(db);
  Exec(db, "UPDATE sell SET 销售日期 = '2025-05-01 08:00:00' WHERE 名称 = '无日期'");
  ExpectDailyTotalsMatchSales(db);
  // Edits of other columns leave the totals alone; deleting a day's last sale removes the day.
  Exec(db, "UPDATE sell SET 备注 = '改' ");
  Exec(db, "DELETE FROM sell WHERE 销售金额 = 70");
  ExpectDailyTotalsMatchSales(db);
  EXPECT_EQ(test::CountRows(db, "sell_day"), 4);
  // A rolled-back sale leaves no trace in the totals either.
  {
    auto tx = Transaction::Begin(db);
    ASSERT_TRUE(tx);
    InsertSale(db, "2025-03-02 11:00:00", 1000, 100);
  }
  ExpectDailyTotalsMatchSales(db);
  Exec(db, "DELETE FROM sell");
  ExpectDailyTotalsMatchSales(db);
  EXPECT_EQ(test::CountRows(db, "sell_day"), 0);
}

// File only: the upgrade of a file from before the per-day totals.
TEST(SalesStatistics, DailyTotalsBuiltOnceForAnOlderFileAndPresentInTheTemplate) {
  TestApp app;
  Database& db = app.ctx().db;
  InsertSale(db, "2025-03-01 09:00:00", 100, 10);
  InsertSale(db, "2025-03-01 10:00:00", 50, 5);
  InsertSale(db, "2024-11-11 10:00:00", 70, 7);
  // A file from before the totals existed.
  ASSERT_TRUE(
      db.ExecScript("DROP TRIGGER sell_day_insert; DROP TRIGGER sell_day_delete; DROP TRIGGER sell_day_update; DROP "
                    "TABLE sell_day;"));
  db.Close();
  ASSERT_TRUE(db.Open());
  ExpectDailyTotalsMatchSales(db);
  EXPECT_EQ(test::CountRows(db, "sell_day"), 2);
  InsertSale(db, "2025-03-01 11:00:00", 25, 1);  // the triggers came back too
  ExpectDailyTotalsMatchSales(db);
  EXPECT_EQ(MonthlyReport(app.ctx(), SalesFigure::Amount, 2025)->values[2], 175);

  // A re-initialisation starts again from the template, which carries the table and triggers.
  db.Close();
  ASSERT_TRUE(QFile::remove(app.FilePath(kDatabaseFileName)));
  ASSERT_TRUE(WriteFileAtomically(app.FilePath(kDatabaseFileName), TemplateDatabaseBytes()));
  ASSERT_TRUE(db.Open());
  EXPECT_EQ(test::CountRows(db, "sell_day"), 0);
  InsertSale(db, "2026-12-08 10:00:00", 12, 3);
  ExpectDailyTotalsMatchSales(db);
  EXPECT_EQ(DailyReport(app.ctx(), SalesFigure::Profit, 2026, 12)->values[7], 3);
}

TEST_P(SalesStatisticsOn, ShowReportSetsTheChartBarByBar) {
  Database& db = ctx().db;
  InsertSale(db, "2025-09-09 10:00:00", 42, 4);
  BarChartRecord chart;
  chart.SetCategoryCaption(QStringLiteral("日"));
  // Values no report has, so each one below is really set by the report.
  chart.SetUnit(QStringLiteral("件"));
  chart.SetScaleMaximum(7);
  chart.SetDivisions(3);
  chart.SetDisplayOptions(0, 2);
  ShowReport(*DailyReport(ctx(), SalesFigure::Amount, 2025, 9), chart);
  const BarChartData& d = chart.Data();
  EXPECT_EQ(d.title, "日销售金额统计报表");
  EXPECT_EQ(d.category_caption, "日");  // the daily reports leave it
  EXPECT_EQ(d.unit, "元");
  EXPECT_EQ(d.scale_maximum, 100);
  EXPECT_EQ(d.divisions, 10);
  EXPECT_EQ(d.colour, 55512);
  EXPECT_EQ(d.values_on_bars, 1);
  EXPECT_EQ(d.style, 0);
  ASSERT_EQ(d.values.size(), 30u);
  EXPECT_EQ(d.labels[8], "9");
  EXPECT_EQ(d.values[8], 42);
  ShowReport(*MonthlyReport(ctx(), SalesFigure::Amount, 2025), chart);
  EXPECT_EQ(chart.Data().category_caption, "月份");
  EXPECT_EQ(chart.Data().values.size(), 12u);
  EXPECT_EQ(chart.Data().values[8], 42);
}

QByteArray Unzip(const QString& file, const QString& member) {
  QProcess unzip;
  unzip.start("unzip", {"-p", file, member});
  if (!unzip.waitForFinished(30000)) return {};
  return unzip.readAllStandardOutput();
}

TEST(SalesStatistics, ExportWritesBothReportsWithTotals) {
  TestApp app;
  Database& db = app.ctx().db;
  InsertSale(db, "2025-09-09 10:00:00", 42.5, 4);
  InsertSale(db, "2025-02-01 10:00:00", 7, 1);
  const BarReport monthly = *MonthlyReport(app.ctx(), SalesFigure::Amount, 2025);
  const BarReport daily = *DailyReport(app.ctx(), SalesFigure::Amount, 2025, 9);
  const QString file = app.FilePath(QStringLiteral("销售图表.xlsx"));
  ASSERT_TRUE(ExportReports({&monthly, &daily}, file));
  const QString strings = QString::fromUtf8(Unzip(file, "xl/sharedStrings.xml"));
  const QString sheet = QString::fromUtf8(Unzip(file, "xl/worksheets/sheet1.xml"));
  ASSERT_FALSE(sheet.isEmpty()) << "is unzip installed?";
  // Each title says what it covers.
  EXPECT_TRUE(strings.contains("月销售金额统计报表（2025年）"));
  EXPECT_TRUE(strings.contains("日销售金额统计报表（2025年9月）"));
  EXPECT_TRUE(strings.contains("12月"));
  EXPECT_TRUE(strings.contains("合计（元）"));
  EXPECT_TRUE(sheet.contains("<v>49.5</v>"));  // the year's total
  EXPECT_TRUE(sheet.contains("<v>42.5</v>"));
  EXPECT_FALSE(QFile::exists(app.FilePath(QStringLiteral(".销售图表.xlsx.part"))));
  // The layout: each block a bold title, a row of labels ending in the total's caption
  // and a row of figures ending in the total, one empty row between blocks; the columns
  // of the widest block share one width.
  for (const char* cell :
       {"<c r=\"A1\" s=\"1\" t=\"s\">", "<c r=\"A2\" s=\"2\" t=\"s\">", "<c r=\"M2\" s=\"2\" t=\"s\">",
        "<c r=\"M3\" s=\"3\"><v>49.5</v>", "<c r=\"I3\" s=\"3\"><v>42.5</v>", "<c r=\"A5\" s=\"1\" t=\"s\">",
        "<c r=\"AE6\" s=\"2\" t=\"s\">", "<c r=\"AE7\" s=\"3\"><v>42.5</v>"})
    EXPECT_TRUE(sheet.contains(cell)) << cell;
  EXPECT_FALSE(sheet.contains("r=\"A4\""));
  EXPECT_FALSE(sheet.contains("r=\"A8\""));
  EXPECT_TRUE(sheet.contains("<col min=\"1\" max=\"31\" width=\"11.7109375\" customWidth=\"1\"/>"))
      << sheet.left(600).toStdString();
  // A folder that does not exist: a message, and no file.
  auto refused = ExportReports({&monthly}, app.FilePath(QStringLiteral("无此文件夹/图表.xlsx")));
  ASSERT_FALSE(refused);
  EXPECT_TRUE(refused.error().startsWith("导出Excel文件失败"));
  EXPECT_FALSE(QFile::exists(app.FilePath(QStringLiteral("无此文件夹/图表.xlsx"))));
  EXPECT_FALSE(QFile::exists(app.FilePath(QStringLiteral("无此文件夹/.图表.xlsx.part"))));
  // Cancelled: no file, no part, nothing to say.
  QFile::remove(file);
  auto cancelled = ExportReports({&monthly, &daily}, file, [](std::int64_t done, std::int64_t) { return done < 1; });
  ASSERT_FALSE(cancelled);
  EXPECT_TRUE(cancelled.error().isEmpty());
  EXPECT_FALSE(QFile::exists(file));
  EXPECT_FALSE(QFile::exists(app.FilePath(QStringLiteral(".销售图表.xlsx.part"))));
}

}  // namespace
}  // namespace hemulu
