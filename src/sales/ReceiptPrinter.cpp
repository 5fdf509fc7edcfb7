#include "sales/ReceiptPrinter.h"

#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <cmath>

#include "data/TextFormat.h"
#include "lists/PrintPreview.h"

namespace hemulu {

namespace {

constexpr double kPaperWidthMm = 80;
constexpr double kMarginMm = 3;
constexpr double kUnitsPerMm = kPageUnitsPerInch / 25.4;

QPageLayout ReceiptPageLayout(int lines) {
  // Tall enough for every line; a till roll is cut where the text ends.
  const double height = 20 + lines * 6.0;
  return QPageLayout(QPageSize(QSizeF(kPaperWidthMm, height), QPageSize::Millimeter, QStringLiteral("小票 80mm")),
                     QPageLayout::Portrait, QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                     QPageLayout::Millimeter);
}

QFont ReceiptFont(double points, bool bold) {
  QFont f;
  f.setPixelSize(static_cast<int>(std::lround(PageUnitsFromPoints(points))));
  f.setBold(bold);
  return f;
}

}  // namespace

QStringList ReceiptLines(const Receipt& r) {
  QStringList lines;
  lines << (r.shop_name.isEmpty() ? QStringLiteral("销售小票") : r.shop_name);
  if (!r.shop_address.isEmpty()) lines << QStringLiteral("地址：") + r.shop_address;
  if (!r.shop_phone.isEmpty()) lines << QStringLiteral("电话：") + r.shop_phone;
  lines << QStringLiteral("--------------------------------");
  lines << QStringLiteral("客户编号：") + r.customer_number;
  lines << QStringLiteral("日期：") + r.date;
  lines << QStringLiteral("商品：") + r.name;
  if (!r.model.isEmpty()) lines << QStringLiteral("型号：") + r.model;
  lines << QStringLiteral("数量：") + NumberText(r.quantity);
  lines << QStringLiteral("单价：") + NumberText(r.price) + QStringLiteral("元");
  lines << QStringLiteral("金额：") + NumberText(r.amount) + QStringLiteral("元");
  lines << QStringLiteral("欠款：") + NumberText(r.debt) + QStringLiteral("元");
  lines << QStringLiteral("--------------------------------");
  lines << QStringLiteral("谢谢惠顾，欢迎再次光临！");
  return lines;
}

ReceiptDocument::ReceiptDocument(const Receipt& receipt)
    : lines_(ReceiptLines(receipt)), layout_(ReceiptPageLayout(static_cast<int>(lines_.size()))) {}

void ReceiptDocument::PaintPage(QPainter& p, int index) const {
  if (index != 0) return;
  const double width = PrintableSizeInUnits(layout_).width();
  const QFont title_font = ReceiptFont(11, true), line_font = ReceiptFont(9, false);
  p.setPen(Qt::black);
  double y = 0;
  for (qsizetype i = 0; i < lines_.size(); ++i) {
    const bool title = i == 0;
    p.setFont(title ? title_font : line_font);
    const double h = (title ? 7.0 : 5.5) * kUnitsPerMm;
    p.drawText(QRectF(0, y, width, h),
               static_cast<int>((title ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter | Qt::TextWordWrap),
               lines_[i]);
    y += h;
  }
}

void RenderReceipt(const Receipt& receipt, QPagedPaintDevice& device) {
  ReceiptDocument document(receipt);
  (void)PrintPages(document, device, AllPages(document));
}

void PrintReceipt(const Receipt& receipt, Prompter& prompter, QWidget* parent) {
  ReceiptDocument document(receipt);
  ShowPrintPreview(document, QStringLiteral("小票打印"), prompter, parent, PageView::Fit::WholePage, QSize(760, 820));
}

}  // namespace hemulu
