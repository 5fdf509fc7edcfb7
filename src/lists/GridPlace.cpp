#include "lists/GridPlace.h"

#include <QScrollBar>
#include <QTableView>

#include "lists/Grid.h"

namespace hemulu {

GridPlace SaveGridPlace(const Grid& grid, int key_col) {
  GridPlace place;
  QTableView* body = grid.BodyView();
  place.top = body->verticalScrollBar()->value();
  place.left = body->horizontalScrollBar()->value();
  place.row = grid.SelectionFirstRow();
  if (place.row < 0) return place;
  const QModelIndex current = body->currentIndex();
  if (current.isValid()) place.col = current.column();
  if (key_col >= 0) place.key = grid.CellText(place.row, key_col);
  return place;
}

int RestoreGridPlace(Grid& grid, const GridPlace& place, int key_col) {
  int row = -1;
  if (place.row >= 0) {
    if (key_col < 0)
      row = place.row < grid.Rows() ? place.row : -1;
    else if (!place.key.isEmpty())
      row = grid.FindRow(key_col, place.key);
  }
  if (row >= 0)
    grid.SetFocusCell(row, place.col);
  else
    grid.ClearSelection();
  // The new rows are laid out now, not at the next paint, so that the scroll bars have
  // their new ranges before they are set back (selecting scrolled the row into view).
  QTableView* body = grid.BodyView();
  body->doItemsLayout();
  body->verticalScrollBar()->setValue(place.top);
  body->horizontalScrollBar()->setValue(place.left);
  return row;
}

}  // namespace hemulu
