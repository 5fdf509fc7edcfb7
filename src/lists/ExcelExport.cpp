#include "lists/ExcelExport.h"

#include <xlsxwriter.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <functional>
#include <vector>

#include "data/TextFormat.h"

namespace hemulu {

namespace {

constexpr int kMaxExcelRows = 1048576;
constexpr int kMaxExcelCols = 16384;
constexpr qsizetype kMaxCellChars = 32767;

QString FailureText(const QString& file) {
  return QStringLiteral(
             "导出Excel文件失败：无法写入文件“%1”。\r\n请确认文件夹存在、有写入权限，且该文件没有被其他程序打开。")
      .arg(QDir::toNativeSeparators(file));
}

QByteArray CellBytes(const QString& text) { return text.left(kMaxCellChars).toUtf8(); }

// A cell is written as a number when its column holds numbers, or, in an undeclared
// column, when its text is exactly a number's own form (so a code like "007" stays text).
bool NumberOfCell(CellKind kind, const QString& text, double& value) {
  switch (kind) {
    case CellKind::Number:
      return cell::ParseNumber(text, value);
    case CellKind::Auto:
      return cell::ParseNumber(text, value) && NumberText(value) == text;
    default:
      return false;
  }
}

constexpr const char* kDateNumberFormat = "yyyy\"年\"m\"月\"d\"日\"";
constexpr const char* kDateTimeNumberFormat = "yyyy\"年\"m\"月\"d\"日\"h\"时\"m\"分\"s\"秒\"";

// A date cell's text as the spreadsheet's date; nullopt where it is no date or lies
// before the spreadsheet's calendar starts (1900), so it stays text.
std::optional<lxw_datetime> SheetDate(const QString& text) {
  const std::optional<DateParts> parts = ReadCellDate(text);
  if (!parts || parts->year < 1900 || parts->year > 9999) return std::nullopt;
  return lxw_datetime{parts->year, parts->month,  parts->day,
                      parts->hour, parts->minute, static_cast<double>(parts->second)};
}

// The first failure of the library's calls; later calls are skipped once one failed.
class Checked {
 public:
  bool Ok() const { return error_ == LXW_NO_ERROR; }
  lxw_error Error() const { return error_; }
  template <class Call>
  void operator()(Call&& call) {
    if (Ok()) error_ = call();
  }

 private:
  lxw_error error_ = LXW_NO_ERROR;
};

class Writer {
 public:
  Writer(const GridStore& store, const ExportPlan& plan, const Progress& progress)
      : store_(store), plan_(plan), progress_(progress), first_row_(plan.with_fixed_rows ? 0 : store.FixedRows()) {
    sheet_col_.assign(static_cast<std::size_t>(store.Cols()), -1);
    for (std::size_t i = 0; i < plan.columns.size(); ++i) {
      const int c = plan.columns[i].col;
      if (c >= 0 && c < store.Cols()) sheet_col_[static_cast<std::size_t>(c)] = static_cast<int>(i);
    }
  }

  int SheetRows() const { return store_.Rows() - first_row_; }
  int SheetCols() const { return static_cast<int>(plan_.columns.size()); }
  bool Cancelled() const { return cancelled_; }
  // The rows, and after them the closing of the workbook, which packs the rows written
  // into the file and takes about a third as long again.
  std::int64_t ReportedSteps() const { return SheetRows() + SheetRows() / 3 + 1; }

