#include "data/DatabaseFiles.h"

#include <QFile>
#include <algorithm>

#include "data/Engine.h"

namespace hemulu {

bool KeyedFile::Open(const QString& path, int page_size) {
  Close();
  const QByteArray p = QFile::encodeName(path);
  if (sqlite3_open_v2(p.constData(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK ||
      !KeyConnection(db_, page_size)) {
    Close();
    return false;
  }
  return true;
}

void KeyedFile::Close() {
  if (db_) sqlite3_close_v2(db_);
  db_ = nullptr;
}

std::expected<std::vector<QString>, DbError> KeyedFile::Column(const char* sql, int column, Rows rows) {
  sqlite3_stmt* st = nullptr;
  int rc = db_ ? sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) : SQLITE_MISUSE;
  std::vector<QString> values;
  if (rc == SQLITE_OK) {
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
      const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
      values.push_back(t ? QString::fromUtf8(t) : QString());
      if (rows == Rows::FirstOnly) {
        rc = SQLITE_DONE;
        break;
      }
    }
  }
  sqlite3_finalize(st);
  if (rc != SQLITE_DONE) return std::unexpected(EngineError(db_, rc));
  return values;
}

std::expected<QString, DbError> KeyedFile::Value(const char* sql) {
  auto values = Column(sql, 0, Rows::FirstOnly);
  if (!values) return std::unexpected(values.error());
  return values->empty() ? QString() : values->front();
}

bool KeyedFile::Exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

void KeyedFile::WhileBusy(const std::function<bool()>* busy) {
  if (!busy || !*busy) {
    sqlite3_progress_handler(db_, 0, nullptr, nullptr);
    return;
  }
  sqlite3_progress_handler(
      db_, 20000, [](void* p) -> int { return (*static_cast<const std::function<bool()>*>(p))() ? 0 : 1; },
      const_cast<std::function<bool()>*>(busy));
}

bool KeyedFile::WriteBackLog() {
  int in_log = -1, written_back = -1;
  const int rc = sqlite3_wal_checkpoint_v2(db_, "main", SQLITE_CHECKPOINT_PASSIVE, &in_log, &written_back);
  return rc == SQLITE_OK && in_log == written_back;
}

namespace {

sqlite3_file* MainFile(sqlite3* db) {
  sqlite3_file* file = nullptr;
  if (!db || sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
      !file->pMethods)
    return nullptr;
  return file;
}

}  // namespace

std::optional<qint64> KeyedFile::FileSize() {
  sqlite3_file* file = MainFile(db_);
  sqlite3_int64 size = 0;
  if (!file || file->pMethods->xFileSize(file, &size) != SQLITE_OK) return std::nullopt;
  return size;
}

bool KeyedFile::ReadBytes(char* into, qint64 size, qint64 offset) {
  sqlite3_file* file = MainFile(db_);
  return file && file->pMethods->xRead(file, into, static_cast<int>(size), offset) == SQLITE_OK;
}

std::expected<void, EngineCopyError> BackupThroughEngine(KeyedFile& source, KeyedFile& dest,
                                                         const EngineProgress& progress) {
  auto failure = [&](int rc) {
    return std::unexpected(EngineCopyError{EngineError(dest.db_, rc), sqlite3_system_errno(dest.db_), false});
  };
  // Durability comes from the caller's sync afterwards; a crash leaves only that file.
  dest.Exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
  sqlite3_backup* backup = sqlite3_backup_init(dest.db_, "main", source.db_, "main");
  if (!backup) return failure(sqlite3_errcode(dest.db_));
  // The first step copies nothing: it learns the page count, so that even a small copy
  // reports once and can be cancelled.
  int rc = sqlite3_backup_step(backup, 0);
  bool cancelled = false;
  while (rc == SQLITE_OK) {
    const qint64 total = sqlite3_backup_pagecount(backup);
    if (progress && !progress(total - sqlite3_backup_remaining(backup), total)) {
      cancelled = true;
      break;
    }
    // About a hundred steps, so a progress dialog moves and a cancel is heard soon.
    rc = sqlite3_backup_step(backup, std::max(256, static_cast<int>(total / 100)));
  }
  const int finish = sqlite3_backup_finish(backup);
  if (cancelled) return std::unexpected(EngineCopyError{DbError{}, 0, true});
  if (rc != SQLITE_DONE || finish != SQLITE_OK) return failure(rc != SQLITE_DONE ? rc : finish);
  return {};
}

std::expected<void, DbError> Compact(Database& db) { return db.ExecScript("VACUUM"); }

std::expected<bool, DbError> WriteBackWholeLog(Database& db) {
  auto st = db.Prepare("PRAGMA wal_checkpoint(TRUNCATE)");
  if (!st) return std::unexpected(st.error());
  auto row = st->Step();
  if (!row) return std::unexpected(row.error());
  // busy, frames in the log, frames written back: all done when busy is 0 and the log
  // is empty after the truncation.
  return *row && st->Int(0) == 0 && st->Int(1) <= 0;
}

}  // namespace hemulu
