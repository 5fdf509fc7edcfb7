#include "data/Schema.h"

namespace hemulu::schema {
namespace {

using enum ColumnType;

constexpr Column kBuy[] = {
    {"ID", AutoId},       {"名称", Text50},     {"型号", Text50},     {"编码", Text50},
    {"类型", Text50},     {"进货数量", Double}, {"进货单价", Double}, {"进货金额", Double},
    {"销售数量", Double}, {"销售单价", Double}, {"销售金额", Double}, {"存货数量", Double},
    {"存货金额", Double}, {"入库日期", DateTime}, {"供货商", Text50}, {"备注", Memo},
    {"首拼", Text50},
};

constexpr Column kSell[] = {
    {"ID", AutoId},       {"名称", Text50},     {"型号", Text50},     {"编码", Text50},
    {"类型", Text50},     {"进货单价", Double}, {"存货数量", Double}, {"销售单价", Double},
    {"销售数量", Double}, {"销售金额", Double}, {"销售日期", DateTime}, {"欠款额", Double},
    {"净利润", Double},   {"客户编号", Text50}, {"客户名称", Text50}, {"联系方式", Text50},
    {"客户地址", Text50}, {"备注", Text50},     {"首拼", Text50},     {"UID", Long},
};

constexpr Column kOther[] = {
    {"ID", AutoId},   {"类型", Text50}, {"编号", Text50},   {"项目", Text50}, {"数量", Double},
    {"单价", Double}, {"金额", Double}, {"日期", DateTime}, {"备注", Text50},
};

constexpr Column kBank[] = {
    {"ID", AutoId},   {"银行", Text50},   {"账户", Text50}, {"方式", Text50},
    {"金额", Double}, {"日期", DateTime}, {"备注", Memo},
};

constexpr Column kUserName[] = {
    {"ID", AutoId}, {"用户名", Text50}, {"密码", Text50}, {"权限", Text50},
};

constexpr Table kTables[] = {
    {"buy", kBuy}, {"sell", kSell}, {"other", kOther}, {"bank", kBank}, {"UserName", kUserName},
};

std::string ColumnSql(const Column& c) {
  std::string quoted = std::string("\"") + c.name + "\"";
  switch (c.type) {
    case AutoId: return quoted + " INTEGER PRIMARY KEY AUTOINCREMENT";
    case Long: return quoted + " INTEGER";
    case Text50: return quoted + " TEXT CHECK(length(" + quoted + ") <= 50)";
    case Memo: return quoted + " TEXT";
    case Double: return quoted + " REAL";
    case DateTime: return quoted + " TEXT";
  }
  return quoted;
}

// The day a sale counts under: the date part of its stored 'YYYY-MM-DD HH:MM:SS'.
#define HEMULU_DAY(row) "substr(" row ".销售日期, 1, 10)"

// Recomputes one day's row from the sales of that day, found over the date index (the
// bounds hold every text that begins with the day). Used after deletes and edits, where
// a running sum or maximum cannot be taken back. The GROUP BY makes a day without sales
// give no row at all.
#define HEMULU_RECOMPUTE_DAY(row)                                                                       \
  "DELETE FROM sell_day WHERE 日期 = " HEMULU_DAY(row) ";\n"                                            \
  "INSERT INTO sell_day SELECT " HEMULU_DAY(row) ", total(销售金额), total(净利润), max(销售金额), "      \
  "max(净利润), count(*) FROM sell WHERE 销售日期 >= " HEMULU_DAY(row) " AND 销售日期 < " HEMULU_DAY(row)     \
  " || char(1114111) AND " HEMULU_DAY("sell") " = " HEMULU_DAY(row) " GROUP BY " HEMULU_DAY("sell") ";\n"

constexpr const char* kDailyTotalsSql =
    "CREATE TABLE sell_day (日期 TEXT PRIMARY KEY, 销售金额 REAL NOT NULL, 净利润 REAL NOT NULL, "
    "最大销售金额 REAL, 最大净利润 REAL, 笔数 INTEGER NOT NULL) WITHOUT ROWID;\n"
    // A sale only adds: the running figures stay exact and cost two small writes.
    "CREATE TRIGGER sell_day_insert AFTER INSERT ON sell WHEN NEW.销售日期 IS NOT NULL BEGIN\n"
    "INSERT OR IGNORE INTO sell_day VALUES (" HEMULU_DAY("NEW") ", 0, 0, NULL, NULL, 0);\n"
    "UPDATE sell_day SET 销售金额 = 销售金额 + ifnull(NEW.销售金额, 0), 净利润 = 净利润 + ifnull(NEW.净利润, 0), "
    "最大销售金额 = CASE WHEN NEW.销售金额 IS NULL THEN 最大销售金额 WHEN 最大销售金额 IS NULL "
    "OR NEW.销售金额 > 最大销售金额 THEN NEW.销售金额 ELSE 最大销售金额 END, "
    "最大净利润 = CASE WHEN NEW.净利润 IS NULL THEN 最大净利润 WHEN 最大净利润 IS NULL "
    "OR NEW.净利润 > 最大净利润 THEN NEW.净利润 ELSE 最大净利润 END, "
    "笔数 = 笔数 + 1 WHERE 日期 = " HEMULU_DAY("NEW") ";\n"
    "END;\n"
    "CREATE TRIGGER sell_day_delete AFTER DELETE ON sell WHEN OLD.销售日期 IS NOT NULL BEGIN\n"
    HEMULU_RECOMPUTE_DAY("OLD")
    "END;\n"
    "CREATE TRIGGER sell_day_update AFTER UPDATE OF 销售日期, 销售金额, 净利润 ON sell BEGIN\n"
    HEMULU_RECOMPUTE_DAY("OLD")
    HEMULU_RECOMPUTE_DAY("NEW")
    "END;\n";

#undef HEMULU_RECOMPUTE_DAY
#undef HEMULU_DAY

}  // namespace

// The two busiest sales searches read only their index: it holds the four figures the
// list totals, so the table is not touched until rows are shown. The customer and
// category pick lists group on the narrower ones. The bank balances group by bank and
// account from the last one alone, in order, without sorting the table.
std::string IndexSql(const char* if_not_exists) {
  std::string q = std::string("CREATE INDEX ") + if_not_exists;
  return q + "\"sell_首拼_合计\" ON sell(首拼, 销售数量, 销售金额, 欠款额, 净利润);\n" + q +
         "\"sell_客户名称_合计\" ON sell(客户名称, 销售数量, 销售金额, 欠款额, 净利润);\n" + q +
         "\"sell_客户名称\" ON sell(客户名称, 客户地址);\n" + q + "\"sell_类型\" ON sell(类型);\n" + q +
         "\"bank_银行账户\" ON bank(银行, 账户, 金额);\n";
}

// The one-column index of 首拼 is a prefix of the wider one; it goes last, so a
// read-only file, where this stops at the first statement, loses nothing.
std::string UpgradeSql() { return IndexSql("IF NOT EXISTS ") + "DROP INDEX IF EXISTS \"sell_首拼\";\n"; }

std::span<const Table> Tables() { return kTables; }

const Table* FindTable(std::string_view name) {
  for (const Table& t : kTables)
    if (name == t.name) return &t;
  return nullptr;
}

const Column* FindColumn(const Table& table, std::string_view column) {
  for (const Column& c : table.columns)
    if (column == c.name) return &c;
  return nullptr;
}

std::string CreateSql() {
  std::string sql;
  for (const Table& t : kTables) {
    sql += "CREATE TABLE \"";
    sql += t.name;
    sql += "\" (";
    bool first = true;
    for (const Column& c : t.columns) {
      if (!first) sql += ", ";
      first = false;
      sql += ColumnSql(c);
    }
    sql += ");\n";
  }
  // Lists and reports filter and group by these; without them every report is a full scan.
  sql +=
      "CREATE INDEX \"UID\" ON sell(UID);\n"
      "CREATE INDEX \"sell_销售日期\" ON sell(销售日期);\n"
      "CREATE INDEX \"other_日期\" ON other(日期);\n"
      "CREATE INDEX \"bank_日期\" ON bank(日期);\n"
      "CREATE INDEX \"buy_入库日期\" ON buy(入库日期);\n" +
      IndexSql("") +
      "INSERT INTO UserName (ID, 用户名, 密码, 权限) VALUES (1, '超级管理员', '735', '超级管理员');\n";
  sql += kDailyTotalsSql;
  return sql;
}

std::string RebuildDailyTotalsSql() {
  std::string sql =
      "DROP TRIGGER IF EXISTS sell_day_insert;\n"
      "DROP TRIGGER IF EXISTS sell_day_delete;\n"
      "DROP TRIGGER IF EXISTS sell_day_update;\n"
      "DROP TABLE IF EXISTS sell_day;\n";
  sql += kDailyTotalsSql;
  sql +=
      "INSERT INTO sell_day SELECT substr(销售日期, 1, 10), total(销售金额), total(净利润), max(销售金额), "
      "max(净利润), count(*) FROM sell WHERE 销售日期 IS NOT NULL GROUP BY substr(销售日期, 1, 10);\n";
  return sql;
}

}  // namespace hemulu::schema