  // The first failure of a width, a height, a cell or a merge; LXW_NO_ERROR when all were written.
  [[nodiscard]] lxw_error Write(lxw_workbook* book, lxw_worksheet* sheet) {
    Checked check;
    header_format_ = workbook_add_format(book);
    bold_format_ = workbook_add_format(book);
    if (!header_format_ || !bold_format_) return LXW_ERROR_MEMORY_MALLOC_FAILED;
    format_set_align(header_format_, LXW_ALIGN_CENTER);
    format_set_align(header_format_, LXW_ALIGN_VERTICAL_CENTER);
    format_set_border(header_format_, LXW_BORDER_THIN);
    format_set_bold(bold_format_);
    // Dates are the spreadsheet's own dates, shown as the list shows them.
    for (int bold = 0; bold < 2; ++bold) {
      for (int timed = 0; timed < 2; ++timed) {
        lxw_format*& f = date_formats_[bold][timed];
        f = workbook_add_format(book);
        if (!f) return LXW_ERROR_MEMORY_MALLOC_FAILED;
        format_set_num_format(f, timed ? kDateTimeNumberFormat : kDateNumberFormat);
        if (bold) format_set_bold(f);
      }
    }

    for (int i = 0; i < SheetCols() && check.Ok(); ++i) {
      const int width = plan_.columns[static_cast<std::size_t>(i)].width;
      lxw_row_col_options hidden{1, 0, 0};
      const auto col = static_cast<lxw_col_t>(i);
      if (width > 0)
        check([&] { return worksheet_set_column_pixels(sheet, col, col, static_cast<uint32_t>(width), nullptr); });
      else
        check([&] { return worksheet_set_column_opt(sheet, col, col, LXW_DEF_COL_WIDTH, nullptr, &hidden); });
    }
    const int header_rows = std::max(store_.FixedRows() - first_row_, 0);
    if (header_rows > 0) worksheet_freeze_panes(sheet, static_cast<lxw_row_t>(header_rows), 0);  // returns nothing

    for (int r = first_row_; r < store_.Rows() && check.Ok(); ++r) {
      const auto sheet_row = static_cast<lxw_row_t>(r - first_row_);
      if (!Report(progress_, sheet_row, ReportedSteps())) {
        cancelled_ = true;
        return LXW_ERROR_PARAMETER_VALIDATION;  // any failure: the part file goes
      }
      const bool header = r < store_.FixedRows();
      // Rows are streamed: a row's height is set just before its cells, never ahead.
      if (header) check([&] { return worksheet_set_row_pixels(sheet, sheet_row, HeaderHeight(r), nullptr); });
      for (int i = 0; i < SheetCols() && check.Ok(); ++i) {
        const ExportColumn& column = plan_.columns[static_cast<std::size_t>(i)];
        const int c = column.col;
        if (const CellRange* m = store_.MergeAt(r, c)) {
          check([&] { return WriteMerge(sheet, *m, r, c); });
          continue;
        }
        const QString text = store_.Text(r, c);
        if (text.isEmpty()) continue;
        const bool bold = store_.Style(r, c).flags & CellStyle::kBold;
        lxw_format* format = header ? header_format_ : bold ? bold_format_ : nullptr;
        double value = 0;
        const auto col = static_cast<lxw_col_t>(i);
        if (!header && NumberOfCell(column.kind, text, value)) {
          check([&] { return worksheet_write_number(sheet, sheet_row, col, value, format); });
        } else if (const auto date = header || column.kind != CellKind::Date ? std::nullopt : SheetDate(text)) {
          const bool timed = date->hour != 0 || date->min != 0 || date->sec != 0;
          lxw_format* date_format = date_formats_[bold ? 1 : 0][timed ? 1 : 0];
          lxw_datetime when = *date;
          check([&] { return worksheet_write_datetime(sheet, sheet_row, col, &when, date_format); });
        } else
          check([&] { return worksheet_write_string(sheet, sheet_row, col, CellBytes(text).constData(), format); });
      }
    }
    if (check.Ok() && !Report(progress_, SheetRows(), ReportedSteps(), 1)) {
      cancelled_ = true;
      return LXW_ERROR_PARAMETER_VALIDATION;
    }
    return check.Error();
  }

 private:
  uint32_t HeaderHeight(int row) const {
    const auto index = static_cast<std::size_t>(row);
    return index < plan_.header_heights.size() ? static_cast<uint32_t>(plan_.header_heights[index]) : 20;
  }

