#include "lists/PrintPreview.h"

#include <malloc.h>

#include <QAction>
#include <QActionGroup>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPageRanges>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <array>
#include <cmath>

#include "data/Prompter.h"
#include "lists/PagedDocument.h"
#include "lists/WorkProgress.h"

namespace hemulu {

namespace {

// The zoom steps of 放大 and 缩小.
constexpr std::array kZoomSteps{0.1, 0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 3.0, 4.0};
// Pages kept beyond those in view, and the memory the kept ones may take.
constexpr std::size_t kCachedPages = 6;
constexpr qsizetype kCacheBytes = 96 * 1024 * 1024;
constexpr double kPageBytes = 64.0 * 1024 * 1024;

}  // namespace

// ---- PageView ----

PageView::PageView(const PagedDocument& document, QWidget* parent) : QAbstractScrollArea(parent), document_(document) {
  setObjectName(QStringLiteral("打印预览页面"));
  setFocusPolicy(Qt::StrongFocus);
  // Always there, so fitting the width never makes the bar come and go.
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  viewport()->setAutoFillBackground(false);
  verticalScrollBar()->setSingleStep(40);
  horizontalScrollBar()->setSingleStep(40);
}

int PageView::PageCount() const { return std::max(document_.PageCount(), 0); }

QSizeF PageView::SheetInches() const { return document_.PageLayout().fullRect(QPageLayout::Inch).size(); }

double PageView::ScreenDpi() const { return std::max(logicalDpiX(), 1); }

QSize PageView::PageSize() const {
  const QSizeF sheet = SheetInches() * ScreenDpi() * zoom_;
  return {std::max(1, static_cast<int>(std::lround(sheet.width()))),
          std::max(1, static_cast<int>(std::lround(sheet.height())))};
}

void PageView::Relayout() {
  cache_.clear();
  if (fit_ != Fit::None)
    FitToView();
  else
    UpdateScrollBars();
  if (current_ >= PageCount()) GoToPage(PageCount() - 1);
  UpdateCurrentPage();
  viewport()->update();
}

void PageView::SetFit(Fit fit) {
  fit_ = fit;
  if (fit_ != Fit::None) FitToView();
}

void PageView::SetZoom(double zoom) {
  fit_ = Fit::None;
  ApplyZoom(zoom);
}

void PageView::ZoomIn() {
  const auto next = std::find_if(kZoomSteps.begin(), kZoomSteps.end(), [&](double z) { return z > zoom_ * 1.01; });
  SetZoom(next != kZoomSteps.end() ? *next : kMaxZoom);
}

void PageView::ZoomOut() {
  const auto next = std::find_if(kZoomSteps.rbegin(), kZoomSteps.rend(), [&](double z) { return z < zoom_ / 1.01; });
  SetZoom(next != kZoomSteps.rend() ? *next : kMinZoom);
}

void PageView::FitToView() {
  const QSizeF sheet = SheetInches() * ScreenDpi();
  if (sheet.isEmpty()) return;
  const double across = (viewport()->width() - 2.0 * kGap) / sheet.width();
  const double down = (viewport()->height() - 2.0 * kGap) / sheet.height();
  ApplyZoom(fit_ == Fit::WholePage ? std::min(across, down) : across);
}

void PageView::ApplyZoom(double zoom) {
  zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
  // The top of the view stays on the same page, the same share of the way down it (and
  // a view at the first page's top stays there).
  const double place = static_cast<double>(verticalScrollBar()->value()) / Stride();
  const bool changed = std::abs(zoom - zoom_) > 1e-9;
  zoom_ = zoom;
  if (changed) cache_.clear();
  UpdateScrollBars();
  if (changed) verticalScrollBar()->setValue(static_cast<int>(std::lround(place * Stride())));
  viewport()->update();
  if (changed) emit ZoomChanged(zoom_);
}

void PageView::UpdateScrollBars() {
  const QSize page = PageSize();
  const QSize view = viewport()->size();
  const int height = PageCount() * Stride() + kGap;
  const int width = page.width() + 2 * kGap;
  verticalScrollBar()->setRange(0, std::max(0, height - view.height()));
  verticalScrollBar()->setPageStep(std::max(1, view.height()));
  horizontalScrollBar()->setRange(0, std::max(0, width - view.width()));
  horizontalScrollBar()->setPageStep(std::max(1, view.width()));
}

void PageView::GoToPage(int index) {
  index = std::clamp(index, 0, std::max(PageCount() - 1, 0));
  going_to_page_ = true;
  verticalScrollBar()->setValue(index * Stride());
  going_to_page_ = false;
  // The page asked for is the current one even when the view cannot scroll it to the
  // top (the last pages at a small zoom).
  if (current_ != index) {
    current_ = index;
    emit CurrentPageChanged(current_);
  }
  viewport()->update();
}

void PageView::UpdateCurrentPage() {
  if (going_to_page_) return;
  const int count = PageCount();
  const double middle = verticalScrollBar()->value() + viewport()->height() / 2.0;
  const int index = std::clamp(static_cast<int>((middle - kGap / 2.0) / Stride()), 0, std::max(count - 1, 0));
  if (index != current_) {
    current_ = index;
    emit CurrentPageChanged(current_);
  }
}

const QImage& PageView::PageImage(int index, const QSize& size) {
  const auto held = std::find_if(cache_.begin(), cache_.end(), [&](const CachedPage& c) { return c.index == index; });
  if (held != cache_.end()) {
    if (held != cache_.begin()) {
      CachedPage page = std::move(*held);
      cache_.erase(held);
      cache_.push_front(std::move(page));
    }
    return cache_.front().image;
  }
  // A sharp image on a dense screen only while it stays of a sensible size: at the
  // largest zoom the page is painted at one pixel a point.
  const double dpr = devicePixelRatioF();
  const double bytes = 4.0 * size.width() * size.height() * dpr * dpr;
  cache_.push_front({index, RenderPageImage(document_, index, size.width(), bytes > kPageBytes ? 1.0 : dpr)});
  ++pages_painted_;
  return cache_.front().image;
}

void PageView::TrimCache(std::size_t in_view) {
  qsizetype bytes = 0;
  for (const CachedPage& c : cache_) bytes += c.image.sizeInBytes();
  while (cache_.size() > in_view && (cache_.size() > in_view + kCachedPages || bytes > kCacheBytes)) {
    bytes -= cache_.back().image.sizeInBytes();
    cache_.pop_back();
  }
}

void PageView::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  p.fillRect(viewport()->rect(), palette().color(QPalette::Dark));
  const int count = PageCount();
  if (count == 0) return;
  const QSize page = PageSize();
  const int stride = Stride();
  const int top = verticalScrollBar()->value();
  const int view_height = viewport()->height();
  const int content_width = page.width() + 2 * kGap;
  const int left = content_width <= viewport()->width() ? (viewport()->width() - page.width()) / 2
                                                        : kGap - horizontalScrollBar()->value();
  const int first = std::clamp((top - kGap) / stride, 0, count - 1);
  const int last = std::clamp((top + view_height) / stride, 0, count - 1);
  std::size_t in_view = 0;
  for (int i = first; i <= last; ++i) {
    const QRect slot(left, kGap + i * stride - top, page.width(), page.height());
    if (!slot.intersects(viewport()->rect())) continue;
    ++in_view;
    p.fillRect(slot.translated(3, 3), QColor(0, 0, 0, 70));
    const QImage& image = PageImage(i, page);
    if (image.isNull())
      p.fillRect(slot, Qt::white);
    else
      p.drawImage(slot.topLeft(), image);
    p.setPen(QColor(90, 90, 90));
    p.drawRect(slot.adjusted(0, 0, -1, -1));
  }
  TrimCache(in_view);
}

