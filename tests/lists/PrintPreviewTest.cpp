#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPageRanges>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include "TestSupport.h"
#include "lists/Grid.h"
#include "lists/GridPrinter.h"
#include "lists/PrintPreview.h"

using namespace hemulu;
using hemulu::test::ScriptedPrompter;

namespace {

// Two header rows (a caption merged over both columns, then one caption each) over two
// columns, the second three times as wide as the first.
void LayOut(Grid& grid) {
  grid.SetCols(3);
  grid.SetFixedRows(2);
  grid.SetRows(2);
  grid.SetRangeMerge(0, 1, 0, 2);
  grid.SetCellText(0, 1, "商品");
  grid.SetCellText(1, 1, "名称");
  grid.SetCellText(1, 2, "备注");
  grid.SetColumnWidth(0, 20);
  grid.SetColumnWidth(1, 100);
  grid.SetColumnWidth(2, 300);
}

void AddRows(Grid& grid, int rows, const QString& name) {
  for (int i = 0; i < rows; ++i) grid.AddItem(name + "\t");
}

// The pages of a PDF file, counted by its page objects.
int PdfPages(const QString& file) {
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) return -1;
  const QString text = QString::fromLatin1(f.readAll());
  return static_cast<int>(text.count(QRegularExpression(QStringLiteral("/Type\\s*/Page(?![s\\w])"))));
}

// Darkest grey level in a rectangle of the image.
int Darkest(const QImage& image, const QRect& rect) {
  int darkest = 255;
  const QRect r = rect.intersected(image.rect());
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) darkest = std::min(darkest, qGray(image.pixel(x, y)));
  return darkest;
}

QAction* Action(PrintPreview& preview, const QString& text) {
  for (QAction* a : preview.findChildren<QAction*>())
    if (a->text() == text) return a;
  ADD_FAILURE() << "no action " << text.toStdString();
  return nullptr;
}

// Prints to a PDF file instead of asking, with the range a user would choose.
PrintPreview::PrinterChooser PdfChooser(const QString& file, QPrinter::PrintRange range = QPrinter::AllPages,
                                        QPageRanges pages = {}) {
  return [=](QPrinter& printer, int, int) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    printer.setPrintRange(range);
    if (!pages.isEmpty()) printer.setPageRanges(pages);
    return true;
  };
}

}  // namespace

TEST(GridPrinting, PagesHoldWholeRowsAndTheListPrintsToPdfWithoutAPrinter) {
  Grid grid;
  LayOut(grid);
  GridPrintDocument probe(grid, "商品库存");
  const int per_page = probe.RowsPerPage();
  ASSERT_GT(per_page, 5);
  EXPECT_EQ(probe.PageCount(), 1);  // headers only: one page still

  // A long name in the narrow column next to an empty one: the name must stop at its column.
  AddRows(grid, 2 * per_page + 3, QString("BSKL330进口饮料").repeated(6));
  GridPrintDocument document(grid, "商品库存");
  EXPECT_EQ(document.PageCount(), 3);
  AddRows(grid, per_page - 3, "甲");  // the third page full, no fourth
  document.SetPageLayout(document.PageLayout());
  EXPECT_EQ(document.PageCount(), 3);
  grid.AddItem("乙\t");
  document.SetPageLayout(document.PageLayout());
  EXPECT_EQ(document.PageCount(), 4);
  grid.RemoveItem(grid.Rows() - 1);
  document.SetPageLayout(document.PageLayout());

  QTemporaryDir dir;
  ScriptedPrompter prompter;
  PrintPreview preview(document, "打印预览 - 商品库存", prompter);
  preview.SetPrinterChooser(PdfChooser(dir.filePath("all.pdf")));
  Action(preview, "打印")->trigger();
  EXPECT_EQ(PdfPages(dir.filePath("all.pdf")), 3);

  QPageRanges from_two;
  from_two.addRange(2, 9);  // past the end: stops at the last page
  preview.SetPrinterChooser(PdfChooser(dir.filePath("range.pdf"), QPrinter::PageRange, from_two));
  Action(preview, "打印")->trigger();
  EXPECT_EQ(PdfPages(dir.filePath("range.pdf")), 2);

  preview.View()->GoToPage(1);
  preview.SetPrinterChooser(PdfChooser(dir.filePath("current.pdf"), QPrinter::CurrentPage));
  Action(preview, "打印")->trigger();
  EXPECT_EQ(PdfPages(dir.filePath("current.pdf")), 1);

  // Nowhere to write: said once, nothing claimed printed.
  prompter.ExpectMessage(kPrintFailedText);
  preview.SetPrinterChooser(PdfChooser(dir.filePath("no such folder/x.pdf")));
  Action(preview, "打印")->trigger();
  EXPECT_FALSE(QFile::exists(dir.filePath("no such folder/x.pdf")));
  EXPECT_EQ(prompter.Messages(), std::vector<QString>{kPrintFailedText});

  // The painted page: ink in the name column, none in the empty column beside it.
  const QImage page = RenderPageImage(document, 0, 1400);
  const QRectF sheet = document.PageLayout().fullRect(QPageLayout::Inch);
  const QRectF printable = document.PageLayout().paintRect(QPageLayout::Inch);
  const double px_per_inch = page.width() / sheet.width();
  const int left = static_cast<int>(printable.left() * px_per_inch);
  // The columns as laid out: the long name takes what the empty column's caption leaves.
  ASSERT_EQ(document.ColumnEdges().size(), 3u);
  const int boundary = left + static_cast<int>(document.ColumnEdges()[1] / kPageUnitsPerInch * px_per_inch);
  const int right = static_cast<int>(printable.right() * px_per_inch);
  const int body_top = page.height() / 4, body_bottom = page.height() * 3 / 4;
  EXPECT_LT(Darkest(page, QRect(QPoint(left + 4, body_top), QPoint(boundary - 4, body_bottom))), 80);
  EXPECT_GT(Darkest(page, QRect(QPoint(boundary + 4, body_top), QPoint(right - 4, body_bottom))), 120);

  // Rows gone from the grid behind the preview's back: the later pages paint empty.
  grid.SetRows(grid.FixedRows());
  EXPECT_FALSE(RenderPageImage(document, 2, 600).isNull());
}

