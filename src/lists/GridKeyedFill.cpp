#include "lists/GridKeyedFill.h"

#include "lists/Grid.h"

namespace hemulu {

FillResult FillGridKeyed(AppContext& ctx, Grid& grid, const KeyedListPlan& plan) {
  grid.BeginUpdate();
  grid.SetRowSource(nullptr);  // the store alone while it is laid out again
  KeyedFill fill = FillKeyedList(ctx, grid.EditStore(), plan);
  grid.SetRowSource(std::move(fill.rows));
  grid.SetLook(fill.result.look);
  grid.MarkSorted(fill.result.sorted_column);
  grid.EndUpdate();
  return fill.result;
}

}  // namespace hemulu
