#include "lists/GridFill.h"

#include "lists/Grid.h"

namespace hemulu {

FillResult FillGrid(AppContext& ctx, Grid& grid, const ListPlan& plan) {
  // Filled aside: a failed read leaves the list as it was, never an empty list that
  // would pass for the truth.
  GridStore filled = grid.Store().LaidOutCopy();
  FillResult result = FillList(ctx, filled, plan);
  if (result.error) return result;
  grid.BeginUpdate();
  grid.EditStore() = std::move(filled);
  grid.SetLook(result.look);
  grid.MarkSorted(result.sorted_column);
  grid.EndUpdate();
  return result;
}

}  // namespace hemulu