void PageView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  if (fit_ != Fit::None)
    FitToView();
  else
    UpdateScrollBars();
  UpdateCurrentPage();
}

void PageView::keyPressEvent(QKeyEvent* event) {
  const bool plain = !(event->modifiers() & (Qt::AltModifier | Qt::ShiftModifier));
  if (plain && event->key() == Qt::Key_Home) return GoToPage(0);
  if (plain && event->key() == Qt::Key_End) return GoToPage(PageCount() - 1);
  QAbstractScrollArea::keyPressEvent(event);
}

void PageView::wheelEvent(QWheelEvent* event) {
  if (event->modifiers() & Qt::ControlModifier) {
    if (event->angleDelta().y() > 0) ZoomIn();
    if (event->angleDelta().y() < 0) ZoomOut();
    event->accept();
    return;
  }
  QAbstractScrollArea::wheelEvent(event);
}

void PageView::scrollContentsBy(int, int) {
  UpdateCurrentPage();
  viewport()->update();
}

// ---- PrintPreview ----

std::vector<int> ChosenPages(const QPrinter& printer, int page_count, int current_page) {
  std::vector<int> pages;
  const auto add = [&](int from, int to) {  // from 1, inclusive
    for (int page = std::max(from, 1); page <= std::min(to, page_count); ++page) pages.push_back(page - 1);
  };
  switch (printer.printRange()) {
    case QPrinter::CurrentPage:
      add(current_page + 1, current_page + 1);
      break;
    case QPrinter::PageRange:
      if (!printer.pageRanges().isEmpty())
        for (const QPageRanges::Range& r : printer.pageRanges().toRangeList()) add(r.from, r.to);
      else
        add(printer.fromPage(), printer.toPage());
      break;
    default:
      add(1, page_count);
  }
  return pages;
}

