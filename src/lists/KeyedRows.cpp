#include "lists/KeyedRows.h"

#include <QHash>
#include <algorithm>
#include <utility>

#include "data/AppContext.h"
#include "data/TextFormat.h"

namespace hemulu {

namespace {

std::string Quoted(const std::string& name) { return '"' + name + '"'; }
// A field's column in a select list; a withheld field reads as NULL.
std::string FieldSql(const ListField& field) { return field.column.empty() ? "NULL" : Quoted(field.column); }

// A stored text as its cell shows it: a tab becomes a space, so it never shifts columns.
QString CellText(const Statement& st, int col) {
  const auto bytes = st.CellBytes(col);
  if (bytes.empty()) return {};
  QString text = QString::fromUtf8(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
  text.replace(u'\t', u' ');
  return text;
}

// The cell of one field, as the common fill writes it.
QString FieldText(const Statement& st, int col, FieldKind kind) {
  switch (kind) {
    case FieldKind::OptionalNumber:
      if (st.CellIsNull(col)) return {};
      [[fallthrough]];
    case FieldKind::Number:
      return NumberText(st.CellDouble(col));
    case FieldKind::Date:
    case FieldKind::Day: {
      const auto bytes = st.CellBytes(col);
      if (bytes.empty()) return {};
      if (auto date = ReadStoredDate(bytes.data(), bytes.size())) {
        if (kind == FieldKind::Day) date->hour = date->minute = date->second = 0;
        return DateCellText(*date);
      }
      return CellText(st, col);
    }
    case FieldKind::Text:
      return CellText(st, col);
  }
  return {};
}

CellKind KindOf(FieldKind kind) {
  switch (kind) {
    case FieldKind::Number:
    case FieldKind::OptionalNumber: return CellKind::Number;
    case FieldKind::Date:
    case FieldKind::Day: return CellKind::Date;
    case FieldKind::Text: return CellKind::Text;
  }
  return CellKind::Auto;
}

}  // namespace

// ---- The rows ----

KeyedRows::KeyedRows(AppContext& ctx, KeyedListPlan plan, std::vector<std::int64_t> keys,
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
    page = &*std::min_element(pages_.begin(), pages_.end(), [](const Page& a, const Page& b) { return a.used < b.used; });
  }
  page->first = first;
  page->used = clock_;
  ReadPage(*page);
  return *page;
}

void KeyedRows::ReadPage(Page& page) const {
  const std::size_t fields = plan_.fields.size();
  const int rows = std::min(kPageRows, Count() - page.first);
  page.cells.assign(static_cast<std::size_t>(kPageRows) * fields, QString());
  page.look.assign(kPageRows, 0);
  if (rows <= 0) return;
  if (auto open = ctx_.EnsureDatabaseOpen(); !open) {
    Failed(open.error());
    return;
  }

  QHash<std::int64_t, int> slot;
  slot.reserve(rows);
  std::string sql = "select ";
  for (std::size_t i = 0; i < fields; ++i) sql += (i ? "," : "") + FieldSql(plan_.fields[i]);
  sql += " from " + Quoted(plan_.table) + " where " + Quoted(plan_.fields[0].column) + " in (";
  for (int i = 0; i < rows; ++i) {
    sql += i ? ",?" : "?";
    slot.insert(keys_[static_cast<std::size_t>(page.first + i)], i);
  }
  sql += ')';
  auto st = ctx_.db.Prepare(sql);
  if (!st) {
    Failed(st.error());
    return;
  }
  for (int i = 0; i < rows; ++i) st->Bind(i + 1, static_cast<qint64>(keys_[static_cast<std::size_t>(page.first + i)]));
  for (;;) {
    const auto step = st->Step();
    if (!step) {
      // A page read in part is shown empty, never as a page with rows missing.
      std::fill(page.cells.begin(), page.cells.end(), QString());
      std::fill(page.look.begin(), page.look.end(), std::uint8_t{0});
      Failed(step.error());
      return;
    }
    if (!*step) break;
    const auto it = slot.constFind(st->CellInt(0));
    if (it == slot.cend()) continue;
    const auto base = static_cast<std::size_t>(*it) * fields;
    for (std::size_t f = 0; f < fields; ++f)
      page.cells[base + f] = FieldText(*st, static_cast<int>(f), plan_.fields[f].kind);
    std::uint8_t look = 0;
    for (std::size_t r = 0; r < plan_.colour_rules.size(); ++r) {
      const KeyedColourRule& rule = plan_.colour_rules[r];
      if (rule.applies && rule.field >= 0 && static_cast<std::size_t>(rule.field) < fields &&
          rule.applies(st->CellDouble(rule.field)))
        look = static_cast<std::uint8_t>(r + 1);
    }
    page.look[static_cast<std::size_t>(*it)] = look;
  }
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
  return page.cells[static_cast<std::size_t>(row - page.first) * plan_.fields.size() + static_cast<std::size_t>(col - 1)];
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
  if (col != 1 || plan_.fields.empty() || plan_.fields[0].kind != FieldKind::Number) return RowSource::FindRow(col, text);
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

CellKind KeyedRows::Sort(int col, CellKind kind) {
  if (col < 1 || static_cast<std::size_t>(col) > plan_.fields.size()) return kind;
  const ListField& field = plan_.fields[static_cast<std::size_t>(col - 1)];
  if (kind == CellKind::Auto) kind = KindOf(field.kind);

  // The column's cell of every row of the query, found again by key.
  // A failed read keeps the present order: ordering by cells not read would be a lie.
  std::vector<std::pair<std::int64_t, QString>> cells;
  if (auto open = ctx_.EnsureDatabaseOpen(); !open) {
    Failed(open.error());
    return kind;
  }
  auto st = ctx_.db.Prepare("select " + Quoted(plan_.fields[0].column) + "," + FieldSql(field) + " from (" +
                            plan_.sql + ")");
  if (!st) {
    Failed(st.error());
    return kind;
  }
  for (std::size_t i = 0; i < plan_.values.size(); ++i) st->Bind(static_cast<int>(i) + 1, plan_.values[i]);
  cells.reserve(keys_.size());
  for (;;) {
    const auto step = st->Step();
    if (!step) {
      Failed(step.error());
      return kind;
    }
    if (!*step) break;
    cells.emplace_back(st->CellInt(0), FieldText(*st, 1, field.kind));
  }
  std::sort(cells.begin(), cells.end(), [](const auto& a, const auto& b) { return a.first < b.first; });

  // The store's own sort on the rows as they are shown, so the order is the one a list
  // holding every row would have: same comparisons, ties in their present order.
  GridStore order;
  order.SetCols(3);
  order.SetFixedRows(0);
  order.SetRows(0);
  order.ReserveDataRows(Count());
  QString line;
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    const auto it = std::lower_bound(cells.begin(), cells.end(), keys_[i],
                                     [](const auto& cell, std::int64_t key) { return cell.first < key; });
    line.clear();
    if (it != cells.end() && it->first == keys_[i]) line = it->second;
    line += u'\t';
    line += QString::number(i);
    order.AddRow(line);
  }
  cells = {};
  kind = order.SortByColumn(1, kind);
  std::vector<std::int64_t> sorted(keys_.size());
  for (int r = 0; r < order.DataRows(); ++r)
    sorted[static_cast<std::size_t>(r)] = keys_[order.TextView(r, 2).toULongLong()];
  keys_ = std::move(sorted);
  DropPages();
  return kind;
}

// ---- The fill ----

KeyedFill FillKeyedList(AppContext& ctx, GridStore& store, const KeyedListPlan& plan) {
  KeyedFill fill;
  FillResult& result = fill.result;
  result.totals.assign(plan.totals.size(), 0.0);
  const ListSettings settings = ReadListSettings(ctx.settings);

  store.SetFrozenRows(0);
  store.SetRows(store.FixedRows());
  for (std::size_t i = 0; i < plan.fields.size(); ++i)
    store.SetColumnKind(static_cast<int>(i) + 1, KindOf(plan.fields[i].kind));

  // One pass takes the keys and the totals, and the filter's and a number sort's values;
  // the rows' texts wait until they are shown.
  const bool sorts = settings.beepview && plan.sort_column >= 0 && plan.sort_column < store.Cols();
  int sort_field = -1;
  if (sorts && plan.sort_column >= 1 && static_cast<std::size_t>(plan.sort_column) <= plan.fields.size() &&
      store.ColumnKind(plan.sort_column) == CellKind::Number)
    sort_field = plan.sort_column - 1;
  const bool filters = plan.row_filter.admits && plan.row_filter.field >= 0 &&
                       static_cast<std::size_t>(plan.row_filter.field) < plan.fields.size();
  const int filter_col = static_cast<int>(plan.totals.size()) + 1;
  const int sort_col = filter_col + (filters ? 1 : 0);

  std::vector<std::int64_t> keys;
  std::vector<SortKey> sort_keys;
  if (auto open = ctx.EnsureDatabaseOpen(); !open) {
    result.error = open.error();
  } else {
    std::string sql = plan.keys_sql;
    if (sql.empty()) {
      sql = "select " + Quoted(plan.fields.empty() ? std::string("rowid") : plan.fields[0].column);
      for (const KeyedTotal& t : plan.totals) sql += "," + FieldSql(plan.fields[static_cast<std::size_t>(t.field)]);
      if (filters) sql += "," + FieldSql(plan.fields[static_cast<std::size_t>(plan.row_filter.field)]);
      if (sort_field >= 0) sql += "," + FieldSql(plan.fields[static_cast<std::size_t>(sort_field)]);
      sql += " from (" + plan.sql + ")";
    }
    if (auto st = ctx.db.Prepare(sql); !st) {
      result.error = st.error();
    } else {
      for (std::size_t i = 0; i < plan.values.size(); ++i) st->Bind(static_cast<int>(i) + 1, plan.values[i]);
      std::vector<bool> counted;
      for (const KeyedTotal& t : plan.totals)
        counted.push_back(!plan.fields[static_cast<std::size_t>(t.field)].column.empty());
      const bool optional_sort =
          sort_field >= 0 && plan.fields[static_cast<std::size_t>(sort_field)].kind != FieldKind::Number;
      for (;;) {
        const auto step = st->Step();
        if (!step) {
          result.error = step.error();
          break;
        }
        if (!*step) break;
        ++result.records;
        for (std::size_t t = 0; t < plan.totals.size(); ++t)
          if (counted[t]) result.totals[t] += st->CellDouble(static_cast<int>(t) + 1);
        if (filters && !plan.row_filter.admits(st->CellDouble(filter_col))) continue;
        keys.push_back(st->CellInt(0));
        if (sort_field < 0) continue;
        // Where the shown cell would go in the store's sort: an empty cell first, a
        // number by its value or by the text it shows.
        if (optional_sort && st->CellIsNull(sort_col))
          sort_keys.push_back(SortKey{0, 0});
        else
          sort_keys.push_back(NumberSortKey(st->CellDouble(sort_col)));
      }
    }
  }
  if (result.error) {
    keys.clear();
    sort_keys.clear();
    result.totals.assign(plan.totals.size(), 0.0);
    result.records = 0;
  }
  result.rows = static_cast<int>(keys.size());
  if (sort_field >= 0 && keys.size() > 1) {
    std::vector<std::int64_t> sorted;
    sorted.reserve(keys.size());
    for (std::uint32_t i : OrderOfKeys(sort_keys)) sorted.push_back(keys[i]);
    keys = std::move(sorted);
  }
  result.look = ListLook(settings);

  // The styles a shown row takes, made by the same colouring and line style a list
  // holding every row gets: row 0 plain, row k coloured by rule k, the last row standing
  // for the totals row below them.
  const int cols = store.Cols();
  const int colour_last = plan.colour_last_col < 0 ? cols - 1 : plan.colour_last_col;
  GridStore sample;
  sample.SetCols(cols);
  sample.SetFixedRows(0);
  sample.SetRows(static_cast<int>(plan.colour_rules.size()) + 2);
  for (std::size_t r = 0; r < plan.colour_rules.size(); ++r) {
    const int row = static_cast<int>(r) + 1;
    sample.SetRangeForeColor(CellRange{row, plan.colour_first_col, row, colour_last},
                             ReadColourSetting(ctx.settings, plan.colour_rules[r].key));
  }
  GridLook sample_look;
  ApplyLineStyle(sample, sample_look, settings.line, 0, plan.line_first_col, sample.Rows() - 1, plan.line_last_col);
  std::vector<std::vector<CellStyle>> styles(plan.colour_rules.size() + 1);
  for (std::size_t k = 0; k < styles.size(); ++k)
    for (int c = 0; c < cols; ++c) styles[k].push_back(sample.Style(static_cast<int>(k), c));

  fill.rows = std::make_shared<KeyedRows>(ctx, plan, std::move(keys), std::move(styles));
  if (sorts) {
    // Any other column is read again with the keys and sorted as a user's click sorts it.
    if (sort_field < 0) fill.rows->Sort(plan.sort_column, store.ColumnKind(plan.sort_column));
    result.sorted_column = plan.sort_column;
  }

  store.AddRow(QStringView());
  const int totals_row = store.Rows() - 1;
  ApplyLineStyle(store, result.look, settings.line, totals_row, plan.line_first_col, totals_row, plan.line_last_col);
  DecorateTotalsRow(store, TotalsRowOf(plan, settings.lastcolor, result.totals));
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
