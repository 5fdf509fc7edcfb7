#pragma once
// The key and the cipher page size of data.db. Every connection, backup destination and
// attached copy is keyed through these functions, so that all of them agree.

#include <sqlcipher/sqlite3.h>

#include <cstring>
#include <string>

namespace hemulu {

// The fixed key of data.db.
inline constexpr char kDatabasePassword[] = "5806127";

// Each encrypted page pays its own decryption and HMAC, so small pages make every scan
// pay several times over: 1 KiB pages read a million sales in about three times the
// plaintext time. 16 KiB comes within about a sixth of plaintext on the scans; 64 KiB
// gains little more on reads while every small write (a sale) rewrites larger pages,
// and the template grows fourfold. hemulu-bench's page_size cases measure the choice.
inline constexpr int kCipherPageSize = 16384;
// Files written before the change use the engine's default page.
inline constexpr int kLegacyCipherPageSize = 1024;

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
