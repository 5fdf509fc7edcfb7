#include "lists/ListCells.h"

#include <utility>

#include "data/TextFormat.h"
#include "data/Utf8.h"

namespace hemulu {

namespace {

// Appends at most `most` units, which `write(char16_t* at)` writes from `at` on and
// returns where it stopped; the text is not filled beforehand.
template <class Write>
void AppendUnits(std::u16string& out, std::size_t most, Write write) {
  const std::size_t size = out.size();
  out.resize_and_overwrite(
      size + most, [&](char16_t* text, std::size_t) { return static_cast<std::size_t>(write(text + size) - text); });
}

// The UTF-8 bytes as UTF-16; a tab becomes a space and a malformed sequence U+FFFD.
char16_t* WriteUtf8(char16_t* d, const unsigned char* p, const unsigned char* end) {
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
  return d;
}

void AppendUtf8(std::u16string& out, std::span<const unsigned char> bytes) {
  if (bytes.empty()) return;
  // Never more units than bytes.
  AppendUnits(out, bytes.size(),
              [&](char16_t* at) { return WriteUtf8(at, bytes.data(), bytes.data() + bytes.size()); });
}

void AppendNumber(std::u16string& out, double value, bool& exact) {
  char digits[40];
  const std::size_t n = NumberChars(value, digits, exact);
  AppendUnits(out, n, [&](char16_t* at) {
    for (std::size_t i = 0; i < n; ++i) *at++ = static_cast<char16_t>(digits[i]);
    return at;
  });
}

void AppendDate(std::u16string& out, std::span<const unsigned char> bytes, bool day_only) {
  if (bytes.empty()) return;
  auto date = ReadStoredDate(bytes.data(), bytes.size());
  if (!date) {
    AppendUtf8(out, bytes);
    return;
  }
  if (day_only) date->hour = date->minute = date->second = 0;
  constexpr std::size_t kMostDateChars = 32;
  AppendUnits(out, kMostDateChars, [&](char16_t* at) { return at + CellDateChars(*date, at); });
}

// AppendCellText, inlined into the loop over a record's fields.
inline double AppendCell(std::u16string& out, const Statement& st, int column, FieldKind kind, bool& exact) {
  switch (kind) {
    case FieldKind::OptionalNumber:
      if (st.CellIsNull(column)) return 0.0;
      [[fallthrough]];
    case FieldKind::Number: {
      const double value = st.CellDouble(column);
      AppendNumber(out, value, exact);
      return value;
    }
    case FieldKind::Date:
    case FieldKind::Day:
      AppendDate(out, st.CellBytes(column), kind == FieldKind::Day);
      return 0.0;
    case FieldKind::Text:
      AppendUtf8(out, st.CellBytes(column));
      return 0.0;
  }
  return 0.0;
}

}  // namespace

double AppendCellText(std::u16string& out, const Statement& st, int column, FieldKind kind, bool* exact) {
  bool is_exact = false;
  const double value = AppendCell(out, st, column, kind, is_exact);
  if (exact) *exact = is_exact;
  return value;
}

RecordCells::RecordCells(std::vector<FieldKind> kinds, std::vector<int> columns)
    : kinds_(std::move(kinds)),
      columns_(std::move(columns)),
      numbers_(kinds_.size(), 0.0),
      exact_(kinds_.size(), 0),
      spans_(kinds_.size()) {
  text_.reserve(512);
}

RecordCells RecordCells::ForPlan(const ListPlan& plan, const Statement& st) {
  std::vector<FieldKind> kinds;
  std::vector<int> columns;
  for (const ListField& field : plan.fields) {
    kinds.push_back(field.kind);
    columns.push_back(field.column.empty() ? -1 : st.ColumnIndex(field.column));
  }
  return RecordCells(std::move(kinds), std::move(columns));
}

void RecordCells::Read(const Statement& st) {
  text_.clear();
  for (std::size_t i = 0; i < kinds_.size(); ++i) {
    if (i > 0) text_.push_back(u'\t');
    const auto begin = static_cast<std::uint32_t>(text_.size());
    const int column = columns_[i];
    bool exact = false;
    if (column >= 0) {
      numbers_[i] = AppendCell(text_, st, column, kinds_[i], exact);
    } else {
      numbers_[i] = 0.0;
      if (kinds_[i] == FieldKind::Number) AppendNumber(text_, 0.0, exact);
    }
    exact_[i] = exact;
    spans_[i] = CellSpan{begin, static_cast<std::uint32_t>(text_.size()) - begin};
  }
}

}  // namespace hemulu
