#pragma once
// The grid's cells, without any widget: header rows, data rows and their styles,
// merges, and the column sort. A data row's text is one run of characters in a pool of
// large chunks, its cells are spans into it kept in blocks of rows, so 100,000 rows ×
// 17 cells cost no allocation per row or cell, and a refill reuses the memory. A data
// row's styles are one shared "look" (the style of each of its cells): rows that look
// alike share it, so colouring or lining 100,000 rows changes one number per row.

#include <QString>
#include <QStringView>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <unordered_map>
#include <vector>

namespace hemulu {

// How a column's cells compare when sorted (and whether an export writes numbers).
// Auto looks at the cells: all numbers → Number, all cell dates → Date, else Text.
enum class CellKind : std::uint8_t { Auto, Text, Number, Date };

// Edge flags of a cell's own border lines (inside borders of a range become these).
enum CellBorder : std::uint8_t { kBorderRight = 1, kBorderBottom = 2 };

struct CellStyle {
  enum Flag : std::uint8_t { kHasFore = 1, kHasBack = 2, kBold = 4 };
  std::uint32_t fore = 0;   // 0xRRGGBB, meaningful with kHasFore
  std::uint32_t back = 0;   // 0xRRGGBB, meaningful with kHasBack
  std::uint16_t align = 0;  // Qt::Alignment bits; 0 = the column's alignment
  std::uint8_t flags = 0;
  std::uint8_t borders = 0;  // CellBorder bits

  bool operator==(const CellStyle&) const = default;
};

struct CellRange {
  int row1 = 0, col1 = 0, row2 = 0, col2 = 0;
  bool Contains(int r, int c) const { return r >= row1 && r <= row2 && c >= col1 && c <= col2; }
};

// Thin lines inside a range: between its columns, between its rows.
enum RangeBorder { kInsideVertical = 1, kInsideHorizontal = 2 };

// A Windows colour value (0x00BBGGRR, as config.ini stores it) as 0xRRGGBB; the top
// byte is ignored.
constexpr std::uint32_t RgbFromWin(int win_color) {
  const auto v = static_cast<std::uint32_t>(win_color);
  return (v & 0xFFu) << 16 | (v & 0xFF00u) | (v >> 16 & 0xFFu);
}

// The colours of a whole list (Windows colour values): alternating data rows,
// selection, the area below the last row, grid lines.
struct GridLook {
  int back1 = 16777215, back2 = 16777215;
  int back_sel = 0xFFE8CC, back_active_sel = 0xFFE8CC, selection_border = 0xCC6633;
  int back_bkg = 16777215;
  int grid_color = 0xC0C0C0;
  bool hide_grid_lines = false;
};

// Where one cell lies in a row's text.
struct CellSpan {
  std::uint32_t begin = 0;
  std::uint32_t length = 0;
};

// A data row's place in a sort by values: empty cells first (group 0), then values
// (group 1) by `value`, then texts that are not values (group 2); ties keep their order.
struct SortKey {
  double value = 0;
  std::uint8_t group = 0;
};
// The rows' indexes in that order (stable).
std::vector<std::uint32_t> OrderOfKeys(std::span<const SortKey> keys);

class GridStore {
 public:
  GridStore();

  // Grid rows count the header rows first: rows 0..FixedRows()-1 are header rows.
  int Rows() const { return FixedRows() + DataRows(); }
  int FixedRows() const { return static_cast<int>(header_.size()); }
  int DataRows() const { return static_cast<int>(rows_.size()); }
  int Cols() const { return cols_; }
  // Frozen bottom rows actually in effect (never more than the data rows).
  int FrozenRows() const { return frozen_ < DataRows() ? frozen_ : DataRows(); }
  int RequestedFrozenRows() const { return frozen_; }

  // Fewer rows drop data rows from the end; more rows append empty ones. Never fewer
  // than the header rows.
  void SetRows(int rows);
  // Keeps Rows(): the first data rows become header rows or the reverse.
  void SetFixedRows(int fixed);
  void SetCols(int cols);
  void SetFrozenRows(int n) { frozen_ = n < 0 ? 0 : n; }
  // How a column sorts and exports (Auto: decided from the cells).
  void SetColumnKind(int col, CellKind kind);
  CellKind ColumnKind(int col) const {
    return col >= 0 && col < cols_ ? kinds_[static_cast<std::size_t>(col)] : CellKind::Auto;
  }
  void ReserveDataRows(int n);

  // Appends one data row from a tab-separated text; the first field lands in column 1,
  // fields beyond the last column are ignored.
  void AddRow(QStringView text);
  // Appends one data row whose cells are already cut out of `text`: cells[i] is column
  // first_col + i (spans beyond the last column are ignored, columns without one are
  // empty).
  void AddRow(QStringView text, std::span<const CellSpan> cells, int first_col = 1);
  void RemoveRow(int row);  // grid row number; header rows are not removed

  QStringView TextView(int row, int col) const;
  QString Text(int row, int col) const { return TextView(row, col).toString(); }
  void SetText(int row, int col, const QString& text);

