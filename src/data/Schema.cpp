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

}  // namespace

// The sales searches scan these narrow indexes instead of the whole table, and the
// customer and category pick lists group on them. The bank balances group by bank and
// account from the last one alone, in order, without sorting the table.
std::string IndexSql(const char* if_not_exists) {
  std::string q = std::string("CREATE INDEX ") + if_not_exists;
  return q + "\"sell_首拼\" ON sell(首拼);\n" + q + "\"sell_客户名称\" ON sell(客户名称, 客户地址);\n" + q +
         "\"sell_类型\" ON sell(类型);\n" + q + "\"bank_银行账户\" ON bank(银行, 账户, 金额);\n";
}

std::string UpgradeSql() { return IndexSql("IF NOT EXISTS "); }

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
  return sql;
}

}  // namespace hemulu::schema
