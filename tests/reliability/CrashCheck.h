#pragma once
// What must hold of a program folder after any kill: the file is whole, no goods row
// has lost or gained stock against its sales or its movements, and every acknowledged
// sale is there.

#include <QString>
#include <QStringList>
#include <set>

#include "data/AppContext.h"

namespace hemulu::test {

// Opens data.db of `dir` as the program does and returns every fault found; empty
// when the folder is sound. `initial_stock` is every goods row's stock before any sale.
QStringList CheckSalesFolder(const QString& dir, double initial_stock, const std::set<qint64>& acknowledged);

// The same checks but the file's own, on a shop already open (a server shop too); the
// per-day totals must also hold exactly the dated sales.
QStringList CheckSales(AppContext& ctx, double initial_stock, const std::set<qint64>& acknowledged);

}  // namespace hemulu::test
