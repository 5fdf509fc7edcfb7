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

// The parts of a grid a spreadsheet gets besides its data rows and the totals row.
struct GridExportParts {
  bool header_rows = true;         // the header rows, with their merged captions
  bool row_header_column = false;  // column 0, the current-row marker's column
};

// Every row the grid holds in its current order, with the chosen parts, at the columns'
// shown widths; locked hidden columns are left out. `progress` hears the rows gathered
// and written; when it stops the export no file is left (the error is then empty, as
// ExportToExcel gives it).
[[nodiscard]] std::expected<void, QString> ExportGridToExcel(const Grid& grid, const QString& file,
                                                             const GridExportParts& parts,
                                                             const Progress& progress = {});

// Writes a spreadsheet file.
using ExportWriter = std::function<std::expected<void, QString>(const QString& path, const Progress& progress)>;
// Every page's export: runs `write` to `path` under a progress dialog (with 取消) over
// `parent`, then tells the user once: the notice "已导出到 <path>", or the failure's
// message (nothing when the user stopped it). True when the file was written.
bool ExportAndNotify(AppContext& ctx, QWidget* parent, const QString& path, const ExportWriter& write);

}  // namespace hemulu
