#pragma once
// The receipt of one sale on an 80 mm till roll.

#include "sales/SalesLogic.h"

class QPagedPaintDevice;
class QPrinter;
class QWidget;

namespace hemulu {

// The receipt's lines, top to bottom: the shop's name (or "销售小票"), then its address
// and telephone only where config.ini has them.
QStringList ReceiptLines(const Receipt& receipt);
// Sets the device to the receipt page (80 mm wide) and draws the receipt on it.
void RenderReceipt(const Receipt& receipt, QPagedPaintDevice& device);
// The print preview of the receipt; the user prints (or saves a PDF) from there.
void PrintReceipt(const Receipt& receipt, QWidget* parent);

}  // namespace hemulu
