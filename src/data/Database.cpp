#include "data/Database.h"

#include <QFileInfo>
#include <cstring>

#include "data/DatabaseKey.h"
#include "data/Schema.h"

namespace hemulu {

namespace {

DbError ErrorOf(sqlite3* db, int rc) {
  DbError e;
  e.code = rc;
  e.message = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
  return e;
}

DbError MakeError(int rc, const QString& message) { return DbError{rc, message}; }

}  // namespace

// ---- Statement ----

Statement::Statement(Statement&& other) noexcept
    : db_(other.db_), stmt_(other.stmt_), bind_error_(other.bind_error_) {
  other.stmt_ = nullptr;
}

Statement& Statement::operator=(Statement&& other) noexcept {
  if (this != &other) {
    sqlite3_finalize(stmt_);
    db_ = other.db_;
    stmt_ = other.stmt_;
    bind_error_ = other.bind_error_;
    other.stmt_ = nullptr;
  }
  return *this;
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

void Statement::NoteBindResult(int rc) {
  if (rc != SQLITE_OK && bind_error_ == SQLITE_OK) bind_error_ = rc;
}

Statement& Statement::Bind(int index, const QString& value) {
  const QByteArray utf8 = value.toUtf8();
  NoteBindResult(sqlite3_bind_text(stmt_, index, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT));
  return *this;
}

Statement& Statement::Bind(int index, double value) {
  NoteBindResult(sqlite3_bind_double(stmt_, index, value));
  return *this;
}

Statement& Statement::Bind(int index, qint64 value) {
  NoteBindResult(sqlite3_bind_int64(stmt_, index, value));
  return *this;
}

Statement& Statement::BindNull(int index) {
  NoteBindResult(sqlite3_bind_null(stmt_, index));
  return *this;
}

Statement& Statement::Bind(int index, const QVariant& value) {
  if (value.isNull()) return BindNull(index);
  switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
      return Bind(index, value.toDouble());
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::Bool:
      return Bind(index, value.toLongLong());
    default:
      return Bind(index, value.toString());
  }
}

std::expected<bool, DbError> Statement::Step() {
  if (!stmt_) return std::unexpected(MakeError(SQLITE_MISUSE, QStringLiteral("statement not prepared")));
  if (bind_error_ != SQLITE_OK) return std::unexpected(ErrorOf(db_, bind_error_));
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  return std::unexpected(ErrorOf(db_, rc));
}

std::expected<void, DbError> Statement::Run() {
  for (;;) {
    auto r = Step();
    if (!r) return std::unexpected(r.error());
    if (!*r) return {};
  }
}

void Statement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
  bind_error_ = SQLITE_OK;
}

int Statement::ColumnCount() const { return stmt_ ? sqlite3_column_count(stmt_) : 0; }

int Statement::ColumnIndex(std::string_view name) const {
  const int n = ColumnCount();
  for (int i = 0; i < n; ++i) {
    const char* c = sqlite3_column_name(stmt_, i);
    if (c && name.size() == std::strlen(c) && std::memcmp(c, name.data(), name.size()) == 0) return i;
  }
  return -1;
}

QString Statement::Text(int column) const {
  if (column < 0 || column >= ColumnCount()) return {};
  const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  if (!p) return {};
  return QString::fromUtf8(p, sqlite3_column_bytes(stmt_, column));
}

double Statement::Double(int column) const {
  if (column < 0 || column >= ColumnCount()) return 0.0;
  return sqlite3_column_double(stmt_, column);
}

qint64 Statement::Int(int column) const {
  if (column < 0 || column >= ColumnCount()) return 0;
  return sqlite3_column_int64(stmt_, column);
}

