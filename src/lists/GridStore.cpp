#include "lists/GridStore.h"

#include <QCollator>
#include <QHash>
#include <QLocale>
#include <algorithm>
#include <cmath>

#include "data/TextFormat.h"

namespace hemulu {

namespace cell {

bool ParseNumber(QStringView text, double& value) {
  const auto v = hemulu::ParseNumber(text);
  if (v) value = *v;
  return v.has_value();
}

bool ParseDate(QStringView text, double& key) {
  const auto d = ReadCellDate(text);
  if (!d) return false;
  key = ((((static_cast<double>(d->year) * 100 + d->month) * 100 + d->day) * 100 + d->hour) * 100 + d->minute) * 100 +
        d->second;
  return true;
}

}  // namespace cell

GridStore::GridStore() : cols_(1), kinds_(1, CellKind::Auto) {
  palette_.push_back(CellStyle{});
  header_.push_back(MakeHeaderRow());
}

GridStore::HeaderRow GridStore::MakeHeaderRow() const {
  HeaderRow row;
  row.text.resize(cols_);
  row.style.resize(cols_, 0);
  return row;
}

std::uint32_t GridStore::NewSlot() {
  if (used_slots_ == span_blocks_.size() * kBlockRows)
    span_blocks_.push_back(std::make_unique<Span[]>(static_cast<std::size_t>(kBlockRows) * cols_));
  const std::uint32_t slot = used_slots_++;
  std::fill_n(SlotSpans(slot), cols_, Span{});  // a reused block holds an earlier fill's spans
  return slot;
}

void GridStore::ReleaseSlotsIfEmpty() {
  if (!rows_.empty()) return;
  // The blocks and chunks stay for the next fill.
  used_slots_ = 0;
  text_chunk_ = 0;
  text_used_ = 0;
}

void GridStore::StoreText(DataRow& row, QStringView text) {
  const auto n = static_cast<std::size_t>(text.size());
  if (text_chunks_.empty() || text_used_ + n > chunk_chars_[text_chunk_]) {
    std::size_t next = text_chunks_.empty() ? 0 : text_chunk_ + 1;
    while (next < text_chunks_.size() && chunk_chars_[next] < n) ++next;  // a kept chunk too small for this row
    if (next >= text_chunks_.size()) {
      const std::size_t size = std::max(kChunkChars, n);
      text_chunks_.push_back(std::make_unique_for_overwrite<char16_t[]>(size));
      chunk_chars_.push_back(size);
      next = text_chunks_.size() - 1;
    }
    text_chunk_ = next;
    text_used_ = 0;
  }
  char16_t* at = text_chunks_[text_chunk_].get() + text_used_;
  std::copy_n(text.utf16(), n, at);
  row.chunk = static_cast<std::uint32_t>(text_chunk_);
  row.offset = static_cast<std::uint32_t>(text_used_);
  row.length = static_cast<std::uint32_t>(n);
  text_used_ += n;
}

void GridStore::ReserveDataRows(int n) {
  if (n > 0) rows_.reserve(static_cast<std::size_t>(n));
}

void GridStore::SetRows(int rows) {
  const int data = std::max(rows, FixedRows()) - FixedRows();
  if (data < DataRows()) {
    rows_.resize(static_cast<std::size_t>(data));
    ReleaseSlotsIfEmpty();
  } else {
    while (DataRows() < data) AddRow(QStringView());
  }
}

void GridStore::SetFixedRows(int fixed) {
  fixed = std::max(fixed, 0);
  while (FixedRows() < fixed) {
    HeaderRow h = MakeHeaderRow();
    if (!rows_.empty()) {
      for (int c = 0; c < cols_; ++c) {
        h.text[c] = TextView(FixedRows(), c).toString();
        h.style[c] = SpansOf(0)[c].style;
      }
      rows_.erase(rows_.begin());
    }
    header_.push_back(std::move(h));
  }
  while (FixedRows() > fixed) {
    HeaderRow h = std::move(header_.back());
    header_.pop_back();
    DataRow row;
    row.slot = NewSlot();
    StoreText(row, QStringView());
    rows_.insert(rows_.begin(), row);
    SetDataRowCells(0, h.text);
    for (int c = 0; c < cols_; ++c) SpansOf(0)[c].style = h.style[c];
  }
}

void GridStore::SetCols(int cols) {
  cols = std::max(cols, 1);
  if (cols == cols_) return;
  const int keep = std::min(cols, cols_);
  std::vector<std::vector<Span>> old(rows_.size());
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const Span* spans = SlotSpans(rows_[i].slot);
    old[i].assign(spans, spans + keep);
  }
  span_blocks_.clear();
  used_slots_ = 0;
  cols_ = cols;
  kinds_.resize(static_cast<std::size_t>(cols_), CellKind::Auto);
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    rows_[i].slot = NewSlot();
    std::copy(old[i].begin(), old[i].end(), SlotSpans(rows_[i].slot));
  }
  for (HeaderRow& h : header_) {
    h.text.resize(cols_);
    h.style.resize(cols_, 0);
  }
}

