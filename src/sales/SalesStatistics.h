#pragma once
// Sales statistics: the sums of 销售金额 or 净利润 per month of a year and per day of a
// month, with the scale, title and colour their bar charts are set from. They read the
// per-day totals that triggers keep beside `sell` (at most 366 small rows a report),
// never the sales themselves.

#include <QString>
#include <QStringList>
#include <expected>
#include <vector>

#include "data/Database.h"
#include "lists/Progress.h"

namespace hemulu {

struct AppContext;
class BarChart;

enum class SalesFigure { Amount, Profit };  // 销售金额, 净利润

inline constexpr int kMonthlyChartColour = 255;  // red
inline constexpr int kDailyChartColour = 55512;  // red 216, green 216, blue 0
inline constexpr int kChartDivisions = 10;

// One report: what its chart is set to.
struct BarReport {
  QString title;
  // Empty when the report leaves the chart's caption as it is (the daily reports).
  QString category_caption;
  QString unit = QStringLiteral("元");
  double scale_maximum = 100;
  int divisions = kChartDivisions;
  int colour = 0;
  int values_on_bars = 1;
  int style = 0;
  QStringList labels;
  std::vector<double> values;
  // What the figures cover: the year, and the month of a daily report (0 for a monthly one).
  int year = 0, month = 0;

  double Total() const;
  // The title with what it covers, for a sheet that stands alone: "月销售金额统计报表（2026年）",
  // "日销售金额统计报表（2026年10月）".
  QString CoveredTitle() const;
};

// Profit is the super-administrator's: for anyone else the profit reports are refused
// with this text (kind Refused), whichever window asks; the sales amounts are not.
inline const QString kProfitRefusedText = QStringLiteral("对不起，只有超级管理员才能查看利润统计。");

// 12 bars "1月" … "12月"; the scale maximum follows the year's total. Opens the database
// when needed; a profit report is refused to anyone but 超级管理员.
[[nodiscard]] std::expected<BarReport, DbError> MonthlyReport(AppContext& ctx, SalesFigure figure, int year);
// One bar per day of the month ("1" … "28".."31"); the scale maximum follows the largest
// single sale value of the month. Opens and refuses as MonthlyReport.
[[nodiscard]] std::expected<BarReport, DbError> DailyReport(AppContext& ctx, SalesFigure figure, int year, int month);

// A figure taken as a whole number: the fraction dropped, after values within the money
// tolerance of a whole number are taken as that number (sums carry rounding noise).
double WholeNumber(double value);
// 100 × (whole / 100 rounded, halves away from zero) + 100: 12,345 → 12,400.
double ScaleMaximum(double whole);

// Years for the year lists, ascending: from the earliest sale's year through the current
// year (and through the latest sale's year should that lie ahead); the current year alone
// when there are no sales.
[[nodiscard]] std::expected<std::vector<int>, DbError> SalesYears(AppContext& ctx, int current_year);

// Sets a chart as the report says, in the chart's own order: title, unit, scale, divisions,
// caption, bar count, options, colour, then each bar's label and value.
void ShowReport(const BarReport& report, BarChart& chart);

// Writes the reports' figures to an .xlsx file: per report its title with the year (and
// month), a row of labels with "合计", a row of values with the total. The file appears
// whole or not at all; on failure returns the message for the user, an empty one when
// `progress` (one step a report) stopped it.
[[nodiscard]] std::expected<void, QString> ExportReports(const std::vector<const BarReport*>& reports,
                                                         const QString& file, const Progress& progress = {});

}  // namespace hemulu
