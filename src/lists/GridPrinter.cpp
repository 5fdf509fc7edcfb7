#include "lists/GridPrinter.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "lists/Grid.h"
#include "lists/PrintPreview.h"

namespace hemulu {

namespace {

constexpr double kCellPadding = PageUnitsFromPoints(2.2);
const QColor kCellLineColor(160, 160, 160);
const QColor kHeaderBackColor(235, 235, 235);

// The list's own font family (narrow figures and letters, as on screen) at a size for paper.
QFont UnitFont(const QFont& list_font, double points, bool bold) {
  QFont f = list_font;
  f.setPixelSize(static_cast<int>(std::lround(PageUnitsFromPoints(points))));
  f.setBold(bold);
  return f;
}

}  // namespace

QString PrintedCellText(const QFontMetricsF& metrics, const QString& text, double width) {
  return metrics.elidedText(text, Qt::ElideRight, std::max(width, 0.0));
}

QPageLayout ListPageLayout() {
  return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10),
                     QPageLayout::Millimeter);
}

GridPrintDocument::GridPrintDocument(const Grid& grid, QString title, const QPageLayout& layout)
    : grid_(grid),
      title_(std::move(title)),
      layout_(layout),
      font_(UnitFont(grid.font(), 8, false)),
      bold_font_(UnitFont(grid.font(), 8, true)),
      title_font_(UnitFont(grid.font(), 12, true)),
      footer_font_(UnitFont(grid.font(), 7, false)) {
  metrics_.emplace(font_);
  bold_metrics_.emplace(bold_font_);
  LayOut();
}

void GridPrintDocument::SetPageLayout(const QPageLayout& layout) {
  layout_ = layout;
  LayOut();
}

void GridPrintDocument::LayOut() {
  const QSizeF size = PrintableSizeInUnits(layout_);
  width_ = size.width();
  height_ = size.height();
  row_height_ = metrics_->height() * 1.5;
  title_height_ = QFontMetricsF(title_font_).height() * 1.6;
  footer_height_ = QFontMetricsF(footer_font_).height() * 1.5;

  cols_.clear();
  x_.clear();
  double total = 0;
  for (int c = 1; c < grid_.Cols(); ++c)
    if (grid_.ColumnWidth(c) > 0) {
      cols_.push_back(c);
      total += grid_.ColumnWidth(c);
    }
  const double scale = total > 0 ? width_ / total : 1.0;
  double x = 0;
  for (int c : cols_) {
    x_.push_back(x);
    x += grid_.ColumnWidth(c) * scale;
  }
  x_.push_back(x);

  // Every data row has the same height, so each page holds the same number of rows;
  // a paper too small for even one still prints one row a page.
  const double body = height_ - title_height_ - grid_.FixedRows() * row_height_ - footer_height_;
  rows_per_page_ = std::max(1, static_cast<int>(std::floor(body / row_height_)));
  const int data_rows = std::max(grid_.Rows() - grid_.FixedRows(), 0);
  pages_ = std::max(1, (data_rows + rows_per_page_ - 1) / rows_per_page_);
}

void GridPrintDocument::DrawCell(QPainter& p, const QRectF& rect, const QString& text, Qt::Alignment align,
                                 const QColor& fore, bool bold, const QColor& back) const {
  if (back.isValid()) p.fillRect(rect, back);
  p.setPen(kCellLineColor);
  p.drawRect(rect);
  if (text.isEmpty()) return;
  p.setFont(bold ? bold_font_ : font_);
  p.setPen(fore.isValid() ? fore : QColor(Qt::black));
  // The text stays inside its own column, cut short with "…" as on screen.
  const QRectF inner = rect.adjusted(kCellPadding, 0, -kCellPadding, 0);
  p.save();
  p.setClipRect(inner, Qt::IntersectClip);
  p.drawText(inner, static_cast<int>(align | Qt::TextSingleLine),
             PrintedCellText(bold ? *bold_metrics_ : *metrics_, text, inner.width()));
  p.restore();
}

// The header rows at `top`; a merged caption spans the printed columns of its merge.
double GridPrintDocument::DrawHeader(QPainter& p, double top) const {
  const double h = row_height_;
  const int fixed = std::min(grid_.FixedRows(), grid_.Rows());
  for (int r = 0; r < fixed; ++r) {
    for (std::size_t i = 0; i < cols_.size(); ++i) {
      const int c = cols_[i];
      const auto merge = std::find_if(grid_.Merges().begin(), grid_.Merges().end(),
                                      [&](const CellRange& m) { return m.Contains(r, c); });
      std::size_t last = i;
      int row1 = r, row2 = r, text_col = c;
      if (merge != grid_.Merges().end()) {
        const bool drawn_above = merge->row1 != r;
        const bool drawn_left = i > 0 && merge->Contains(r, cols_[i - 1]);
        if (drawn_above || drawn_left) continue;
        while (last + 1 < cols_.size() && merge->Contains(r, cols_[last + 1])) ++last;
        row1 = merge->row1, row2 = merge->row2, text_col = merge->col1;
      }
      const QRectF rect(x_[i], top + row1 * h, x_[last + 1] - x_[i], (row2 - row1 + 1) * h);
      DrawCell(p, rect, grid_.CellText(row1, text_col), Qt::AlignCenter, QColor(), true, kHeaderBackColor);
    }
  }
  return top + grid_.FixedRows() * h;
}

void GridPrintDocument::PaintPage(QPainter& p, int index) const {
  if (index < 0 || index >= pages_) return;
  p.setFont(title_font_);
  p.setPen(Qt::black);
  p.drawText(QRectF(0, 0, width_, title_height_), Qt::AlignCenter, title_);

  double top = DrawHeader(p, title_height_);
  // The grid may have lost rows since the layout (a refill behind the preview): paint
  // what is still there.
  const int first = grid_.FixedRows() + index * rows_per_page_;
  const int end = std::min(first + rows_per_page_, grid_.Rows());
  for (int r = first; r < end; ++r) {
    for (std::size_t i = 0; i < cols_.size(); ++i) {
      const int c = cols_[i];
      if (c >= grid_.Cols()) continue;
      const QRectF rect(x_[i], top, x_[i + 1] - x_[i], row_height_);
      DrawCell(p, rect, grid_.CellText(r, c), grid_.CellAlignment(r, c), grid_.CellForeColor(r, c),
               grid_.CellFontBold(r, c), QColor());
    }
    top += row_height_;
  }

  p.setFont(footer_font_);
  p.setPen(Qt::black);
  p.drawText(QRectF(0, height_ - footer_height_, width_, footer_height_), Qt::AlignCenter | Qt::AlignBottom,
             QStringLiteral("第 %1 页，共 %2 页").arg(index + 1).arg(pages_));
}

int RenderGridPages(const Grid& grid, const QString& title, QPagedPaintDevice& device) {
  GridPrintDocument document(grid, title, device.pageLayout());
  return PrintPages(document, device, AllPages(document)) == PrintOutcome::Printed ? document.PageCount() : 0;
}

void PrintGrid(const Grid& grid, const QString& title, Prompter& prompter, QWidget* parent) {
  GridPrintDocument document(grid, title);
  ShowPrintPreview(document, QStringLiteral("打印预览 - ") + title, prompter, parent);
}

}  // namespace hemulu
