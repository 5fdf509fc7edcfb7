// The sales charts over 1,000,000 sales: the monthly and the daily report read from the
// per-day totals, against the original cross-tab statements (one scalar sub-select per
// month or day, each a scan of every sale) with SQLite's date functions in place of
// Year, Month and day. Also what the totals' triggers add to one sale, and the one-time
// build of the totals for an older file.

#include <QElapsedTimer>
#include <cstdio>
#include <string>

#include "BenchSupport.h"
#include "data/Schema.h"
#include "sales/SalesStatistics.h"

namespace hemulu::bench {
namespace {

constexpr int kYear = 2025;
constexpr int kMonth = 7;

const char* const kYearOf = "CAST(strftime('%Y', 销售日期) AS INTEGER)";
const char* const kMonthOf = "CAST(strftime('%m', 销售日期) AS INTEGER)";
const char* const kDayOf = "CAST(strftime('%d', 销售日期) AS INTEGER)";

// Runs the statement and reads its first row only, as the original report did.
double FirstRow(Database& db, const std::string& sql) {
  QElapsedTimer t;
  t.start();
  auto st = db.Prepare(sql);
  if (!st) Fail("prepare baseline", st.error());
  auto row = st->Step();
  if (!row) Fail("baseline", row.error());
  double checksum = 0;
  if (*row)
    for (int c = 0; c < st->ColumnCount(); ++c) checksum += st->Double(c);
  const double ms = t.nsecsElapsed() / 1e6;
  if (checksum == -1) std::puts("");  // keeps the reads
  return ms;
}

std::string Number(int n) { return std::to_string(n); }

double OriginalMonthly(Database& db) {
  const std::string year = Number(kYear);
  double ms = FirstRow(db, std::string("Select Sum(销售金额) From sell Where ") + kYearOf + "=" + year);
  std::string sql = "select\r\n";
  for (int m = 1; m <= 12; ++m) {
    sql += std::string("(Select Sum(销售金额) From sell Where ") + kYearOf + "=" + year + " and " + kMonthOf + "=" +
           Number(m) + ")AS \"" + Number(m) + "\"";
    sql += m < 12 ? ",\r\n" : "\r\n";
  }
  sql += std::string("from sell group by ") + kMonthOf;
  return ms + FirstRow(db, sql);
}

double OriginalDaily(Database& db) {
  const std::string year = Number(kYear), month = Number(kMonth);
  double ms = FirstRow(db, std::string("Select max(销售金额) From sell Where ") + kYearOf + "=" + year + " and " +
                               kMonthOf + "=" + month);
  ms += FirstRow(db, "SELECT CAST(strftime('%d', date(printf('%04d-%02d-01', " + year + ", " + month +
                         "), '+1 month', '-1 day')) AS INTEGER)");
  std::string sql = "select\r\n";
  for (int d = 1; d <= 31; ++d) {
    sql += std::string("(Select Sum(销售金额) From sell Where ") + kYearOf + "=" + year + " and " + kMonthOf + "=" +
           month + " and " + kDayOf + "=" + Number(d) + ")AS \"" + Number(d) + "\"";
    sql += d < 31 ? ",\r\n" : "\r\n";
  }
  sql += "from sell group by id";
  return ms + FirstRow(db, sql);
}

void ChartReports(BenchShop& shop) {
  shop.EnsureSales();
  Database& db = shop.db();
  auto must = [](const auto& report) {
    if (!report) Fail("report", report.error());
  };
  shop.Reopen();
  QElapsedTimer t;
  t.start();
  must(MonthlyReport(shop.ctx(), SalesFigure::Amount, kYear));
  const double cold_month = t.nsecsElapsed() / 1e6;
  t.restart();
  must(DailyReport(shop.ctx(), SalesFigure::Amount, kYear, kMonth));
  const double cold_day = t.nsecsElapsed() / 1e6;
  std::printf("# chart reports after reopening: month %.2f ms, day %.2f ms\n", cold_month, cold_day);

  const double month = MedianMs(21, [&] { must(MonthlyReport(shop.ctx(), SalesFigure::Amount, kYear)); });
  const double month_baseline = OriginalMonthly(db);
  PrintCase("chart_month_1m", month, month_baseline);
  const double day = MedianMs(21, [&] { must(DailyReport(shop.ctx(), SalesFigure::Amount, kYear, kMonth)); });
  const double day_baseline = OriginalDaily(db);
  PrintCase("chart_day_1m", day, day_baseline);
  std::printf("# chart speed-ups: month %.0fx, day %.0fx\n", month_baseline / month, day_baseline / day);
  std::fflush(stdout);
}
HEMULU_BENCH_CASE(40, "chart_month_1m chart_day_1m", ChartReports);

// One sale as the sale window writes it (update the goods row, insert the sale, one
// durable transaction), with the totals' triggers and without them.
void SaleWithTotals(BenchShop& shop) {
  shop.EnsureSales();
  Database& db = shop.db();
  auto sale = [&] {
    auto tx = Transaction::Begin(db);
    if (!tx) Fail("begin", tx.error());
    if (auto r = db.Execute("update buy set 销售数量=销售数量+1, 销售金额=销售金额+?, 存货数量=存货数量-1, "
                            "存货金额=存货数量*进货单价 where ID=?",
                            2.5, 4242);
        !r)
      Fail("update", r.error());
    if (auto r = db.Execute("insert into sell (名称, 进货单价, 销售单价, 销售数量, 销售金额, 销售日期, 净利润, UID) "
                            "values ('测试', 2, 2.5, 1, 2.5, '2026-11-30 18:00:00', 0.5, 4242)");
        !r)
      Fail("insert", r.error());
    if (auto r = tx->Commit(); !r) Fail("commit", r.error());
  };
  const double with_triggers = MedianMs(200, sale);
  if (auto r =
          db.ExecScript("DROP TRIGGER sell_day_insert; DROP TRIGGER sell_day_delete; DROP TRIGGER sell_day_update;");
      !r)
    Fail("drop triggers", r.error());
  const double without = MedianMs(200, sale);
  PrintCase("sale_commit_with_chart_totals", with_triggers, without);

  // The test sales go again, and the totals are built afresh as for an older file.
  if (auto r = db.Execute("delete from sell where 名称='测试' and UID=4242"); !r) Fail("delete", r.error());
  QElapsedTimer t;
  t.start();
  const std::string build = "BEGIN IMMEDIATE;\n" + schema::RebuildDailyTotalsSql() + "COMMIT;";
  if (auto r = db.ExecScript(build.c_str()); !r) Fail("rebuild totals", r.error());
  PrintCase("chart_totals_build_1m", t.nsecsElapsed() / 1e6);
  std::fflush(stdout);
}
HEMULU_BENCH_CASE(41, "sale_commit_with_chart_totals chart_totals_build_1m", SaleWithTotals);

}  // namespace
}  // namespace hemulu::bench
