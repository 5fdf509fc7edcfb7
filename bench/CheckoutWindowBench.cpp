// hemulu-bench, checkout counter window: one scanned code typed into the counter's code
// box with Enter, until its line is in the table, over 100,000 goods.

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include "BenchSupport.h"
#include "sales/CheckoutWindow.h"

using namespace hemulu;
using namespace hemulu::bench;

namespace {

// The keys as a scanner sends them, then the line in the table painted; a basket is
// closed (and so emptied) every 20 lines, as customers come and go.
void CheckoutScanWindow100k(BenchShop& shop) {
  shop.EnsureGoods();
  const int goods = shop.GoodsCount();
  CheckoutWindow window(shop.ctx(), {}, nullptr);
  window.show();
  QCoreApplication::processEvents();
  std::mt19937 rng(20261209);
  std::uniform_int_distribution<int> pick(0, goods - 1);
  std::vector<double> times;
  for (int i = 0; i < 400; ++i) {
    if (i % 20 == 0) {
      window.close();
      window.show();
      QCoreApplication::processEvents();
    }
    const QString code = QStringLiteral("SP%1").arg(100000 + pick(rng));
    const int lines_before = window.LinesTable()->rowCount();
    QElapsedTimer t;
    t.start();
    QTest::keyClicks(window.CodeBox(), code);
    QTest::keyClick(window.CodeBox(), Qt::Key_Return);
    window.LinesTable()->viewport()->repaint();
    times.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    if (window.LinesTable()->rowCount() < lines_before || window.Lines().empty())
      Fail("checkout scan", QStringLiteral("the code %1 gave no line").arg(code));
  }
  std::sort(times.begin(), times.end());
  std::printf("# checkout window: %zu scans, worst %.2f ms, 95th percentile %.2f ms\n", times.size(), times.back(),
              times[times.size() * 95 / 100]);
  PrintCase("checkout_scan_window_100k", Median(times));
}

}  // namespace

HEMULU_BENCH_CASE(215, "checkout_scan_window_100k", CheckoutScanWindow100k);
