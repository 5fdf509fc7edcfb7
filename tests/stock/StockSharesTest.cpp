#include <gtest/gtest.h>

#include <QTableView>
#include <QVBoxLayout>
#include <QWidget>

#include "lists/ColumnShares.h"
#include "lists/Grid.h"
#include "stock/StockList.h"

using namespace hemulu;

TEST(ColumnShares, WidthsFollowTheHostTruncatedAndLockedColumnsStayClosed) {
  QWidget window;
  window.resize(1200, 700);
  auto* host = new QWidget(&window);
  host->setGeometry(0, 0, 1000, 600);
  auto* grid = new Grid(host, "库管表格");
  grid->setGeometry(host->rect());
  LayOutStockGrid(*grid);
  grid->SetColumnLockedHidden(7, true);
  window.show();

  auto* shares = new ColumnShares(*grid, *host, kStockFirstColWidth, StockShares(true));
  EXPECT_EQ(grid->ColumnWidth(0), 20);
  EXPECT_EQ(grid->ColumnWidth(1), 0);
  EXPECT_EQ(grid->ColumnWidth(2), 75);
  EXPECT_EQ(grid->ColumnWidth(3), 50);
  EXPECT_EQ(grid->ColumnWidth(6), 45);
  EXPECT_EQ(grid->ColumnWidth(7), 0);
  EXPECT_EQ(grid->ColumnWidth(15), 70);

  // The totals row's columns line up with the body's.
  for (int c = 0; c < grid->Cols(); ++c) {
    EXPECT_EQ(grid->FooterView()->columnWidth(c), grid->BodyView()->columnWidth(c)) << c;
    EXPECT_EQ(grid->FooterView()->columnViewportPosition(c), grid->BodyView()->columnViewportPosition(c)) << c;
  }

  host->resize(1010, 600);  // 0.075 × 1010 = 75.75 → 75, 0.045 × 1010 = 45.45 → 45
  EXPECT_EQ(grid->ColumnWidth(2), 75);
  EXPECT_EQ(grid->ColumnWidth(6), 45);
  EXPECT_EQ(grid->ColumnWidth(14), 85);  // 85.85
  host->resize(801, 600);
  EXPECT_EQ(grid->ColumnWidth(2), 60);
  EXPECT_EQ(grid->ColumnWidth(7), 0);

  shares->SetShare(8, 0);  // a hide toggle
  EXPECT_EQ(grid->ColumnWidth(8), 0);
  host->resize(900, 600);
  EXPECT_EQ(grid->ColumnWidth(8), 0);
  shares->SetShare(8, 0.075);
  EXPECT_EQ(grid->ColumnWidth(8), 67);  // 67.5
  EXPECT_EQ(ShareWidth(0.075, 1010), 75);
  EXPECT_EQ(ShareWidth(-0.5, 1010), 0);
}
