#include "lists/ListFill.h"

#include <algorithm>
#include <cmath>

#include "data/AppContext.h"
#include "data/EmbeddedFiles.h"
#include "data/IniFile.h"
#include "data/TextFormat.h"
#include "lists/ListCells.h"

namespace hemulu {

// ---- Settings and the pieces of a fill ----

int ReadColourSetting(const IniFile& settings, const QString& key) {
  const double v = NumberValue(SetupColourText(settings, key));
  if (!(v >= 0 && v < 4294967296.0)) return 0;
  return static_cast<int>(static_cast<std::uint32_t>(v) & 0xFFFFFFu);
}

ListSettings ReadListSettings(const IniFile& settings) {
  ListSettings s;
  s.bgone = ReadColourSetting(settings, QStringLiteral("bgone"));
  s.bgtwo = ReadColourSetting(settings, QStringLiteral("bgtwo"));
  s.lastcolor = ReadColourSetting(settings, QStringLiteral("lastcolor"));
  s.line = settings.ReadSetupValue(QStringLiteral("line"));
  s.beepview = settings.SetupFlag(QStringLiteral("beepview"));
  return s;
}

GridLook ListLook(const ListSettings& settings) {
  constexpr int kYellow = 65535;
  constexpr int kSelectionBorder = 57472;  // red 128, green 224, blue 0
  constexpr int kWhite = 16777215;
  GridLook look;
  look.back_active_sel = kYellow;
  look.back_sel = kYellow;
  look.selection_border = kSelectionBorder;
  look.back2 = settings.bgtwo;
  look.back1 = settings.bgone;
  look.back_bkg = kWhite;
  return look;
}

void ApplyLineStyle(GridStore& store, GridLook& look, const QString& line, int first_row, int first_col, int last_row,
                    int last_col) {
  constexpr int kWhite = 16777215;
  constexpr int kGrey = 8421504;
  if (last_col < 0) last_col = store.Cols() - 1;
  if (line == QLatin1String("2") || line == QLatin1String("1")) {
    look.grid_color = kWhite;
    look.hide_grid_lines = false;
    const CellRange range{first_row, first_col, last_row, last_col};
    store.SetRangeBackColor(range, kWhite);
    store.SetRangeBorders(range, line == QLatin1String("2") ? kInsideVertical : kInsideHorizontal);
  } else {
    look.grid_color = kGrey;
    look.hide_grid_lines = true;
  }
}

void DecorateTotalsRow(GridStore& store, const TotalsRow& totals) {
  const int row = store.Rows() - 1;
  if (row < store.FixedRows()) return;
  const int last_col = totals.last_col < 0 ? store.Cols() - 1 : totals.last_col;
  store.SetFrozenRows(1);
  store.SetRangeBackColor(CellRange{row, totals.first_col, row, last_col}, totals.back_colour);
  for (const auto& [col, text] : totals.cells) store.SetText(row, col, text);
  store.SetRangeFontBold(CellRange{row, totals.first_col, row, last_col}, true);
}

TotalsRow TotalsRowOf(const ListPlan& plan, int back_colour, const std::vector<double>& sums) {
  TotalsRow totals;
  totals.back_colour = back_colour;
  totals.first_col = plan.totals_first_col;
  totals.last_col = plan.totals_last_col;
  if (plan.label_column >= 0) totals.cells.emplace_back(plan.label_column, plan.total_label);
  for (std::size_t t = 0; t < plan.totals.size(); ++t)
    totals.cells.emplace_back(plan.totals[t].column, NumberText(sums[t]));
  return totals;
}

namespace {

// Where a cell whose text is not exactly its value goes in the store's sort: by what
// the text reads as, or after every number.
SortKey SortKeyOfText(QStringView text) {
  const auto read = ParseNumber(text);
  return read ? SortKey{*read, 1} : SortKey{0, 2};
}

// The sort key of a number cell, as the store's own sort reads the cell's text.
SortKey NumberKey(QStringView text, double value, bool exact) {
  if (text.isEmpty()) return SortKey{0, 0};
  return exact ? SortKey{value, 1} : SortKeyOfText(text);  // off the fast path: what the text says
}

}  // namespace

SortKey NumberSortKey(double value) {
  char buf[40];
  bool exact = false;
  const std::size_t n = NumberChars(value, buf, exact);
  return exact ? SortKey{value, 1} : SortKeyOfText(QString::fromLatin1(buf, static_cast<qsizetype>(n)));
}

FillStart StartFill(AppContext& ctx, GridStore& store, const ListPlan& plan) {
  FillStart start{ReadListSettings(ctx.settings)};
  store.SetFrozenRows(0);  // every data row takes part in the sort until the totals row exists
  store.SetRows(store.FixedRows());
  for (std::size_t i = 0; i < plan.fields.size(); ++i)
    store.SetColumnKind(static_cast<int>(i) + 1, KindOf(plan.fields[i].kind));
  start.sorts = start.settings.beepview && plan.sort_column >= 0 && plan.sort_column < store.Cols();
  if (start.sorts) start.value_sort_field = ValueSortField(plan);
  return start;
}

void EndFill(GridStore& store, const ListPlan& plan, const ListSettings& settings, FillResult& result) {
  result.look = ListLook(settings);
  store.AddRow(QStringView());
  const int totals_row = store.Rows() - 1;
  ApplyLineStyle(store, result.look, settings.line, store.FixedRows(), plan.line_first_col, totals_row,
                 plan.line_last_col);
  if (!plan.plain_last_row) DecorateTotalsRow(store, TotalsRowOf(plan, settings.lastcolor, result.totals));
}

// ---- The fill ----

namespace {

// Reads every record of the query into the store: the totals of each, and a row for
// each one the filter shows, coloured by the rules.
class ListFiller {
 public:
  // `sort_field`: a number field whose keys to gather for the sort, or -1.
  ListFiller(AppContext& ctx, GridStore& store, const ListPlan& plan, int sort_field, FillResult& result)
      : store_(store), plan_(plan), result_(result), sort_field_(sort_field) {
    const std::size_t fields = plan.fields.size();
    if (plan.row_filter.IsSetFor(fields)) filter_ = &plan.row_filter;
    for (const ListTotal& total : plan.totals) {
      const bool summed = total.field >= 0 && static_cast<std::size_t>(total.field) < fields;
      totals_.push_back({summed ? total.field : -1, total.counts.IsSetFor(fields) ? &total.counts : nullptr});
    }
    for (const RowColourRule& rule : plan.colour_rules)
      if (rule.when.IsSetFor(fields)) colours_.push_back({ReadColourSetting(ctx.settings, rule.key), &rule.when});
    colour_last_col_ = plan.colour_last_col < 0 ? store.Cols() - 1 : plan.colour_last_col;
  }

