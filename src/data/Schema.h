#pragma once
// The one definition of the five tables. The template database, the row writer's
// field checks and the tests all read it, so a column exists in exactly one place.

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace hemulu::schema {

enum class ColumnType { AutoId, Long, Text50, Memo, Double, DateTime };

struct Column {
  const char* name;
  ColumnType type;
};

struct Table {
  const char* name;
  std::span<const Column> columns;
};

// Longest text a TEXT(50) column takes, in characters.
inline constexpr int kTextLimit = 50;

std::span<const Table> Tables();
// Tables added after the first template (the repayments and their parts, the checkout
// counter's): a file or a server database made before them gets them when it is next
// opened.
std::span<const Table> LaterTables();
// Finds a table of either list.
const Table* FindTable(std::string_view name);
// Every table that holds the shop's own rows, whichever list it is in (not the per-day
// totals, which are derived from the sales): what a whole shop's copy carries.
std::vector<const Table*> StoredTables();
const Column* FindColumn(const Table& table, std::string_view column);

// Statements that create the tables and their indexes and insert the built-in account.
std::string CreateSql();
// Indexes added since the first template; run at every open so older files get them.
std::string UpgradeSql();
std::string IndexSql(const char* if_not_exists);

// The same tables, indexes, built-in account and per-day totals on a PostgreSQL server:
// every name quoted, numbers as double precision, dates as text, IDs from identity
// sequences set past the built-in rows, the totals kept by PL/pgSQL triggers. One
// script, run in one transaction by the first program that finds the tables missing.
std::string ServerCreateSql();
// The trigram indexes of the contains-searches most used on long tables (the initials,
// customer and code of the sales, the initials and code of the goods), on the column
// under "C" as the searches compare it. They need the server's pg_trgm extension, made
// here when missing (a database's owner may: it is a trusted extension); where it cannot
// be made, nothing is made and the searches read the whole table, only slower. Safe to
// run again: what exists is kept.
std::string ServerSearchIndexSql();
// The number of those indexes present; the program makes them at connection when fewer.
int ServerSearchIndexCount();
std::string ServerSearchIndexesPresentSql();
// The number of our tables (sell_day included) in the server's current schema.
inline constexpr const char* kServerTablesPresentSql =
    "SELECT count(*) FROM pg_catalog.pg_tables WHERE schemaname = current_schema() AND tablename IN "
    "('buy', 'sell', 'other', 'bank', 'UserName', 'sell_day')";

// Per-day totals of `sell` (day 'YYYY-MM-DD', sums and largest single value of 销售金额
// and 净利润, number of sales), kept by triggers inside the sales' own transactions so
// that the charts never scan every sale.
inline constexpr const char* kDailyTotalsTable = "sell_day";
// Drops and recreates the table and its triggers and fills it from `sell`: for a file
// written before the table existed. Run it inside a transaction.
std::string RebuildDailyTotalsSql();
// True when the table and all its triggers exist (a count of schema objects).
inline constexpr const char* kDailyTotalsPresentSql =
    "SELECT count(*) = 4 FROM sqlite_master WHERE name IN "
    "('sell_day', 'sell_day_insert', 'sell_day_delete', 'sell_day_update')";

// The repayment tables and their indexes (with the index of the sales' debts), for the
// file and for the server; CreateSql and ServerCreateSql end with them.
std::string RepaymentTablesSql(const char* if_not_exists);
std::string ServerRepaymentTablesSql(const char* if_not_exists);
// The number of repayment tables present (0, or 2 once made).
inline constexpr const char* kRepaymentTablesPresentSql =
    "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN ('repayment', 'repayment_part')";
inline constexpr const char* kServerRepaymentTablesPresentSql =
    "SELECT count(*) FROM pg_catalog.pg_tables WHERE schemaname = current_schema() AND tablename IN "
    "('repayment', 'repayment_part')";

// The checkout counter's tables (receipts' payments, returns' links, held baskets and
// their lines) and their indexes, with the index of the goods' codes and of the sales'
// receipt numbers. CreateSql and ServerCreateSql end with them; a file or a server
// database made before them gets them when opened (fewer than all present).
std::string CounterTablesSql(const char* if_not_exists);
std::string ServerCounterTablesSql(const char* if_not_exists);
inline constexpr int kCounterTableCount = 4;
inline constexpr const char* kCounterTablesPresentSql =
    "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN "
    "('receipt', 'return_line', 'held_basket', 'held_basket_line')";
inline constexpr const char* kServerCounterTablesPresentSql =
    "SELECT count(*) FROM pg_catalog.pg_tables WHERE schemaname = current_schema() AND tablename IN "
    "('receipt', 'return_line', 'held_basket', 'held_basket_line')";

// The stock movements journal and its indexes, for the file and for the server, followed
// by one opening movement (期初) per goods row already there, bringing each goods' sum to
// its 存货数量. CreateSql and ServerCreateSql end with them; a file or a server database
// made before them gets them once when opened.
// `opening_date` is the stored date form ('YYYY-MM-DD HH:MM:SS') the opening movements carry.
std::string StockMoveTablesSql(const char* if_not_exists, const std::string& opening_date);
std::string ServerStockMoveTablesSql(const char* if_not_exists, const std::string& opening_date);
inline constexpr const char* kStockMoveTable = "stock_move";
// The kind of the opening movements.
inline constexpr const char* kOpeningMoveKind = "期初";
inline constexpr const char* kStockMoveTablePresentSql =
    "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'stock_move'";
inline constexpr const char* kServerStockMoveTablePresentSql =
    "SELECT count(*) FROM pg_catalog.pg_tables WHERE schemaname = current_schema() AND tablename = 'stock_move'";

}  // namespace hemulu::schema
