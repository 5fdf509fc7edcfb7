#pragma once
// Row builders and readers for the ledger and bank tests.

#include <QVariant>
#include <algorithm>
#include <vector>

#include "EngineSupport.h"
#include "TestSupport.h"
#include "money/BankLogic.h"
#include "money/MoneyLogic.h"

namespace hemulu::test {

// Inserts an `other` row as the table holds it; a null quantity stores none.
inline qint64 InsertLedgerRow(Database& db, const QString& type, double amount,
                              const QString& date = "2026-12-01 00:00:00", const QString& item = QStringLiteral("房租"),
                              const QString& note = QString(), const QVariant& quantity = QVariant(),
                              const QString& number = QStringLiteral("1")) {
  auto st = db.Prepare("insert into other (类型,编号,项目,数量,单价,金额,日期,备注) values (?,?,?,?,?,?,?,?)");
  EXPECT_TRUE(st.has_value());
  st->BindAll(type, number, item);
  if (quantity.isValid())
    st->Bind(4, quantity);
  else
    st->BindNull(4);
  st->Bind(5, 0.0).Bind(6, amount).Bind(7, date).Bind(8, note);
  EXPECT_TRUE(st->Run().has_value());
  return db.LastInsertId();
}

inline qint64 InsertBankRow(Database& db, const QString& bank, const QString& account, const QString& kind,
                            double amount, const QString& date = "2026-12-01 00:00:00",
                            const QString& note = QString()) {
  auto r = db.Execute("insert into bank (银行,账户,方式,金额,日期,备注) values (?,?,?,?,?,?)", bank, account, kind,
                      amount, date, note);
  EXPECT_TRUE(r.has_value());
  return db.LastInsertId();
}

// IDs a query returns, in its order.
inline std::vector<qint64> QueryIds(AppContext& ctx, const MoneyQuery& q) {
  std::vector<qint64> ids;
  const QString& sql = ctx.db.IsServer() && !q.server_sql.isEmpty() ? q.server_sql : q.sql;
  auto st = ctx.db.Prepare(sql.toStdString());
  EXPECT_TRUE(st.has_value()) << sql.toStdString();
  if (!st) return ids;
  for (int i = 0; i < q.params.size(); ++i) st->Bind(i + 1, q.params[i]);
  while (st->Step().value_or(false)) ids.push_back(st->Int("ID"));
  return ids;
}

// The same, in ID order (a date range reads the rows in date order).
inline std::vector<qint64> SortedIds(AppContext& ctx, const MoneyQuery& q) {
  std::vector<qint64> ids = QueryIds(ctx, q);
  std::sort(ids.begin(), ids.end());
  return ids;
}

// The stored movement; a failed read fails the test.
inline std::optional<BankMovement> StoredMovement(AppContext& ctx, qint64 id) {
  auto m = LoadBankMovement(ctx, id);
  EXPECT_TRUE(m.has_value());
  return m ? *m : std::nullopt;
}

}  // namespace hemulu::test
