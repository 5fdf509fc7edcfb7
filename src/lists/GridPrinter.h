#pragma once
// Printing a list as it is shown: the visible columns, the header rows with their
// merged captions on every page, the data rows and the totals row.

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

// The grid laid out in pages: the columns' widths share the page width as they share
// the screen, and every page holds the same number of rows, so the layout is a few
// sums however long the list is. The grid is read while a page is painted; it must
// outlive the document.
class GridPrintDocument final : public PagedDocument {
 public:
  GridPrintDocument(const Grid& grid, QString title, const QPageLayout& layout = ListPageLayout());

  QString Title() const override { return title_; }
  QPageLayout PageLayout() const override { return layout_; }
  void SetPageLayout(const QPageLayout& layout) override;
  int PageCount() const override { return pages_; }
  void PaintPage(QPainter& painter, int index) const override;

  int RowsPerPage() const { return rows_per_page_; }

 private:
  void LayOut();
  void DrawCell(QPainter& p, const QRectF& rect, const QString& text, Qt::Alignment align, const QColor& fore,
                bool bold, const QColor& back) const;
  double DrawHeader(QPainter& p, double top) const;

  const Grid& grid_;
  QString title_;
  QPageLayout layout_;
  QFont font_, bold_font_, title_font_, footer_font_;
  std::optional<QFontMetricsF> metrics_, bold_metrics_;
  std::vector<int> cols_;  // visible grid columns, in order (the row-header column left out)
  std::vector<double> x_;  // left edge of each; x_.back() is the right edge
  double width_ = 0, height_ = 0;
  double row_height_ = 0, title_height_ = 0, footer_height_ = 0;
  int rows_per_page_ = 1;
  int pages_ = 1;
};

// Lays the grid out on the device's paper and prints every page; returns the number
// of pages, 0 when the device cannot be painted on.
int RenderGridPages(const Grid& grid, const QString& title, QPagedPaintDevice& device);

// Shows the print preview of the grid; the user prints from there.
void PrintGrid(const Grid& grid, const QString& title, Prompter& prompter, QWidget* parent);

}  // namespace hemulu
