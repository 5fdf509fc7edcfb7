#include "lists/ListFill.h"

#include <cmath>

#include "data/AppContext.h"
#include "data/IniFile.h"
#include "data/TextFormat.h"
#include "data/Utf8.h"

namespace hemulu {

QStringView FillRecord::Text(int field) const {
  const auto& span = spans_[static_cast<std::size_t>(field)];
  return row_text_.mid(span.first, span.second);
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

// Appends the UTF-8 bytes as UTF-16; a tab becomes a space so that a stored value can
// never shift the columns, and a malformed sequence becomes U+FFFD.
void AppendUtf8(std::vector<char16_t>& out, std::size_t& len, const unsigned char* p, int n) {
  if (out.size() < len + static_cast<std::size_t>(n)) out.resize((len + static_cast<std::size_t>(n)) * 2);
  char16_t* d = out.data() + len;
  const unsigned char* end = p + n;
  while (p < end) {
    if (*p < 0x80) {  // the common case, without the decoder
      *d++ = *p == '\t' ? u' ' : static_cast<char16_t>(*p);
      ++p;
      continue;
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
  len = static_cast<std::size_t>(d - out.data());
}

void AppendAscii(std::vector<char16_t>& out, std::size_t& len, const char* p, const char* end) {
  if (out.size() < len + static_cast<std::size_t>(end - p)) out.resize((len + static_cast<std::size_t>(end - p)) * 2);
  for (; p < end; ++p) out[len++] = static_cast<char16_t>(*p);
}

void AppendNumber(std::vector<char16_t>& out, std::size_t& len, double v) {
  char buf[40];
  AppendAscii(out, len, buf, buf + NumberChars(v, buf));
}

void AppendUnit(std::vector<char16_t>& out, std::size_t& len, char16_t unit) {
  if (out.size() <= len) out.resize((len + 1) * 2);
  out[len++] = unit;
}

// The cell form of a stored date; the stored text as it is when it is not a date.
void AppendDate(std::vector<char16_t>& out, std::size_t& len, const unsigned char* p, int n) {
  const auto date = ReadStoredDate(p, static_cast<std::size_t>(n));
  if (!date) {
    AppendUtf8(out, len, p, n);
    return;
  }
  constexpr std::size_t kMaxDateChars = 32;
  if (out.size() < len + kMaxDateChars) out.resize((len + kMaxDateChars) * 2);
  len += CellDateChars(*date, out.data() + len);
}

CellKind KindOf(FieldKind kind) {
  switch (kind) {
    case FieldKind::Number:
    case FieldKind::OptionalNumber: return CellKind::Number;
    case FieldKind::Date: return CellKind::Date;
    case FieldKind::Text: return CellKind::Text;
  }
  return CellKind::Auto;
}

}  // namespace

// ---- The fill ----

class ListFiller {
 public:
  ListFiller(GridStore& store, const ListFillSpec& plan, FillResult& result)
      : store_(store), plan_(plan), result_(result) {}

  // Reads every record; on a failed step returns the error (rows already added stay
  // for the caller to drop).
  std::optional<DbError> ReadRecords(Statement& st, const std::vector<std::pair<int, const RecordTest*>>& rules) {
    sqlite3_stmt* h = st.Handle();
    const std::size_t n = plan_.fields.size();
    std::vector<int> index(n);
    for (std::size_t i = 0; i < n; ++i) index[i] = st.ColumnIndex(plan_.fields[i].column);
    std::vector<double> numbers(n, 0.0);
    std::vector<std::pair<int, int>> spans(n);
    std::vector<char16_t> buf(512);
    const int colour_last = plan_.colour_last_col < 0 ? store_.Cols() - 1 : plan_.colour_last_col;

    for (;;) {
      const auto step = st.Step();
      if (!step) return step.error();
      if (!*step) return std::nullopt;
      ++result_.records;

      std::size_t len = 0;
      for (std::size_t i = 0; i < n; ++i) {
        if (i > 0) AppendUnit(buf, len, u'\t');
        const std::size_t begin = len;
        const int col = index[i];
        switch (plan_.fields[i].kind) {
          case FieldKind::OptionalNumber:
            numbers[i] = 0.0;
            if (col < 0 || sqlite3_column_type(h, col) == SQLITE_NULL) break;
            [[fallthrough]];
          case FieldKind::Number: {
            const double v = col < 0 ? 0.0 : sqlite3_column_double(h, col);
            numbers[i] = v;
            AppendNumber(buf, len, v);
            break;
          }
          case FieldKind::Text:
          case FieldKind::Date: {
            if (col < 0) break;
            const unsigned char* p = sqlite3_column_text(h, col);
            if (!p) break;
            const int bytes = sqlite3_column_bytes(h, col);
            if (plan_.fields[i].kind == FieldKind::Date)
              AppendDate(buf, len, p, bytes);
            else
              AppendUtf8(buf, len, p, bytes);
            break;
          }
        }
        spans[i] = {static_cast<int>(begin), static_cast<int>(len - begin)};
      }
      const QStringView text(buf.data(), static_cast<qsizetype>(len));
      const FillRecord record(numbers, text, spans);
      for (std::size_t t = 0; t < plan_.totals.size(); ++t) {
        const ListTotal& total = plan_.totals[t];
        if (total.field >= 0 && static_cast<std::size_t>(total.field) < n && (!total.applies || total.applies(record)))
          result_.totals[t] += numbers[total.field];
      }
      if (plan_.row_filter && !plan_.row_filter(record)) continue;
      store_.AddRow(text);
      ++result_.rows;
      int colour = -1;
      for (const auto& [rule_colour, applies] : rules)
        if ((*applies)(record)) colour = rule_colour;
      if (colour >= 0) {
        const int row = store_.Rows() - 1;
        store_.SetRangeForeColor(CellRange{row, plan_.colour_first_col, row, colour_last}, colour);
      }
    }
  }

 private:
  GridStore& store_;
  const ListFillSpec& plan_;
  FillResult& result_;
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

  if (auto open = ctx.EnsureDatabaseOpen(); !open) {
    result.error = open.error();
  } else if (auto st = ctx.db.Prepare(plan.sql); !st) {
    result.error = st.error();
  } else {
    for (std::size_t i = 0; i < plan.values.size(); ++i) st->Bind(static_cast<int>(i) + 1, plan.values[i]);
    ListFiller filler(store, plan, result);
    result.error = filler.ReadRecords(*st, rules);
  }  // the statement is finalised here, before the list is shown
  if (result.error) {
    store.SetRows(store.FixedRows());
    result.records = result.rows = 0;
    result.totals.assign(plan.totals.size(), 0.0);
  }

  result.look = ListLook(settings);
  if (settings.beepview && plan.sort_column >= 0 && plan.sort_column < store.Cols()) {
    store.SortByColumn(plan.sort_column, store.ColumnKind(plan.sort_column));
    result.sorted_column = plan.sort_column;
  }

  store.AddRow(QStringView());
  const int totals_row = store.Rows() - 1;
  ApplyLineStyle(store, result.look, settings.line, store.FixedRows(), plan.line_first_col, totals_row,
                 plan.line_last_col);

  if (plan.plain_last_row) return result;
  TotalsRow totals;
  totals.back_colour = settings.lastcolor;
  totals.first_col = plan.totals_first_col;
  totals.last_col = plan.totals_last_col;
  if (plan.label_column >= 0) totals.cells.emplace_back(plan.label_column, plan.total_label);
  for (std::size_t t = 0; t < plan.totals.size(); ++t)
    totals.cells.emplace_back(plan.totals[t].column, NumberText(result.totals[t]));
  DecorateTotalsRow(store, totals);
  return result;
}

}  // namespace hemulu
