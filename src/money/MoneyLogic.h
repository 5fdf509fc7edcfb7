#pragma once
// What the ledger and the bank logic share: a query with its bound values, the delete
// of a row, and the grouped pick-list reading.

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <expected>

#include "data/ActionError.h"
#include "data/AppContext.h"
#include "data/TextFormat.h"

namespace hemulu {

// A query of `other` or `bank` with its bound values.
struct MoneyQuery {
  QString sql;
  QVariantList params;
  // What the list covers, for its printed heading.
  QString scope = kAllRecordsScope;
  // The server's own text where it must differ from `sql` (same values); empty: `sql`.
  QString server_sql = {};
};

// "select max(c) as exp from t group by c": each non-empty value once, in the order
// the query gives them. An unreadable database gives an empty list.
[[nodiscard]] std::expected<QStringList, DbError> GroupedValues(AppContext& ctx, const char* table, const char* column);

// Deletes one row by its ID; refused to operators, reported when the row is gone.
[[nodiscard]] std::expected<void, ActionError> DeleteMoneyRow(AppContext& ctx, const char* table, qint64 id);

// An ID text of a grid row: a number greater than the tolerance, else 0.
qint64 IdOfText(const QString& id_text);

}  // namespace hemulu