void GridStore::SplitIntoSpans(DataRow& row) {
  Span* spans = SlotSpans(row.slot);
  const QStringView text = RowText(row);
  qsizetype begin = 0;
  for (int col = 1; col < cols_; ++col) {
    qsizetype end = text.indexOf(u'\t', begin);
    const bool last = end < 0;
    if (last) end = text.size();
    const qsizetype length = end - begin;
    spans[col].begin = static_cast<std::uint32_t>(begin);
    spans[col].length = length >= kLongCell ? kLongCell : static_cast<std::uint16_t>(length);
    if (last) break;
    begin = end + 1;
  }
}

void GridStore::AddRow(QStringView text) {
  DataRow row;
  StoreText(row, text);
  row.slot = NewSlot();
  SplitIntoSpans(row);
  rows_.push_back(row);
}

void GridStore::RemoveRow(int row) {
  const int d = row - FixedRows();
  if (d < 0 || d >= DataRows()) return;
  rows_.erase(rows_.begin() + d);
  ReleaseSlotsIfEmpty();
}

QStringView GridStore::TextView(int row, int col) const {
  if (row < 0 || col < 0 || col >= cols_ || row >= Rows()) return {};
  if (row < FixedRows()) return header_[row].text[col];
  const DataRow& r = rows_[row - FixedRows()];
  const Span& s = SlotSpans(r.slot)[col];
  const QStringView text = RowText(r);
  if (s.length != kLongCell) return text.mid(s.begin, s.length);
  const qsizetype end = text.indexOf(u'\t', s.begin);
  return end < 0 ? text.mid(s.begin) : text.mid(s.begin, end - s.begin);
}

std::vector<QString> GridStore::DataRowCells(int data_row) const {
  std::vector<QString> cells(cols_);
  for (int c = 0; c < cols_; ++c) cells[c] = TextView(data_row + FixedRows(), c).toString();
  return cells;
}

// The row's new text is written to the pool's end; the old run is left unused.
void GridStore::SetDataRowCells(int data_row, const std::vector<QString>& cells) {
  DataRow& row = rows_[data_row];
  QString text;
  Span* spans = SpansOf(data_row);
  for (int c = 0; c < cols_; ++c) {
    if (c > 0) text += u'\t';
    const QString& cell = c < static_cast<int>(cells.size()) ? cells[c] : QString();
    spans[c].begin = static_cast<std::uint32_t>(text.size());
    spans[c].length = cell.size() >= kLongCell ? kLongCell : static_cast<std::uint16_t>(cell.size());
    text += cell;
  }
  StoreText(row, text);
}

