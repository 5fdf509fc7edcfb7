#include "SalesSearchTiming.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTest>
#include <QWidget>

#include "data/AppContext.h"
#include "lists/Grid.h"
#include "sales/SalesPage.h"

namespace hemulu::bench {

double Keystroke(QWidget* box, Grid& grid, QChar ch) {
  QElapsedTimer t;
  t.start();
  QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(ch), Qt::NoModifier);
  QCoreApplication::processEvents();
  grid.repaint();
  return t.nsecsElapsed() / 1e6;
}

std::vector<SalesSearchTiming> TimeSalesSearches(AppContext& ctx) {
  QWidget window;
  window.resize(1280, 720);
  auto* page = new SalesPage(ctx, nullptr, &window);
  page->setGeometry(window.rect());
  window.show();
  QCoreApplication::processEvents();
  Grid& grid = *page->SalesGrid();
  std::vector<SalesSearchTiming> timings{
      {"销售商品名称框", SalesSearchField::Initials, QStringLiteral("KS"), {}, {}, {}},
      {"销售客户名称框", SalesSearchField::Customer, QStringLiteral("张伟"), {}, {}, {}}};
  for (SalesSearchTiming& timing : timings) {
    QWidget* box = page->findChild<QWidget*>(QString::fromUtf8(timing.box_name));
    if (auto* combo = qobject_cast<QComboBox*>(box)) box = combo->lineEdit();
    for (int attempt = 0; attempt < 3; ++attempt) {
      page->FillSalesList(AllSalesQuery());
      box->setFocus();
      timing.rows.clear();
      timing.firsts.push_back(Keystroke(box, grid, timing.text[0]));
      timing.rows.push_back(grid.Rows() - grid.FixedRows() - 1);
      timing.seconds.push_back(Keystroke(box, grid, timing.text[1]));
      timing.rows.push_back(grid.Rows() - grid.FixedRows() - 1);
      if (auto* line = qobject_cast<QLineEdit*>(box)) {
        const QSignalBlocker quiet(line);
        line->clear();
      }
    }
  }
  return timings;
}

}  // namespace hemulu::bench
