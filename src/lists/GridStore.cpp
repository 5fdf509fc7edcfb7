#include "lists/GridStore.h"

#include <QCollator>
#include <QHash>
#include <QLocale>
#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

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
  ResetLooks();
}

GridStore GridStore::LaidOutCopy() const {
  GridStore copy;
  copy.cols_ = cols_;
  copy.frozen_ = frozen_;
  copy.kinds_ = kinds_;
  copy.header_ = header_;
  copy.palette_ = palette_;
  copy.merges_ = merges_;
  copy.ResetLooks();
  return copy;
}

GridStore::HeaderRow GridStore::MakeHeaderRow() const {
  HeaderRow row;
  row.text.resize(cols_);
  row.style.resize(cols_, 0);
  return row;
}

// ---- Looks ----

namespace {
std::size_t HashLook(const std::uint16_t* styles, std::size_t cols) {
  std::size_t hash = 14695981039346656037ull;
  for (std::size_t c = 0; c < cols; ++c) hash = (hash ^ styles[c]) * 1099511628211ull;
  return hash;
}
}  // namespace

void GridStore::ResetLooks() {
  const auto cols = static_cast<std::size_t>(cols_);
  look_styles_.assign(cols, 0);  // look 0: every cell plain
  look_scratch_.assign(cols, 0);
  look_ids_.clear();
  look_ids_.emplace(HashLook(look_styles_.data(), cols), 0);
}

std::uint32_t GridStore::InternLook(const std::uint16_t* styles) {
  const auto cols = static_cast<std::size_t>(cols_);
  const std::size_t hash = HashLook(styles, cols);
  const auto [first, last] = look_ids_.equal_range(hash);
  for (auto it = first; it != last; ++it)
    if (std::equal(styles, styles + cols, LookStyles(it->second))) return it->second;
  const auto look = static_cast<std::uint32_t>(look_styles_.size() / cols);
  look_styles_.insert(look_styles_.end(), styles, styles + cols);
  look_ids_.emplace(hash, look);
  return look;
}

std::uint32_t GridStore::RowLook(int row) const {
  const int d = row - FixedRows();
  return d >= 0 && d < DataRows() ? rows_[d].look : 0;
}

void GridStore::SetRowLook(int row, std::uint32_t look) {
  const int d = row - FixedRows();
  if (d < 0 || d >= DataRows() || static_cast<std::size_t>(look) * cols_ >= look_styles_.size()) return;
  rows_[d].look = look;
}

// ---- Rows and their texts ----

std::uint32_t GridStore::NewSlot() {
  if (used_slots_ == span_blocks_.size() * kBlockRows)
    span_blocks_.push_back(std::make_unique_for_overwrite<CellSpan[]>(static_cast<std::size_t>(kBlockRows) * cols_));
  return used_slots_++;
}

void GridStore::ReleaseSlotsIfEmpty() {
  if (!rows_.empty()) return;
  // The blocks and chunks stay for the next fill.
  used_slots_ = 0;
  text_chunk_ = 0;
  text_used_ = 0;
  ResetLooks();
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
      const std::uint16_t* styles = LookStyles(rows_.front().look);
      for (int c = 0; c < cols_; ++c) {
        h.text[c] = TextView(FixedRows(), c).toString();
        h.style[c] = styles[c];
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
    row.look = InternLook(h.style.data());
    rows_.insert(rows_.begin(), row);
    SetDataRowCells(0, h.text);
  }
}

void GridStore::SetCols(int cols) {
  cols = std::max(cols, 1);
  if (cols == cols_) return;
  const int keep = std::min(cols, cols_);
  std::vector<std::vector<CellSpan>> old(rows_.size());
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const CellSpan* spans = SlotSpans(rows_[i].slot);
    old[i].assign(spans, spans + keep);
  }
  // The looks keep their first columns; new columns are plain.
  const std::vector<std::uint16_t> old_looks = std::move(look_styles_);
  const int old_cols = cols_;
  span_blocks_.clear();
  used_slots_ = 0;
  cols_ = cols;
  kinds_.resize(static_cast<std::size_t>(cols_), CellKind::Auto);
  ResetLooks();
  const std::size_t look_count = old_looks.size() / static_cast<std::size_t>(old_cols);
  std::vector<std::uint32_t> remap(look_count, 0);
  for (std::size_t k = 0; k < look_count; ++k) {
    std::fill(look_scratch_.begin(), look_scratch_.end(), std::uint16_t{0});
    std::copy_n(old_looks.begin() + static_cast<std::ptrdiff_t>(k * old_cols), keep, look_scratch_.begin());
    remap[k] = InternLook(look_scratch_.data());
  }
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    rows_[i].slot = NewSlot();
    CellSpan* spans = SlotSpans(rows_[i].slot);
    std::fill_n(spans, cols_, CellSpan{});
    std::copy(old[i].begin(), old[i].end(), spans);
    rows_[i].look = remap[rows_[i].look];
  }
  for (HeaderRow& h : header_) {
    h.text.resize(cols_);
    h.style.resize(cols_, 0);
  }
}

