#include "lists/ExcelExport.h"

#include <xlsxwriter.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <vector>

#include "data/TextFormat.h"
#include "lists/Grid.h"

namespace hemulu {

namespace {

constexpr int kMaxExcelRows = 1048576;
constexpr int kMaxExcelCols = 16384;
constexpr qsizetype kMaxCellChars = 32767;

QString FailureText(const QString& file) {
  return QStringLiteral("导出Excel文件失败：无法写入文件“%1”。\r\n请确认文件夹存在、有写入权限，且该文件没有被其他程序打开。")
      .arg(QDir::toNativeSeparators(file));
}

QByteArray CellBytes(const QString& text) { return text.left(kMaxCellChars).toUtf8(); }

// A cell is written as a number when its column holds numbers, or, in an undeclared
// column, when its text is exactly a number's own form (so a code like "007" stays text).
bool NumberOfCell(const Grid& grid, int col, const QString& text, double& value) {
  switch (grid.ColumnKind(col)) {
    case CellKind::Number:
      return cell::ParseNumber(text, value);
    case CellKind::Auto:
      return cell::ParseNumber(text, value) && NumberText(value) == text;
    default:
      return false;
  }
}

class Writer {
 public:
  Writer(const Grid& grid, bool with_fixed_rows, bool with_fixed_cols)
      : grid_(grid), first_row_(with_fixed_rows ? 0 : grid.FixedRows()) {
    for (int c = with_fixed_cols ? 0 : 1; c < grid.Cols(); ++c)
      if (!grid.IsColumnLockedHidden(c)) cols_.push_back(c);
    sheet_col_.assign(static_cast<std::size_t>(grid.Cols()), -1);
    for (std::size_t i = 0; i < cols_.size(); ++i) sheet_col_[cols_[i]] = static_cast<int>(i);
  }

  int SheetRows() const { return grid_.Rows() - first_row_; }
  int SheetCols() const { return static_cast<int>(cols_.size()); }

  void Write(lxw_workbook* book, lxw_worksheet* sheet) {
    header_format_ = workbook_add_format(book);
    format_set_align(header_format_, LXW_ALIGN_CENTER);
    format_set_align(header_format_, LXW_ALIGN_VERTICAL_CENTER);
    format_set_border(header_format_, LXW_BORDER_THIN);
    bold_format_ = workbook_add_format(book);
    format_set_bold(bold_format_);

    for (int i = 0; i < SheetCols(); ++i) {
      const int width = grid_.ColumnWidth(cols_[i]);
      lxw_row_col_options hidden{1, 0, 0};
      if (width > 0)
        worksheet_set_column_pixels(sheet, static_cast<lxw_col_t>(i), static_cast<lxw_col_t>(i),
                                    static_cast<uint32_t>(width), nullptr);
      else
        worksheet_set_column_opt(sheet, static_cast<lxw_col_t>(i), static_cast<lxw_col_t>(i), LXW_DEF_COL_WIDTH,
                                 nullptr, &hidden);
    }
    const int header_rows = std::max(grid_.FixedRows() - first_row_, 0);
    if (header_rows > 0) worksheet_freeze_panes(sheet, static_cast<lxw_row_t>(header_rows), 0);

    for (int r = first_row_; r < grid_.Rows(); ++r) {
      const auto sheet_row = static_cast<lxw_row_t>(r - first_row_);
      const bool header = r < grid_.FixedRows();
      // Rows are streamed: a row's height is set just before its cells, never ahead.
      if (header) worksheet_set_row_pixels(sheet, sheet_row, static_cast<uint32_t>(grid_.RowHeight(r)), nullptr);
      for (int i = 0; i < SheetCols(); ++i) {
        const int c = cols_[i];
        if (const CellRange* m = grid_.Store().MergeAt(r, c)) {
          WriteMerge(sheet, *m, r, c);
          continue;
        }
        const QString text = grid_.CellText(r, c);
        if (text.isEmpty()) continue;
        lxw_format* format = header ? header_format_ : grid_.CellFontBold(r, c) ? bold_format_ : nullptr;
        double value = 0;
        if (!header && NumberOfCell(grid_, c, text, value))
          worksheet_write_number(sheet, sheet_row, static_cast<lxw_col_t>(i), value, format);
        else
          worksheet_write_string(sheet, sheet_row, static_cast<lxw_col_t>(i), CellBytes(text).constData(), format);
      }
    }
  }

