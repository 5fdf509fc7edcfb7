#include "CrashCheck.h"

#include <cmath>

#include "TestSupport.h"
#include "data/StockMoves.h"

namespace hemulu::test {

QStringList CheckSalesFolder(const QString& dir, double initial_stock, const std::set<qint64>& acknowledged) {
  QStringList faults;
  ScriptedPrompter prompter;
  FixedClock clock;
  RecordingNotifier notifier;
  AppContext ctx(dir, prompter, clock, notifier);
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return {QStringLiteral("does not open: ") + open.error().message};

  auto integrity = ctx.db.Prepare("PRAGMA integrity_check");
  if (!integrity || !integrity->Step().value_or(false)) return {QStringLiteral("integrity_check did not run")};
  if (integrity->Text(0) != QStringLiteral("ok")) faults << QStringLiteral("integrity_check: ") + integrity->Text(0);

  return faults + CheckSales(ctx, initial_stock, acknowledged);
}

QStringList CheckSales(AppContext& ctx, double initial_stock, const std::set<qint64>& acknowledged) {
  QStringList faults;
  auto stock = ctx.db.Prepare(
      "select b.\"ID\", b.存货数量, (select coalesce(sum(s.销售数量),0) from sell s where s.\"UID\"=b.\"ID\") from buy "
      "b");
  if (!stock) return faults << QStringLiteral("stock query failed");
  while (true) {
    auto row = stock->Step();
    if (!row) return faults << QStringLiteral("stock query: ") + row.error().message;
    if (!*row) break;
    const double left = stock->Double(1), sold = stock->Double(2);
    if (std::fabs(left + sold - initial_stock) > 1e-9)
      faults << QStringLiteral("goods %1: stock %2 + sold %3 != %4")
                    .arg(stock->Int(0))
                    .arg(left)
                    .arg(sold)
                    .arg(initial_stock);
  }

  // Every sale's movement went with it: the journal adds up to every goods row's stock.
  auto mismatches = FindStockMismatches(ctx);
  if (!mismatches) return faults << QStringLiteral("movements check: ") + mismatches.error().message;
  if (!mismatches->empty()) faults << StockMismatchMessage(*mismatches);

  auto sale = ctx.db.Prepare("select count(*) from sell where \"ID\"=?");
  if (!sale) return faults << QStringLiteral("sale query failed");
  for (qint64 id : acknowledged) {
    sale->Reset();
    sale->BindAll(id);
    if (!sale->Step().value_or(false) || sale->Int(0) != 1)
      faults << QStringLiteral("acknowledged sale %1 is missing").arg(id);
  }

  // The per-day totals hold every dated sale once: a sale whose trigger work was lost
  // (or counted twice) shows here.
  auto days = ctx.db.Prepare(
      "select (select count(*) from sell where 销售日期 is not null), (select coalesce(sum(销售金额),0) from sell "
      "where 销售日期 is not null), (select coalesce(sum(笔数),0) from sell_day), (select coalesce(sum(销售金额),0) "
      "from sell_day)");
  if (!days || !days->Step().value_or(false)) return faults << QStringLiteral("per-day totals not read");
  if (days->Int(0) != days->Int(2) || std::fabs(days->Double(1) - days->Double(3)) > 1e-6)
    faults << QStringLiteral("sell_day holds %1 sales of %2, sell %3 of %4")
                  .arg(days->Int(2))
                  .arg(days->Double(3))
                  .arg(days->Int(0))
                  .arg(days->Double(1));
  return faults;
}

}  // namespace hemulu::test
