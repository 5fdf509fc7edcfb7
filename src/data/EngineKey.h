#pragma once
// Private to the data layer (and to the tools and tests that build or check files with
// the engine itself): keying a connection of the engine. Needs nothing of Qt.

#include <sqlcipher/sqlite3.h>

#include <cstring>
#include <string>

#include "data/DatabaseKey.h"

namespace hemulu {

// Keys a freshly opened connection (before its first read) with the password and the
// page size. A file read with another page size reads as "not a database", so the
// page size must agree on both sides of any copy: the engine's process-wide default is
// set too, because an attached file ("ATTACH ... KEY") takes the default, and an
// existing attached file is read before any per-database pragma could apply.
[[nodiscard]] inline bool KeyConnection(sqlite3* db, int page_size = kCipherPageSize) {
  if (sqlite3_key(db, kDatabasePassword, static_cast<int>(std::strlen(kDatabasePassword))) != SQLITE_OK) return false;
  const std::string pragma = "PRAGMA cipher_default_page_size=" + std::to_string(kCipherPageSize) +
                             "; PRAGMA cipher_page_size=" + std::to_string(page_size);
  return sqlite3_exec(db, pragma.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

}  // namespace hemulu
