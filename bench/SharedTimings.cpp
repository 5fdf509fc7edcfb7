#include "SharedTimings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "BenchSupport.h"
#include "data/AppContext.h"
#include "lists/ColumnShares.h"
#include "lists/Grid.h"
#include "lists/GridKeyedFill.h"
#include "sales/SalesLogic.h"
#include "stock/StockList.h"
#include "stock/StockPage.h"

namespace hemulu::bench {

StockGridWindow::StockGridWindow() {
  window.resize(1280, 720);
  grid = new Grid(&window, QStringLiteral("库管表格"));
  grid->setGeometry(window.rect());
  LayOutStockGrid(*grid);
  new ColumnShares(*grid, window, kStockFirstColWidth, StockShares(true));
  window.show();
  QCoreApplication::processEvents();
}

double TimeStockFill(AppContext& ctx, Grid& grid) {
  QElapsedTimer t;
  t.start();
  const int warning = StoredWarningQuantity(ctx.settings);
  const bool show_zero = ctx.settings.SetupFlag("zero");
  const FillResult r = FillGridKeyed(ctx, grid, StockListPlan(AllGoodsQuery(), warning, show_zero));
  if (r.error) Fail("fill", *r.error);
  QCoreApplication::processEvents();
  grid.repaint();
  return t.nsecsElapsed() / 1e6;
}

void TimeSaleCommits(AppContext& ctx, const char* name, const char* what) {
  if (auto r = ctx.db.Execute("insert into buy (名称,进货单价,销售单价,存货数量,首拼) values ('茶杯',30,50,1e9,'CB')");
      !r)
    Fail("goods", r.error());
  const qint64 goods_id = ctx.db.LastInsertId();
  SaleForm form;
  form.name = QStringLiteral("茶杯");
  form.shown_stock = QStringLiteral("1000000000");
  form.actual_price = QStringLiteral("40");
  form.quantity = QStringLiteral("1");
  form.amount = QStringLiteral("40");
  form.date = QDate(2026, 12, 8);
  std::vector<double> commits;
  for (int i = 0; i < 1000; ++i) {
    QElapsedTimer c;
    c.start();
    if (auto r = RecordSale(ctx, goods_id, form); !r) Fail("sale", r.error().message);
    commits.push_back(c.nsecsElapsed() / 1e6);
  }
  std::printf("%s: %.2f ms (median of 1000 %s; slowest %.2f ms)\n", name, Median(commits), what,
              *std::max_element(commits.begin(), commits.end()));
  RecordFigure(name, Median(commits));
  // The bench's shop goes on without these rows.
  if (auto r = ctx.db.Execute("delete from sell where \"UID\"=?", goods_id); !r) Fail("clean", r.error());
  if (auto r = ctx.db.Execute("delete from buy where \"ID\"=?", goods_id); !r) Fail("clean", r.error());
}

}  // namespace hemulu::bench