bool Statement::IsNull(int column) const {
  if (column < 0 || column >= ColumnCount()) return true;
  return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

// ---- Database ----

bool KeyConnection(sqlite3* db) {
  return sqlite3_key(db, kDatabasePassword, static_cast<int>(std::strlen(kDatabasePassword))) == SQLITE_OK;
}

Database::Database(QString path) : path_(std::move(path)) {}

Database::~Database() { Close(); }

void Database::Close() {
  if (db_) {
    sqlite3_close_v2(db_);
    db_ = nullptr;
  }
}

std::expected<void, DbError> Database::Open() {
  if (db_) return {};
  const QFileInfo info(path_);
  if (!info.exists() || !info.isFile())
    return std::unexpected(MakeError(SQLITE_CANTOPEN, QStringLiteral("数据库文件不存在")));

  sqlite3* db = nullptr;
  const QByteArray path = path_.toUtf8();
  int rc = sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  auto fail = [&](DbError e) {
    sqlite3_close_v2(db);
    return std::unexpected(std::move(e));
  };
  if (rc != SQLITE_OK) return fail(ErrorOf(db, rc));
  if (sqlite3_db_readonly(db, "main") == 1)
    return fail(MakeError(SQLITE_READONLY, QStringLiteral("数据库文件只读")));
  if (!KeyConnection(db)) return fail(ErrorOf(db, SQLITE_ERROR));

  // The first read tells a wrong key or a foreign file (SQLITE_NOTADB) and a damaged
  // first page. Nothing is written before these checks pass.
  sqlite3_stmt* check = nullptr;
  rc = sqlite3_prepare_v2(db,
                          "SELECT count(*) FROM sqlite_master WHERE type='table' AND "
                          "name IN ('buy','sell','other','bank','UserName')",
                          -1, &check, nullptr);
  if (rc != SQLITE_OK) return fail(ErrorOf(db, rc));
  rc = sqlite3_step(check);
  const int tables = rc == SQLITE_ROW ? sqlite3_column_int(check, 0) : -1;
  sqlite3_finalize(check);
  if (rc != SQLITE_ROW) return fail(ErrorOf(db, rc));
  if (tables != static_cast<int>(schema::Tables().size()))
    return fail(MakeError(SQLITE_NOTADB, QStringLiteral("数据库缺少数据表")));

  // A file cut short keeps a readable first page; compare its recorded size with the file.
  sqlite3_stmt* size = nullptr;
  qint64 pages = 0, page_size = 0;
  if (sqlite3_prepare_v2(db, "PRAGMA page_count", -1, &size, nullptr) == SQLITE_OK && sqlite3_step(size) == SQLITE_ROW)
    pages = sqlite3_column_int64(size, 0);
  sqlite3_finalize(size);
  if (sqlite3_prepare_v2(db, "PRAGMA page_size", -1, &size, nullptr) == SQLITE_OK && sqlite3_step(size) == SQLITE_ROW)
    page_size = sqlite3_column_int64(size, 0);
  sqlite3_finalize(size);
  const QFileInfo wal(path_ + QStringLiteral("-wal"));
  if (pages * page_size > info.size() && (!wal.exists() || wal.size() == 0))
    return fail(MakeError(SQLITE_CORRUPT, QStringLiteral("数据库文件不完整")));

  // Every committed sale must survive a power cut; decrypted pages are worth keeping.
  char* err = nullptr;
  rc = sqlite3_exec(db,
                    "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA cache_size=-65536; "
                    "PRAGMA temp_store=MEMORY;",
                    nullptr, nullptr, &err);
  if (rc != SQLITE_OK) {
    DbError e = MakeError(rc, QString::fromUtf8(err ? err : ""));
    sqlite3_free(err);
    return fail(e);
  }
  sqlite3_busy_timeout(db, 3000);
  // Files written by an older version lack the later indexes; a read-only file goes
  // on without them.
  (void)sqlite3_exec(db, schema::UpgradeSql().c_str(), nullptr, nullptr, nullptr);
  db_ = db;
  return {};
}

std::expected<Statement, DbError> Database::Prepare(std::string_view sql) {
  if (!db_) return std::unexpected(MakeError(SQLITE_MISUSE, QStringLiteral("数据库未打开")));
  sqlite3_stmt* stmt = nullptr;
  const int rc = sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return std::unexpected(ErrorOf(db_, rc));
  }
  return Statement(db_, stmt);
}

std::expected<void, DbError> Database::ExecScript(const char* sql) {
  if (!db_) return std::unexpected(MakeError(SQLITE_MISUSE, QStringLiteral("数据库未打开")));
  char* err = nullptr;
  const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &err);
  if (rc != SQLITE_OK) {
    DbError e = MakeError(rc, QString::fromUtf8(err ? err : sqlite3_errstr(rc)));
    sqlite3_free(err);
    return std::unexpected(e);
  }
  return {};
}

qint64 Database::LastInsertId() const { return db_ ? sqlite3_last_insert_rowid(db_) : 0; }
int Database::Changes() const { return db_ ? sqlite3_changes(db_) : 0; }
DbError Database::LastError() const { return ErrorOf(db_, db_ ? sqlite3_errcode(db_) : SQLITE_MISUSE); }

// ---- Transaction ----

std::expected<Transaction, DbError> Transaction::Begin(Database& db) {
  if (auto r = db.ExecScript("BEGIN IMMEDIATE"); !r) return std::unexpected(r.error());
  return Transaction(&db);
}

Transaction::~Transaction() {
  if (db_) (void)db_->ExecScript("ROLLBACK");
}

std::expected<void, DbError> Transaction::Commit() {
  if (!db_) return std::unexpected(MakeError(SQLITE_MISUSE, QStringLiteral("事务已结束")));
  auto r = db_->ExecScript("COMMIT");
  if (r) db_ = nullptr;  // on failure the destructor still rolls back
  return r;
}

}  // namespace hemulu
