#pragma once

#include <gtest/gtest.h>

#include <QTest>
#include <QWidget>

#include "lists/Grid.h"

namespace hemulu::test {

// Right-clicks the list area below its last row, where a shop with an empty or short list
// clicks; fails the test when that point lies on a row.
inline void RightClickBelowRows(Grid& grid) {
  QWidget* viewport = grid.BodyView()->viewport();
  const QPoint below_rows(viewport->width() / 2, viewport->height() - 10);
  ASSERT_EQ(grid.HitTest(viewport->mapTo(&grid, below_rows)).first, -1);
  QTest::mouseClick(viewport, Qt::RightButton, {}, below_rows);
}

}  // namespace hemulu::test
