// The print preview of a large stock list: time until the first page is on screen, and
// the program's resident memory once the preview is closed.

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <cstdio>
#include <malloc.h>
#include <unistd.h>

#include "BenchSupport.h"
#include "lists/ColumnShares.h"
#include "lists/GridFill.h"
#include "lists/GridPrinter.h"
#include "lists/Grid.h"
#include "stock/StockList.h"

namespace hemulu::bench {
namespace {

double ResidentMb() {
  QFile statm(QStringLiteral("/proc/self/statm"));
  if (!statm.open(QIODevice::ReadOnly)) return 0;
  const QList<QByteArray> fields = statm.readAll().split(' ');
  return fields.size() > 1 ? fields[1].toDouble() * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : 0;
}

void PrintPreview20k(BenchShop& shop) {
  shop.EnsureGoods();
  constexpr int kPrintedGoods = 20000;
  Grid grid;
  grid.resize(1136, 600);
  LayOutStockGrid(grid);
  ColumnShares* shares = AttachStockShares(grid, true);
  shares->Apply();
  const FillResult r = FillGrid(shop.ctx(), grid, StockFillSpec(AllGoodsQuery(), 0, true));
  if (r.error) Fail("fill", *r.error);
  grid.SetRows(std::min(grid.Rows(), grid.FixedRows() + kPrintedGoods));
  const double before = ResidentMb();

  QElapsedTimer t;
  t.start();
  {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintPreviewWidget preview(&printer);
    QObject::connect(&preview, &QPrintPreviewWidget::paintRequested, &preview,
                     [&grid](QPrinter* p) { RenderGridPages(grid, QStringLiteral("商品库存"), *p); });
    preview.resize(1000, 700);
    preview.show();
    QCoreApplication::processEvents();
    preview.repaint();
    PrintCase("print_preview_20k", t.nsecsElapsed() / 1e6);
    std::printf("print_preview_20k pages: %d; resident %.0f MB before, %.0f MB with the preview open\n",
                preview.pageCount(), before, ResidentMb());
  }
  std::printf("print_preview_20k resident after closing, before trimming the heap: %.0f MB\n", ResidentMb());
  malloc_trim(0);  // as PrintGrid does after its preview
  std::printf("print_preview_20k resident after closing: %.0f MB\n", ResidentMb());
}
HEMULU_BENCH_CASE(120, "print_preview_20k", PrintPreview20k);

}  // namespace
}  // namespace hemulu::bench
