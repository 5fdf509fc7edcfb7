#pragma once
// Writes a list's cells to a real .xlsx file. No widget: the window says which columns
// to write and how wide (lists/GridExport.h does it for a Grid).

#include <QString>
#include <expected>
#include <optional>
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

// A sheet laid out cell by cell (the charts' figures): blocks one below the other, each a
// bold title row and then its rows of cells, with an empty row between blocks.
struct SheetCell {
  QString text;
  std::optional<double> number;  // written as a number instead of the text
  bool boxed = false;            // a thin border
  bool centred = false;
};
struct SheetBlock {
  QString title;
  std::vector<std::vector<SheetCell>> rows;
};
struct SheetLayout {
  QString sheet_name;
  std::vector<SheetBlock> blocks;
  double column_width = 0;  // characters, for every column a block uses; 0: the default
};

// Writes the layout as ExportToExcel writes a list: every library call checked, the file
// whole or not at all, an empty message when `progress` (one step a block) stopped it.
[[nodiscard]] std::expected<void, QString> ExportSheetLayout(const SheetLayout& layout, const QString& file,
                                                             const Progress& progress = {});

}  // namespace hemulu
