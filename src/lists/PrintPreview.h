#pragma once
// The print preview: the pages of a PagedDocument one below the other, each painted
// only when it comes into view and kept in a small cache of recent pages, so a list of
// a thousand pages opens as fast as one of a single page and holds no more memory.

#include <QAbstractScrollArea>
#include <QDialog>
#include <QImage>
#include <QPageLayout>
#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QLabel;
class QPrinter;
class QSpinBox;

namespace hemulu {

class PagedDocument;
class Prompter;

inline const QString kPrintFailedText = QStringLiteral("打印失败，请检查打印机或要保存的文件。");

// The pages laid out in one column, as many slots as the document has pages; a slot
// is painted from the cache, and a page missing there is painted on the spot.
class PageView final : public QAbstractScrollArea {
  Q_OBJECT
 public:
  enum class Fit { Width, WholePage, None };

  explicit PageView(const PagedDocument& document, QWidget* parent = nullptr);

  // The document has new paper or another number of pages.
  void Relayout();
  void SetFit(Fit fit);
  Fit FitMode() const { return fit_; }
  // 1 is the paper's real size on this screen; leaves fitting.
  void SetZoom(double zoom);
  double Zoom() const { return zoom_; }
  void ZoomIn();
  void ZoomOut();

  int PageCount() const;
  // The page in the middle of the view (from 0).
  int CurrentPage() const { return current_; }
  void GoToPage(int index);

  // Pages painted so far, and pages held now.
  int PagesPainted() const { return pages_painted_; }
  int CachedPages() const { return static_cast<int>(cache_.size()); }

  static constexpr double kMinZoom = 0.1;
  static constexpr double kMaxZoom = 4.0;

 signals:
  void CurrentPageChanged(int index);
  void ZoomChanged(double zoom);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  struct CachedPage {
    int index;
    QImage image;
  };
  QSizeF SheetInches() const;
  double ScreenDpi() const;
  QSize PageSize() const;  // one page slot, in pixels
  int Stride() const { return PageSize().height() + kGap; }
  void ApplyZoom(double zoom);
  void FitToView();
  void UpdateScrollBars();
  void UpdateCurrentPage();
  const QImage& PageImage(int index, const QSize& size);
  void TrimCache(std::size_t keep);

  static constexpr int kGap = 12;
  const PagedDocument& document_;
  Fit fit_ = Fit::Width;
  double zoom_ = 1;
  int current_ = 0;
  bool going_to_page_ = false;  // the scroll is a jump to a page that is current already
  int pages_painted_ = 0;
  std::deque<CachedPage> cache_;  // most recently used first
};

// The preview window: zoom, moving between pages, and printing all or some pages to a
// printer or a PDF file with the painting the preview shows.
class PrintPreview final : public QDialog {
  Q_OBJECT
 public:
  PrintPreview(PagedDocument& document, const QString& window_title, Prompter& prompter, QWidget* parent = nullptr);
  ~PrintPreview() override;

  PageView* View() const { return view_; }

  // Lets the user choose the printer and the pages (range and current page as the
  // printer records them); false when cancelled. The print dialog by default.
  using PrinterChooser = std::function<bool(QPrinter& printer, int page_count, int current_page)>;
  void SetPrinterChooser(PrinterChooser chooser) { chooser_ = std::move(chooser); }

  // Asks for the printer and prints; a failure is reported, a cancel is not.
  void Print();

 private:
  bool ChoosePrinter(QPrinter& printer);
  void SetOrientation(QPageLayout::Orientation orientation);
  void DocumentChanged();
  void ShowPage(int index);
  void ShowZoom(double zoom);

  PagedDocument& document_;
  Prompter& prompter_;
  PageView* view_ = nullptr;
  QSpinBox* page_box_ = nullptr;
  QLabel* page_count_ = nullptr;
  QLabel* zoom_text_ = nullptr;
  QAction* portrait_ = nullptr;
  QAction* landscape_ = nullptr;
  std::unique_ptr<QPrinter> printer_;  // made at the first print, keeping the user's choices after
  PrinterChooser chooser_;
};

// The printed pages that a printer's range asks for, from 0.
std::vector<int> ChosenPages(const QPrinter& printer, int page_count, int current_page);

// Shows the preview modally; what it held is given back when it closes.
void ShowPrintPreview(PagedDocument& document, const QString& window_title, Prompter& prompter, QWidget* parent,
                      PageView::Fit fit = PageView::Fit::Width, QSize size = QSize());

}  // namespace hemulu
