#pragma once
// Printing a list as it is shown: the visible columns, the header rows with their
// merged captions on every page, the data rows and the totals row.

#include <QDateTime>
#include <QFont>
#include <QFontMetricsF>
#include <QString>
#include <optional>
#include <vector>

#include "lists/PagedDocument.h"

class QPagedPaintDevice;
class QWidget;

namespace hemulu {

class Grid;
class Prompter;

// A cell's text as printed in `width` device pixels: whole when it fits, else cut with "…".
QString PrintedCellText(const QFontMetricsF& metrics, const QString& text, double width);

// A list's paper: A4 across, 10 mm margins.
QPageLayout ListPageLayout();

// What a printed list's heading says: its title, what the list covers (the page's
// filter or search, "全部记录") and the day it was printed.
struct ListHeading {
  QString title;
  QString scope;
  QDateTime printed;  // invalid: no print date
};

// The printed columns' widths (page units) for the texts they must hold, `needs`, within
// `page_width`: when all fit, each gets its need and the room left is shared as `shares`
// are; otherwise the widest are cut down to one common width, so that narrow columns stay whole.
std::vector<double> FitColumnWidths(const std::vector<double>& needs, const std::vector<double>& shares,
                                    double page_width);

// The grid laid out in pages: the columns are as wide as their texts need within the
// page (measured over the printed rows, or a sample of a long list's), and every page
// holds the same number of rows, so the layout stays cheap however long the list is.
// The grid is read while a page is painted; it must outlive the document.
class GridPrintDocument final : public PagedDocument {
 public:
  GridPrintDocument(const Grid& grid, ListHeading heading, const QPageLayout& layout = ListPageLayout());
  GridPrintDocument(const Grid& grid, QString title, const QPageLayout& layout = ListPageLayout())
      : GridPrintDocument(grid, ListHeading{std::move(title), {}, {}}, layout) {}

  QString Title() const override { return heading_.title; }
  // The line under the title: "范围：…" and "打印日期：…".
  QString HeadingLine() const;
  // Left edges of the printed columns and the right edge of the last, in page units.
  const std::vector<double>& ColumnEdges() const { return x_; }
  const std::vector<int>& PrintedColumns() const { return cols_; }
  // Whether a grid cell's text is printed cut short (false for a column not printed).
  bool IsCut(int row, int col) const;
  QPageLayout PageLayout() const override { return layout_; }
  void SetPageLayout(const QPageLayout& layout) override;
  int PageCount() const override { return pages_; }
  void PaintPage(QPainter& painter, int index) const override;

  int RowsPerPage() const { return rows_per_page_; }

 private:
  void LayOut();
  void LayOutColumns();
  double TextWidth(int row, int col) const;
  void DrawCell(QPainter& p, const QRectF& rect, const QString& text, Qt::Alignment align, const QColor& fore,
                QFont::Weight weight, const QColor& back) const;
  double DrawHeader(QPainter& p, double top) const;

  const Grid& grid_;
  ListHeading heading_;
  QPageLayout layout_;
  QFont font_, bold_font_, title_font_, footer_font_;
  std::optional<QFontMetricsF> metrics_, bold_metrics_;
  std::vector<int> cols_;  // visible grid columns, in order (the row-header column left out)
  std::vector<double> x_;  // left edge of each; x_.back() is the right edge
  double width_ = 0, height_ = 0;
  double row_height_ = 0, title_height_ = 0, heading_line_height_ = 0, footer_height_ = 0;
  int rows_per_page_ = 1;
  int pages_ = 1;
};

// Lays the grid out on the device's paper and prints every page; returns the number
// of pages, 0 when the device cannot be painted on.
int RenderGridPages(const Grid& grid, const ListHeading& heading, QPagedPaintDevice& device);
inline int RenderGridPages(const Grid& grid, const QString& title, QPagedPaintDevice& device) {
  return RenderGridPages(grid, ListHeading{title, {}, {}}, device);
}

// Shows the print preview of the grid; the user prints from there.
void PrintGrid(const Grid& grid, const ListHeading& heading, Prompter& prompter, QWidget* parent);

}  // namespace hemulu
