#pragma once
// What a grid shows, as a spreadsheet.

#include <QString>
#include <expected>
#include <functional>

#include "lists/Progress.h"

class QWidget;

namespace hemulu {

class Grid;
struct AppContext;

// Every row the grid holds in its current order (header rows with their merged
// captions when `with_fixed_rows`, column 0 when `with_fixed_cols`), at the columns'
// shown widths; locked hidden columns are left out. `progress` hears the rows gathered
// and written; when it stops the export no file is left (the error is then empty, as
// ExportToExcel gives it).
[[nodiscard]] std::expected<void, QString> ExportGridToExcel(const Grid& grid, const QString& file,
                                                             bool with_fixed_rows, bool with_fixed_cols,
                                                             const Progress& progress = {});

// Writes a spreadsheet file.
using ExportWriter = std::function<std::expected<void, QString>(const QString& path, const Progress& progress)>;
// Every page's export: runs `write` to `path` under a progress dialog (with 取消) over
// `parent`, then tells the user once: the notice "已导出到 <path>", or the failure's
// message (nothing when the user stopped it). True when the file was written.
bool ExportAndNotify(AppContext& ctx, QWidget* parent, const QString& path, const ExportWriter& write);

}  // namespace hemulu
