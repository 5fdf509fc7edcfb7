#pragma once
// The sales list's query for one receipt: the rows sold (or returned) under one receipt
// number, as the checkout counter writes them into 客户编号.

#include "sales/SalesLogic.h"

namespace hemulu {

// Every sale row whose 客户编号 is exactly `receipt_number` (as typed, trimmed), by ID.
SalesQuery ReceiptSalesQuery(const QString& receipt_number);

}  // namespace hemulu
