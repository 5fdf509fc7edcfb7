// hemulu-bench, debts: the debtors view's fill over 1,000,000 sales with the bench's
// debts (about a tenth of the sales owe), and one repayment allocated over 100 open
// sales.

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "BenchSupport.h"
#include "data/AppContext.h"
#include "lists/Grid.h"
#include "sales/DebtorsView.h"
#include "sales/DebtsLogic.h"
#include "stock/NameInitials.h"

using namespace hemulu;
using namespace hemulu::bench;

// The view's refill as the 客户欠款 button runs it (the page cache warm after the first),
// against the bare read of its query.
void DebtorsFill1m(BenchShop& shop) {
  shop.EnsureSales();
  AppContext& ctx = shop.ctx();
  shop.Reopen();
  QWidget window;
  window.resize(1280, 720);
  auto* view = new DebtorsView(
      ctx, [](const QString& name) { return NameInitials(name); }, &window);
  view->setGeometry(window.rect());
  window.show();
  QElapsedTimer first;
  first.start();
  if (!view->Refill()) Fail("debtors", QStringLiteral("fill"));
  QCoreApplication::processEvents();
  const double cold = first.nsecsElapsed() / 1e6;
  Grid& grid = *view->DebtorsGrid();
  std::printf("# debtors view, first fill (cold cache): %.0f ms, %d customers\n", cold,
              grid.Rows() - grid.FixedRows() - 1);
  const std::string sql = DebtorsListPlan().sql;
  std::vector<double> fills, bases;
  for (int i = 0; i < 5; ++i) {
    bases.push_back(BareRead(shop.db().Handle(), sql.c_str()));
    QElapsedTimer f;
    f.start();
    if (!view->Refill()) Fail("debtors", QStringLiteral("fill"));
    QCoreApplication::processEvents();
    grid.repaint();
    fills.push_back(f.nsecsElapsed() / 1e6);
  }
  PrintCase("debtors_fill_1m", Median(fills), Median(bases));
}
HEMULU_BENCH_CASE(220, "debtors_fill_1m", DebtorsFill1m);

// A durable repayment that settles 100 open sales of one customer (the last in part),
// median of 50; each round's sales are made beforehand, outside the timing.
void RepaymentCommit(BenchShop& shop) {
  shop.EnsureSales();
  AppContext& ctx = shop.ctx();
  const DebtCustomer customer{QStringLiteral("对账测试客户"), QStringLiteral("13000000000")};
  RepaymentForm form;
  form.customer = customer;
  form.amount = QStringLiteral("99.5");
  form.date = QDate(2026, 12, 8);
  form.method = QStringLiteral("现金");
  std::vector<double> commits;
  for (int round = 0; round < 50; ++round) {
    {
      auto tx = Transaction::Begin(ctx.db);
      if (!tx) Fail("begin", tx.error());
      for (int i = 0; i < 100; ++i)
        if (auto r =
                ctx.db.Execute("insert into sell (名称,销售日期,销售金额,欠款额,客户名称,联系方式,销售数量,净利润) "
                               "values ('茶杯',?,1,1,?,?,1,0)",
                               QStringLiteral("2026-11-%1 10:00:00").arg(1 + i % 28, 2, 10, QLatin1Char('0')),
                               customer.name, customer.contact);
            !r)
          Fail("sale", r.error());
      if (auto r = tx->Commit(); !r) Fail("commit", r.error());
    }
    QElapsedTimer c;
    c.start();
    if (auto r = RecordRepayment(ctx, form); !r) Fail("repayment", r.error().message);
    commits.push_back(c.nsecsElapsed() / 1e6);
    // What is left (half of one sale) is settled with the round's sales.
    if (auto r = ctx.db.Execute("update sell set 欠款额=0 where 客户名称=?", customer.name); !r)
      Fail("clean", r.error());
  }
  std::printf("repayment_commit: %.2f ms (median of 50 durable repayments over 100 open sales; slowest %.2f ms)\n",
              Median(commits), *std::max_element(commits.begin(), commits.end()));
  RecordFigure("repayment_commit", Median(commits));
  // The bench's shop goes on without these rows.
  for (const char* sql :
       {"delete from repayment_part", "delete from repayment", "delete from sell where 客户名称='对账测试客户'"})
    if (auto r = ctx.db.Execute(sql); !r) Fail("clean", r.error());
}
HEMULU_BENCH_CASE(230, "repayment_commit", RepaymentCommit);
