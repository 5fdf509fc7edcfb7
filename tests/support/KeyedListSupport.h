#pragma once
// A keyed list against the same plan filled with every row in the store: the comparison
// of every cell, style and the totals row.

#include <gtest/gtest.h>

#include "lists/KeyedRows.h"
#include "lists/ListFill.h"

namespace hemulu::test {

// Every data cell, style and the totals row of the keyed list equal the full list's.
inline void ExpectSameList(const GridStore& full, const GridStore& keyed, const KeyedRows& rows, const char* when) {
  SCOPED_TRACE(when);
  const int fixed = full.FixedRows();
  ASSERT_EQ(full.DataRows() - 1, rows.Count());
  int text_diffs = 0, style_diffs = 0;
  for (int i = 0; i < rows.Count(); ++i)
    for (int c = 0; c < full.Cols(); ++c) {
      if (full.Text(fixed + i, c) != rows.Text(i, c) && text_diffs++ < 5)
        ADD_FAILURE() << "row " << i << " col " << c << ": " << full.Text(fixed + i, c).toStdString() << " vs "
                      << rows.Text(i, c).toStdString();
      if (!(full.Style(fixed + i, c) == rows.Style(i, c)) && style_diffs++ < 5)
        ADD_FAILURE() << "style of row " << i << " col " << c;
    }
  EXPECT_EQ(text_diffs, 0);
  EXPECT_EQ(style_diffs, 0);
  ASSERT_EQ(keyed.DataRows(), 1);
  EXPECT_EQ(keyed.FrozenRows(), 1);
  for (int c = 0; c < full.Cols(); ++c) {
    EXPECT_EQ(full.Text(full.Rows() - 1, c), keyed.Text(keyed.Rows() - 1, c)) << "totals col " << c;
    EXPECT_TRUE(full.Style(full.Rows() - 1, c) == keyed.Style(keyed.Rows() - 1, c)) << "totals style col " << c;
  }
}

}  // namespace hemulu::test
