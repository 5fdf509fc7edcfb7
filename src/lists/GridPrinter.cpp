#include "lists/GridPrinter.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <algorithm>
#include <malloc.h>
#include <vector>

#include "lists/Grid.h"

namespace hemulu {

namespace {

struct Layout {
  std::vector<int> cols;       // visible grid columns, in order (the row-header column left out)
  std::vector<double> x;       // left edge of each, in device pixels; x.back() is the right edge
  double row_height = 0;
  double header_heights[8] = {};
};

Layout MeasureColumns(const Grid& grid, double page_width, double row_height) {
  Layout l;
  double total = 0;
  for (int c = 1; c < grid.Cols(); ++c)
    if (grid.ColumnWidth(c) > 0) {
      l.cols.push_back(c);
      total += grid.ColumnWidth(c);
    }
  const double scale = total > 0 ? page_width / total : 1.0;
  double x = 0;
  for (int c : l.cols) {
    l.x.push_back(x);
    x += grid.ColumnWidth(c) * scale;
  }
  l.x.push_back(x);
  l.row_height = row_height;
  return l;
}

void DrawCell(QPainter& p, const QRectF& rect, const QString& text, Qt::Alignment align, const QColor& fore, bool bold,
              const QColor& back) {
  if (back.isValid()) p.fillRect(rect, back);
  p.setPen(QColor(160, 160, 160));
  p.drawRect(rect);
  QFont f = p.font();
  f.setBold(bold);
  p.setFont(f);
  p.setPen(fore.isValid() ? fore : QColor(Qt::black));
  // The text stays inside its own column, cut short with "…" as on screen.
  const QRectF inner = rect.adjusted(3, 0, -3, 0);
  p.save();
  p.setClipRect(inner, Qt::IntersectClip);
  p.drawText(inner, static_cast<int>(align | Qt::TextSingleLine),
             PrintedCellText(QFontMetricsF(f, p.device()), text, inner.width()));
  p.restore();
}

// The header rows at `top`; a merged caption spans the printed columns of its merge.
double DrawHeader(QPainter& p, const Grid& grid, const Layout& l, double top) {
  const double h = l.row_height;
  for (int r = 0; r < grid.FixedRows(); ++r) {
    for (std::size_t i = 0; i < l.cols.size(); ++i) {
      const int c = l.cols[i];
      const auto merge = std::find_if(grid.Merges().begin(), grid.Merges().end(),
                                      [&](const CellRange& m) { return m.Contains(r, c); });
      std::size_t last = i;
      int row1 = r, row2 = r, text_col = c;
      if (merge != grid.Merges().end()) {
        const bool drawn_above = merge->row1 != r;
        const bool drawn_left = i > 0 && merge->Contains(r, l.cols[i - 1]);
        if (drawn_above || drawn_left) continue;
        while (last + 1 < l.cols.size() && merge->Contains(r, l.cols[last + 1])) ++last;
        row1 = merge->row1, row2 = merge->row2, text_col = merge->col1;
      }
      const QRectF rect(l.x[i], top + row1 * h, l.x[last + 1] - l.x[i], (row2 - row1 + 1) * h);
      DrawCell(p, rect, grid.CellText(row1, text_col), Qt::AlignCenter, QColor(), true, QColor(235, 235, 235));
    }
  }
  return top + grid.FixedRows() * h;
}

}  // namespace

QString PrintedCellText(const QFontMetricsF& metrics, const QString& text, double width) {
  return metrics.elidedText(text, Qt::ElideRight, std::max(width, 0.0));
}

int RenderGridPages(const Grid& grid, const QString& title, QPagedPaintDevice& device) {
  QPainter p(&device);
  if (!p.isActive()) return 0;
  const QRectF page(0, 0, device.width(), device.height());
  QFont font = p.font();
  font.setPointSizeF(9);
  p.setFont(font);
  const double row_height = QFontMetricsF(font, &device).height() * 1.5;
  const Layout l = MeasureColumns(grid, page.width(), row_height);

  int pages = 1;
  const auto new_page = [&](double& top) {
    QFont title_font = font;
    title_font.setPointSizeF(12);
    title_font.setBold(true);
    p.setFont(title_font);
    p.setPen(Qt::black);
    const double title_height = QFontMetricsF(title_font, &device).height() * 1.6;
    p.drawText(QRectF(0, 0, page.width(), title_height), Qt::AlignCenter, title);
    p.setFont(font);
    top = DrawHeader(p, grid, l, title_height);
  };
  double top = 0;
  new_page(top);
  for (int r = grid.FixedRows(); r < grid.Rows(); ++r) {
    if (top + row_height > page.height()) {
      device.newPage();
      ++pages;
      new_page(top);
    }
    for (std::size_t i = 0; i < l.cols.size(); ++i) {
      const int c = l.cols[i];
      const QRectF rect(l.x[i], top, l.x[i + 1] - l.x[i], row_height);
      DrawCell(p, rect, grid.CellText(r, c), grid.CellAlignment(r, c), grid.CellForeColor(r, c),
               grid.CellFontBold(r, c), QColor());
    }
    top += row_height;
  }
  return pages;
}

void PrintGrid(const Grid& grid, const QString& title, QWidget* parent) {
  {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setDocName(title);
    QPrintPreviewDialog preview(&printer, parent);
    preview.setWindowTitle(QStringLiteral("打印预览 - ") + title);
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&grid, &title](QPrinter* p) { RenderGridPages(grid, title, *p); });
    preview.exec();
  }
  // The preview's recorded pages went with the dialog; hand the heap they used back to
  // the system so a large list's preview does not leave the program swollen.
  malloc_trim(0);
}

}  // namespace hemulu
