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

namespace test_hook {
// Test hook, never set by the program: the race test's child sets it from its command
// line to show the double sales that the row lock below prevents.
inline bool row_locks_off = false;
}  // namespace test_hook

// A read inside a transaction whose answer decides the write that follows (the stock a
// sale takes, the sold quantity a goods change keeps). On the server the row stays locked
// (`for update`) until the transaction ends, so another till's write of it waits and this
// read sees what that write committed; the file's BEGIN IMMEDIATE already keeps every
// other writer out, so its text has no lock.
inline const char* RowLockingRead(const Database& db, const char* file_sql, const char* server_sql) {
  return db.IsServer() && !test_hook::row_locks_off ? server_sql : file_sql;
}

}  // namespace hemulu