  // A merge is written once, from its first exported cell, over the exported cells it covers.
  lxw_error WriteMerge(lxw_worksheet* sheet, const CellRange& m, int r, int c) {
    const int top = std::max(m.row1, first_row_);
    int first = -1, last = -1;
    for (int k = m.col1; k <= m.col2 && k < store_.Cols(); ++k) {
      if (sheet_col_[k] < 0) continue;
      if (first < 0) first = sheet_col_[k];
      last = sheet_col_[k];
    }
    if (r != top || sheet_col_[c] != first) return LXW_NO_ERROR;
    const QString text = store_.Text(m.row1, m.col1);
    lxw_format* format = r < store_.FixedRows() ? header_format_ : nullptr;
    const auto row1 = static_cast<lxw_row_t>(top - first_row_);
    const auto row2 = static_cast<lxw_row_t>(m.row2 - first_row_);
    const QByteArray bytes = CellBytes(text);
    if (row1 == row2 && first == last)
      return worksheet_write_string(sheet, row1, static_cast<lxw_col_t>(first), bytes.constData(), format);
    // Rows are streamed in order: a merge reaching into later rows must not write its
    // padding cells there yet, so it is recorded unformatted (no padding) and its first
    // cell is then written with the format.
    const bool one_row = row1 == row2;
    const lxw_error merged =
        worksheet_merge_range(sheet, row1, static_cast<lxw_col_t>(first), row2, static_cast<lxw_col_t>(last),
                              bytes.constData(), one_row ? format : nullptr);
    if (merged != LXW_NO_ERROR || one_row || !format) return merged;
    return worksheet_write_string(sheet, row1, static_cast<lxw_col_t>(first), bytes.constData(), format);
  }

