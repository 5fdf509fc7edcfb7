#include "lists/PagedDocument.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>
#include <algorithm>
#include <cmath>

namespace hemulu {

QSizeF PrintableSizeInUnits(const QPageLayout& layout) {
  return layout.paintRect(QPageLayout::Inch).size() * kPageUnitsPerInch;
}

QImage RenderPageImage(const PagedDocument& document, int index, int width, double device_pixel_ratio) {
  const QPageLayout layout = document.PageLayout();
  const QRectF sheet = layout.fullRect(QPageLayout::Inch);
  const QRectF printable = layout.paintRect(QPageLayout::Inch);
  if (width <= 0 || sheet.width() <= 0) return {};
  const double dpr = std::max(device_pixel_ratio, 1.0);
  const QSize pixels(static_cast<int>(std::lround(width * dpr)),
                     static_cast<int>(std::lround(width * dpr * sheet.height() / sheet.width())));
  QImage image(pixels, QImage::Format_RGB32);
  if (image.isNull()) return image;  // too large to hold: the page slot stays blank
  image.setDevicePixelRatio(dpr);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
  const double scale = pixels.width() / dpr / (sheet.width() * kPageUnitsPerInch);
  p.scale(scale, scale);
  p.translate(printable.left() * kPageUnitsPerInch, printable.top() * kPageUnitsPerInch);
  p.setClipRect(QRectF(QPointF(0, 0), printable.size() * kPageUnitsPerInch));
  document.PaintPage(p, index);
  return image;
}

PrintOutcome PrintPages(PagedDocument& document, QPagedPaintDevice& device, const std::vector<int>& pages,
                        const std::function<bool(int done)>& progress) {
  document.SetPageLayout(device.pageLayout());
  // A printer that cannot take a document's own paper (the till roll on an office
  // printer) prints it at the top of the paper it has.
  if (!device.pageLayout().isEquivalentTo(document.PageLayout())) (void)device.setPageLayout(document.PageLayout());
  QPainter p;
  if (!p.begin(&device)) return PrintOutcome::Failed;
  const double sx = device.logicalDpiX() / kPageUnitsPerInch;
  const double sy = device.logicalDpiY() / kPageUnitsPerInch;
  const QSizeF printable = PrintableSizeInUnits(document.PageLayout());
  bool first = true;
  int done = 0;
  for (int page : pages) {
    if (page < 0 || page >= document.PageCount()) continue;
    if (!first && !device.newPage()) return PrintOutcome::Failed;
    first = false;
    p.save();
    p.scale(sx, sy);
    p.setClipRect(QRectF(QPointF(0, 0), printable));
    document.PaintPage(p, page);
    p.restore();
    if (progress && !progress(++done)) {
      // A printer drops the job; a file keeps the pages done so far (the preview removes it).
      if (auto* printer = dynamic_cast<QPrinter*>(&device)) printer->abort();
      p.end();
      return PrintOutcome::Cancelled;
    }
  }
  return p.end() ? PrintOutcome::Printed : PrintOutcome::Failed;
}

std::vector<int> AllPages(const PagedDocument& document) {
  std::vector<int> pages(static_cast<std::size_t>(std::max(document.PageCount(), 0)));
  for (std::size_t i = 0; i < pages.size(); ++i) pages[i] = static_cast<int>(i);
  return pages;
}

}  // namespace hemulu
