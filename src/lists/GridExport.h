#pragma once
// What a grid shows, as a spreadsheet.

#include <QString>
#include <expected>

#include "lists/Progress.h"

namespace hemulu {

class Grid;

// Every row the grid holds in its current order (header rows with their merged
// captions when `with_fixed_rows`, column 0 when `with_fixed_cols`), at the columns'
// shown widths; locked hidden columns are left out. `progress` hears the rows gathered
// and written; when it stops the export no file is left (the error is then empty, as
// ExportToExcel gives it).
[[nodiscard]] std::expected<void, QString> ExportGridToExcel(const Grid& grid, const QString& file,
                                                             bool with_fixed_rows, bool with_fixed_cols,
                                                             const Progress& progress = {});

}  // namespace hemulu
