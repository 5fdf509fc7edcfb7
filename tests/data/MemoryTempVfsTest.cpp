// The way of opening that keeps the engine's temporary files in memory: an index built
// from many sorted runs, merged on worker threads, comes out whole and in order.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "data/Engine.h"
#include "data/MemoryTempVfs.h"

using namespace hemulu;

namespace {

std::vector<std::string> Column(sqlite3* db, const char* sql) {
  std::vector<std::string> values;
  sqlite3_stmt* st = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  while (sqlite3_step(st) == SQLITE_ROW) values.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
  sqlite3_finalize(st);
  return values;
}

TEST(MemoryTempVfs, AnIndexSortedInManyRunsOnTwoThreadsIsWholeAndInOrder) {
  const char* vfs = MemoryTempVfsName();
  ASSERT_NE(vfs, nullptr);
  QTemporaryDir dir;
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(QDir(dir.path()).filePath("t.db").toUtf8().constData(), &db,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, vfs),
            SQLITE_OK);
  // Small pages and the smallest page cache give sorted runs of 128 KiB: the keys below
  // make some 30 of them, more than one merge pass takes.
  ASSERT_EQ(sqlite3_exec(db,
                         "PRAGMA page_size=512; PRAGMA temp_store=FILE; PRAGMA threads=2; PRAGMA cache_size=-1; "
                         "CREATE TABLE t (k TEXT, n INTEGER);",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  std::vector<std::string> keys;
  std::map<std::string, int> per_prefix;
  unsigned state = 12345;
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO t VALUES (?, ?)", -1, &insert, nullptr);
  for (int i = 0; i < 60000; ++i) {
    std::string key;
    for (int j = 0; j < 48; ++j) {
      state = state * 1103515245u + 12345u;
      key += static_cast<char>('a' + (state >> 16) % 26);
    }
    sqlite3_bind_text(insert, 1, key.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(insert, 2, i);
    ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE);
    sqlite3_reset(insert);
    keys.push_back(key);
    ++per_prefix[key.substr(0, 2)];
  }
  sqlite3_finalize(insert);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);

  const long before = MemoryTempFilesOpened();
  ASSERT_EQ(sqlite3_exec(db, "CREATE INDEX t_k ON t (k)", nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  EXPECT_GT(MemoryTempFilesOpened(), before) << "the sort never wrote a run out";
  EXPECT_EQ(Column(db, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
  std::ranges::sort(keys);
  EXPECT_EQ(Column(db, "SELECT k FROM t INDEXED BY t_k ORDER BY k"), keys);

  // A query's own sort (no index to use) goes the same way.
  std::vector<std::string> expected;
  for (const auto& [prefix, count] : per_prefix) expected.push_back(prefix + ":" + std::to_string(count));
  EXPECT_EQ(Column(db,
                   "SELECT substr(k, 1, 2) || ':' || count(*) FROM t NOT INDEXED GROUP BY substr(k, 1, 2) "
                   "ORDER BY 1"),
            expected);
  sqlite3_close(db);
}

}  // namespace