  const CellStyle& Style(int row, int col) const { return palette_[StyleIndex(row, col)]; }
  // Changes the style of every cell in the range (clamped to the grid) with `change`,
  // a callable taking CellStyle&. It is called once per distinct style, not per cell.
  template <class Change>
  void ChangeStyle(CellRange range, Change&& change) {
    ChangeStyles(range, std::function<void(CellStyle&)>(std::forward<Change>(change)));
  }
  // A data row's look (grid row number; 0, the plain look, for any other row). A fill
  // that styles many rows alike styles one, then gives its look to the others. A look
  // stays valid until the data rows are all dropped or the columns change.
  std::uint32_t RowLook(int row) const;
  void SetRowLook(int row, std::uint32_t look);
  // Text colour, back colour (Windows colour values) and bold of a range.
  void SetRangeForeColor(CellRange range, int win_color);
  void SetRangeBackColor(CellRange range, int win_color);
  void SetRangeFontBold(CellRange range, bool bold);
  // RangeBorder bits: thin lines between the range's columns and/or rows.
  void SetRangeBorders(CellRange range, int inside_edges);

  int HeaderRowHeight(int row) const { return header_[row].height; }
  void SetHeaderRowHeight(int row, int height) { header_[row].height = height; }

  // Merged ranges; a new range replaces every range it overlaps.
  void AddMerge(CellRange range);
  const std::vector<CellRange>& Merges() const { return merges_; }
  // The merge containing the cell, or nullptr.
  const CellRange* MergeAt(int row, int col) const;

  // Sorts the data rows above the frozen bottom rows by one column, ascending and
  // stable; returns the kind actually used.
  CellKind SortByColumn(int col, CellKind kind);
  // The same sort by keys the caller already has, one per data row above the frozen
  // rows in their present order (a fill knows its numbers without reading the texts
  // back). Does nothing when the count differs.
  void SortByKeys(std::span<const SortKey> keys);
  // The kind Auto resolves to for a column, looking at its data cells.
  CellKind ResolveKind(int col) const;

  bool ClampRange(CellRange& range) const;

  // The header rows, columns, kinds, merges and frozen rows without the data rows: the
  // layout a fill fills aside, so a failed fill leaves this store as it was.
  GridStore LaidOutCopy() const;

 private:
  struct DataRow {
    std::uint32_t chunk = 0;  // the row's text: a run in one chunk of the pool
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
    std::uint32_t slot = 0;  // where the row's spans are
    std::uint32_t look = 0;  // the styles of its cells
  };
  struct HeaderRow {
    std::vector<QString> text;
    std::vector<std::uint16_t> style;
    int height = 0;  // 0 = the data rows' height
  };
  // Spans live in fixed blocks of rows, so a growing fill never copies them.
  static constexpr std::uint32_t kBlockRows = 4096;
  static constexpr std::size_t kChunkChars = std::size_t{1} << 18;

  std::uint16_t StyleIndex(int row, int col) const;
  std::uint16_t Intern(const CellStyle& style);
  void ChangeStyles(CellRange range, const std::function<void(CellStyle&)>& change);
  // The styles of a look, one per column (valid until the next InternLook).
  const std::uint16_t* LookStyles(std::uint32_t look) const {
    return look_styles_.data() + static_cast<std::size_t>(look) * static_cast<std::size_t>(cols_);
  }
  std::uint32_t InternLook(const std::uint16_t* styles);
  void ResetLooks();
  CellSpan* SlotSpans(std::uint32_t slot) const {
    return span_blocks_[slot / kBlockRows].get() + static_cast<std::size_t>(slot % kBlockRows) * cols_;
  }
  CellSpan* SpansOf(int data_row) { return SlotSpans(rows_[data_row].slot); }
  const CellSpan* SpansOf(int data_row) const { return SlotSpans(rows_[data_row].slot); }
  std::uint32_t NewSlot();
  void ReleaseSlotsIfEmpty();
  QStringView RowText(const DataRow& row) const {
    return QStringView(text_chunks_[row.chunk].get() + row.offset, static_cast<qsizetype>(row.length));
  }
  void StoreText(DataRow& row, QStringView text);
  void SplitIntoSpans(DataRow& row);
  HeaderRow MakeHeaderRow() const;
  std::vector<QString> DataRowCells(int data_row) const;
  void SetDataRowCells(int data_row, const std::vector<QString>& cells);
  void ApplyOrder(const std::vector<std::uint32_t>& order);

  int cols_ = 0;
  int frozen_ = 0;
  std::vector<CellKind> kinds_;
  std::vector<HeaderRow> header_;
  std::vector<DataRow> rows_;
  std::vector<std::unique_ptr<CellSpan[]>> span_blocks_;  // kBlockRows × Cols() spans each
  std::uint32_t used_slots_ = 0;                          // slots handed out; kept blocks are reused after a clear
  std::vector<std::unique_ptr<char16_t[]>> text_chunks_;  // row texts; chunks after the current one are free
  std::vector<std::size_t> chunk_chars_;
  std::size_t text_chunk_ = 0;  // the chunk being filled
  std::size_t text_used_ = 0;   // characters used in it
  std::vector<CellStyle> palette_;
  std::vector<std::uint16_t> look_styles_;                        // Cols() palette indexes per look
  std::unordered_multimap<std::size_t, std::uint32_t> look_ids_;  // a look's hash → the look
  std::vector<std::uint16_t> look_scratch_;
  std::vector<CellRange> merges_;
};

// Sort keys and cell readings shared by the sort and the export.
namespace cell {
// The cell's number when its whole trimmed text is a finite number.
bool ParseNumber(QStringView text, double& value);
// "2012年3月4日[H时[M分[S秒]]]" as yyyymmddhhmmss, or false.
bool ParseDate(QStringView text, double& key);
}  // namespace cell

}  // namespace hemulu