void GridStore::SplitIntoSpans(DataRow& row) {
  CellSpan* spans = SlotSpans(row.slot);
  std::fill_n(spans, cols_, CellSpan{});
  const QStringView text = RowText(row);
  const char16_t* p = text.utf16();
  const auto size = static_cast<std::uint32_t>(text.size());
  std::uint32_t begin = 0;
  for (int col = 1; col < cols_; ++col) {
    std::uint32_t end = begin;
    while (end < size && p[end] != u'\t') ++end;
    spans[col] = CellSpan{begin, end - begin};
    if (end >= size) break;
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

void GridStore::AddRow(QStringView text, std::span<const CellSpan> cells, int first_col) {
  DataRow row;
  StoreText(row, text);
  row.slot = NewSlot();
  CellSpan* spans = SlotSpans(row.slot);
  const auto size = static_cast<std::uint32_t>(text.size());
  for (int c = 0; c < cols_; ++c) {
    const auto i = static_cast<std::size_t>(c - first_col);
    // A span outside the text would read past the row: it is taken as empty.
    const bool inside =
        c >= first_col && i < cells.size() && cells[i].begin <= size && cells[i].length <= size - cells[i].begin;
    spans[c] = inside ? cells[i] : CellSpan{};
  }
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
  const CellSpan& s = SlotSpans(r.slot)[col];
  return QStringView(text_chunks_[r.chunk].get() + r.offset + s.begin, static_cast<qsizetype>(s.length));
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
  CellSpan* spans = SpansOf(data_row);
  for (int c = 0; c < cols_; ++c) {
    if (c > 0) text += u'\t';
    const QString& cell = c < static_cast<int>(cells.size()) ? cells[c] : QString();
    spans[c] = CellSpan{static_cast<std::uint32_t>(text.size()), static_cast<std::uint32_t>(cell.size())};
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

// ---- Styles ----

std::uint16_t GridStore::StyleIndex(int row, int col) const {
  if (row < 0 || col < 0 || col >= cols_ || row >= Rows()) return 0;
  if (row < FixedRows()) return header_[row].style[col];
  return LookStyles(rows_[row - FixedRows()].look)[col];
}

std::uint16_t GridStore::Intern(const CellStyle& style) {
  for (std::size_t i = 0; i < palette_.size(); ++i)
    if (palette_[i] == style) return static_cast<std::uint16_t>(i);
  if (palette_.size() >= 0xFFFE) return 0;  // no room: the default look rather than a wrong one
  palette_.push_back(style);
  return static_cast<std::uint16_t>(palette_.size() - 1);
}

void GridStore::ChangeStyles(CellRange range, const std::function<void(CellStyle&)>& change) {
  if (!ClampRange(range)) return;
  // Neighbouring cells nearly always share a style: remember the last mapping.
  std::uint16_t last_from = 0xFFFF, last_to = 0;
  auto map = [&](std::uint16_t from) {
    if (from != last_from) {
      CellStyle s = palette_[from];
      change(s);
      last_from = from;
      last_to = Intern(s);
    }
    return last_to;
  };
  const int fixed = FixedRows();
  for (int r = range.row1; r <= range.row2 && r < fixed; ++r) {
    auto& styles = header_[r].style;
    for (int c = range.col1; c <= range.col2; ++c) styles[c] = map(styles[c]);
  }
  // Data rows change by look: every row of one look takes the same new look, made once.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> made;   // old look → new look
  std::unordered_map<std::uint32_t, std::uint32_t> made_many;  // when there are many looks
  std::uint32_t from_look = 0xFFFFFFFF, to_look = 0;
  for (int r = std::max(range.row1, fixed); r <= range.row2; ++r) {
    std::uint32_t& look = rows_[r - fixed].look;
    if (look != from_look) {
      from_look = look;
      const auto it = std::find_if(made.begin(), made.end(), [&](const auto& m) { return m.first == look; });
      if (it != made.end()) {
        to_look = it->second;
      } else if (const auto many = made_many.find(look); many != made_many.end()) {
        to_look = many->second;
      } else {
        std::copy_n(LookStyles(look), cols_, look_scratch_.begin());
        for (int c = range.col1; c <= range.col2; ++c) look_scratch_[c] = map(look_scratch_[c]);
        to_look = InternLook(look_scratch_.data());
        if (made.size() < 16)
          made.emplace_back(look, to_look);
        else
          made_many.emplace(look, to_look);
      }
    }
    look = to_look;
  }
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
    std::sort(by_key.begin(), by_key.end(),
              [&](std::uint32_t a, std::uint32_t b) { return keys[a].compare(keys[b]) < 0; });
    // Texts that collate equal share a rank, so their rows keep their order.
    std::vector<std::uint32_t> rank(texts.size());
    for (std::size_t k = 0; k < by_key.size(); ++k)
      rank[by_key[k]] = k > 0 && keys[by_key[k - 1]].compare(keys[by_key[k]]) == 0 ? rank[by_key[k - 1]]
                                                                                   : static_cast<std::uint32_t>(k);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return rank[text_of[a]] < rank[text_of[b]]; });
  } else {
    std::vector<SortKey> keys(order.size());
    for (int i = 0; i < count; ++i) {
      const QStringView t = TextView(FixedRows() + i, col);
      SortKey& k = keys[i];
      if (t.trimmed().isEmpty())
        k.group = 0;
      else if (kind == CellKind::Number ? cell::ParseNumber(t, k.value) : cell::ParseDate(t, k.value))
        k.group = 1;
      else
        k.group = 2;
    }
    SortByKeys(keys);
    return kind;
  }
  ApplyOrder(order);
  return kind;
}

namespace {

// A double's bits turned so that unsigned order is numeric order (0 and -0 alike).
std::uint64_t OrderedBits(double value) {
  if (value == 0) value = 0;
  const auto bits = std::bit_cast<std::uint64_t>(value);
  return bits >> 63 ? ~bits : bits | (std::uint64_t{1} << 63);
}

// Stable radix sort of the indexes by their 64-bit keys, 16 bits a pass; passes where
// every key has the same digit (the low bits of whole numbers) are skipped.
void RadixSort(std::vector<std::uint32_t>& index, const std::vector<std::uint64_t>& key) {
  std::vector<std::uint32_t> other(index.size());
  std::vector<std::uint32_t> count(std::size_t{1} << 16);
  for (int shift = 0; shift < 64; shift += 16) {
    std::fill(count.begin(), count.end(), 0u);
    for (std::uint32_t i : index) ++count[key[i] >> shift & 0xFFFF];
    if (count[key[index.front()] >> shift & 0xFFFF] == index.size()) continue;
    std::uint32_t sum = 0;
    for (std::uint32_t& c : count) sum += std::exchange(c, sum);
    for (std::uint32_t i : index) other[count[key[i] >> shift & 0xFFFF]++] = i;
    index.swap(other);
  }
}

}  // namespace

std::vector<std::uint32_t> OrderOfKeys(std::span<const SortKey> keys) {
  // Empty cells, then the values in order, then the other texts; each group keeps the
  // rows' present order among equals.
  std::vector<std::uint32_t> order, values, others;
  std::vector<std::uint64_t> bits(keys.size());
  order.reserve(keys.size());
  values.reserve(keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const auto index = static_cast<std::uint32_t>(i);
    if (keys[i].group == 0) {
      order.push_back(index);
    } else if (keys[i].group == 1) {
      bits[i] = OrderedBits(keys[i].value);
      values.push_back(index);
    } else {
      others.push_back(index);
    }
  }
  if (values.size() > 1) RadixSort(values, bits);
  order.insert(order.end(), values.begin(), values.end());
  order.insert(order.end(), others.begin(), others.end());
  return order;
}

void GridStore::SortByKeys(std::span<const SortKey> keys) {
  const int count = DataRows() - FrozenRows();
  if (static_cast<std::size_t>(count) != keys.size() || count < 2) return;
  ApplyOrder(OrderOfKeys(keys));
}

// Puts the first order.size() data rows in the given order; the frozen rows stay last.
void GridStore::ApplyOrder(const std::vector<std::uint32_t>& order) {
  std::vector<DataRow> sorted;
  sorted.reserve(rows_.size());
  for (std::uint32_t i : order) sorted.push_back(rows_[i]);
  for (std::size_t i = order.size(); i < rows_.size(); ++i) sorted.push_back(rows_[i]);
  rows_.swap(sorted);
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
