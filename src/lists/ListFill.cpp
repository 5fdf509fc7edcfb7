#include "lists/ListFill.h"

#include <algorithm>
#include <cmath>

#include "data/AppContext.h"
#include "data/IniFile.h"
#include "data/TextFormat.h"
#include "data/Utf8.h"

namespace hemulu {

QStringView FillRecord::Text(int field) const {
  const CellSpan& span = spans_[static_cast<std::size_t>(field)];
  return QStringView(row_text_.data() + span.begin, static_cast<qsizetype>(span.length));
}

// ---- Settings and the pieces of a fill ----

int ReadColourSetting(const IniFile& settings, const QString& key) {
  const double v = NumberValue(settings.ReadSetupValue(key));
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

// ---- Cell texts built straight into the row buffer ----

namespace {

// The row being read: its cells' texts one after another, tab-separated.
class RowText {
 public:
  // Room for `n` more units at the end; Commit() says how many were written.
  char16_t* Room(std::size_t n) {
    if (buf_.size() < len_ + n) buf_.resize((len_ + n) * 2);
    return buf_.data() + len_;
  }
  void Commit(const char16_t* end) { len_ = static_cast<std::size_t>(end - buf_.data()); }
  void Clear() { len_ = 0; }
  std::size_t Size() const { return len_; }
  QStringView View() const { return QStringView(buf_.data(), static_cast<qsizetype>(len_)); }

 private:
  std::vector<char16_t> buf_ = std::vector<char16_t>(512);
  std::size_t len_ = 0;
};

// Appends the UTF-8 bytes as UTF-16; a tab becomes a space so that a stored value can
// never shift the columns, and a malformed sequence becomes U+FFFD.
void AppendUtf8(RowText& out, const unsigned char* p, int n) {
  char16_t* d = out.Room(static_cast<std::size_t>(n));  // never more units than bytes
  const unsigned char* end = p + n;
  while (p < end) {
    const unsigned c = *p;
    if (c < 0x80) {  // the common cases, without the decoder: ASCII
      *d++ = c == '\t' ? u' ' : static_cast<char16_t>(c);
      ++p;
      continue;
    }
    if ((c & 0xF0) == 0xE0 && end - p >= 3 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80) {
      // and three bytes, where Chinese lies; anything NextUtf8 would refuse goes to it
      const char32_t cp = (c & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
      if (cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF)) {
        *d++ = static_cast<char16_t>(cp);
        p += 3;
        continue;
      }
    }
    char32_t cp = NextUtf8(p, end);
    if (cp == kBadUtf8) {
      *d++ = u'\uFFFD';
    } else if (cp >= 0x10000) {  // four bytes in, two units out
      cp -= 0x10000;
      *d++ = static_cast<char16_t>(0xD800 + (cp >> 10));
      *d++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      *d++ = static_cast<char16_t>(cp);
    }
  }
  out.Commit(d);
}

// The number's cell text; `exact` as NumberChars gives it.
void AppendNumber(RowText& out, double v, bool& exact) {
  char buf[40];
  const std::size_t n = NumberChars(v, buf, exact);
  char16_t* d = out.Room(n);
  for (std::size_t i = 0; i < n; ++i) d[i] = static_cast<char16_t>(buf[i]);
  out.Commit(d + n);
}

// The cell form of a stored date; the stored text as it is when it is not a date.
void AppendDate(RowText& out, const unsigned char* p, int n, bool day_only) {
  auto date = ReadStoredDate(p, static_cast<std::size_t>(n));
  if (!date) {
    AppendUtf8(out, p, n);
    return;
  }
  if (day_only) date->hour = date->minute = date->second = 0;
  constexpr std::size_t kMaxDateChars = 32;
  char16_t* d = out.Room(kMaxDateChars);
  out.Commit(d + CellDateChars(*date, d));
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

// The sort key of a number cell, as the store's own sort reads the cell's text.
SortKey NumberKey(QStringView text, double value, bool exact) {
  if (text.isEmpty()) return SortKey{0, 0};
  if (exact) return SortKey{value, 1};
  const auto read = ParseNumber(text);  // off the fast path: what the text says
  return read ? SortKey{*read, 1} : SortKey{0, 2};
}

}  // namespace

SortKey NumberSortKey(double value) {
  char buf[40];
  bool exact = false;
  const std::size_t n = NumberChars(value, buf, exact);
  if (exact) return SortKey{value, 1};
  return NumberKey(QString::fromLatin1(buf, static_cast<qsizetype>(n)), value, false);
}

// ---- The fill ----

class ListFiller {
 public:
  // `sort_field`: a number field whose keys to gather for the sort, or -1.
  ListFiller(GridStore& store, const ListFillSpec& plan, FillResult& result, int sort_field)
      : store_(store), plan_(plan), result_(result), sort_field_(sort_field) {}

  // Reads every record; on a failed step returns the error (rows already added stay
  // for the caller to drop).
  std::optional<DbError> ReadRecords(Statement& st, const std::vector<std::pair<int, const RecordTest*>>& rules) {
    const std::size_t n = plan_.fields.size();
    std::vector<int> index(n);
    std::vector<FieldKind> kinds(n);
    for (std::size_t i = 0; i < n; ++i) {
      index[i] = st.ColumnIndex(plan_.fields[i].column);
      kinds[i] = plan_.fields[i].kind;
    }
    std::vector<double> numbers(n, 0.0);
    std::vector<CellSpan> spans(n);
    RowText text;
    const int colour_last = plan_.colour_last_col < 0 ? store_.Cols() - 1 : plan_.colour_last_col;
    // Rows of one colour share one look: styled once, then handed on.
    std::vector<std::pair<int, std::uint32_t>> colour_looks;

    for (;;) {
      const auto step = st.Step();
      if (!step) return step.error();
      if (!*step) return std::nullopt;
      ++result_.records;

      text.Clear();
      bool sort_exact = false;
      for (std::size_t i = 0; i < n; ++i) {
        if (i > 0) {
          char16_t* tab = text.Room(1);
          *tab = u'\t';
          text.Commit(tab + 1);
        }
        const auto begin = static_cast<std::uint32_t>(text.Size());
        const int col = index[i];
        switch (kinds[i]) {
          case FieldKind::OptionalNumber:
            numbers[i] = 0.0;
            if (col < 0 || st.CellIsNull(col)) break;
            [[fallthrough]];
          case FieldKind::Number: {
            const double v = col < 0 ? 0.0 : st.CellDouble(col);
            numbers[i] = v;
            bool exact = false;
            AppendNumber(text, v, exact);
            if (static_cast<int>(i) == sort_field_) sort_exact = exact;
            break;
          }
          case FieldKind::Text:
          case FieldKind::Date:
          case FieldKind::Day: {
            if (col < 0) break;
            const auto cell = st.CellBytes(col);
            if (cell.empty()) break;
            const int bytes = static_cast<int>(cell.size());
            if (kinds[i] != FieldKind::Text)
              AppendDate(text, cell.data(), bytes, kinds[i] == FieldKind::Day);
            else
              AppendUtf8(text, cell.data(), bytes);
            break;
          }
        }
        spans[i] = CellSpan{begin, static_cast<std::uint32_t>(text.Size()) - begin};
      }
      const QStringView row_text = text.View();
      const FillRecord record(numbers, row_text, spans);
      for (std::size_t t = 0; t < plan_.totals.size(); ++t) {
        const ListTotal& total = plan_.totals[t];
        if (total.field >= 0 && static_cast<std::size_t>(total.field) < n && (!total.applies || total.applies(record)))
          result_.totals[t] += numbers[total.field];
      }
      if (plan_.row_filter && !plan_.row_filter(record)) continue;
      store_.AddRow(row_text, spans);
      ++result_.rows;
      if (sort_field_ >= 0)
        sort_keys_.push_back(NumberKey(record.Text(sort_field_), numbers[sort_field_], sort_exact));
      int colour = -1;
      for (const auto& [rule_colour, applies] : rules)
        if ((*applies)(record)) colour = rule_colour;
      if (colour >= 0) {
        const int row = store_.Rows() - 1;
        const auto known = std::find_if(colour_looks.begin(), colour_looks.end(),
                                        [colour](const auto& c) { return c.first == colour; });
        if (known != colour_looks.end()) {
          store_.SetRowLook(row, known->second);
        } else {
          store_.SetRangeForeColor(CellRange{row, plan_.colour_first_col, row, colour_last}, colour);
          colour_looks.emplace_back(colour, store_.RowLook(row));
        }
      }
    }
  }

  // The keys of the sort field for the rows shown, in their order (empty without one).
  const std::vector<SortKey>& SortKeys() const { return sort_keys_; }

 private:
  GridStore& store_;
  const ListFillSpec& plan_;
  FillResult& result_;
  const int sort_field_;
  std::vector<SortKey> sort_keys_;
};

FillResult FillList(AppContext& ctx, GridStore& store, const ListFillSpec& plan) {
  FillResult result;
  result.totals.assign(plan.totals.size(), 0.0);
  // Colours and the line style are re-read at every fill, so a settings change shows now.
  const ListSettings settings = ReadListSettings(ctx.settings);
  std::vector<std::pair<int, const RecordTest*>> rules;
  for (const RowColourRule& rule : plan.colour_rules)
    if (rule.applies) rules.emplace_back(ReadColourSetting(ctx.settings, rule.key), &rule.applies);

  store.SetFrozenRows(0);  // every data row takes part in the sort until the totals row exists
  store.SetRows(store.FixedRows());
  for (std::size_t i = 0; i < plan.fields.size(); ++i)
    store.SetColumnKind(static_cast<int>(i) + 1, KindOf(plan.fields[i].kind));
  const bool sorts = settings.beepview && plan.sort_column >= 0 && plan.sort_column < store.Cols();
  int sort_field = -1;
  if (sorts && plan.sort_column >= 1 && static_cast<std::size_t>(plan.sort_column) <= plan.fields.size() &&
      store.ColumnKind(plan.sort_column) == CellKind::Number) {
    const FieldKind kind = plan.fields[static_cast<std::size_t>(plan.sort_column - 1)].kind;
    if (kind == FieldKind::Number || kind == FieldKind::OptionalNumber) sort_field = plan.sort_column - 1;
  }
  bool sorted = false;

  if (auto open = ctx.EnsureDatabaseOpen(); !open) {
    result.error = open.error();
  } else if (auto st = ctx.db.Prepare(plan.sql); !st) {
    result.error = st.error();
  } else {
    for (std::size_t i = 0; i < plan.values.size(); ++i) st->Bind(static_cast<int>(i) + 1, plan.values[i]);
    ListFiller filler(store, plan, result, sort_field);
    result.error = filler.ReadRecords(*st, rules);
    if (!result.error && sort_field >= 0) {
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

  result.look = ListLook(settings);
  if (sorts) {
    if (!sorted) store.SortByColumn(plan.sort_column, store.ColumnKind(plan.sort_column));
    result.sorted_column = plan.sort_column;
  }

  store.AddRow(QStringView());
  const int totals_row = store.Rows() - 1;
  ApplyLineStyle(store, result.look, settings.line, store.FixedRows(), plan.line_first_col, totals_row,
                 plan.line_last_col);

  if (plan.plain_last_row) return result;
  DecorateTotalsRow(store, TotalsRowOf(plan, settings.lastcolor, result.totals));
  return result;
}

}  // namespace hemulu
