#pragma once
// Writes a list's cells to a real .xlsx file. No widget: the window says which columns
// to write and how wide (lists/GridExport.h does it for a Grid).

#include <QString>
#include <expected>
#include <vector>

#include "lists/GridStore.h"
#include "lists/Progress.h"

namespace hemulu {

struct ExportColumn {
  int col = 0;
  CellKind kind = CellKind::Auto;  // Number: written as numbers; Auto: numbers in their own form only
  int width = 0;                   // pixels; 0 hides the column in the sheet
};

struct ExportPlan {
  std::vector<ExportColumn> columns;  // in sheet order
  bool with_fixed_rows = true;        // header rows with their merged captions
  std::vector<int> header_heights;    // pixels, one per header row
};

// Every row the store holds in its current order; numbers are written as numbers. The
// file appears whole or not at all: a failed or cancelled write removes the part
// written. On failure returns the message to show the user; an empty message when
// `progress` stopped the export (the user cancelled: there is nothing to show).
[[nodiscard]] std::expected<void, QString> ExportToExcel(const GridStore& store, const ExportPlan& plan,
                                                         const QString& file, const Progress& progress = {});

}  // namespace hemulu
