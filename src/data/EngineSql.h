#pragma once
// The few statements that must differ between the engines. Every other statement has one
// text that both engines read alike; a statement that cannot (a case-folding search, an
// index the file's planner must be told to use) is written twice, each text marked as its
// engine's own, and chosen where it runs. Tests/sql reads every SQL text of the logic
// libraries and refuses a one-engine construct outside these marks.

#include "data/Database.h"

namespace hemulu {

// The file's own text of a statement that has a server variant.
constexpr const char* FileSql(const char* sql) { return sql; }
// The server's own text of a statement that has a file variant.
constexpr const char* ServerSql(const char* sql) { return sql; }
// Whole-file work (integrity checks, compaction, page size): meaningless on a server.
constexpr const char* FileOnlySql(const char* sql) { return sql; }

// The text for the engine `db` talks to.
inline const char* ForEngine(const Database& db, const char* file_sql, const char* server_sql) {
  return db.IsServer() ? server_sql : file_sql;
}

}  // namespace hemulu
