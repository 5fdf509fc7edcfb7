#include "lists/GridFill.h"

#include "lists/Grid.h"

namespace hemulu {

FillResult FillGrid(AppContext& ctx, Grid& grid, const ListFillSpec& plan) {
  grid.BeginUpdate();
  FillResult result = FillList(ctx, grid.EditStore(), plan);
  grid.SetLook(result.look);
  grid.MarkSorted(result.sorted_column);
  grid.EndUpdate();
  return result;
}

}  // namespace hemulu