PrintPreview::PrintPreview(PagedDocument& document, const QString& window_title, Prompter& prompter, QWidget* parent)
    : QDialog(parent), document_(document), prompter_(prompter) {
  setObjectName(QStringLiteral("打印预览"));
  setWindowTitle(window_title);
  setSizeGripEnabled(true);

  auto* bar = new QToolBar(this);
  bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  const auto add = [&](const QString& text, const QKeySequence& keys, auto slot) {
    QAction* a = bar->addAction(text);
    a->setObjectName(text);
    if (!keys.isEmpty()) {
      a->setShortcut(keys);
      a->setToolTip(text + QStringLiteral(" (") + keys.toString(QKeySequence::NativeText) + QStringLiteral(")"));
    }
    connect(a, &QAction::triggered, this, slot);
    return a;
  };
  add(QStringLiteral("打印"), QKeySequence::Print, [this] { Print(); });
  bar->addSeparator();
  add(QStringLiteral("适合宽度"), {}, [this] { view_->SetFit(PageView::Fit::Width); });
  add(QStringLiteral("整页"), {}, [this] { view_->SetFit(PageView::Fit::WholePage); });
  add(QStringLiteral("缩小"), QKeySequence::ZoomOut, [this] { view_->ZoomOut(); });
  add(QStringLiteral("放大"), QKeySequence::ZoomIn, [this] { view_->ZoomIn(); });
  zoom_text_ = new QLabel(bar);
  zoom_text_->setObjectName(QStringLiteral("缩放比例"));
  zoom_text_->setMinimumWidth(zoom_text_->fontMetrics().horizontalAdvance(QStringLiteral("4000%")));
  zoom_text_->setAlignment(Qt::AlignCenter);
  bar->addWidget(zoom_text_);
  if (document_.FollowsPaper()) {
    bar->addSeparator();
    auto* orientation = new QActionGroup(this);
    portrait_ = add(QStringLiteral("纵向"), {}, [this] { SetOrientation(QPageLayout::Portrait); });
    landscape_ = add(QStringLiteral("横向"), {}, [this] { SetOrientation(QPageLayout::Landscape); });
    for (QAction* a : {portrait_, landscape_}) {
      a->setCheckable(true);
      orientation->addAction(a);
    }
  }
  bar->addSeparator();
  add(QStringLiteral("首页"), {}, [this] { view_->GoToPage(0); });
  add(QStringLiteral("上一页"), {}, [this] { view_->GoToPage(view_->CurrentPage() - 1); });
  page_box_ = new QSpinBox(bar);
  page_box_->setObjectName(QStringLiteral("页码"));
  page_box_->setKeyboardTracking(false);  // a page number is gone to once typed, not digit by digit
  page_box_->setAccelerated(true);
  page_box_->setAlignment(Qt::AlignRight);
  bar->addWidget(page_box_);
  page_count_ = new QLabel(bar);
  page_count_->setObjectName(QStringLiteral("总页数"));
  bar->addWidget(page_count_);
  add(QStringLiteral("下一页"), {}, [this] { view_->GoToPage(view_->CurrentPage() + 1); });
  add(QStringLiteral("末页"), {}, [this] { view_->GoToPage(view_->PageCount() - 1); });
  bar->addSeparator();
  add(QStringLiteral("关闭"), {}, [this] { reject(); });

  view_ = new PageView(document_, this);
  connect(view_, &PageView::CurrentPageChanged, this, &PrintPreview::ShowPage);
  connect(view_, &PageView::ZoomChanged, this, &PrintPreview::ShowZoom);
  connect(page_box_, &QSpinBox::valueChanged, this, [this](int page) {
    if (page - 1 != view_->CurrentPage()) view_->GoToPage(page - 1);
  });

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(bar);
  layout->addWidget(view_, 1);

  // Most of the screen: a list page is read at its width.
  const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
  const QRect room = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  resize(std::max(640, room.width() * 4 / 5), std::max(480, room.height() * 7 / 8));
  DocumentChanged();
  ShowZoom(view_->Zoom());
  view_->setFocus();
}

