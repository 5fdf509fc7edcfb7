#pragma once
// The one fill every list page uses: run the page's query, append one row per admitted
// record, colour rows by the page's rules, sort, and add the frozen totals row, with
// the colours and line style read afresh from config.ini each time. It fills a
// GridStore and needs no widget; the Grid shows the finished store (lists/GridFill.h).
// Pages that fill differently use the pieces below in their own order.

#include <QString>
#include <QStringView>
#include <QVariant>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "data/Database.h"
#include "data/TextFormat.h"
#include "lists/GridStore.h"

namespace hemulu {

struct AppContext;
class IniFile;

// OptionalNumber: a number whose missing value (NULL) shows as an empty cell. Day: a
// date shown without its time of day (the sales list's dates).
enum class FieldKind { Text, Number, Date, OptionalNumber, Day };

// A result column shown in the list; field i of a page lands in grid column i + 1.
struct ListField {
  std::string column;  // the name in the query's result
  FieldKind kind = FieldKind::Text;
};

// One record while it is read, for the row filter and the colour rules.
class FillRecord {
 public:
  // A Number field's value (0 for other fields and for NULL).
  double Number(int field) const { return numbers_[static_cast<std::size_t>(field)]; }
  // A field's cell text.
  QStringView Text(int field) const;

 private:
  friend class ListFiller;
  FillRecord(const std::vector<double>& numbers, QStringView row_text, const std::vector<CellSpan>& spans)
      : numbers_(numbers), row_text_(row_text), spans_(spans) {}
  const std::vector<double>& numbers_;
  QStringView row_text_;
  const std::vector<CellSpan>& spans_;  // where each field's text is
};

using RecordTest = std::function<bool(const FillRecord&)>;

// When `applies` holds, the row's text takes the colour stored under `key`.
struct RowColourRule {
  QString key;
  RecordTest applies;
};

// The total of a Number field, shown in a column of the totals row.
struct ListTotal {
  int field = 0;
  int column = 0;
  RecordTest applies = {};  // only the records it holds for count; empty: every record
};

struct ListFillSpec {
  std::string sql;                // values go in `values`, bound to its ? marks
  std::vector<QVariant> values;
  std::vector<ListField> fields;  // the record ID first
  RecordTest row_filter;          // empty: every record is shown
  std::vector<RowColourRule> colour_rules;  // in order; a later rule that holds wins
  int colour_first_col = 1;       // row colours cover these columns
  int colour_last_col = -1;       // (-1: the last column)
  std::vector<ListTotal> totals;  // summed over every record read, shown or not
  QString total_label = QStringLiteral("合计：");
  int label_column = -1;          // -1: no label
  int sort_column = -1;           // sorted ascending when beepview is on; -1: never
  int totals_first_col = 2;       // back colour and bold of the totals row
  int totals_last_col = -1;
  int line_first_col = 2;         // line-style range, from the first data row to the totals row
  int line_last_col = -1;
  bool plain_last_row = false;    // a list without totals: its last, empty row is not coloured or frozen
};

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
  int back_colour = 0;      // lastcolor
  int first_col = 2;
  int last_col = -1;        // -1: the last column
  std::vector<std::pair<int, QString>> cells;  // column → text (label and totals)
};
// Freezes the store's last row and gives it the totals row's look and texts.
void DecorateTotalsRow(GridStore& store, const TotalsRow& totals);
// The totals row of a fill plan (a full or a keyed list): its label, and each total's
// sum as number text in its column.
template <class Plan>
TotalsRow TotalsRowOf(const Plan& plan, int back_colour, const std::vector<double>& sums) {
  TotalsRow totals;
  totals.back_colour = back_colour;
  totals.first_col = plan.totals_first_col;
  totals.last_col = plan.totals_last_col;
  if (plan.label_column >= 0) totals.cells.emplace_back(plan.label_column, plan.total_label);
  for (std::size_t t = 0; t < plan.totals.size(); ++t) totals.cells.emplace_back(plan.totals[t].column, NumberText(sums[t]));
  return totals;
}

struct FillResult {
  int records = 0;            // records read
  int rows = 0;               // rows shown (without the totals row)
  std::vector<double> totals;  // in the order of plan.totals
  std::optional<DbError> error;  // the query failed: no rows, zero totals
  GridLook look;               // the list's colours, for the grid that shows it
  int sorted_column = -1;      // the column the rows were sorted by, -1 for none
};

// Where a number field's cell (never empty) goes in a sort: by the value when its text
// reads back as it, else as the store's sort reads the text.
SortKey NumberSortKey(double value);

// Fills `store` (header rows and columns already laid out) from the page's query.
// A failed query, or a database that does not open, leaves the header rows and a
// totals row of zeros with its label; the error says which (unavailable) for the
// window to report.
[[nodiscard]] FillResult FillList(AppContext& ctx, GridStore& store, const ListFillSpec& plan);

}  // namespace hemulu
