#pragma once
// The big shop's rows, generated reproducibly (fixed seeds) with realistic Chinese
// names, categories, suppliers, customers and dates over the three years up to
// 30 November 2026. Each generator writes in one transaction.

#include "data/Database.h"

namespace hemulu::bench {

// Goods rows with IDs 1..count (on an empty buy table), their 首拼 from NameInitials.
void GenerateGoods(Database& db, int count);
// Sales of goods 1..goods_count, spread over three years, about a tenth with a debt
// and a few at a loss; 客户编号 from the sale's time as the sale window makes it.
void GenerateSales(Database& db, int count, int goods_count);
// Ledger rows: "收入" and "支出" (and a few other types), with and without quantity.
void GenerateLedger(Database& db, int count);
// Bank movements over a few banks and accounts, the four kinds with their signs.
void GenerateBank(Database& db, int count);

}  // namespace hemulu::bench
