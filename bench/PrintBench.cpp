// The print preview of a large stock list: time until the first page is on screen, and
// the program's resident memory with the preview open and once it is closed — against
// a preview that paints every page before showing the first, in the same run.

#include <malloc.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QScrollBar>
#include <cstdio>

#include "BenchSupport.h"
#include "lists/ColumnShares.h"
#include "lists/Grid.h"
#include "lists/GridKeyedFill.h"
#include "lists/GridPrinter.h"
#include "lists/PrintPreview.h"
#include "stock/StockList.h"

namespace hemulu::bench {
namespace {

constexpr int kPrintedGoods = 20000;
const QString kTitle = QStringLiteral("商品库存");

// Until the preview has painted a page (the offscreen screen paints on the next pass
// of the event loop); forced when it has not.
void WaitForFirstPage(PageView& view) {
  for (int pass = 0; pass < 20 && view.PagesPainted() == 0; ++pass) QCoreApplication::processEvents();
  if (view.PagesPainted() == 0) view.viewport()->repaint();
}

void PrintPreview20k(BenchShop& shop) {
  shop.EnsureGoods();
  Grid grid;
  grid.resize(1136, 600);
  LayOutStockGrid(grid);
  ColumnShares* shares = AttachStockShares(grid, true);
  shares->Apply();
  const FillResult r = FillGridKeyed(shop.ctx(), grid, StockListPlan(AllGoodsQuery(), 0, true));
  if (r.error) Fail("fill", *r.error);
  grid.SetRows(std::min(grid.Rows(), grid.FixedRows() + kPrintedGoods));
  malloc_trim(0);
  const double before = ResidentMb();

  double first_page_ms = 0, open_mb = 0, browsed_mb = 0;
  int pages = 0, painted = 0;
  {
    QElapsedTimer t;
    t.start();
    GridPrintDocument document(grid, kTitle);
    SilentPrompter prompter;
    PrintPreview preview(document, QStringLiteral("打印预览 - ") + kTitle, prompter);
    preview.resize(1000, 700);
    preview.show();
    WaitForFirstPage(*preview.View());
    first_page_ms = t.nsecsElapsed() / 1e6;
    pages = document.PageCount();
    open_mb = ResidentMb();
    // Leaf through the whole list: the pages held stay a handful.
    PageView& view = *preview.View();
    for (int page = 0; page < pages; page += 10) {
      view.GoToPage(page);
      view.viewport()->repaint();
    }
    view.GoToPage(pages - 1);
    view.viewport()->repaint();
    browsed_mb = ResidentMb();
    painted = view.PagesPainted();
  }
  const double closed_untrimmed = ResidentMb();
  malloc_trim(0);  // as the preview does when it closes
  const double closed = ResidentMb();

  // The same list through a preview that paints every page before it shows one.
  double up_front_ms = 0, up_front_open_mb = 0;
  {
    QElapsedTimer t;
    t.start();
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(ListPageLayout());
    QPrintPreviewWidget preview(&printer);
    QObject::connect(&preview, &QPrintPreviewWidget::paintRequested, &preview,
                     [&grid](QPrinter* p) { RenderGridPages(grid, kTitle, *p); });
    preview.resize(1000, 700);
    preview.show();
    QCoreApplication::processEvents();
    preview.repaint();
    up_front_ms = t.nsecsElapsed() / 1e6;
    up_front_open_mb = ResidentMb();
  }
  malloc_trim(0);

  PrintCase("print_preview_20k", first_page_ms, up_front_ms);
  std::printf(
      "print_preview_20k pages: %d; resident %.0f MB before, %.0f MB with the first page shown, %.0f MB after "
      "leafing through every tenth page (%d pages painted), %.0f MB after closing (%.0f MB before trimming the heap)\n",
      pages, before, open_mb, browsed_mb, painted, closed, closed_untrimmed);
  std::printf("print_preview_20k baseline (every page painted up front): %.0f ms to the first page, %.0f MB open\n",
              up_front_ms, up_front_open_mb);
  std::fflush(stdout);
}
HEMULU_BENCH_CASE(120, "print_preview_20k", PrintPreview20k);

}  // namespace
}  // namespace hemulu::bench
