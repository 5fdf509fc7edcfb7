#include "sales/ReceiptPrinter.h"

#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include "data/TextFormat.h"

namespace hemulu {

namespace {

constexpr double kPaperWidthMm = 80;
constexpr double kMarginMm = 3;

QPageSize ReceiptPageSize(int lines) {
  // Tall enough for every line; a till roll is cut where the text ends.
  const double height = 20 + lines * 6.0;
  return QPageSize(QSizeF(kPaperWidthMm, height), QPageSize::Millimeter, QStringLiteral("小票 80mm"));
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

void RenderReceipt(const Receipt& receipt, QPagedPaintDevice& device) {
  const QStringList lines = ReceiptLines(receipt);
  device.setPageLayout(QPageLayout(ReceiptPageSize(static_cast<int>(lines.size())), QPageLayout::Portrait,
                                   QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm), QPageLayout::Millimeter));
  QPainter p(&device);
  if (!p.isActive()) return;
  const double dpmm = device.logicalDpiY() / 25.4;
  const double width = device.width();
  QFont font = p.font();
  font.setPointSizeF(9);
  double y = 0;
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const bool title = i == 0;
    QFont f = font;
    f.setBold(title);
    if (title) f.setPointSizeF(11);
    p.setFont(f);
    const double h = (title ? 7.0 : 5.5) * dpmm;
    const QRectF rect(0, y, width, h);
    p.drawText(rect, static_cast<int>((title ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter | Qt::TextWordWrap),
               lines[i]);
    y += h;
  }
}

void PrintReceipt(const Receipt& receipt, QWidget* parent) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(QStringLiteral("小票"));
  QPrintPreviewDialog preview(&printer, parent);
  preview.setWindowTitle(QStringLiteral("小票打印"));
  preview.resize(760, 820);  // the whole tool bar, print button included, in view
  QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                   [&receipt](QPrinter* p) { RenderReceipt(receipt, *p); });
  preview.exec();
}

}  // namespace hemulu
