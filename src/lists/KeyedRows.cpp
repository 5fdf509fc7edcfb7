#include "lists/KeyedRows.h"

#include <QHash>
#include <algorithm>
#include <expected>
#include <utility>

#include "data/AppContext.h"
#include "data/IniFile.h"
#include "data/TextFormat.h"
#include "lists/ListCells.h"

namespace hemulu {

namespace {

std::string Quoted(const std::string& name) { return '"' + name + '"'; }
// A field's column in a select list; a withheld field reads as NULL.
std::string FieldSql(const ListField& field) { return field.column.empty() ? "NULL" : Quoted(field.column); }

std::vector<FieldKind> KindsOf(const std::vector<ListField>& fields) {
  std::vector<FieldKind> kinds;
  for (const ListField& field : fields) kinds.push_back(field.kind);
  return kinds;
}

}  // namespace

// ---- The rows ----

KeyedRows::KeyedRows(AppContext& ctx, ListPlan plan, std::vector<std::int64_t> keys,
                     std::vector<std::vector<CellStyle>> styles)
    : ctx_(ctx), plan_(std::move(plan)), keys_(std::move(keys)), styles_(std::move(styles)) {}

const KeyedRows::Page& KeyedRows::PageOf(int row) const {
  const int first = row / kPageRows * kPageRows;
  ++clock_;
  for (Page& p : pages_)
    if (p.first == first) {
      p.used = clock_;
      return p;
    }
  Page* page = nullptr;
  if (pages_.size() < kMaxPages) {
    page = &pages_.emplace_back();
  } else {
    page =
        &*std::min_element(pages_.begin(), pages_.end(), [](const Page& a, const Page& b) { return a.used < b.used; });
  }
  page->first = first;
  page->used = clock_;
  ReadPage(*page);
  return *page;
}

std::string KeyedRows::PageSql(int rows) const {
  std::string sql = "select ";
  for (std::size_t i = 0; i < plan_.fields.size(); ++i) sql += (i ? "," : "") + FieldSql(plan_.fields[i]);
  sql += " from " + (plan_.rows_from.empty() ? Quoted(plan_.table) : plan_.rows_from) + " where " +
         Quoted(plan_.fields[0].column) + " in (";
  for (int i = 0; i < rows; ++i) sql += i ? ",?" : "?";
  return sql + ')';
}

void KeyedRows::ReadPage(Page& page) const {
  const std::size_t fields = plan_.fields.size();
  const int rows = std::min(kPageRows, Count() - page.first);
  page.cells.assign(static_cast<std::size_t>(kPageRows) * fields, QString());
  page.look.assign(kPageRows, 0);
  if (rows <= 0) return;
  auto st = ctx_.Query(PageSql(rows));
  if (!st) {
    Failed(st.error());
    return;
  }
  QHash<std::int64_t, int> slot;  // where each key's row goes in the page
  slot.reserve(rows);
  for (int i = 0; i < rows; ++i) {
    const std::int64_t key = keys_[static_cast<std::size_t>(page.first + i)];
    st->Bind(i + 1, static_cast<qint64>(key));
    slot.insert(key, i);
  }
  std::vector<int> columns(fields);
  for (std::size_t f = 0; f < fields; ++f) columns[f] = static_cast<int>(f);  // the select list is the fields
  RecordCells record(KindsOf(plan_.fields), std::move(columns));
  for (;;) {
    const auto step = st->Step();
    if (!step) {
      // A page read in part is shown empty, never as a page with rows missing.
      std::fill(page.cells.begin(), page.cells.end(), QString());
      std::fill(page.look.begin(), page.look.end(), std::uint8_t{0});
      Failed(step.error());
      return;
    }
    if (!*step) return;
    const auto it = slot.constFind(st->CellInt(0));
    if (it == slot.cend()) continue;
    record.Read(*st);
    const auto base = static_cast<std::size_t>(*it) * fields;
    for (std::size_t f = 0; f < fields; ++f) page.cells[base + f] = record.Text(static_cast<int>(f)).toString();
    page.look[static_cast<std::size_t>(*it)] = LookOf(record);
  }
}

std::uint8_t KeyedRows::LookOf(const RecordCells& record) const {
  std::uint8_t look = 0;  // the last rule that holds wins
  for (std::size_t r = 0; r < plan_.colour_rules.size(); ++r) {
    const FieldTest& when = plan_.colour_rules[r].when;
    if (when.IsSetFor(plan_.fields.size()) && record.Holds(when)) look = static_cast<std::uint8_t>(r + 1);
  }
  return look;
}

void KeyedRows::Failed(const DbError& error) const {
  if (failure_) return;
  failure_ = error;
  if (on_failure_) on_failure_(error);
}

bool KeyedRows::TakeFailureToTell() const {
  if (!failure_ || failure_told_) return false;
  failure_told_ = true;
  return true;
}

QString KeyedRows::Text(int row, int col) const {
  if (row < 0 || row >= Count() || col < 1 || static_cast<std::size_t>(col) > plan_.fields.size()) return {};
  const Page& page = PageOf(row);
  return page
      .cells[static_cast<std::size_t>(row - page.first) * plan_.fields.size() + static_cast<std::size_t>(col - 1)];
}

const CellStyle& KeyedRows::Style(int row, int col) const {
  static const CellStyle kPlain;
  if (row < 0 || row >= Count() || col < 0 || styles_.empty() || static_cast<std::size_t>(col) >= styles_[0].size())
    return kPlain;
  const Page& page = PageOf(row);
  const std::size_t look = page.look[static_cast<std::size_t>(row - page.first)];
  return styles_[look < styles_.size() ? look : 0][static_cast<std::size_t>(col)];
}

void KeyedRows::Remove(int row) {
  if (row < 0 || row >= Count()) return;
  keys_.erase(keys_.begin() + row);
  DropPages();
}

int KeyedRows::FindRow(int col, QStringView text) const {
  if (col != 1 || plan_.fields.empty() || plan_.fields[0].kind != FieldKind::Number)
    return RowSource::FindRow(col, text);
  // The key column shows each key as number text: compare values, then the text itself.
  const std::optional<double> value = ParseNumber(text);
  if (!value) return -1;
  for (std::size_t i = 0; i < keys_.size(); ++i)
    if (static_cast<double>(keys_[i]) == *value && NumberText(static_cast<double>(keys_[i])) == text)
      return static_cast<int>(i);
  return -1;
}

int KeyedRows::RowOfKey(std::int64_t key) const {
  const auto it = std::find(keys_.begin(), keys_.end(), key);
  return it == keys_.end() ? -1 : static_cast<int>(it - keys_.begin());
}

std::optional<std::vector<std::pair<std::int64_t, QString>>> KeyedRows::ReadColumnByKey(const ListField& field) const {
  auto st = ctx_.Query("select " + Quoted(plan_.fields[0].column) + "," + FieldSql(field) + " from (" +
                       plan_.SqlFor(ctx_.db) + ") as plan_rows");
  if (!st) {
    Failed(st.error());
    return std::nullopt;
  }
  for (std::size_t i = 0; i < plan_.values.size(); ++i) st->Bind(static_cast<int>(i) + 1, plan_.values[i]);
  st->ReadInPieces();
  RecordCells cell({field.kind}, {1});
  std::vector<std::pair<std::int64_t, QString>> cells;
  cells.reserve(keys_.size());
  for (;;) {
    const auto step = st->Step();
    if (!step) {
      Failed(step.error());
      return std::nullopt;
    }
    if (!*step) break;
    cell.Read(*st);
    cells.emplace_back(st->CellInt(0), cell.Text(0).toString());
  }
  std::sort(cells.begin(), cells.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  return cells;
}

CellKind KeyedRows::Sort(int col, CellKind kind) {
  if (col < 1 || static_cast<std::size_t>(col) > plan_.fields.size()) return kind;
  const ListField& field = plan_.fields[static_cast<std::size_t>(col - 1)];
  if (kind == CellKind::Auto) kind = KindOf(field.kind);
  // A failed read keeps the present order: ordering by cells not read would be a lie.
  auto cells = ReadColumnByKey(field);
  if (!cells) return kind;

  // The store's own sort on the rows as they are shown, so the order is the one a list
  // holding every row would have: same comparisons, ties in their present order.
  GridStore order;
  order.SetCols(3);
  order.SetFixedRows(0);
  order.SetRows(0);
  order.ReserveDataRows(Count());
  QString line;
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    const auto it = std::lower_bound(cells->begin(), cells->end(), keys_[i],
                                     [](const auto& cell, std::int64_t key) { return cell.first < key; });
    line.clear();
    if (it != cells->end() && it->first == keys_[i]) line = it->second;
    line += u'\t';
    line += QString::number(i);
    order.AddRow(line);
  }
  cells.reset();
  kind = order.SortByColumn(1, kind);
  std::vector<std::int64_t> sorted(keys_.size());
  for (int r = 0; r < order.DataRows(); ++r)
    sorted[static_cast<std::size_t>(r)] = keys_[order.TextView(r, 2).toULongLong()];
  keys_ = std::move(sorted);
  DropPages();
  return kind;
}

// ---- The fill ----

namespace {

// A field as the narrow pass reads it: from `column` of the pass's result, or from
// nowhere (-1) when the field is withheld, whatever a plan's `keys_sql` selects.
struct PassField {
  int column = -1;
  FieldKind kind = FieldKind::Text;

