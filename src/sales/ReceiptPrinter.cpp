#include "sales/ReceiptPrinter.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "data/TextFormat.h"
#include "lists/PrintPreview.h"

namespace hemulu {

namespace {

constexpr double kPaperWidthMm = 80;
constexpr double kMarginMm = 3;
constexpr double kUnitsPerMm = kPageUnitsPerInch / 25.4;

constexpr double kTitleLineMm = 7.0;
constexpr double kLineMm = 5.5;
// Paper left below the last line, for the cutter.
constexpr double kTearOffMm = 15;

QPageLayout ReceiptPageLayout(double text_height_mm) {
  // Tall enough for every line; a till roll is cut where the text ends.
  const double height = text_height_mm + 2 * kMarginMm + kTearOffMm;
  return QPageLayout(QPageSize(QSizeF(kPaperWidthMm, height), QPageSize::Millimeter, QStringLiteral("小票 80mm")),
                     QPageLayout::Portrait, QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                     QPageLayout::Millimeter);
}

Qt::Alignment LineAlignment(bool title) { return (title ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter; }

QFont ReceiptFont(double points, QFont::Weight weight) {
  QFont f;
  f.setPixelSize(static_cast<int>(std::lround(PageUnitsFromPoints(points))));
  f.setWeight(weight);
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

QStringList BasketReceiptLines(const BasketReceipt& r) {
  const QString rule = QStringLiteral("--------------------------------");
  const auto money = [](double value) { return NumberText(value) + QStringLiteral("元"); };
  QStringList lines;
  lines << (r.shop_name.isEmpty() ? QStringLiteral("销售小票") : r.shop_name);
  if (!r.shop_address.isEmpty()) lines << QStringLiteral("地址：") + r.shop_address;
  if (!r.shop_phone.isEmpty()) lines << QStringLiteral("电话：") + r.shop_phone;
  lines << rule;
  lines << QStringLiteral("小票号：") + r.receipt_number;
  lines << QStringLiteral("时间：") + r.date_time;
  lines << QStringLiteral("收银员：") + r.operator_name;
  lines << rule;
  for (const BasketReceipt::Line& line : r.lines) {
    lines << (line.model.isEmpty() ? line.name : line.name + QStringLiteral("  ") + line.model);
    lines << QStringLiteral("    %1 × %2 = %3")
                 .arg(NumberText(line.quantity), NumberText(line.price), money(line.amount));
  }
  lines << rule;
  lines << QStringLiteral("件数：") + NumberText(r.pieces);
  lines << QStringLiteral("合计：") + money(r.total);
  lines << QStringLiteral("实收：") + money(r.paid);
  lines << QStringLiteral("找零：") + money(r.change);
  lines << QStringLiteral("欠款：") + money(r.debt);
  if (!r.customer_name.isEmpty()) lines << QStringLiteral("客户：") + r.customer_name;
  if (!r.note.isEmpty()) lines << QStringLiteral("备注：") + r.note;
  lines << rule;
  lines << QStringLiteral("谢谢惠顾，欢迎再次光临！");
  return lines;
}

ReceiptDocument::ReceiptDocument(const Receipt& receipt) : ReceiptDocument(ReceiptLines(receipt)) {}

ReceiptDocument::ReceiptDocument(const BasketReceipt& receipt) : ReceiptDocument(BasketReceiptLines(receipt)) {}

ReceiptDocument::ReceiptDocument(QStringList lines)
    : lines_(std::move(lines)),
      title_font_(ReceiptFont(11, QFont::Bold)),
      line_font_(ReceiptFont(9, QFont::Normal)),
      layout_(ReceiptPageLayout(0)) {
  // A long name or address wraps: its line is as tall as its wrapped text, and the
  // paper as long as all the lines.
  const double width = PrintableSizeInUnits(layout_).width();
  double total = 0;
  for (qsizetype i = 0; i < lines_.size(); ++i) {
    const bool title = i == 0;
    const QFontMetricsF metrics(title ? title_font_ : line_font_);
    const double single = (title ? kTitleLineMm : kLineMm) * kUnitsPerMm;
    const QRectF wrapped = metrics.boundingRect(QRectF(0, 0, width, 1e9),
                                                static_cast<int>(LineAlignment(title) | Qt::TextWordWrap), lines_[i]);
    heights_.push_back(std::max(single, wrapped.height() + single - metrics.height()));
    total += heights_.back();
  }
  layout_ = ReceiptPageLayout(total / kUnitsPerMm);
}

void ReceiptDocument::PaintPage(QPainter& p, int index) const {
  if (index != 0) return;
  const double width = PrintableSizeInUnits(layout_).width();
  p.setPen(Qt::black);
  double y = 0;
  for (qsizetype i = 0; i < lines_.size(); ++i) {
    const bool title = i == 0;
    p.setFont(title ? title_font_ : line_font_);
    const double h = heights_[static_cast<std::size_t>(i)];
    p.drawText(QRectF(0, y, width, h), static_cast<int>(LineAlignment(title) | Qt::TextWordWrap), lines_[i]);
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

void PrintBasketReceipt(const BasketReceipt& receipt, Prompter& prompter, QWidget* parent) {
  ReceiptDocument document(receipt);
  ShowPrintPreview(document, QStringLiteral("小票打印"), prompter, parent, PageView::Fit::WholePage, QSize(760, 820));
}

}  // namespace hemulu
