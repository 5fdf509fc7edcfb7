#include "data/Schema.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>

namespace hemulu::schema {
namespace {

using enum ColumnType;

constexpr Column kBuy[] = {
    {"ID", AutoId},       {"名称", Text50},     {"型号", Text50},     {"编码", Text50},       {"类型", Text50},
    {"进货数量", Double}, {"进货单价", Double}, {"进货金额", Double}, {"销售数量", Double},   {"销售单价", Double},
    {"销售金额", Double}, {"存货数量", Double}, {"存货金额", Double}, {"入库日期", DateTime}, {"供货商", Text50},
    {"备注", Memo},       {"首拼", Text50},
};

constexpr Column kSell[] = {
    {"ID", AutoId},         {"名称", Text50},     {"型号", Text50},     {"编码", Text50},     {"类型", Text50},
    {"进货单价", Double},   {"存货数量", Double}, {"销售单价", Double}, {"销售数量", Double}, {"销售金额", Double},
    {"销售日期", DateTime}, {"欠款额", Double},   {"净利润", Double},   {"客户编号", Text50}, {"客户名称", Text50},
    {"联系方式", Text50},   {"客户地址", Text50}, {"备注", Text50},     {"首拼", Text50},     {"UID", Long},
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
    {"ID", AutoId},
    {"用户名", Text50},
    {"密码", Text50},
    {"权限", Text50},
};

constexpr Table kTables[] = {
    {"buy", kBuy}, {"sell", kSell}, {"other", kOther}, {"bank", kBank}, {"UserName", kUserName},
};

// A customer's repayment: who paid (as the sales name them), how much, when and how.
// 撤销号 is the repayment an undo takes back (0 for a repayment); 撤销记录 is the undo
// that took this one back (0 while it stands); 存款号 the bank movement it went in with.
constexpr Column kRepayment[] = {
    {"ID", AutoId},     {"客户名称", Text50}, {"联系方式", Text50}, {"金额", Double},
    {"日期", DateTime}, {"方式", Text50},     {"备注", Text50},     {"操作员", Text50},
    {"撤销号", Long},   {"撤销记录", Long},   {"存款号", Long},
};

// What a repayment took off each sale's debt.
constexpr Column kRepaymentPart[] = {
    {"ID", AutoId},
    {"收款号", Long},
    {"销售号", Long},
    {"金额", Double},
};

// One counter receipt's payment, written with its sales: a reprint shows what was paid
// and given back. A return's receipt has negative figures and names the receipt it
// takes back in 原小票号.
constexpr Column kReceipt[] = {
    {"ID", AutoId},   {"小票号", Text50}, {"时间", DateTime}, {"操作员", Text50},   {"合计金额", Double},
    {"实收", Double}, {"找零", Double},   {"欠款", Double},   {"原小票号", Text50},
};

// Which sale a return's sale row gives back, and how much: the count of what is already
// returned rests on it, never on a text a user may edit, and stays when the return's
// sale row is deleted (the stock it put back stays too).
constexpr Column kReturnLine[] = {
    {"ID", AutoId},
    {"销售号", Long},
    {"原销售号", Long},
    {"数量", Double},
};

// A basket put aside at the counter (挂单) and its lines in their order; 实收 as typed.
constexpr Column kHeldBasket[] = {
    {"ID", AutoId},       {"时间", DateTime},   {"操作员", Text50}, {"客户名称", Text50},
    {"联系方式", Text50}, {"客户地址", Text50}, {"备注", Text50},   {"实收", Text50},
};
constexpr Column kHeldBasketLine[] = {
    {"ID", AutoId},   {"挂单号", Long},     {"行号", Long},   {"商品号", Long}, {"名称", Text50},
    {"编码", Text50}, {"销售单价", Double}, {"折扣", Double}, {"数量", Double},
};

// The repayment tables first, then the counter's.
constexpr Table kLaterTableList[] = {
    {"repayment", kRepayment},    {"repayment_part", kRepaymentPart}, {"receipt", kReceipt},
    {"return_line", kReturnLine}, {"held_basket", kHeldBasket},       {"held_basket_line", kHeldBasketLine},
};
constexpr std::size_t kRepaymentTableCount = 2;
std::span<const Table> RepaymentTables() { return std::span(kLaterTableList).first(kRepaymentTableCount); }
std::span<const Table> CounterTables() { return std::span(kLaterTableList).subspan(kRepaymentTableCount); }

// The stock movements journal: one row per change of a goods row's stock, written in the
// change's own transaction. 业务 is the kind (入库, 续存, 修改, 删除, 销售, 删除销售, 退货, 期初);
// 数量 the change, 结存数量 the goods' stock after it; the goods' texts as they were then.
// 进货单价 and 供货商 for 入库/续存 (and 修改: the new price), 原数量/新数量 and
// 原单价/新单价 the purchase quantity and price a 修改 replaced and wrote; 销售号 the sale.
constexpr Column kStockMove[] = {
    {"ID", AutoId},       {"日期", DateTime}, {"操作员", Text50}, {"商品号", Long},   {"名称", Text50},
    {"型号", Text50},     {"编码", Text50},   {"业务", Text50},   {"数量", Double},   {"结存数量", Double},
    {"进货单价", Double}, {"供货商", Text50}, {"原数量", Double}, {"新数量", Double}, {"原单价", Double},
    {"新单价", Double},   {"销售号", Long},
};

// The journal's last movement ID at the last clean exit (one row): the start-up check
// looks only at goods changed after it.
constexpr Column kStockCheck[] = {{"ID", AutoId}, {"流水号", Long}};

constexpr Table kStockMoveTables[] = {{"stock_move", kStockMove}, {"stock_check", kStockCheck}};

struct Index {
  const char* name;
  const char* table;
  std::initializer_list<const char*> columns;
  bool unique = false;
};

// Lists and reports filter and group by these; without them every report is a full scan.
const Index kFirstIndexes[] = {
    {"UID", "sell", {"UID"}},        {"sell_销售日期", "sell", {"销售日期"}}, {"other_日期", "other", {"日期"}},
    {"bank_日期", "bank", {"日期"}}, {"buy_入库日期", "buy", {"入库日期"}},
};

// The two busiest sales searches read only their index: it holds the four figures the
// list totals, so the table is not touched until rows are shown. The customer and
// category pick lists group on the narrower ones. The bank balances group by bank and
// account from the last one alone, in order, without sorting the table.
const Index kLaterIndexes[] = {
    {"sell_首拼_合计", "sell", {"首拼", "销售数量", "销售金额", "欠款额", "净利润"}},
    {"sell_客户名称_合计", "sell", {"客户名称", "销售数量", "销售金额", "欠款额", "净利润"}},
    {"sell_客户名称", "sell", {"客户名称", "客户地址"}},
    {"sell_类型", "sell", {"类型"}},
    {"bank_银行账户", "bank", {"银行", "账户", "金额"}},
};

// The debtors list reads only the sales that owe, from this index alone; a repayment
// finds its parts and a sale's history its repayments by the other two.
const Index kRepaymentIndexes[] = {
    {"sell_欠款额", "sell", {"欠款额", "客户名称", "联系方式", "销售日期"}},
    {"repayment_客户", "repayment", {"客户名称", "联系方式", "日期"}},
    {"repayment_part_收款", "repayment_part", {"收款号"}},
    {"repayment_part_销售", "repayment_part", {"销售号", "收款号"}},
};

// The counter finds a scanned code's goods, a receipt's sales and payment, a held
// basket's lines and a sale's returns without reading a whole table.
const Index kCounterIndexes[] = {
    {"buy_编码", "buy", {"编码"}},
    {"sell_客户编号", "sell", {"客户编号"}},
    // Two tills taking one number at the same second: the second waits for the first
    // and is refused rather than sharing it.
    {"receipt_小票号", "receipt", {"小票号"}, true},
    {"return_line_原销售号", "return_line", {"原销售号"}},
    {"held_basket_line_挂单", "held_basket_line", {"挂单号", "行号"}},
};

// One goods' history newest first; the purchase records by kind and date.
const Index kStockMoveIndexes[] = {
    {"stock_move_商品", "stock_move", {"商品号", "ID"}},
    {"stock_move_业务", "stock_move", {"业务", "日期"}},
};

// One INSERT … SELECT over the goods, the same text on both engines: each goods row's
// stock as one opening movement, so its movements add up to 存货数量 from the start.
// The date is the program's own stored form (digits, '-', ':' and a space), never typed.
std::string OpeningMovesSql(const std::string& opening_date) {
  std::string date;
  for (char c : opening_date)
    if ((c >= '0' && c <= '9') || c == '-' || c == ':' || c == ' ') date += c;
  return std::string(
             "INSERT INTO \"stock_move\" (\"日期\", \"操作员\", \"商品号\", \"名称\", \"型号\", \"编码\", "
             "\"业务\", \"数量\", \"结存数量\") SELECT '") +
         date + "', '', b.\"ID\", b.\"名称\", b.\"型号\", b.\"编码\", '" + kOpeningMoveKind +
         "', coalesce(b.\"存货数量\", 0), coalesce(b.\"存货数量\", 0) FROM \"buy\" b ORDER BY b.\"ID\";\n";
}

// The template's one row: the super-administrator account, as SQL literals.
constexpr const char* kUserNameRow[] = {"1", "'超级管理员'", "'735'", "'超级管理员'"};

std::string Quoted(const char* name) { return std::string("\"") + name + "\""; }

// The file's statements name tables and columns as the first template did (the stored
// schema text is part of every file); the server's quote every name, since it folds
// unquoted ones to lower case.
std::string IndexStatement(const Index& index, const char* if_not_exists, bool server) {
  std::string sql = std::string(index.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") + if_not_exists +
                    Quoted(index.name) + " ON " +
                    (server ? Quoted(index.table) + " (" : std::string(index.table) + "(");
  bool first = true;
  for (const char* column : index.columns) {
    if (!first) sql += ", ";
    first = false;
    sql += server ? Quoted(column) : std::string(column);
  }
  // The file's every index holds the row's ID (its rowid), so a list's keys and totals
  // come from the index alone; the server's must be told to carry it.
  if (server) {
    const Table* table = FindTable(index.table);
    if (table && FindColumn(*table, "ID") &&
        std::ranges::find(index.columns, std::string_view("ID")) == index.columns.end())
      return sql + ") INCLUDE (\"ID\");\n";
  }
  return sql + ");\n";
}

std::string UserNameRowSql(bool server) {
  const Table& t = kTables[4];
  std::string sql = "INSERT INTO " + (server ? Quoted(t.name) : std::string(t.name)) + " (";
  for (std::size_t i = 0; i < t.columns.size(); ++i) {
    if (i) sql += ", ";
    sql += server ? Quoted(t.columns[i].name) : std::string(t.columns[i].name);
  }
  sql += ") VALUES (";
  for (std::size_t i = 0; i < std::size(kUserNameRow); ++i) {
    if (i) sql += ", ";
    sql += kUserNameRow[i];
  }
  return sql + ");\n";
}

std::string ColumnSql(const Column& c);

std::string TableSql(const Table& t, std::string (*column_sql)(const Column&), bool server,
                     const char* if_not_exists = "") {
  std::string sql = std::string("CREATE TABLE ") + if_not_exists +
                    (server ? Quoted(t.name) : "\"" + std::string(t.name) + "\"") + " (";
  bool first = true;
  for (const Column& c : t.columns) {
    if (!first) sql += ", ";
    first = false;
    sql += column_sql(c);
  }
  return sql + ");\n";
}

std::string ColumnSql(const Column& c) {
  std::string quoted = std::string("\"") + c.name + "\"";
  switch (c.type) {
    case AutoId:
      return quoted + " INTEGER PRIMARY KEY AUTOINCREMENT";
    case Long:
      return quoted + " INTEGER";
    case Text50:
      return quoted + " TEXT CHECK(length(" + quoted + ") <= 50)";
    case Memo:
      return quoted + " TEXT";
    case Double:
      return quoted + " REAL";
    case DateTime:
      return quoted + " TEXT";
  }
  return quoted;
}

// The day a sale counts under: the date part of its stored 'YYYY-MM-DD HH:MM:SS'.
#define HEMULU_DAY(row) "substr(" row ".销售日期, 1, 10)"

// Recomputes one day's row from the sales of that day, found over the date index (the
// bounds hold every text that begins with the day). Used after deletes and edits, where
// a running sum or maximum cannot be taken back. The GROUP BY makes a day without sales
// give no row at all.
#define HEMULU_RECOMPUTE_DAY(row) \
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

std::string IndexSql(const char* if_not_exists) {
  std::string sql;
  for (const Index& index : kLaterIndexes) sql += IndexStatement(index, if_not_exists, false);
  return sql;
}

// The one-column index of 首拼 is a prefix of the wider one; it goes last, so a
// read-only file, where this stops at the first statement, loses nothing.
std::string UpgradeSql() { return IndexSql("IF NOT EXISTS ") + "DROP INDEX IF EXISTS \"sell_首拼\";\n"; }

std::span<const Table> Tables() { return kTables; }
std::span<const Table> LaterTables() { return kLaterTableList; }

const Table* FindTable(std::string_view name) {
  for (const Table& t : kTables)
    if (name == t.name) return &t;
  for (const Table& t : kLaterTableList)
    if (name == t.name) return &t;
  for (const Table& t : kStockMoveTables)
    if (name == t.name) return &t;
  return nullptr;
}

std::string RepaymentTablesSql(const char* if_not_exists) {
  std::string sql;
  for (const Table& t : RepaymentTables()) sql += TableSql(t, ColumnSql, false);
  for (const Index& index : kRepaymentIndexes) sql += IndexStatement(index, if_not_exists, false);
  return sql;
}

std::string CounterTablesSql(const char* if_not_exists) {
  std::string sql;
  for (const Table& t : CounterTables()) sql += TableSql(t, ColumnSql, false, if_not_exists);
  for (const Index& index : kCounterIndexes) sql += IndexStatement(index, if_not_exists, false);
  return sql;
}

std::string StockMoveTablesSql(const char* if_not_exists, const std::string& opening_date) {
  std::string sql;
  for (const Table& t : kStockMoveTables) sql += TableSql(t, ColumnSql, false, if_not_exists);
  for (const Index& index : kStockMoveIndexes) sql += IndexStatement(index, if_not_exists, false);
  return sql + OpeningMovesSql(opening_date);
}

std::vector<const Table*> StoredTables() {
  std::vector<const Table*> tables;
  for (const Table& t : kTables) tables.push_back(&t);
  for (const Table& t : kLaterTableList) tables.push_back(&t);
  for (const Table& t : kStockMoveTables) tables.push_back(&t);
  return tables;
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
  for (const Index& index : kFirstIndexes) sql += IndexStatement(index, "", false);
  sql += IndexSql("") + UserNameRowSql(false);
  sql += kDailyTotalsSql;
  sql += RepaymentTablesSql("");
  sql += StockMoveTablesSql("", "");
  sql += CounterTablesSql("");
  return sql;
}

namespace {

std::string ServerColumnSql(const Column& c) {
  const std::string quoted = Quoted(c.name);
  switch (c.type) {
    // By default, not always: the template's rows keep their IDs.
    case AutoId:
      return quoted + " bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY";
    case Long:
      return quoted + " integer";
    case Text50:
      return quoted + " text CHECK (char_length(" + quoted + ") <= 50)";
    case Memo:
      return quoted + " text";
    // 8 bytes, as the file's REAL: the server's "real" would round 0.1 to 4 bytes.
    case Double:
      return quoted + " double precision";
    case DateTime:
      return quoted + " text";
  }
  return quoted;
}

// The per-day totals on the server. Concurrent sales of one day would race in the
// recompute (both delete the day's row, both insert it: a duplicate key), so every
// change of a day first takes that day's transaction lock; a statement after the wait
// sees what the other transaction committed. Two days are locked in order, never
// crosswise.
#define HEMULU_PG_DAY_LOCK "1751477621"
constexpr const char* kServerDailyTotalsSql =
    "CREATE TABLE \"sell_day\" (\"日期\" text PRIMARY KEY, \"销售金额\" double precision NOT NULL, "
    "\"净利润\" double precision NOT NULL, \"最大销售金额\" double precision, \"最大净利润\" double precision, "
    "\"笔数\" bigint NOT NULL);\n"
    // The recompute finds a day's sales by this, whatever the database's collation.
    "CREATE INDEX \"sell_销售日\" ON \"sell\" (substr(\"销售日期\", 1, 10));\n"
    "CREATE FUNCTION \"sell_day_lock\"(day text) RETURNS void LANGUAGE sql AS $$ "
    "SELECT pg_advisory_xact_lock(" HEMULU_PG_DAY_LOCK
    ", hashtext(day)) $$;\n"
    "CREATE FUNCTION \"sell_day_recompute\"(day text) RETURNS void LANGUAGE plpgsql AS $$\nBEGIN\n"
    "DELETE FROM \"sell_day\" WHERE \"日期\" = day;\n"
    "INSERT INTO \"sell_day\" SELECT day, coalesce(sum(\"销售金额\"), 0), coalesce(sum(\"净利润\"), 0), "
    "max(\"销售金额\"), max(\"净利润\"), count(*) FROM \"sell\" WHERE substr(\"销售日期\", 1, 10) = day "
    "HAVING count(*) > 0;\n"
    "END $$;\n"
    // A sale only adds: the running figures stay exact and cost one small write.
    "CREATE FUNCTION \"sell_day_insert\"() RETURNS trigger LANGUAGE plpgsql AS $$\n"
    "DECLARE day text := substr(NEW.\"销售日期\", 1, 10);\nBEGIN\n"
    "PERFORM \"sell_day_lock\"(day);\n"
    "INSERT INTO \"sell_day\" AS d VALUES (day, coalesce(NEW.\"销售金额\", 0), coalesce(NEW.\"净利润\", 0), "
    "NEW.\"销售金额\", NEW.\"净利润\", 1) ON CONFLICT (\"日期\") DO UPDATE SET "
    "\"销售金额\" = d.\"销售金额\" + EXCLUDED.\"销售金额\", \"净利润\" = d.\"净利润\" + EXCLUDED.\"净利润\", "
    // greatest() passes over NULL, as the file's triggers do.
    "\"最大销售金额\" = greatest(d.\"最大销售金额\", EXCLUDED.\"最大销售金额\"), "
    "\"最大净利润\" = greatest(d.\"最大净利润\", EXCLUDED.\"最大净利润\"), \"笔数\" = d.\"笔数\" + 1;\n"
    "RETURN NULL;\nEND $$;\n"
    "CREATE FUNCTION \"sell_day_delete\"() RETURNS trigger LANGUAGE plpgsql AS $$\n"
    "DECLARE day text := substr(OLD.\"销售日期\", 1, 10);\nBEGIN\n"
    "PERFORM \"sell_day_lock\"(day);\nPERFORM \"sell_day_recompute\"(day);\nRETURN NULL;\nEND $$;\n"
    "CREATE FUNCTION \"sell_day_update\"() RETURNS trigger LANGUAGE plpgsql AS $$\n"
    "DECLARE old_day text := substr(OLD.\"销售日期\", 1, 10); new_day text := substr(NEW.\"销售日期\", 1, 10);\n"
    "BEGIN\n"
    "IF old_day IS NOT NULL AND (new_day IS NULL OR old_day <= new_day) THEN\n"
    "  PERFORM \"sell_day_lock\"(old_day);\n"
    "  IF new_day IS NOT NULL AND new_day <> old_day THEN PERFORM \"sell_day_lock\"(new_day); END IF;\n"
    "ELSIF new_day IS NOT NULL THEN\n"
    "  PERFORM \"sell_day_lock\"(new_day);\n"
    "  IF old_day IS NOT NULL THEN PERFORM \"sell_day_lock\"(old_day); END IF;\n"
    "END IF;\n"
    "IF old_day IS NOT NULL THEN PERFORM \"sell_day_recompute\"(old_day); END IF;\n"
    "IF new_day IS NOT NULL AND new_day IS DISTINCT FROM old_day THEN PERFORM \"sell_day_recompute\"(new_day); END "
    "IF;\n"
    "RETURN NULL;\nEND $$;\n"
    "CREATE TRIGGER \"sell_day_insert\" AFTER INSERT ON \"sell\" FOR EACH ROW "
    "WHEN (NEW.\"销售日期\" IS NOT NULL) EXECUTE FUNCTION \"sell_day_insert\"();\n"
    "CREATE TRIGGER \"sell_day_delete\" AFTER DELETE ON \"sell\" FOR EACH ROW "
    "WHEN (OLD.\"销售日期\" IS NOT NULL) EXECUTE FUNCTION \"sell_day_delete\"();\n"
    "CREATE TRIGGER \"sell_day_update\" AFTER UPDATE OF \"销售日期\", \"销售金额\", \"净利润\" ON \"sell\" "
    "FOR EACH ROW EXECUTE FUNCTION \"sell_day_update\"();\n";
#undef HEMULU_PG_DAY_LOCK

// The columns the contains-searches of the busiest lists read: a trigram index each.
struct SearchIndex {
  const char* name;
  const char* table;
  const char* column;
};
constexpr SearchIndex kSearchIndexes[] = {
    {"sell_首拼_trgm", "sell", "首拼"}, {"sell_客户名称_trgm", "sell", "客户名称"}, {"sell_编码_trgm", "sell", "编码"},
    {"buy_首拼_trgm", "buy", "首拼"},   {"buy_编码_trgm", "buy", "编码"},
};

}  // namespace

std::string ServerSearchIndexSql() {
  // A failure to make the extension (no right to, not installed) or an index leaves
  // everything as it was: the searches then read the table. Building an index over many
  // rows may take longer than a statement of ours is allowed.
  std::string sql =
      "SET LOCAL statement_timeout = 0;\n"
      "DO $hemulu$ BEGIN\n"
      "  BEGIN\n"
      "    CREATE EXTENSION IF NOT EXISTS pg_trgm;\n"
      "  EXCEPTION WHEN OTHERS THEN\n"
      "    RETURN;\n"
      "  END;\n";
  for (const SearchIndex& index : kSearchIndexes)
    sql += std::string("  CREATE INDEX IF NOT EXISTS ") + Quoted(index.name) + " ON " + Quoted(index.table) +
           " USING gin ((" + Quoted(index.column) + " COLLATE \"C\") gin_trgm_ops);\n";
  sql +=
      "EXCEPTION WHEN OTHERS THEN\n"
      "  NULL;\n"
      "END $hemulu$;\n";
  return sql;
}

int ServerSearchIndexCount() { return static_cast<int>(std::size(kSearchIndexes)); }

std::string ServerSearchIndexesPresentSql() {
  std::string sql = "SELECT count(*) FROM pg_catalog.pg_indexes WHERE schemaname = current_schema() AND indexname IN (";
  bool first = true;
  for (const SearchIndex& index : kSearchIndexes) {
    sql += std::string(first ? "'" : ", '") + index.name + "'";
    first = false;
  }
  return sql + ")";
}

std::string ServerCreateSql() {
  std::string sql;
  for (const Table& t : kTables) {
    sql += "CREATE TABLE " + Quoted(t.name) + " (";
    bool first = true;
    for (const Column& c : t.columns) {
      if (!first) sql += ", ";
      first = false;
      sql += ServerColumnSql(c);
    }
    sql += ");\n";
  }
  for (const Index& index : kFirstIndexes) sql += IndexStatement(index, "", true);
  for (const Index& index : kLaterIndexes) sql += IndexStatement(index, "", true);
  // Two tills adding one name at once would both pass the logic's check; the server
  // refuses the second. (Files keep what they hold: older ones may have duplicates.)
  sql += "ALTER TABLE \"UserName\" ADD CONSTRAINT \"UserName_用户名_unique\" UNIQUE (\"用户名\");\n";
  sql += UserNameRowSql(true);
  // The template's rows took their IDs by hand: each table's next ID goes past them.
  for (const Table& t : kTables)
    sql += "SELECT setval(pg_get_serial_sequence('" + Quoted(t.name) +
           "', 'ID'), coalesce(max(\"ID\"), 0) + 1, "
           "false) FROM " +
           Quoted(t.name) + ";\n";
  sql += kServerDailyTotalsSql;
  sql += ServerSearchIndexSql();
  sql += ServerRepaymentTablesSql("");
  sql += ServerStockMoveTablesSql("", "");
  sql += ServerCounterTablesSql("");
  return sql;
}

std::string ServerRepaymentTablesSql(const char* if_not_exists) {
  std::string sql;
  for (const Table& t : RepaymentTables()) sql += TableSql(t, ServerColumnSql, true);
  for (const Index& index : kRepaymentIndexes) sql += IndexStatement(index, if_not_exists, true);
  return sql;
}

std::string ServerCounterTablesSql(const char* if_not_exists) {
  std::string sql;
  for (const Table& t : CounterTables()) sql += TableSql(t, ServerColumnSql, true, if_not_exists);
  for (const Index& index : kCounterIndexes) sql += IndexStatement(index, if_not_exists, true);
  return sql;
}

std::string ServerStockMoveTablesSql(const char* if_not_exists, const std::string& opening_date) {
  std::string sql;
  for (const Table& t : kStockMoveTables) sql += TableSql(t, ServerColumnSql, true, if_not_exists);
  for (const Index& index : kStockMoveIndexes) sql += IndexStatement(index, if_not_exists, true);
  return sql + OpeningMovesSql(opening_date);
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
