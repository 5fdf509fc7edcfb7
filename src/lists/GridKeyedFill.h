#pragma once
// The keyed fill shown by a grid: the store keeps the header rows and the totals row,
// and the grid reads the data rows from the returned source as they come into view.

#include "lists/KeyedRows.h"

namespace hemulu {

class Grid;

// Fills the grid (header rows already laid out) and resets its views once.
FillResult FillGridKeyed(AppContext& ctx, Grid& grid, const ListPlan& plan);

}  // namespace hemulu