 private:
  // A merge is written once, from its first exported cell, over the exported cells it covers.
  void WriteMerge(lxw_worksheet* sheet, const CellRange& m, int r, int c) {
    const int top = std::max(m.row1, first_row_);
    int first = -1, last = -1;
    for (int k = m.col1; k <= m.col2 && k < grid_.Cols(); ++k) {
      if (sheet_col_[k] < 0) continue;
      if (first < 0) first = sheet_col_[k];
      last = sheet_col_[k];
    }
    if (r != top || sheet_col_[c] != first) return;
    const QString text = grid_.CellText(m.row1, m.col1);
    lxw_format* format = r < grid_.FixedRows() ? header_format_ : nullptr;
    const auto row1 = static_cast<lxw_row_t>(top - first_row_);
    const auto row2 = static_cast<lxw_row_t>(m.row2 - first_row_);
    const QByteArray bytes = CellBytes(text);
    if (row1 == row2 && first == last) {
      worksheet_write_string(sheet, row1, static_cast<lxw_col_t>(first), bytes.constData(), format);
      return;
    }
    // Rows are streamed in order: a merge reaching into later rows must not write its
    // padding cells there yet, so it is recorded unformatted (no padding) and its first
    // cell is then written with the format.
    const bool one_row = row1 == row2;
    worksheet_merge_range(sheet, row1, static_cast<lxw_col_t>(first), row2, static_cast<lxw_col_t>(last),
                          bytes.constData(), one_row ? format : nullptr);
    if (!one_row && format)
      worksheet_write_string(sheet, row1, static_cast<lxw_col_t>(first), bytes.constData(), format);
  }

  const Grid& grid_;
  const int first_row_;
  std::vector<int> cols_;       // grid columns written, in order
  std::vector<int> sheet_col_;  // grid column → sheet column, -1 when left out
  lxw_format* header_format_ = nullptr;
  lxw_format* bold_format_ = nullptr;
};

}  // namespace

std::expected<void, QString> ExportToExcel(const Grid& grid, const QString& file, bool with_fixed_rows,
                                           bool with_fixed_cols) {
  Writer writer(grid, with_fixed_rows, with_fixed_cols);
  if (writer.SheetRows() > kMaxExcelRows || writer.SheetCols() > kMaxExcelCols)
    return std::unexpected(QStringLiteral("导出Excel文件失败：列表的行数或列数超过了Excel工作表的上限。"));

  // Written beside the target and renamed over it, so a failure never leaves half a file
  // nor spoils an earlier export.
  const QFileInfo target(file);
  const QString part = target.absoluteDir().filePath(QStringLiteral(".%1.part").arg(target.fileName()));
  const QByteArray part_path = QFile::encodeName(part);
  // Each finished row goes to a temporary file, so a 100,000-row list does not hold
  // every cell in memory a second time.
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;
  lxw_workbook* book = workbook_new_opt(part_path.constData(), &options);
  if (!book) return std::unexpected(FailureText(file));
  lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
  if (!sheet) {
    workbook_close(book);
    QFile::remove(part);
    return std::unexpected(FailureText(file));
  }
  writer.Write(book, sheet);
  if (workbook_close(book) != LXW_NO_ERROR) {
    QFile::remove(part);
    return std::unexpected(FailureText(file));
  }
  if (std::rename(part_path.constData(), QFile::encodeName(target.absoluteFilePath()).constData()) != 0) {
    QFile::remove(part);
    return std::unexpected(FailureText(file));
  }
  return {};
}

}  // namespace hemulu
