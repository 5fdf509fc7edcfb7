#include "sales/SalesStatistics.h"

#include <QDate>
#include <algorithm>
#include <cmath>
#include <optional>

#include "data/AppContext.h"
#include "data/EngineSql.h"
#include "data/TextFormat.h"
#include "lists/ExcelExport.h"
#include "sales/BarChart.h"

namespace hemulu {

namespace {

DbError RangeError() { return DbError{DbError::Kind::Other, QStringLiteral("年份或月份无效")}; }

bool ValidYear(int year) { return year >= 1 && year <= 9999; }

// Day keys are 'YYYY-MM-DD'; every key that begins with `prefix` lies in [prefix, prefix
// with its closing '-' raised to '.'), which the primary key reads as one range.
QString UpperBound(QString prefix) {
  prefix.back() = QLatin1Char('.');
  return prefix;
}

// The two-digit number at `pos` of a day key, or 0 when it is not one.
int KeyNumber(const QString& key, int pos) {
  if (key.size() < pos + 2) return 0;
  bool ok = false;
  const int n = QStringView(key).mid(pos, 2).toInt(&ok);
  return ok ? n : 0;
}

// The largest single value of the figure within [lower, upper) of the day keys; 0 when none.
std::expected<double, DbError> LargestSale(AppContext& ctx, SalesFigure figure, const QString& lower,
                                           const QString& upper) {
  auto st =
      ctx.Query(figure == SalesFigure::Amount ? "SELECT max(最大销售金额) FROM sell_day WHERE 日期 >= ? AND 日期 < ?"
                                              : "SELECT max(最大净利润) FROM sell_day WHERE 日期 >= ? AND 日期 < ?",
                lower, upper);
  if (!st) return std::unexpected(st.error());
  auto row = st->Step();
  if (!row) return std::unexpected(row.error());
  return *row ? st->Double(0) : 0.0;  // a NULL maximum reads 0
}

// Adds each day's figure in [lower, upper) to the bucket its key names at `pos`
// (month at 5, day at 8), buckets 1..size.
std::expected<void, DbError> SumDays(AppContext& ctx, SalesFigure figure, const QString& lower, const QString& upper,
                                     int pos, std::vector<double>& buckets) {
  auto st = ctx.Query(figure == SalesFigure::Amount ? "SELECT 日期, 销售金额 FROM sell_day WHERE 日期 >= ? AND 日期 < ?"
                                                    : "SELECT 日期, 净利润 FROM sell_day WHERE 日期 >= ? AND 日期 < ?",
                      lower, upper);
  if (!st) return std::unexpected(st.error());
  for (;;) {
    auto row = st->Step();
    if (!row) return std::unexpected(row.error());
    if (!*row) return {};
    const int n = KeyNumber(st->Text(0), pos);
    if (n >= 1 && static_cast<std::size_t>(n) <= buckets.size())
      buckets[static_cast<std::size_t>(n - 1)] += st->Double(1);
  }
}

std::optional<DbError> RefusedFigure(const Session& session, SalesFigure figure) {
  if (figure != SalesFigure::Profit || session.IsSuperAdministrator()) return std::nullopt;
  return DbError{DbError::Kind::Refused, kProfitRefusedText};
}

QString Prefix(int year) { return QStringLiteral("%1-").arg(year, 4, 10, QLatin1Char('0')); }
QString Prefix(int year, int month) {
  return QStringLiteral("%1-%2-").arg(year, 4, 10, QLatin1Char('0')).arg(month, 2, 10, QLatin1Char('0'));
}

}  // namespace

double BarReport::Total() const {
  double total = 0;
  for (double v : values) total += v;
  return total;
}

double WholeNumber(double value) {
  if (!std::isfinite(value)) return 0;
  const double nearest = std::round(value);
  if (std::abs(value - nearest) <= kTolerance) return nearest;
  return std::trunc(value);
}

double ScaleMaximum(double whole) { return 100.0 * std::round(whole / 100.0) + 100.0; }

std::expected<BarReport, DbError> MonthlyReport(AppContext& ctx, SalesFigure figure, int year) {
  if (auto refused = RefusedFigure(ctx.session, figure)) return std::unexpected(*refused);
  if (!ValidYear(year)) return std::unexpected(RangeError());
  const QString lower = Prefix(year);
  const QString upper = UpperBound(lower);
  BarReport report;
  report.values.assign(12, 0.0);
  if (auto summed = SumDays(ctx, figure, lower, upper, 5, report.values); !summed)
    return std::unexpected(summed.error());
  report.title =
      figure == SalesFigure::Amount ? QStringLiteral("月销售金额统计报表") : QStringLiteral("月销售利润统计报表");
  report.category_caption = QStringLiteral("月份");
  report.year = year;
  report.colour = kMonthlyChartColour;
  // The scale follows the year's total, not the tallest month.
  report.scale_maximum = ScaleMaximum(WholeNumber(report.Total()));
  for (int m = 1; m <= 12; ++m) report.labels << QStringLiteral("%1月").arg(m);
  return report;
}

std::expected<BarReport, DbError> DailyReport(AppContext& ctx, SalesFigure figure, int year, int month) {
  if (auto refused = RefusedFigure(ctx.session, figure)) return std::unexpected(*refused);
  if (!ValidYear(year) || month < 1 || month > 12) return std::unexpected(RangeError());
  const QString lower = Prefix(year, month);
  const QString upper = UpperBound(lower);
  const int days = QDate(year, month, 1).daysInMonth();
  BarReport report;
  report.values.assign(static_cast<std::size_t>(days), 0.0);
  if (auto summed = SumDays(ctx, figure, lower, upper, 8, report.values); !summed)
    return std::unexpected(summed.error());
  auto largest = LargestSale(ctx, figure, lower, upper);
  if (!largest) return std::unexpected(largest.error());
  report.title =
      figure == SalesFigure::Amount ? QStringLiteral("日销售金额统计报表") : QStringLiteral("日销净利润统计报表");
  report.year = year;
  report.month = month;
  report.colour = kDailyChartColour;
  // The scale follows the largest single sale, so a busy day may rise above it.
  report.scale_maximum = ScaleMaximum(WholeNumber(*largest));
  for (int d = 1; d <= days; ++d) report.labels << QString::number(d);
  return report;
}

std::expected<std::vector<int>, DbError> SalesYears(AppContext& ctx, int current_year) {
  int first = current_year, last = current_year;
  auto st = ctx.Query(ForEngine(ctx.db,
                                FileSql("SELECT substr(min(日期), 1, 4), substr(max(日期), 1, 4) FROM sell_day "
                                        "WHERE 日期 GLOB '[0-9][0-9][0-9][0-9]-*'"),
                                ServerSql("SELECT substr(min(日期), 1, 4), substr(max(日期), 1, 4) FROM sell_day "
                                          "WHERE 日期 ~ '^[0-9]{4}-'")));
  if (!st) return std::unexpected(st.error());
  auto row = st->Step();
  if (!row) return std::unexpected(row.error());
  if (*row && !st->IsNull(0)) {
    const int earliest = st->Text(0).toInt();
    const int latest = st->Text(1).toInt();
    if (ValidYear(earliest)) first = std::min(first, earliest);
    if (ValidYear(latest)) last = std::max(last, latest);
  }
  std::vector<int> years;
  for (int y = first; y <= last; ++y) years.push_back(y);
  return years;
}

void ShowReport(const BarReport& report, BarChart& chart) {
  chart.SetTitle(report.title);
  chart.SetUnit(report.unit);
  chart.SetScaleMaximum(report.scale_maximum);
  chart.SetDivisions(report.divisions);
  if (!report.category_caption.isEmpty()) chart.SetCategoryCaption(report.category_caption);
  const int count = static_cast<int>(report.values.size());
  chart.SetBarCount(count);
  chart.SetDisplayOptions(report.values_on_bars, report.style);
  chart.SetColour(report.colour);
  for (int i = 0; i < count; ++i) {
    chart.SetCurrentBar(i);
    chart.SetBarLabel(i < report.labels.size() ? report.labels[i] : QString());
    chart.SetBarValue(report.values[static_cast<std::size_t>(i)]);
  }
}

QString BarReport::CoveredTitle() const {
  if (year <= 0) return title;
  const QString period = month > 0 ? QStringLiteral("%1年%2月").arg(year).arg(month) : QStringLiteral("%1年").arg(year);
  return title + QStringLiteral("（") + period + QStringLiteral("）");
}

std::expected<void, QString> ExportReports(const std::vector<const BarReport*>& reports, const QString& file,
                                           const Progress& progress) {
  SheetLayout layout;
  layout.sheet_name = QStringLiteral("销售图表");
  layout.column_width = 11;
  for (const BarReport* report : reports) {
    if (!report) continue;
    SheetBlock& block = layout.blocks.emplace_back();
    block.title = report->CoveredTitle();
    block.rows.resize(2);
    std::vector<SheetCell>& labels = block.rows[0];
    std::vector<SheetCell>& figures = block.rows[1];
    for (std::size_t c = 0; c < report->values.size(); ++c) {
      const auto i = static_cast<qsizetype>(c);
      labels.push_back({.text = i < report->labels.size() ? report->labels[i] : QString(),
                        .number = std::nullopt,
                        .boxed = true,
                        .centred = true});
      figures.push_back({.text = QString(), .number = report->values[c], .boxed = true, .centred = false});
    }
    labels.push_back({.text = QStringLiteral("合计（%1）").arg(report->unit),
                      .number = std::nullopt,
                      .boxed = true,
                      .centred = true});
    figures.push_back({.text = QString(), .number = report->Total(), .boxed = true, .centred = false});
  }
  return ExportSheetLayout(layout, file, progress);
}

}  // namespace hemulu
