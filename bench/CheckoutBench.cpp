// hemulu-bench, the checkout counter: one scanned code found among 100,000 goods and
// made a basket line, and one durable 20-line basket.

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "BenchSupport.h"
#include "SharedTimings.h"
#include "data/AppContext.h"
#include "sales/CheckoutLogic.h"

using namespace hemulu;
using namespace hemulu::bench;

// A code typed by the scanner to the basket line the window shows: the code's goods read
// and the line's figures. The baseline is the bare read of the same row.
void CheckoutScan100k(BenchShop& shop) {
  shop.EnsureGoods();
  AppContext& ctx = shop.ctx();
  shop.Reopen();
  std::vector<double> scans, bases;
  for (int i = 0; i < 200; ++i) {
    // Codes spread over the whole table, as a day's customers bring them.
    const QString code = QStringLiteral("SP%1").arg(100000 + (i * 499) % shop.GoodsCount());
    bases.push_back(BareRead(shop.db().Handle(),
                             "select \"ID\",名称,型号,编码,类型,首拼,销售单价,存货数量 from buy where 编码=?", {code}));
    QElapsedTimer t;
    t.start();
    auto found = FindGoodsByCode(ctx, code);
    if (!found || found->empty()) Fail("scan", code);
    BasketLine line{.goods = found->front()};
    const BasketTotals totals = TotalsOf({line});
    scans.push_back(t.nsecsElapsed() / 1e6);
    if (totals.pieces != 1) Fail("scan", QStringLiteral("line"));
  }
  // Well under a millisecond: the figures in µs as well.
  std::printf("checkout_scan_100k: %.3f ms (median of 200 codes; bare read %.3f ms; slowest %.3f ms)\n", Median(scans),
              Median(bases), *std::max_element(scans.begin(), scans.end()));
  RecordFigure("checkout_scan_100k", Median(scans));
}
HEMULU_BENCH_CASE(212, "checkout_scan_100k", CheckoutScan100k);

namespace {

// A busy counter: one basket every half minute. The bench's own pace (dozens a second)
// would make every basket look for a free receipt number past all the others'.
class CounterClock final : public Clock {
 public:
  QDateTime Now() const override { return now_; }
  void Next() { now_ = now_.addSecs(30); }

 private:
  QDateTime now_ = QDateTime::currentDateTime();
};

}  // namespace

// One basket of 20 lines after another, each recorded durably (synchronous=FULL): the
// receipt, 20 sale rows, 20 goods updates and 20 movements in one transaction.
void CheckoutCommit20Lines(BenchShop& shop) {
  shop.EnsureGoods();
  SilentPrompter prompter;
  SilentNotifier notifier;
  CounterClock clock;
  AppContext ctx(shop.Dir(), prompter, clock, notifier);
  ctx.session.SetUser(kSuperAdministrator, QString());
  if (auto r = ctx.db.Open(); !r) Fail("open", r.error());
  Checkout basket;
  std::vector<qint64> ids;
  for (int i = 0; i < 20; ++i) {
    if (auto r =
            ctx.db.Execute("insert into buy (名称,编码,进货单价,销售单价,存货数量,首拼) values (?,?,30,50,1e9,'CB')",
                           QStringLiteral("茶杯%1").arg(i), QStringLiteral("BENCH%1").arg(i));
        !r)
      Fail("goods", r.error());
    ids.push_back(ctx.db.LastInsertId());
    auto g = LoadCounterGoods(ctx, ids.back());
    if (!g || !*g) Fail("goods", QStringLiteral("read"));
    basket.lines.push_back({.goods = **g, .discount = i % 3 ? 100.0 : 90.0, .quantity = 1});
  }
  basket.paid = QStringLiteral("2000");
  std::vector<double> commits;
  for (int i = 0; i < 200; ++i) {
    clock.Next();
    QElapsedTimer c;
    c.start();
    if (auto r = RecordBasket(ctx, basket); !r) Fail("basket", r.error().message);
    commits.push_back(c.nsecsElapsed() / 1e6);
  }
  // The same basket of one line: what the commit itself costs, against what each line adds.
  Checkout one;
  one.lines = {basket.lines.front()};
  std::vector<double> singles;
  for (int i = 0; i < 50; ++i) {
    clock.Next();
    QElapsedTimer c;
    c.start();
    if (auto r = RecordBasket(ctx, one); !r) Fail("basket", r.error().message);
    singles.push_back(c.nsecsElapsed() / 1e6);
  }
  std::printf("# one-line basket: %.2f ms (median of 50)\n", Median(singles));
  std::printf("checkout_commit_20_lines: %.2f ms (median of 200 baskets of 20 lines; slowest %.2f ms)\n",
              Median(commits), *std::max_element(commits.begin(), commits.end()));
  RecordFigure("checkout_commit_20_lines", Median(commits));
  // The bench's shop goes on without these rows.
  for (qint64 id : ids) {
    if (auto r = ctx.db.Execute("delete from sell where \"UID\"=?", id); !r) Fail("clean", r.error());
    if (auto r = ctx.db.Execute("delete from buy where \"ID\"=?", id); !r) Fail("clean", r.error());
  }
  if (auto r = ctx.db.Execute("delete from receipt"); !r) Fail("clean", r.error());
}
HEMULU_BENCH_CASE(213, "checkout_commit_20_lines", CheckoutCommit20Lines);
