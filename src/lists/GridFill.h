#pragma once
// The common fill shown in a Grid: the store is filled in place while the views are
// reset, then the grid takes the list's colours and sort indicator.

#include "lists/ListFill.h"

namespace hemulu {

class Grid;

FillResult FillGrid(AppContext& ctx, Grid& grid, const ListPlan& plan);

}  // namespace hemulu
