#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>

#include "TestSupport.h"
#include "app/MainMenus.h"
#include "app/MainWindow.h"
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
