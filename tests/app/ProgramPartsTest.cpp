#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include "TestSupport.h"
#include "app/MainMenus.h"
#include "app/MainWindow.h"
#include "app/NoticePopup.h"
#include "app/Program.h"
#include "lists/Grid.h"
#include "stock/StockPage.h"
#include "stock/SummaryPage.h"

using namespace hemulu;
using namespace hemulu::test;

TEST(ProgramParts, StockAndSummaryPagesShareTheChosenGoods) {
  TestApp app;
  const qint64 id = InsertGoods(app.ctx().db, GoodsRow{});
  MainWindow window(app.ctx(), ProgramParts(app.ctx()));
  window.ShowPage(kStockPage);
  auto* stock = qobject_cast<StockPage*>(window.Page(kStockPage));
  ASSERT_NE(stock, nullptr);
  EXPECT_EQ(stock->StockGrid()->CellText(2, 1), QString::number(id));

  stock->PrepareMenuFor(2, 2);
  EXPECT_TRUE(stock->Selection().HasGoods());
  FindMenuItem(window.Menu(kStockMenu), "汇总统计")->trigger();
  EXPECT_EQ(window.CurrentPage(), kSummaryPage);
  auto* summary = qobject_cast<SummaryPage*>(window.Page(kSummaryPage));
  ASSERT_NE(summary, nullptr);
  // A right-click on the summary view clears the goods the stock commands act on.
  summary->PrepareMenuFor(2, 2);
  EXPECT_FALSE(stock->Selection().HasGoods());
  FindMenuItem(window.Menu(kStockMenu), "商品续存")->trigger();
  EXPECT_EQ(stock->EntryWindow(), nullptr);

  FindMenuItem(window.Menu(kStockMenu), "销售记录")->trigger();
  EXPECT_EQ(window.CurrentPage(), kSalesPage);
}

TEST(ProgramParts, ReplacedDataRefillsTheCreatedPagesAndForgetsTheChosenGoods) {
  TestApp app;
  const qint64 id = InsertGoods(app.ctx().db, GoodsRow{});
  MainWindow window(app.ctx(), ProgramParts(app.ctx()));
  window.ShowPage(kStockPage);
  window.ShowPage(kSummaryPage);
  auto* stock = qobject_cast<StockPage*>(window.Page(kStockPage));
  auto* summary = qobject_cast<SummaryPage*>(window.Page(kSummaryPage));
  ASSERT_TRUE(stock && summary);
  stock->PrepareMenuFor(2, 2);
  ASSERT_TRUE(stock->Selection().HasGoods());
  const int summary_rows = summary->SummaryGrid()->Rows();

  ASSERT_TRUE(app.ctx().db.Execute("delete from buy where ID=?", id));
  window.RefillPages();
  EXPECT_FALSE(stock->Selection().HasGoods());
  EXPECT_NE(stock->StockGrid()->CellText(2, 1), QString::number(id));
  EXPECT_LT(summary->SummaryGrid()->Rows(), summary_rows);
}

// A notice stays five seconds: it lies over the shown page's list or chart, never over a
// box or button the user may want meanwhile (the sales page's search boxes were hidden
// under it), on every page and at the smallest window size as at a larger one.
TEST(ProgramParts, NoticesCoverNoControlOfAnyPage) {
  TestApp app;
  InsertGoods(app.ctx().db, GoodsRow{});
  MainWindow window(app.ctx(), ProgramParts(app.ctx()));
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  auto* notice = window.findChild<NoticePopup*>();
  ASSERT_NE(notice, nullptr);
  const QString text = QStringLiteral("已导出到 ") + app.FilePath(QStringLiteral("销售明细.xlsx"));
  for (QSize size : {QSize(1240, 690), QSize(1600, 900)}) {
    window.resize(size);
    for (int page = 0; page < kPageCount; ++page) {
      SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height() << " page " << page);
      window.ShowPage(page);
      QApplication::processEvents();
      window.ShowNotice(QStringLiteral("提示"), text);
      ASSERT_TRUE(notice->isVisible());
      const QRect shown(notice->mapToGlobal(QPoint(0, 0)), notice->size());
      EXPECT_TRUE(QRect(window.mapToGlobal(QPoint(0, 0)), window.size()).contains(shown));
      int controls = 0;
      for (QWidget* w : window.findChildren<QWidget*>()) {
        const bool control = qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) ||
                             qobject_cast<QAbstractButton*>(w) || qobject_cast<QAbstractSpinBox*>(w);
        if (!control || !w->isVisible() || notice->isAncestorOf(w)) continue;
        ++controls;
        const QRect r(w->mapToGlobal(QPoint(0, 0)), w->size());
        EXPECT_FALSE(shown.intersects(r)) << w->objectName().toStdString() << " " << w->metaObject()->className();
      }
      EXPECT_GT(controls, 10);
      notice->hide();
    }
  }
}
