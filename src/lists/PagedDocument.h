#pragma once
// A document that is laid out in pages once and paints any one page on demand: the
// print preview paints only the pages in view, and printing paints the chosen ones
// with the same code.
//
// A document paints in page units, 1/1200 inch, with the origin at the top-left corner
// of the page's printable area (inside the margins). Fonts are given in pixels of
// those units (`PageUnitsFromPoints`), so the layout is the same on every device.

#include <QImage>
#include <QPageLayout>
#include <QSizeF>
#include <QString>
#include <functional>
#include <vector>

class QPagedPaintDevice;
class QPainter;

namespace hemulu {

inline constexpr double kPageUnitsPerInch = 1200;

constexpr double PageUnitsFromPoints(double points) { return points * kPageUnitsPerInch / 72.0; }

class PagedDocument {
 public:
  virtual ~PagedDocument() = default;
  // The print job's name.
  virtual QString Title() const = 0;
  virtual QPageLayout PageLayout() const = 0;
  // Lays the pages out again for another paper or orientation; a document with paper of
  // its own (the till roll) keeps it.
  virtual void SetPageLayout(const QPageLayout& layout) = 0;
  // Whether SetPageLayout takes the paper it is given.
  virtual bool FollowsPaper() const { return true; }
  virtual int PageCount() const = 0;
  // Paints page `index` (from 0) in page units; the painter is clipped to the printable area.
  virtual void PaintPage(QPainter& painter, int index) const = 0;
};

// The printable area of a layout, in page units.
QSizeF PrintableSizeInUnits(const QPageLayout& layout);

// One page as an image of `width` pixels (the whole sheet, margins included, white),
// `device_pixel_ratio` times as many device pixels.
QImage RenderPageImage(const PagedDocument& document, int index, int width, double device_pixel_ratio = 1);

enum class PrintOutcome { Printed, Cancelled, Failed };

// Lays the document out on the device's paper (or gives the device the document's own
// paper), then paints the given pages (from 0, in order) onto it. `progress`, when set,
// hears the number of pages done after each one and stops the job by returning false.
PrintOutcome PrintPages(PagedDocument& document, QPagedPaintDevice& device, const std::vector<int>& pages,
                        const std::function<bool(int done)>& progress = {});

// Every page, from the first.
std::vector<int> AllPages(const PagedDocument& document);

}  // namespace hemulu
