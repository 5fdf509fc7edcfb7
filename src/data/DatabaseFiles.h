#pragma once
// The engine's part of whole-file work on our database files: a keyed connection to any
// file of ours, writing the log back, the page-by-page copy, reading the file's own
// bytes, compaction. These only do the work and say how it went; what to do and what to
// tell the user is the caller's.

#include <QString>
#include <expected>
#include <functional>
#include <optional>
#include <vector>

#include "data/Database.h"
#include "data/DatabaseKey.h"

namespace hemulu {

// Work done so far and in all; returning false stops the work as cancelled.
using EngineProgress = std::function<bool(qint64 done, qint64 total)>;

// Why a page-by-page copy failed. A cancel is an error with `cancelled` set.
struct EngineCopyError {
  DbError error;
  int system_error = 0;  // errno behind an I/O failure, 0 when unknown
  bool cancelled = false;
};

class KeyedFile;
// Copies `source`'s snapshot page by page into `dest`, which is keyed like it: an
// unkeyed destination would receive a plaintext copy. Reports pages; not synced.
[[nodiscard]] std::expected<void, EngineCopyError> BackupThroughEngine(KeyedFile& source, KeyedFile& dest,
                                                                       const EngineProgress& progress);

// A connection of its own to an existing file, keyed like data.db, closed when it goes
// out of scope. Independent of the program's connection: a transaction open there stays
// out of what this one reads.
class KeyedFile {
 public:
  KeyedFile() = default;
  KeyedFile(const KeyedFile&) = delete;
  KeyedFile& operator=(const KeyedFile&) = delete;
  ~KeyedFile() { Close(); }

  // Opens an existing file (never creates one) and keys it before any read.
  bool Open(const QString& path, int page_size = kCipherPageSize);
  void Close();
  // The first row's first column as text; empty when there is no row.
  [[nodiscard]] std::expected<QString, DbError> Value(const char* sql);
  enum class Rows { All, FirstOnly };
  // One column of the rows, as text.
  [[nodiscard]] std::expected<std::vector<QString>, DbError> Column(const char* sql, int column, Rows rows = Rows::All);
  bool Exec(const char* sql);
  // Calls `busy` now and then while a statement runs; false interrupts the statement.
  // The callback must outlive the statements it watches.
  void WhileBusy(const std::function<bool()>* busy);

  // Writes what the log holds back into the file without waiting for readers; true when
  // all of it is in the file now.
  bool WriteBackLog();
  // The main file's size and bytes, read through the engine's own file handle: closing
  // a descriptor of our own would drop every lock this process holds on the file.
  std::optional<qint64> FileSize();
  bool ReadBytes(char* into, qint64 size, qint64 offset);
  // The engine's connection, for the data layer's own whole-shop copies.
  sqlite3* Handle() const { return db_; }

 private:
  friend std::expected<void, EngineCopyError> BackupThroughEngine(KeyedFile&, KeyedFile&, const EngineProgress&);
  sqlite3* db_ = nullptr;
};

// Rebuilds the program's database file without its free pages (the new content passes
// through the log).
[[nodiscard]] std::expected<void, DbError> Compact(Database& db);
// Writes the whole log back into the file and empties it; true when nothing stayed
// behind (no reader held part of it back).
[[nodiscard]] std::expected<bool, DbError> WriteBackWholeLog(Database& db);

}  // namespace hemulu
