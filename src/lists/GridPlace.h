#pragma once
// Where the user is in a list — the selected row, its focus column and the scroll — kept
// across a refill that the user did not ask for (a change made elsewhere).

#include <QString>

namespace hemulu {

class Grid;

struct GridPlace {
  QString key;   // the selected row's text in the key column; empty when none
  int row = -1;  // the selected row
  int col = 1;   // its focus column
  int top = 0;   // the scroll bars' values
  int left = 0;
};

// `key_col`: the column that names a row (its ID); -1 keeps the row by its number.
GridPlace SaveGridPlace(const Grid& grid, int key_col);
// Selects the same row again (found by its key; when it is gone, none) and scrolls back
// to where the list was. Returns the row selected, or -1.
int RestoreGridPlace(Grid& grid, const GridPlace& place, int key_col);

}  // namespace hemulu