  const GridStore& store_;
  const ExportPlan& plan_;
  const Progress& progress_;
  const int first_row_;
  bool cancelled_ = false;
  std::vector<int> sheet_col_;  // store column → sheet column, -1 when left out
  lxw_format* header_format_ = nullptr;
  lxw_format* bold_format_ = nullptr;
  lxw_format* date_formats_[2][2] = {};  // [bold][with a time]
};

// What a sheet's writer came to: the first failed call, or the user's stop.
struct SheetWrite {
  lxw_error error = LXW_NO_ERROR;
  bool cancelled = false;
};

// How the library keeps the cells: all of them until the file is closed (cells may be
// written in any order), or each finished row in a temporary file (row by row only).
enum class CellMemory { Whole, RowByRow };

// Every export's file: written beside the target and renamed over it, so a failure never
// leaves half a file nor spoils an earlier export; any failure or stop removes the part.
std::expected<void, QString> WriteWorkbookFile(const QString& file, CellMemory memory, const QString& sheet_name,
                                               const std::function<SheetWrite(lxw_workbook*, lxw_worksheet*)>& write) {
  const QFileInfo target(file);
  const QString part = target.absoluteDir().filePath(QStringLiteral(".%1.part").arg(target.fileName()));
  const QByteArray part_path = QFile::encodeName(part);
  lxw_workbook_options options{};
  options.constant_memory = memory == CellMemory::RowByRow ? LXW_TRUE : LXW_FALSE;
  lxw_workbook* book = workbook_new_opt(part_path.constData(), &options);
  if (!book) return std::unexpected(FailureText(file));
  const QByteArray name = sheet_name.toUtf8();
  lxw_worksheet* sheet = workbook_add_worksheet(book, name.isEmpty() ? nullptr : name.constData());
  const SheetWrite written = sheet ? write(book, sheet) : SheetWrite{LXW_ERROR_MEMORY_MALLOC_FAILED, false};
  if (written.error != LXW_NO_ERROR || written.cancelled) {
    // The workbook is closed to free it; the part it wrote is not kept.
    (void)workbook_close(book);
    QFile::remove(part);
    return std::unexpected(written.cancelled ? QString() : FailureText(file));
  }
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

SheetWrite WriteLayout(lxw_workbook* book, lxw_worksheet* sheet, const SheetLayout& layout, const Progress& progress) {
  // [boxed][centred]; the title's bold
  lxw_format* formats[2][2] = {};
  lxw_format* title = workbook_add_format(book);
  if (!title) return {LXW_ERROR_MEMORY_MALLOC_FAILED};
  format_set_bold(title);
  for (int boxed = 0; boxed < 2; ++boxed)
    for (int centred = 0; centred < 2; ++centred) {
      if (!boxed && !centred) continue;  // a plain cell has no format
      lxw_format*& f = formats[boxed][centred];
      f = workbook_add_format(book);
      if (!f) return {LXW_ERROR_MEMORY_MALLOC_FAILED};
      if (centred) format_set_align(f, LXW_ALIGN_CENTER);
      if (boxed) format_set_border(f, LXW_BORDER_THIN);
    }
  std::size_t widest = 1;
  for (const SheetBlock& block : layout.blocks)
    for (const auto& cells : block.rows) widest = std::max(widest, cells.size());
  if (widest > static_cast<std::size_t>(kMaxExcelCols)) return {LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE};

  Checked check;
  if (layout.column_width > 0)
    check([&] {
      return worksheet_set_column(sheet, 0, static_cast<lxw_col_t>(widest - 1), layout.column_width, nullptr);
    });
  lxw_row_t row = 0;
  const auto steps = static_cast<std::int64_t>(layout.blocks.size());
  for (std::size_t b = 0; b < layout.blocks.size() && check.Ok(); ++b) {
    if (!Report(progress, static_cast<std::int64_t>(b), steps, 1)) return {LXW_NO_ERROR, true};
    const SheetBlock& block = layout.blocks[b];
    const QByteArray title_bytes = CellBytes(block.title);
    check([&] { return worksheet_write_string(sheet, row, 0, title_bytes.constData(), title); });
    ++row;
    for (const auto& cells : block.rows) {
      for (std::size_t c = 0; c < cells.size() && check.Ok(); ++c) {
        const SheetCell& cell = cells[c];
        lxw_format* format = formats[cell.boxed ? 1 : 0][cell.centred ? 1 : 0];
        const auto col = static_cast<lxw_col_t>(c);
        if (cell.number) {
          check([&] { return worksheet_write_number(sheet, row, col, *cell.number, format); });
        } else {
          const QByteArray bytes = CellBytes(cell.text);
          check([&] { return worksheet_write_string(sheet, row, col, bytes.constData(), format); });
        }
      }
      ++row;
    }
    ++row;  // an empty row before the next block
  }
  return {check.Error()};
}

}  // namespace

std::expected<void, QString> ExportSheetLayout(const SheetLayout& layout, const QString& file,
                                               const Progress& progress) {
  return WriteWorkbookFile(file, CellMemory::Whole, layout.sheet_name, [&](lxw_workbook* book, lxw_worksheet* sheet) {
    return WriteLayout(book, sheet, layout, progress);
  });
}

std::expected<void, QString> ExportToExcel(const GridStore& store, const ExportPlan& plan, const QString& file,
                                           const Progress& progress) {
  Writer writer(store, plan, progress);
  if (writer.SheetRows() > kMaxExcelRows || writer.SheetCols() > kMaxExcelCols)
    return std::unexpected(QStringLiteral("导出Excel文件失败：列表的行数或列数超过了Excel工作表的上限。"));

  // Each finished row goes to a temporary file, so a 100,000-row list does not hold
  // every cell in memory a second time.
  auto written =
      WriteWorkbookFile(file, CellMemory::RowByRow, QString(), [&writer](lxw_workbook* book, lxw_worksheet* sheet) {
        const lxw_error error = writer.Write(book, sheet);
        return SheetWrite{error, writer.Cancelled()};
      });
  if (!written) return written;
  if (progress) (void)progress(writer.ReportedSteps(), writer.ReportedSteps());  // written: too late to stop
  return {};
}

}  // namespace hemulu
