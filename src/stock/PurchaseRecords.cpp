#include "stock/PurchaseRecords.h"

#include <QTime>

#include "data/EngineSql.h"
#include "data/StockMoves.h"
#include "data/TextFormat.h"

namespace hemulu {

namespace {

enum PurchaseField { kFId, kFDate, kFName, kFModel, kFCode, kFQuantity, kFPrice, kFAmount, kFSupplier, kFUser };

// The shown columns of a delivery; the amount is worked out, the journal keeps the
// quantity and the price.
constexpr const char* kColumns =
    "\"ID\",日期,名称,型号,编码,数量,进货单价,数量*进货单价 as 金额,供货商,操作员 from stock_move";

}  // namespace

std::expected<ListPlan, ActionError> PurchaseRecordsPlan(const Session& session, const PurchaseFilter& filter) {
  if (!session.IsSuperAdministrator())
    return std::unexpected(
        ActionError{ActionError::Kind::NotAllowed, kPurchaseNotAllowedMessage, {}, {}, MessageKind::Information});
  ListPlan plan;
  plan.values = {kMoveNewGoods, kMoveRestock};
  // Days asked for: the journal's (业务, 日期) index gives their deliveries without
  // reading the sales. Every day: the file reads the journal in its own order, which
  // is the list's, rather than look up each of a million deliveries by the index and
  // sort them (3.2 s against 1 s); the server plans it by its statistics.
  const bool days = filter.first_day || filter.last_day;
  std::string file =
      std::string("select ") + kColumns + (days ? " where 业务 in (?,?)" : FileSql(" where 业务||'' in (?,?)"));
  std::string server = std::string("select ") + kColumns + " where 业务 in (?,?)";
  if (filter.first_day) {
    file += " and 日期>=?";
    server += " and 日期>=?";
    plan.values.emplace_back(DateSqlText(QDateTime(*filter.first_day, QTime(0, 0))));
  }
  if (filter.last_day) {
    file += " and 日期<=?";
    server += " and 日期<=?";
    plan.values.emplace_back(DateSqlText(QDateTime(*filter.last_day, QTime(23, 59, 59))));
  }
  if (!filter.goods.isEmpty()) {
    // By the name as recorded, or by the initials of the goods row (a goods deleted
    // since is found by its name).
    file += FileSql(
        " and (名称 like ? escape '\\' or 商品号 in (select b.\"ID\" from buy b where b.首拼 like ? escape '\\'))");
    server += ServerSql(
        " and (名称 COLLATE \"C\" ilike ? escape '\\' or 商品号 in (select b.\"ID\" from buy b where b.首拼 COLLATE "
        "\"C\" ilike ? escape '\\'))");
    plan.values.emplace_back(ContainsPattern(filter.goods));
    plan.values.emplace_back(ContainsPattern(filter.goods));
  }
  if (!filter.supplier.isEmpty()) {
    file += FileSql(" and 供货商 like ? escape '\\'");
    server += ServerSql(" and 供货商 COLLATE \"C\" ilike ? escape '\\'");
    plan.values.emplace_back(ContainsPattern(filter.supplier));
  }
  plan.sql = file + " order by \"ID\"";
  plan.server_sql = server + " order by \"ID\"";
  plan.table = "stock_move";
  plan.rows_from = std::string("(select ") + kColumns + ") as purchase_rows";
  plan.fields = {{"ID", FieldKind::Number},
                 {"日期", FieldKind::Date},
                 {"名称"},
                 {"型号"},
                 {"编码"},
                 {"数量", FieldKind::Number},
                 {"进货单价", FieldKind::OptionalNumber},
                 {"金额", FieldKind::OptionalNumber},
                 {"供货商"},
                 {"操作员"}};
  plan.totals = {{kFQuantity, kPurchaseQuantityCol}, {kFAmount, kPurchaseAmountCol}};
  plan.label_column = kPurchaseNameCol;
  plan.sort_column = -1;
  plan.totals_first_col = 1;
  plan.totals_last_col = kPurchaseUserCol;
  plan.line_first_col = 1;
  plan.line_last_col = kPurchaseUserCol;
  return plan;
}

QString PurchaseScope(const PurchaseFilter& filter) {
  QStringList parts;
  if (filter.first_day && filter.last_day) parts << PeriodText(*filter.first_day, *filter.last_day);
  if (!filter.goods.isEmpty()) parts << SearchScope(QStringLiteral("商品名称"), filter.goods);
  if (!filter.supplier.isEmpty()) parts << SearchScope(QStringLiteral("供货商"), filter.supplier);
  return parts.isEmpty() ? kAllRecordsScope : parts.join(QStringLiteral("，"));
}

}  // namespace hemulu