TEST(PrintPreview, PaintsOnlyThePagesInViewAndMovesBetweenThem) {
  Grid grid;
  LayOut(grid);
  GridPrintDocument probe(grid, "销售明细");
  AddRows(grid, 40 * probe.RowsPerPage(), "茶杯");
  GridPrintDocument document(grid, "销售明细");
  ASSERT_EQ(document.PageCount(), 40);

  ScriptedPrompter prompter;
  PrintPreview preview(document, "打印预览 - 销售明细", prompter);
  preview.resize(900, 600);
  preview.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
  PageView& view = *preview.View();
  view.viewport()->repaint();
  EXPECT_GE(view.PagesPainted(), 1);
  EXPECT_LE(view.PagesPainted(), 2);  // fitted to the width, one page and a bit of the next
  auto* page_box = preview.findChild<QSpinBox*>("页码");
  ASSERT_NE(page_box, nullptr);
  EXPECT_EQ(preview.findChild<QLabel*>("总页数")->text().trimmed(), "/ 40 页");
  EXPECT_EQ(page_box->value(), 1);

  Action(preview, "末页")->trigger();
  EXPECT_EQ(view.CurrentPage(), 39);
  EXPECT_EQ(page_box->value(), 40);
  Action(preview, "下一页")->trigger();
  EXPECT_EQ(view.CurrentPage(), 39);
  Action(preview, "上一页")->trigger();
  EXPECT_EQ(page_box->value(), 39);
  Action(preview, "首页")->trigger();
  EXPECT_EQ(view.CurrentPage(), 0);
  page_box->setValue(17);
  EXPECT_EQ(view.CurrentPage(), 16);
  EXPECT_EQ(view.verticalScrollBar()->value() > 0, true);
  view.verticalScrollBar()->setValue(0);  // scrolling by hand moves the number too
  EXPECT_EQ(page_box->value(), 1);

  // Leafing through every page keeps only a few of them.
  for (int i = 0; i < document.PageCount(); ++i) {
    view.GoToPage(i);
    view.viewport()->repaint();
  }
  EXPECT_GE(view.PagesPainted(), 40);
  EXPECT_LE(view.CachedPages(), 10);

  // Zoom: in, out, and back to the width; the label follows.
  const double fitted = view.Zoom();
  Action(preview, "放大")->trigger();
  EXPECT_GT(view.Zoom(), fitted);
  EXPECT_EQ(preview.findChild<QLabel*>("缩放比例")->text(), QString("%1%").arg(std::lround(view.Zoom() * 100)));
  Action(preview, "缩小")->trigger();
  Action(preview, "缩小")->trigger();
  EXPECT_LT(view.Zoom(), fitted);
  Action(preview, "整页")->trigger();
  const double whole = view.Zoom();
  Action(preview, "适合宽度")->trigger();
  EXPECT_NEAR(view.Zoom(), fitted, 1e-9);
  EXPECT_LE(whole, fitted);
  for (int i = 0; i < 30; ++i) Action(preview, "放大")->trigger();
  EXPECT_DOUBLE_EQ(view.Zoom(), PageView::kMaxZoom);

  // Portrait paper holds more rows a page: fewer pages, and the count says so.
  Action(preview, "纵向")->trigger();
  EXPECT_EQ(document.PageLayout().orientation(), QPageLayout::Portrait);
  EXPECT_LT(document.PageCount(), 40);
  EXPECT_EQ(preview.findChild<QLabel*>("总页数")->text().trimmed(), QString("/ %1 页").arg(document.PageCount()));
  EXPECT_TRUE(Action(preview, "纵向")->isChecked());

  // Keys: End and Home in the pages, Esc closes.
  view.setFocus();
  QTest::keyClick(&view, Qt::Key_End);
  EXPECT_EQ(view.CurrentPage(), document.PageCount() - 1);
  QTest::keyClick(&view, Qt::Key_Home);
  EXPECT_EQ(view.CurrentPage(), 0);
  QTest::keyClick(&view, Qt::Key_Escape);
  EXPECT_FALSE(preview.isVisible());
  EXPECT_EQ(preview.result(), QDialog::Rejected);
}
