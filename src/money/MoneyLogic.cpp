#include "money/MoneyLogic.h"

#include <cmath>

#include "data/RowWriter.h"
#include "data/TextFormat.h"

namespace hemulu {

std::expected<QStringList, DbError> GroupedValues(AppContext& ctx, const char* table, const char* column) {
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(open.error());
  // Only our own table and column names go into the text.
  const std::string sql =
      std::string("select max(") + column + ") as exp from " + table + " group by " + column + " order by " + column;
  auto st = ctx.db.Prepare(sql);
  if (!st) return std::unexpected(st.error());
  QStringList values;
  for (;;) {
    auto row = st->Step();
    if (!row) return std::unexpected(row.error());
    if (!*row) break;
    const QString v = st->Text(0);
    if (!v.isEmpty()) values.push_back(v);
  }
  return values;
}

std::expected<void, ActionError> DeleteMoneyRow(AppContext& ctx, const char* table, qint64 id) {
  if (!ctx.session.IsSuperAdministrator())
    return std::unexpected(
        ActionError{ActionError::Kind::NotAllowed, QStringLiteral("对不起，只有超级管理员才能删除记录。")});
  if (id <= 0)
    return std::unexpected(ActionError{ActionError::Kind::Invalid, QStringLiteral("没有选中要删除的记录。")});
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(DatabaseActionError(open.error()));
  auto changed = ctx.db.Execute(std::string("delete from ") + table + " where \"ID\"=?", id);
  if (!changed) return std::unexpected(DatabaseActionError(changed.error()));
  if (*changed == 0)
    return std::unexpected(ActionError{ActionError::Kind::Gone, QStringLiteral("该记录已不存在，可能已被删除。")});
  return {};
}

qint64 IdOfText(const QString& id_text) {
  const double v = NumberValue(id_text);
  // Only a whole number names a row; anything else would match none.
  if (!(v > kTolerance) || v > 9.2e18 || v != std::floor(v)) return 0;
  return static_cast<qint64>(v);
}

}  // namespace hemulu