  double Number(const Statement& st) const { return column < 0 ? 0.0 : FieldNumber(st, column, kind); }
  // `scratch` holds a text field's cell: read only for a test of texts.
  bool Holds(const FieldTest& test, const Statement& st, std::u16string& scratch) const {
    if (test.number) return test.number(Number(st));
    scratch.clear();
    if (column >= 0) AppendCellText(scratch, st, column, kind);
    return test.text(scratch);
  }
  // Where the shown cell would go in the store's sort: an empty cell first, a number by
  // its value or by the text it shows.
  SortKey NumberKey(const Statement& st) const {
    if (column < 0 || (kind == FieldKind::OptionalNumber && st.CellIsNull(column))) return SortKey{0, 0};
    return NumberSortKey(st.CellDouble(column));
  }
};

// The narrow pass over the list's query: the key in column 0, then what it reads for
// the totals, the filter and a sort by values, in the order `ListPlan::keys_sql` names.
struct KeyPass {
  std::string sql;
  std::vector<PassField> totals;                     // each total's field
  std::vector<std::optional<PassField>> conditions;  // each total's condition's field
  std::optional<PassField> filter;
  std::optional<PassField> sort;

  KeyPass(const ListPlan& plan, int sort_field, const Database& db) {
    const std::size_t fields = plan.fields.size();
    std::string select = Quoted(plan.fields.empty() ? std::string("ID") : plan.fields[0].column);
    int next = 1;
    // The next column of the pass, holding `field` (NULL for a field the plan has not got).
    const auto take = [&](int field) {
      const bool known = field >= 0 && static_cast<std::size_t>(field) < fields;
      const ListField none{std::string(), FieldKind::OptionalNumber};
      const ListField& f = known ? plan.fields[static_cast<std::size_t>(field)] : none;
      select += "," + FieldSql(f);
      const int column = next++;
      return PassField{f.column.empty() ? -1 : column, f.kind};
    };
    for (const ListTotal& t : plan.totals) totals.push_back(take(t.field));
    if (plan.row_filter.IsSetFor(fields)) filter = take(plan.row_filter.field);
    for (const ListTotal& t : plan.totals)
      conditions.push_back(t.counts.IsSetFor(fields) ? std::optional(take(t.counts.field)) : std::nullopt);
    if (sort_field >= 0) sort = take(sort_field);
    const std::string& keys_sql = plan.KeysSqlFor(db);
    sql = keys_sql.empty() ? "select " + select + " from (" + plan.SqlFor(db) + ") as plan_rows" : keys_sql;
  }
};

// The keys of the rows shown, in the query's order or, with `sort_field`, sorted by its
// values; counts the records and adds up the totals into `result`.
std::expected<std::vector<std::int64_t>, DbError> ReadKeys(AppContext& ctx, const ListPlan& plan, int sort_field,
                                                           FillResult& result) {
  const KeyPass pass(plan, sort_field, ctx.db);
  auto st = ctx.Query(pass.sql);
  if (!st) return std::unexpected(st.error());
  for (std::size_t i = 0; i < plan.values.size(); ++i) st->Bind(static_cast<int>(i) + 1, plan.values[i]);
  st->ReadInPieces();  // every key of a long list: stepped to the end with nothing in between
  std::vector<std::int64_t> keys;
  std::vector<SortKey> sort_keys;
  std::u16string scratch;
  for (;;) {
    const auto step = st->Step();
    if (!step) return std::unexpected(step.error());
    if (!*step) break;
    ++result.records;
    for (std::size_t t = 0; t < plan.totals.size(); ++t)
      if (!pass.conditions[t] || pass.conditions[t]->Holds(plan.totals[t].counts, *st, scratch))
        result.totals[t] += pass.totals[t].Number(*st);
    if (pass.filter && !pass.filter->Holds(plan.row_filter, *st, scratch)) continue;
    keys.push_back(st->CellInt(0));
    if (pass.sort) sort_keys.push_back(pass.sort->NumberKey(*st));
  }
  if (sort_keys.size() > 1) {
    std::vector<std::int64_t> sorted;
    sorted.reserve(keys.size());
    for (std::uint32_t i : OrderOfKeys(sort_keys)) sorted.push_back(keys[i]);
    keys = std::move(sorted);
  }
  return keys;
}

// The styles a shown row takes, made by the same colouring and line style a list
// holding every row gets: [0] plain, [k] coloured by rule k.
std::vector<std::vector<CellStyle>> RowStyles(const IniFile& ini, const ListPlan& plan, const ListSettings& settings,
                                              int cols) {
  const int colour_last = plan.colour_last_col < 0 ? cols - 1 : plan.colour_last_col;
  // Row 0 plain, row k coloured by rule k, the last row standing for the totals row below them.
  GridStore sample;
  sample.SetCols(cols);
  sample.SetFixedRows(0);
  sample.SetRows(static_cast<int>(plan.colour_rules.size()) + 2);
  for (std::size_t r = 0; r < plan.colour_rules.size(); ++r) {
    const int row = static_cast<int>(r) + 1;
    sample.SetRangeForeColor(CellRange{row, plan.colour_first_col, row, colour_last},
                             ReadColourSetting(ini, plan.colour_rules[r].key));
  }
  GridLook sample_look;
  ApplyLineStyle(sample, sample_look, settings.line, 0, plan.line_first_col, sample.Rows() - 1, plan.line_last_col);
  std::vector<std::vector<CellStyle>> styles(plan.colour_rules.size() + 1);
  for (std::size_t k = 0; k < styles.size(); ++k)
    for (int c = 0; c < cols; ++c) styles[k].push_back(sample.Style(static_cast<int>(k), c));
  return styles;
}

}  // namespace

KeyedFill FillKeyedList(AppContext& ctx, GridStore& store, const ListPlan& plan) {
  KeyedFill fill;
  FillResult& result = fill.result;
  result.totals.assign(plan.totals.size(), 0.0);
  const FillStart start = StartFill(ctx, store, plan);
  // One pass takes the keys and the totals; the rows' texts wait until they are shown.
  auto keys = ReadKeys(ctx, plan, start.value_sort_field, result);
  if (!keys) {
    result.error = keys.error();
    result.totals.assign(plan.totals.size(), 0.0);
    result.records = 0;
    keys.emplace();
  }
  result.rows = static_cast<int>(keys->size());
  fill.rows = std::make_shared<KeyedRows>(ctx, plan, std::move(*keys),
                                          RowStyles(ctx.settings, plan, start.settings, store.Cols()));
  if (start.sorts) {
    // Any other column is read again with the keys and sorted as a user's click sorts it.
    if (start.value_sort_field < 0) fill.rows->Sort(plan.sort_column, store.ColumnKind(plan.sort_column));
    result.sorted_column = plan.sort_column;
  }
  EndFill(store, plan, start.settings, result);
  return fill;
}

// ---- Every row, for an export ----

namespace {

void CopyStyles(GridStore& out, int out_row, int cols, const auto& style_of) {
  // Neighbouring cells nearly always share a style: one change per run of equal ones.
  int c = 0;
  while (c < cols) {
    const CellStyle& s = style_of(c);
    int end = c + 1;
    while (end < cols && style_of(end) == s) ++end;
    if (!(s == CellStyle{})) out.ChangeStyle(CellRange{out_row, c, out_row, end - 1}, [&s](CellStyle& to) { to = s; });
    c = end;
  }
}

}  // namespace

bool CopyWithSourceRows(const GridStore& shown, const RowSource& source, GridStore& out, const Progress& progress) {
  const int cols = shown.Cols();
  const int fixed = shown.FixedRows();
  const int count = source.Count();
  out.SetCols(cols);
  out.SetFrozenRows(0);
  out.SetRows(out.FixedRows());
  out.SetFixedRows(fixed);
  for (int c = 0; c < cols; ++c) out.SetColumnKind(c, shown.ColumnKind(c));
  for (int r = 0; r < fixed; ++r) {
    out.SetHeaderRowHeight(r, shown.HeaderRowHeight(r));
    for (int c = 0; c < cols; ++c) out.SetText(r, c, shown.Text(r, c));
    CopyStyles(out, r, cols, [&](int c) -> const CellStyle& { return shown.Style(r, c); });
  }
  out.ReserveDataRows(count + shown.DataRows());
  QString line;
  for (int i = 0; i < count; ++i) {
    if (!Report(progress, i, count) || source.ReadFailure()) return false;
    line.clear();
    for (int c = 1; c < cols; ++c) {
      if (c > 1) line += u'\t';
      line += source.Text(i, c);
    }
    out.AddRow(line);
    CopyStyles(out, out.Rows() - 1, cols, [&](int c) -> const CellStyle& { return source.Style(i, c); });
  }
  if (source.ReadFailure()) return false;
  for (int r = fixed; r < shown.Rows(); ++r) {
    out.AddRow(QStringView());
    for (int c = 0; c < cols; ++c)
      if (const QStringView t = shown.TextView(r, c); !t.isEmpty()) out.SetText(out.Rows() - 1, c, t.toString());
    CopyStyles(out, out.Rows() - 1, cols, [&](int c) -> const CellStyle& { return shown.Style(r, c); });
  }
  for (CellRange m : shown.Merges()) {
    if (m.row1 >= fixed) m.row1 += count;
    if (m.row2 >= fixed) m.row2 += count;
    out.AddMerge(m);
  }
  out.SetFrozenRows(shown.RequestedFrozenRows());
  return true;
}

}  // namespace hemulu
