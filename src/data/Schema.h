#pragma once
// The one definition of the five tables. The template database, the row writer's
// field checks and the tests all read it, so a column exists in exactly one place.

#include <span>
#include <string>
#include <string_view>

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
const Table* FindTable(std::string_view name);
const Column* FindColumn(const Table& table, std::string_view column);

// Statements that create the tables and their indexes and insert the built-in account.
std::string CreateSql();
// Indexes added since the first template; run at every open so older files get them.
std::string UpgradeSql();
std::string IndexSql(const char* if_not_exists);

}  // namespace hemulu::schema
