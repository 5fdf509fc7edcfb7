#pragma once
// The receipt of one sale, or of a counter's basket, on an 80 mm till roll.

#include <QFont>
#include <vector>

#include "lists/PagedDocument.h"
#include "sales/CheckoutLogic.h"
#include "sales/SalesLogic.h"

class QPagedPaintDevice;
class QWidget;

namespace hemulu {

class Prompter;

// The receipt's lines, top to bottom: the shop's name (or "销售小票"), then its address
// and telephone only where config.ini has them.
QStringList ReceiptLines(const Receipt& receipt);
// A basket's receipt: the shop lines, its number, time and operator, each line's name
// (and model) over its quantity × price = amount, then 件数, 合计, 实收, 找零 and 欠款.
QStringList BasketReceiptLines(const BasketReceipt& receipt);

// One page of till roll, 80 mm wide and as long as the lines need; whatever paper a
// printer offers, the receipt keeps its own.
class ReceiptDocument final : public PagedDocument {
 public:
  explicit ReceiptDocument(const Receipt& receipt);
  explicit ReceiptDocument(const BasketReceipt& receipt);
  QString Title() const override { return QStringLiteral("小票"); }
  QPageLayout PageLayout() const override { return layout_; }
  void SetPageLayout(const QPageLayout&) override {}
  bool FollowsPaper() const override { return false; }
  int PageCount() const override { return 1; }
  void PaintPage(QPainter& painter, int index) const override;

 private:
  explicit ReceiptDocument(QStringList lines);

  QStringList lines_;
  QFont title_font_, line_font_;
  std::vector<double> heights_;  // of each line, in page units
  QPageLayout layout_;
};

// Sets the device to the receipt page (80 mm wide) and draws the receipt on it.
void RenderReceipt(const Receipt& receipt, QPagedPaintDevice& device);
// The print preview of the receipt; the user prints (or saves a PDF) from there.
void PrintReceipt(const Receipt& receipt, Prompter& prompter, QWidget* parent);
void PrintBasketReceipt(const BasketReceipt& receipt, Prompter& prompter, QWidget* parent);

}  // namespace hemulu