PrintPreview::~PrintPreview() = default;

void PrintPreview::DocumentChanged() {
  view_->Relayout();
  const int count = std::max(document_.PageCount(), 1);
  page_box_->blockSignals(true);
  page_box_->setRange(1, count);
  page_box_->setValue(view_->CurrentPage() + 1);
  page_box_->blockSignals(false);
  page_count_->setText(QStringLiteral(" / %1 页 ").arg(count));
  if (portrait_) {
    const bool across = document_.PageLayout().orientation() == QPageLayout::Landscape;
    landscape_->setChecked(across);
    portrait_->setChecked(!across);
  }
}

void PrintPreview::ShowPage(int index) {
  page_box_->blockSignals(true);
  page_box_->setValue(index + 1);
  page_box_->blockSignals(false);
}

void PrintPreview::ShowZoom(double zoom) { zoom_text_->setText(QStringLiteral("%1%").arg(std::lround(zoom * 100))); }

void PrintPreview::SetOrientation(QPageLayout::Orientation orientation) {
  QPageLayout layout = document_.PageLayout();
  if (layout.orientation() == orientation) return;
  layout.setOrientation(orientation);
  document_.SetPageLayout(layout);
  DocumentChanged();
}

bool PrintPreview::ChoosePrinter(QPrinter& printer) {
  if (chooser_) return chooser_(printer, document_.PageCount(), view_->CurrentPage());
  QPrintDialog dialog(&printer, this);
  dialog.setWindowTitle(QStringLiteral("打印"));
  dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintPageRange |
                    QAbstractPrintDialog::PrintCurrentPage | QAbstractPrintDialog::PrintShowPageSize);
  dialog.setMinMax(1, std::max(document_.PageCount(), 1));
  return dialog.exec() == QDialog::Accepted;
}

void PrintPreview::Print() {
  if (!printer_) {
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer_->setDocName(document_.Title());
  }
  // The dialog opens on the paper the preview shows; the range is asked afresh each time.
  printer_->setPageLayout(document_.PageLayout());
  printer_->setPrintRange(QPrinter::AllPages);
  const int current = view_->CurrentPage();
  if (!ChoosePrinter(*printer_)) return;

  // Paper chosen in the dialog may hold another number of rows a page: lay out on it
  // first, then take the pages asked for.
  document_.SetPageLayout(printer_->pageLayout());
  const std::vector<int> pages = ChosenPages(*printer_, document_.PageCount(), current);
  PrintOutcome outcome = PrintOutcome::Printed;
  if (!pages.empty()) {
    WorkProgress progress(QStringLiteral("正在打印……"), this);
    const Progress report = progress.Reporter();
    const auto total = static_cast<std::int64_t>(pages.size());
    outcome = PrintPages(document_, *printer_, pages, [&](int done) { return report(done, total); });
    // A cancelled file is not kept half written.
    if (outcome == PrintOutcome::Cancelled && !printer_->outputFileName().isEmpty())
      QFile::remove(printer_->outputFileName());
  }
  DocumentChanged();
  if (outcome == PrintOutcome::Failed) prompter_.ShowMessage(kPrintFailedText, MessageKind::Exclamation);
}

void ShowPrintPreview(PagedDocument& document, const QString& window_title, Prompter& prompter, QWidget* parent,
                      PageView::Fit fit, QSize size) {
  {
    PrintPreview preview(document, window_title, prompter, parent);
    if (size.isValid()) preview.resize(size);
    preview.View()->SetFit(fit);
    preview.exec();
  }
  // Give the heap the page images used back to the system, so a long list's preview
  // does not leave the program swollen.
  malloc_trim(0);
}

}  // namespace hemulu
