#pragma once
// Writes what a grid shows to a real .xlsx file.

#include <QString>
#include <expected>

namespace hemulu {

class Grid;

// Every row the grid holds in its current order (header rows with their merged
// captions when `with_fixed_rows`, column 0 when `with_fixed_cols`); numbers are
// written as numbers, locked hidden columns are left out. The file appears whole or
// not at all. On failure returns the message to show the user.
std::expected<void, QString> ExportToExcel(const Grid& grid, const QString& file, bool with_fixed_rows,
                                           bool with_fixed_cols);

}  // namespace hemulu