void GridStore::SetText(int row, int col, const QString& text) {
  if (row < 0 || col < 0 || col >= cols_ || row >= Rows()) return;
  if (row < FixedRows()) {
    header_[row].text[col] = text;
    return;
  }
  const int d = row - FixedRows();
  std::vector<QString> cells = DataRowCells(d);
  cells[col] = text;
  SetDataRowCells(d, cells);
}

std::uint16_t GridStore::StyleIndex(int row, int col) const {
  if (row < 0 || col < 0 || col >= cols_ || row >= Rows()) return 0;
  if (row < FixedRows()) return header_[row].style[col];
  return SpansOf(row - FixedRows())[col].style;
}

std::uint16_t GridStore::Intern(const CellStyle& style) {
  for (std::size_t i = 0; i < palette_.size(); ++i)
    if (palette_[i] == style) return static_cast<std::uint16_t>(i);
  if (palette_.size() >= 0xFFFE) return 0;  // no room: the default look rather than a wrong one
  palette_.push_back(style);
  return static_cast<std::uint16_t>(palette_.size() - 1);
}

bool GridStore::ClampRange(CellRange& r) const {
  if (r.row1 > r.row2) std::swap(r.row1, r.row2);
  if (r.col1 > r.col2) std::swap(r.col1, r.col2);
  if (r.row2 < 0 || r.col2 < 0 || r.row1 >= Rows() || r.col1 >= cols_) return false;
  r.row1 = std::max(r.row1, 0);
  r.col1 = std::max(r.col1, 0);
  r.row2 = std::min(r.row2, Rows() - 1);
  r.col2 = std::min(r.col2, cols_ - 1);
  return true;
}

void GridStore::AddMerge(CellRange range) {
  if (!ClampRange(range)) return;
  auto overlaps = [&](const CellRange& m) {
    return m.row1 <= range.row2 && range.row1 <= m.row2 && m.col1 <= range.col2 && range.col1 <= m.col2;
  };
  std::erase_if(merges_, overlaps);
  if (range.row1 != range.row2 || range.col1 != range.col2) merges_.push_back(range);
}

const CellRange* GridStore::MergeAt(int row, int col) const {
  for (const CellRange& m : merges_)
    if (m.Contains(row, col)) return &m;
  return nullptr;
}

CellKind GridStore::ResolveKind(int col) const {
  const int count = DataRows() - FrozenRows();
  bool numbers = true, dates = true;
  double v = 0;
  for (int i = 0; i < count && (numbers || dates); ++i) {
    const QStringView t = TextView(FixedRows() + i, col);
    if (t.trimmed().isEmpty()) continue;
    if (numbers && !cell::ParseNumber(t, v)) numbers = false;
    if (!numbers && dates && !cell::ParseDate(t, v)) dates = false;
  }
  if (numbers) return CellKind::Number;
  if (dates) return CellKind::Date;
  return CellKind::Text;
}

