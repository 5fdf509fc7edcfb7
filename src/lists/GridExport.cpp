#include "lists/GridExport.h"

#include "lists/ExcelExport.h"
#include "lists/Grid.h"

namespace hemulu {

std::expected<void, QString> ExportGridToExcel(const Grid& grid, const QString& file, bool with_fixed_rows,
                                               bool with_fixed_cols) {
  ExportPlan plan;
  plan.with_fixed_rows = with_fixed_rows;
  for (int c = with_fixed_cols ? 0 : 1; c < grid.Cols(); ++c)
    if (!grid.IsColumnLockedHidden(c)) plan.columns.push_back({c, grid.ColumnKind(c), grid.ColumnWidth(c)});
  for (int r = 0; r < grid.FixedRows(); ++r) plan.header_heights.push_back(grid.RowHeight(r));
  if (const RowSource* source = grid.Source()) {
    // Rows read on demand are gathered for the export; the list on screen stays as it is.
    GridStore all;
    CopyWithSourceRows(grid.Store(), *source, all);
    return ExportToExcel(all, plan, file);
  }
  return ExportToExcel(grid.Store(), plan, file);
}

}  // namespace hemulu