  // Reads every record; on a failed step returns the error (rows already added stay
  // for the caller to drop).
  std::optional<DbError> ReadRecords(Statement& st) {
    RecordCells record = RecordCells::ForPlan(plan_, st);
    for (;;) {
      const auto step = st.Step();
      if (!step) return step.error();
      if (!*step) return std::nullopt;
      record.Read(st);
      Take(record);
    }
  }

  // The keys of the sort field for the rows shown, in their order (empty without one).
  const std::vector<SortKey>& SortKeys() const { return sort_keys_; }

 private:
  void Take(const RecordCells& record) {
    ++result_.records;
    AddToTotals(record);
    if (filter_ && !record.Holds(*filter_)) return;
    store_.AddRow(record.RowText(), record.Spans());
    ++result_.rows;
    if (sort_field_ >= 0)
      sort_keys_.push_back(NumberKey(record.Text(sort_field_), record.Number(sort_field_), record.Exact(sort_field_)));
    if (const int colour = ColourOf(record); colour >= 0) ColourLastRow(colour);
  }

  void AddToTotals(const RecordCells& record) {
    for (std::size_t t = 0; t < totals_.size(); ++t) {
      const Total& total = totals_[t];
      if (total.field >= 0 && (!total.counts || record.Holds(*total.counts)))
        result_.totals[t] += record.Number(total.field);
    }
  }

  // The colour of the last rule that holds, or -1.
  int ColourOf(const RecordCells& record) const {
    int colour = -1;
    for (const auto& [rule_colour, when] : colours_)
      if (record.Holds(*when)) colour = rule_colour;
    return colour;
  }

  // Rows of one colour share one look: styled once, then handed on.
  void ColourLastRow(int colour) {
    const int row = store_.Rows() - 1;
    const auto known =
        std::find_if(colour_looks_.begin(), colour_looks_.end(), [colour](const auto& c) { return c.first == colour; });
    if (known != colour_looks_.end()) {
      store_.SetRowLook(row, known->second);
      return;
    }
    store_.SetRangeForeColor(CellRange{row, plan_.colour_first_col, row, colour_last_col_}, colour);
    colour_looks_.emplace_back(colour, store_.RowLook(row));
  }

  // The plan's tests that apply, looked up once.
  struct Total {
    int field = -1;                     // -1: a field the plan has not got, nothing summed
    const FieldTest* counts = nullptr;  // null: every record counts
  };

  GridStore& store_;
  const ListPlan& plan_;
  FillResult& result_;
  const int sort_field_;
  const FieldTest* filter_ = nullptr;
  std::vector<Total> totals_;
  std::vector<std::pair<int, const FieldTest*>> colours_;  // each rule's colour (from config.ini) and test
  int colour_last_col_ = -1;
  std::vector<std::pair<int, std::uint32_t>> colour_looks_;
  std::vector<SortKey> sort_keys_;
};

}  // namespace

FillResult FillList(AppContext& ctx, GridStore& store, const ListPlan& plan) {
  FillResult result;
  result.totals.assign(plan.totals.size(), 0.0);
  const FillStart start = StartFill(ctx, store, plan);
  bool sorted = false;
  if (auto st = ctx.Query(plan.SqlFor(ctx.db)); !st) {
    result.error = st.error();
  } else {
    for (std::size_t i = 0; i < plan.values.size(); ++i) st->Bind(static_cast<int>(i) + 1, plan.values[i]);
    st->ReadInPieces();  // stepped to the end with nothing in between
    ListFiller filler(ctx, store, plan, start.value_sort_field, result);
    result.error = filler.ReadRecords(*st);
    if (!result.error && start.value_sort_field >= 0) {
      // A number column sorts by the values read, not by reading its texts back.
      store.SortByKeys(filler.SortKeys());
      sorted = true;
    }
  }  // the statement is finalised here, before the list is shown
  if (result.error) {
    store.SetRows(store.FixedRows());
    result.records = result.rows = 0;
    result.totals.assign(plan.totals.size(), 0.0);
  }
  if (start.sorts) {
    if (!sorted) store.SortByColumn(plan.sort_column, store.ColumnKind(plan.sort_column));
    result.sorted_column = plan.sort_column;
  }
  EndFill(store, plan, start.settings, result);
  return result;
}

}  // namespace hemulu
