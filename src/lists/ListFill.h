#pragma once
// The one fill every list page uses: run the page's query, append one row per admitted
// record, colour rows by the page's rules, sort, and add the frozen totals row, with
// the colours and line style read afresh from config.ini each time. It fills a
// GridStore and needs no widget; the Grid shows the finished store (lists/GridFill.h).
// The keyed fill (lists/KeyedRows.h) runs the same plans with the pieces below.

#include <QString>
#include <optional>
#include <utility>
#include <vector>

#include "data/Database.h"
#include "lists/GridStore.h"
#include "lists/ListPlan.h"

namespace hemulu {

struct AppContext;
class IniFile;

// The presentation keys of config.ini, read at every fill. Colours that do not read as
// numbers are 0 (black).
struct ListSettings {
  int bgone = 0;
  int bgtwo = 0;
  int lastcolor = 0;
  QString line;
  bool beepview = false;  // only the exact text "ture" is on
};
ListSettings ReadListSettings(const IniFile& settings);
// A colour key as a Windows colour value; missing or not a number gives 0.
int ReadColourSetting(const IniFile& settings, const QString& key);

// Selection and background colours and the alternating row colours of a list.
GridLook ListLook(const ListSettings& settings);
// "2": white grid, white data area, thin lines between columns; "1": the same with
// lines between rows; anything else: grey hidden grid lines, the alternating colours
// showing.
void ApplyLineStyle(GridStore& store, GridLook& look, const QString& line, int first_row, int first_col, int last_row,
                    int last_col);

struct TotalsRow {
  int back_colour = 0;  // lastcolor
  int first_col = 2;
  int last_col = -1;                           // -1: the last column
  std::vector<std::pair<int, QString>> cells;  // column → text (label and totals)
};
// Freezes the store's last row and gives it the totals row's look and texts.
void DecorateTotalsRow(GridStore& store, const TotalsRow& totals);
// The totals row of a plan: its label, and each total's sum as number text in its column.
TotalsRow TotalsRowOf(const ListPlan& plan, int back_colour, const std::vector<double>& sums);

struct FillResult {
  int records = 0;               // records read
  int rows = 0;                  // rows shown (without the totals row)
  std::vector<double> totals;    // in the order of plan.totals
  std::optional<DbError> error;  // the query failed: no rows, zero totals
  GridLook look;                 // the list's colours, for the grid that shows it
  int sorted_column = -1;        // the column the rows were sorted by, -1 for none
};

// Where a number field's cell (never empty) goes in a sort: by the value when its text
// reads back as it, else as the store's sort reads the text.
SortKey NumberSortKey(double value);

// Fills `store` (header rows and columns already laid out) from the plan's query.
// A failed query, or a database that does not open, leaves the header rows and a
// totals row of zeros with its label; the error says which (unavailable) for the
// window to report.
[[nodiscard]] FillResult FillList(AppContext& ctx, GridStore& store, const ListPlan& plan);

// ---- What every fill does before and after reading (the keyed fill's too) ----

struct FillStart {
  ListSettings settings;      // read afresh, so a settings change shows at the next fill
  bool sorts = false;         // beepview is on and the plan has a sort column
  int value_sort_field = -1;  // with `sorts`: ValueSortField(plan)
};
// Reads the settings, drops every data row and frozen row, gives the plan's columns
// their kinds and settles the sort.
FillStart StartFill(AppContext& ctx, GridStore& store, const ListPlan& plan);
// Gives `result` the list's colours and adds the totals row below the rows, with the line
// style from the first row below the header rows down to it, and (unless the plan keeps
// it plain) its look, label and sums.
void EndFill(GridStore& store, const ListPlan& plan, const ListSettings& settings, FillResult& result);

}  // namespace hemulu
