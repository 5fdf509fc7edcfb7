#pragma once
// The goods and sale the journal's tests record: a cola entered as 5 at 1.2 from
// 供货商甲 (sold at 2 a piece), dated as each test needs; and the check that every
// goods' movements add up to its stock.

#include <gtest/gtest.h>

#include "data/StockMoves.h"
#include "sales/SalesLogic.h"
#include "stock/GoodsLogic.h"

namespace hemulu::test {

inline GoodsForm JournalGoodsForm(const QString& name = QStringLiteral("可口可乐"), QDate date = QDate(2026, 12, 8)) {
  GoodsForm f;
  f.category = QStringLiteral("饮料");
  f.name = name;
  f.model = QStringLiteral("500ml");
  f.code = QStringLiteral("KKKL500ml");
  f.quantity = QStringLiteral("5");
  f.buy_price = QStringLiteral("1.2");
  f.sell_price = QStringLiteral("2");
  f.supplier = QStringLiteral("供货商甲");
  f.date = date;
  return f;
}

// A sale of `quantity` of the goods at 2 a piece, as the sale window would fill it.
inline SaleForm JournalSaleOf(AppContext& ctx, qint64 goods, const QString& quantity, QDate date = QDate(2026, 12, 8)) {
  const SaleGoods g = *LoadSaleGoods(ctx, goods);
  SaleForm f;
  f.name = g.name;
  f.model = g.model;
  f.code = g.code;
  f.category = g.category;
  f.shown_stock = NumberText(g.stock);
  f.quantity = quantity;
  f.actual_price = QStringLiteral("2");
  f.amount = NumberText(2 * NumberValue(quantity));
  f.date = date;
  return f;
}

inline void ExpectStockMovesAddUp(AppContext& ctx) {
  auto mismatches = FindStockMismatches(ctx);
  ASSERT_TRUE(mismatches.has_value());
  EXPECT_TRUE(mismatches->empty()) << StockMismatchMessage(*mismatches).toStdString();
}

}  // namespace hemulu::test