CellKind GridStore::SortByColumn(int col, CellKind kind) {
  const int count = DataRows() - FrozenRows();
  if (col < 0 || col >= cols_) return kind;
  if (kind == CellKind::Auto) kind = ResolveKind(col);
  if (count < 2) return kind;

  std::vector<std::uint32_t> order(static_cast<std::size_t>(count));
  if (kind == CellKind::Text) {
    // Chinese texts in pinyin order. A column repeats its texts (notes, names, kinds):
    // each distinct text gets one collation key and a rank, and the rows sort by rank.
    QHash<QStringView, std::uint32_t> distinct;
    std::vector<QStringView> texts;
    std::vector<std::uint32_t> text_of(order.size());
    for (int i = 0; i < count; ++i) {
      order[i] = static_cast<std::uint32_t>(i);
      const QStringView t = TextView(FixedRows() + i, col);
      auto it = distinct.constFind(t);
      if (it == distinct.cend()) {
        it = distinct.insert(t, static_cast<std::uint32_t>(texts.size()));
        texts.push_back(t);
      }
      text_of[i] = *it;
    }
    QCollator collator{QLocale(QLocale::Chinese, QLocale::China)};
    std::vector<QCollatorSortKey> keys;
    keys.reserve(texts.size());
    for (QStringView t : texts) keys.push_back(collator.sortKey(t.toString()));
    std::vector<std::uint32_t> by_key(texts.size());
    for (std::size_t k = 0; k < by_key.size(); ++k) by_key[k] = static_cast<std::uint32_t>(k);
    std::sort(by_key.begin(), by_key.end(), [&](std::uint32_t a, std::uint32_t b) { return keys[a].compare(keys[b]) < 0; });
    // Texts that collate equal share a rank, so their rows keep their order.
    std::vector<std::uint32_t> rank(texts.size());
    for (std::size_t k = 0; k < by_key.size(); ++k)
      rank[by_key[k]] = k > 0 && keys[by_key[k - 1]].compare(keys[by_key[k]]) == 0 ? rank[by_key[k - 1]]
                                                                                     : static_cast<std::uint32_t>(k);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return rank[text_of[a]] < rank[text_of[b]]; });
  } else {
    // Empty cells first, then values, then texts that are not values, each group stable.
    struct Key {
      double value;
      std::uint32_t index;
      std::uint8_t group;
    };
    std::vector<Key> keys(order.size());
    for (int i = 0; i < count; ++i) {
      const QStringView t = TextView(FixedRows() + i, col);
      Key& k = keys[i];
      k.index = static_cast<std::uint32_t>(i);
      k.value = 0;
      if (t.trimmed().isEmpty())
        k.group = 0;
      else if (kind == CellKind::Number ? cell::ParseNumber(t, k.value) : cell::ParseDate(t, k.value))
        k.group = 1;
      else
        k.group = 2;
    }
    std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
      if (a.group != b.group) return a.group < b.group;
      if (a.value != b.value) return a.value < b.value;
      return a.index < b.index;
    });
    for (int i = 0; i < count; ++i) order[i] = keys[i].index;
  }

  std::vector<DataRow> sorted;
  sorted.reserve(rows_.size());
  for (std::uint32_t i : order) sorted.push_back(rows_[i]);
  for (std::size_t i = static_cast<std::size_t>(count); i < rows_.size(); ++i) sorted.push_back(rows_[i]);
  rows_.swap(sorted);
  return kind;
}

void GridStore::SetColumnKind(int col, CellKind kind) {
  if (col >= 0 && col < cols_) kinds_[static_cast<std::size_t>(col)] = kind;
}

void GridStore::SetRangeForeColor(CellRange range, int win_color) {
  const std::uint32_t rgb = RgbFromWin(win_color);
  ChangeStyle(range, [rgb](CellStyle& s) {
    s.fore = rgb;
    s.flags |= CellStyle::kHasFore;
  });
}

void GridStore::SetRangeBackColor(CellRange range, int win_color) {
  const std::uint32_t rgb = RgbFromWin(win_color);
  ChangeStyle(range, [rgb](CellStyle& s) {
    s.back = rgb;
    s.flags |= CellStyle::kHasBack;
  });
}

void GridStore::SetRangeFontBold(CellRange range, bool bold) {
  ChangeStyle(range, [bold](CellStyle& s) {
    if (bold)
      s.flags |= CellStyle::kBold;
    else
      s.flags &= static_cast<std::uint8_t>(~CellStyle::kBold);
  });
}

void GridStore::SetRangeBorders(CellRange r, int inside_edges) {
  if (!ClampRange(r)) return;
  if ((inside_edges & kInsideVertical) && r.col2 > r.col1)
    ChangeStyle(CellRange{r.row1, r.col1, r.row2, r.col2 - 1}, [](CellStyle& s) { s.borders |= kBorderRight; });
  if ((inside_edges & kInsideHorizontal) && r.row2 > r.row1)
    ChangeStyle(CellRange{r.row1, r.col1, r.row2 - 1, r.col2}, [](CellStyle& s) { s.borders |= kBorderBottom; });
}

}  // namespace hemulu
