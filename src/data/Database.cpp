#include "data/Database.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "data/ChangeFeed.h"
#include "data/DatabaseKey.h"
#include "data/Engine.h"
#include "data/Schema.h"
#include "data/ServerEngine.h"
#include "data/TextFormat.h"

namespace hemulu {

DbError::Kind KindOfEngineCode(int code) {
  switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_PROTOCOL:
      return DbError::Kind::Busy;
    case SQLITE_FULL:
      return DbError::Kind::Full;
    case SQLITE_CONSTRAINT:
      return DbError::Kind::Constraint;
    case SQLITE_CORRUPT:
      return DbError::Kind::Corrupt;
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return DbError::Kind::Refused;
    case SQLITE_NOTADB:
      return DbError::Kind::NotADatabase;
    case SQLITE_READONLY:
      return DbError::Kind::ReadOnly;
    case SQLITE_IOERR:
      return DbError::Kind::IoError;
    case SQLITE_CANTOPEN:
      return DbError::Kind::CannotOpen;
    default:
      return DbError::Kind::Other;
  }
}

DbError EngineError(sqlite3* db, int code) {
  return DbError{KindOfEngineCode(code), QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(code)), code};
}

DbError EngineError(int code, const QString& message) { return DbError{KindOfEngineCode(code), message, code}; }

// Statement's inline readers take the engine's type codes as they are.
static_assert(static_cast<int>(Statement::Stored::Integer) == SQLITE_INTEGER);
static_assert(static_cast<int>(Statement::Stored::Real) == SQLITE_FLOAT);
static_assert(static_cast<int>(Statement::Stored::Text) == SQLITE_TEXT);
static_assert(static_cast<int>(Statement::Stored::Blob) == SQLITE_BLOB);
static_assert(static_cast<int>(Statement::Stored::Null) == SQLITE_NULL);

namespace {

DbError ErrorOf(sqlite3* db, int rc) { return EngineError(db, rc); }
DbError MakeError(int rc, const QString& message) { return EngineError(rc, message); }

const QString kReadOnlyFile = QStringLiteral("数据库文件只读");

// Whether the file under `db` may still be written. A file made read-only after it was
// opened stays writable through the open handle; the owner's change is honoured at the
// next write all the same, as a read-only file is refused at the open.
bool StillWritable(sqlite3* db) {
  const char* file = sqlite3_db_filename(db, "main");
  return !file || !*file || ::access(file, W_OK) == 0;
}

}  // namespace

// ---- Statement ----

Statement::Statement(Statement&& other) noexcept
    : db_(other.db_), stmt_(other.stmt_), bind_error_(other.bind_error_), server_(other.server_) {
  other.stmt_ = nullptr;
  other.server_ = nullptr;
}

Statement& Statement::operator=(Statement&& other) noexcept {
  if (this != &other) {
    sqlite3_finalize(stmt_);
    delete server_;
    db_ = other.db_;
    stmt_ = other.stmt_;
    bind_error_ = other.bind_error_;
    server_ = other.server_;
    other.stmt_ = nullptr;
    other.server_ = nullptr;
  }
  return *this;
}

Statement::~Statement() {
  sqlite3_finalize(stmt_);
  delete server_;
}

std::span<const unsigned char> Statement::ServerBytes(int column) const { return server_->Bytes(column); }
double Statement::ServerDouble(int column) const { return server_->Double(column); }
qint64 Statement::ServerInt(int column) const { return server_->Int(column); }
Statement::Stored Statement::ServerStored(int column) const { return server_->Stored(column); }

void Statement::NoteBindResult(int rc) {
  if (rc != SQLITE_OK && bind_error_ == SQLITE_OK) bind_error_ = rc;
}

Statement& Statement::Bind(int index, const QString& value) {
  const QByteArray utf8 = value.toUtf8();
  // Untyped on the server, as a quoted literal: it takes the type its place asks for.
  if (server_) {
    server_->Bind(index, std::string(utf8.constData(), utf8.size()), 0);
    return *this;
  }
  NoteBindResult(sqlite3_bind_text(stmt_, index, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT));
  return *this;
}

Statement& Statement::Bind(int index, double value) {
  if (server_) {
    // The shortest text that reads back as exactly this double.
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    server_->Bind(index, std::string(text, end), 701 /* float8 */);
    return *this;
  }
  NoteBindResult(sqlite3_bind_double(stmt_, index, value));
  return *this;
}

Statement& Statement::Bind(int index, qint64 value) {
  // Untyped: an integer column, a LIMIT and substr()'s int arguments all take it.
  if (server_) {
    server_->Bind(index, std::to_string(value), 0);
    return *this;
  }
  NoteBindResult(sqlite3_bind_int64(stmt_, index, value));
  return *this;
}

Statement& Statement::BindNull(int index) {
  if (server_) {
    server_->BindNull(index);
    return *this;
  }
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
  if (server_) return server_->Step();
  if (!stmt_) return std::unexpected(MakeError(SQLITE_MISUSE, QStringLiteral("statement not prepared")));
  if (bind_error_ != SQLITE_OK) return std::unexpected(ErrorOf(db_, bind_error_));
  // A write outside a transaction; one inside was checked when the transaction began.
  if (!sqlite3_stmt_busy(stmt_) && !sqlite3_stmt_readonly(stmt_) && sqlite3_get_autocommit(db_) && !StillWritable(db_))
    return std::unexpected(MakeError(SQLITE_READONLY, kReadOnlyFile));
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

Statement& Statement::ReadInPieces() {
  if (server_) server_->ReadInPieces();
  return *this;
}

void Statement::Reset() {
  if (server_) {
    server_->Reset();
    return;
  }
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
  bind_error_ = SQLITE_OK;
}

int Statement::ColumnCount() const {
  if (server_) return server_->ColumnCount();
  return stmt_ ? sqlite3_column_count(stmt_) : 0;
}

int Statement::ColumnIndex(std::string_view name) const {
  if (server_) return server_->ColumnIndex(name);
  const int n = ColumnCount();
  for (int i = 0; i < n; ++i) {
    const char* c = sqlite3_column_name(stmt_, i);
    if (c && name.size() == std::strlen(c) && std::memcmp(c, name.data(), name.size()) == 0) return i;
  }
  return -1;
}

QString Statement::Text(int column) const {
  if (column < 0 || column >= ColumnCount()) return {};
  if (server_) {
    const auto bytes = server_->Bytes(column);
    return QString::fromUtf8(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
  }
  const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  if (!p) return {};
  return QString::fromUtf8(p, sqlite3_column_bytes(stmt_, column));
}

double Statement::Double(int column) const {
  if (column < 0 || column >= ColumnCount()) return 0.0;
  return CellDouble(column);
}

qint64 Statement::Int(int column) const {
  if (column < 0 || column >= ColumnCount()) return 0;
  return CellInt(column);
}

bool Statement::IsNull(int column) const {
  if (column < 0 || column >= ColumnCount()) return true;
  return CellIsNull(column);
}

// ---- Database ----

namespace {

const char* const kTableNames[] = {"buy", "sell", "other", "bank", "UserName"};

// One value of a one-row query, or an error.
std::expected<QString, DbError> QueryText(sqlite3* db, const char* sql) {
  sqlite3_stmt* st = nullptr;
  int rc = sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(st);
    return std::unexpected(ErrorOf(db, rc));
  }
  rc = sqlite3_step(st);
  QString value;
  if (rc == SQLITE_ROW) value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
  sqlite3_finalize(st);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) return std::unexpected(ErrorOf(db, rc));
  return value;
}

// Opens and keys the file with one page size and checks that it reads as our
// database: the first read tells a wrong key, another page size or a foreign file
// (SQLITE_NOTADB) and a damaged first page. Nothing is written.
std::expected<sqlite3*, DbError> OpenKeyed(const QString& file, int page_size) {
  const QFileInfo info(file);
  sqlite3* db = nullptr;
  const QByteArray path = file.toUtf8();
  int rc = sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  auto fail = [&](DbError e) {
    sqlite3_close_v2(db);
    return std::unexpected(std::move(e));
  };
  if (rc != SQLITE_OK) return fail(ErrorOf(db, rc));
  if (sqlite3_db_readonly(db, "main") == 1) return fail(MakeError(SQLITE_READONLY, kReadOnlyFile));
  if (!KeyConnection(db, page_size)) return fail(ErrorOf(db, SQLITE_ERROR));

  auto tables = QueryText(db,
                          "SELECT count(*) FROM sqlite_master WHERE type='table' AND "
                          "name IN ('buy','sell','other','bank','UserName')");
  if (!tables) return fail(tables.error());
  if (tables->toInt() != static_cast<int>(schema::Tables().size()))
    return fail(MakeError(SQLITE_NOTADB, QStringLiteral("数据库缺少数据表")));

  // A file cut short keeps a readable first page; compare its recorded size with the file.
  const qint64 pages = QueryText(db, "PRAGMA page_count").value_or(QString()).toLongLong();
  const qint64 page_bytes = QueryText(db, "PRAGMA page_size").value_or(QString()).toLongLong();
  const QFileInfo wal(file + QStringLiteral("-wal"));
  if (pages * page_bytes > info.size() && (!wal.exists() || wal.size() == 0))
    return fail(MakeError(SQLITE_CORRUPT, QStringLiteral("数据库文件不完整")));
  return db;
}

std::expected<void, DbError> Exec(sqlite3* db, const char* sql) {
  char* err = nullptr;
  const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &err);
  if (rc != SQLITE_OK) {
    DbError e = MakeError(rc, QString::fromUtf8(err ? err : sqlite3_errstr(rc)));
    sqlite3_free(err);
    return std::unexpected(e);
  }
  return {};
}

// Row counts of our tables, to compare a copy with its source.
std::expected<std::vector<qint64>, DbError> RowCounts(sqlite3* db, const char* schema_name) {
  std::vector<qint64> counts;
  for (const char* table : kTableNames) {
    const QByteArray sql = QStringLiteral("SELECT count(*) FROM %1.\"%2\"")
                               .arg(QString::fromUtf8(schema_name), QString::fromUtf8(table))
                               .toUtf8();
    auto n = QueryText(db, sql.constData());
    if (!n) return std::unexpected(n.error());
    counts.push_back(n->toLongLong());
  }
  return counts;
}

bool SyncPath(const QString& path, bool directory) {
  const int fd = ::open(QFile::encodeName(path).constData(), directory ? O_RDONLY | O_DIRECTORY : O_RDWR);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

void RemoveWithSidecars(const QString& path) {
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) QFile::remove(path + QString::fromLatin1(suffix));
}

}  // namespace

QString ContainsPattern(const QString& text) {
  QString escaped = text;
  escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
      .replace(QLatin1Char('%'), QStringLiteral("\\%"))
      .replace(QLatin1Char('_'), QStringLiteral("\\_"));
  return QLatin1Char('%') + escaped + QLatin1Char('%');
}

QString ConversionTempPath(const QString& db_path) { return db_path + QStringLiteral(".convert-tmp"); }
QString LegacyBackupPath(const QString& db_path) { return db_path + QStringLiteral(".bak-1k"); }

Database::Database(QString path) : path_(std::move(path)) {}

Database::Database(ServerAddress server)
    : path_(QStringLiteral("postgresql %1@%2:%3/%4")
                .arg(server.user, server.host, QString::number(server.port), server.database)),
      server_(std::move(server)) {}

Database::~Database() { Close(); }

// The file's engine names each row a statement changes (its own triggers' rows included,
// except in tables without a rowid, such as the per-day totals); the tables are told
// when the transaction commits and forgotten when it rolls back.
struct FileChangeHooks {
  static void RowChanged(void* self, int, const char* database, const char* table, sqlite3_int64) {
    if (!table || !database || std::strcmp(database, "main") != 0) return;
    auto& written = static_cast<Database*>(self)->file_written_;
    for (const std::string& t : written)
      if (t == table) return;
    written.emplace_back(table);
  }
  static int Committing(void* self) {
    auto* db = static_cast<Database*>(self);
    if (db->file_written_.empty()) return 0;
    QSet<QString> tables;
    for (const std::string& t : db->file_written_) tables.insert(QString::fromUtf8(t));
    db->file_written_.clear();
    db->TellChanges(std::move(tables));
    return 0;  // never turns the commit into a rollback
  }
  static void RolledBack(void* self) { static_cast<Database*>(self)->file_written_.clear(); }
};

void Database::TellChanges(QSet<QString> tables) {
  // The per-day totals follow the sales through the triggers, on either engine.
  if (tables.contains(QStringLiteral("sell"))) tables.insert(QStringLiteral("sell_day"));
  if (on_changes_ && !tables.isEmpty()) on_changes_(tables);
}

void Database::ListenForChanges() {
  pg_->heard = [this](std::string_view payload) {
    QSet<QString> tables;
    for (const QString& t : QString::fromUtf8(payload.data(), static_cast<qsizetype>(payload.size()))
                                .split(QLatin1Char(','), Qt::SkipEmptyParts))
      tables.insert(t);
    TellChanges(std::move(tables));
  };
  // A LISTEN that fails leaves the pages to their own refills; the work goes on.
  if (auto r = ServerExec(*pg_, (std::string("LISTEN ") + kChangeChannel).c_str()); !r)
    std::fprintf(stderr, "hemulu: %s: %s\n", qUtf8Printable(path_), qUtf8Printable(r.error().message));
  // Notifications that come while no statement runs wake the event loop. Without one (a
  // tool of the command line) they are read with the next statement's result only.
  if (QCoreApplication::instance() && PQsocket(pg_->conn) >= 0) {
    listener_ = std::make_unique<QSocketNotifier>(PQsocket(pg_->conn), QSocketNotifier::Read);
    QObject::connect(listener_.get(), &QSocketNotifier::activated, listener_.get(), [this] { ReadNotifications(); });
  }
}

void Database::ReadNotifications() {
  if (!pg_ || !pg_->conn) return;
  if (!PQconsumeInput(pg_->conn) || PQstatus(pg_->conn) != CONNECTION_OK) {
    // The connection is gone: its socket would wake us forever. The next use of the
    // database connects again and listens anew.
    listener_->setEnabled(false);
    return;
  }
  TakeNotifications(*pg_);
}

void Database::Close() {
  if (db_) {
    sqlite3_close_v2(db_);
    db_ = nullptr;
  }
  file_written_.clear();
  // Before the socket it watches is closed.
  listener_.reset();
  if (pg_) {
    pg_->heard = nullptr;
    // Statements still alive share the connection object and find it closed.
    PQfinish(pg_->conn);
    pg_->conn = nullptr;
    pg_.reset();
  }
}

void Database::SetServerPassword(const QString& password) {
  if (server_) server_->password = password;
}

bool Database::ServerConnected() const { return pg_ && pg_->Alive(); }

std::expected<void, DbError> Database::Open() {
  if (db_) return {};
  if (server_) {
    if (ServerConnected()) return {};
    Close();  // a connection that was lost
    auto connected = ConnectServer(*server_);
    if (!connected) return std::unexpected(connected.error());
    pg_ = std::move(*connected);
    ListenForChanges();
    // What other programs changed while this one was cut off was never heard.
    if (std::exchange(server_connected_before_, true)) TellChanges(AllTables());
    return {};
  }
  const QFileInfo info(path_);
  if (!info.exists() || !info.isFile())
    return std::unexpected(MakeError(SQLITE_CANTOPEN, QStringLiteral("数据库文件不存在")));

  auto opened = OpenKeyed(path_, kCipherPageSize);
  if (!opened && opened.error().engine_code == SQLITE_NOTADB) {
    // Perhaps a file of the old page size: convert it once, or refuse it as it is.
    if (auto legacy = OpenKeyed(path_, kLegacyCipherPageSize)) {
      if (auto converted = ConvertLegacyFile(*legacy); !converted) return std::unexpected(converted.error());
      opened = OpenKeyed(path_, kCipherPageSize);
      if (opened) QFile::remove(LegacyBackupPath(path_));
    }
  }
  if (!opened) return std::unexpected(opened.error());
  sqlite3* db = *opened;

  // Every committed sale must survive a power cut; decrypted pages are worth keeping.
  if (auto r = Exec(db,
                    "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA cache_size=-65536; "
                    "PRAGMA temp_store=MEMORY;");
      !r) {
    sqlite3_close_v2(db);
    return std::unexpected(r.error());
  }
  sqlite3_busy_timeout(db, 3000);
  // Files written by an older version lack the later indexes; a read-only file goes
  // on without them.
  (void)sqlite3_exec(db, schema::UpgradeSql().c_str(), nullptr, nullptr, nullptr);

  // A file written before the per-day sales totals existed gets them once, filled from
  // its sales, in one transaction.
  auto totals = QueryText(db, schema::kDailyTotalsPresentSql);
  if (totals && totals->toInt() == 0) {
    const std::string build = "BEGIN IMMEDIATE;\n" + schema::RebuildDailyTotalsSql() + "COMMIT;";
    if (auto built = Exec(db, build.c_str()); !built) {
      (void)Exec(db, "ROLLBACK");
      totals = std::unexpected(built.error());
    }
  }
  if (!totals) {
    sqlite3_close_v2(db);
    return std::unexpected(totals.error());
  }
  // A file written before repayments were kept gets their tables once. A read-only
  // file goes on without them: only the debts' own windows need them.
  auto repayments = QueryText(db, schema::kRepaymentTablesPresentSql);
  if (repayments && repayments->toInt() == 0) {
    const std::string build = "BEGIN IMMEDIATE;\n" + schema::RepaymentTablesSql("IF NOT EXISTS ") + "COMMIT;";
    if (auto built = Exec(db, build.c_str()); !built) (void)Exec(db, "ROLLBACK");
  }
  // A file written before the movements journal gets it once, with an opening movement
  // per goods row, in one transaction. A read-only file goes on without it.
  if (auto moves = QueryText(db, schema::kStockMoveTablePresentSql); moves && moves->toInt() == 0) {
    const std::string build =
        "BEGIN IMMEDIATE;\n" +
        schema::StockMoveTablesSql("IF NOT EXISTS ", DateSqlText(QDateTime::currentDateTime()).toStdString()) +
        "COMMIT;";
    if (auto built = Exec(db, build.c_str()); !built) (void)Exec(db, "ROLLBACK");
  }

  // A file written before the checkout counter gets its tables once. A read-only file
  // goes on without them: only the counter needs them.
  if (auto counter = QueryText(db, schema::kCounterTablesPresentSql);
      counter && counter->toInt() < schema::kCounterTableCount) {
    const std::string build = "BEGIN IMMEDIATE;\n" + schema::CounterTablesSql("IF NOT EXISTS ") + "COMMIT;";
    if (auto built = Exec(db, build.c_str()); !built) (void)Exec(db, "ROLLBACK");
  }

  db_ = db;
  sqlite3_update_hook(db_, &FileChangeHooks::RowChanged, this);
  sqlite3_commit_hook(db_, &FileChangeHooks::Committing, this);
  sqlite3_rollback_hook(db_, &FileChangeHooks::RolledBack, this);
  return {};
}

// Copies the file into a new one with the current page size and puts it in place. At
// every moment the database file is whole: the old one until a rename swaps in the
// checked copy; the old file stays as the backup name until the new one has opened.
// Takes ownership of `legacy`.
std::expected<void, DbError> Database::ConvertLegacyFile(sqlite3* legacy) {
  auto step = [this](ConversionStep s) {
    if (conversion_hook_) conversion_hook_(s);
  };
  auto fail = [&](DbError e) {
    sqlite3_close_v2(legacy);
    RemoveWithSidecars(ConversionTempPath(path_));
    return std::unexpected(std::move(e));
  };
  const QString temp = ConversionTempPath(path_);
  RemoveWithSidecars(temp);  // left by an interrupted conversion

  if (auto r = Exec(legacy, "PRAGMA wal_checkpoint(TRUNCATE)"); !r) return fail(r.error());
  auto counts = RowCounts(legacy, "main");
  if (!counts) return fail(counts.error());
  const QString user_version = QueryText(legacy, "PRAGMA user_version").value_or(QStringLiteral("0"));

  // Connections open without CREATE, and an attached file inherits that: start it empty.
  if (QFile empty(temp); !empty.open(QIODevice::WriteOnly))
    return fail(MakeError(SQLITE_CANTOPEN, empty.errorString()));
  {
    sqlite3_stmt* attach = nullptr;
    int rc = sqlite3_prepare_v2(legacy, "ATTACH DATABASE ? AS conv KEY ?", -1, &attach, nullptr);
    if (rc == SQLITE_OK) {
      const QByteArray temp_utf8 = temp.toUtf8();
      sqlite3_bind_text(attach, 1, temp_utf8.constData(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(attach, 2, kDatabasePassword, -1, SQLITE_STATIC);
      rc = sqlite3_step(attach);
      if (rc == SQLITE_DONE) rc = SQLITE_OK;
    }
    sqlite3_finalize(attach);
    if (rc != SQLITE_OK) return fail(ErrorOf(legacy, rc));
  }
  // The attached copy takes the current page size as the engine's default (KeyConnection).
  const QByteArray version_pragma = QByteArray("PRAGMA conv.user_version=") + user_version.toUtf8();
  for (const char* sql : {"SELECT sqlcipher_export('conv')", version_pragma.constData()}) {
    if (auto r = Exec(legacy, sql); !r) {
      (void)Exec(legacy, "DETACH DATABASE conv");
      return fail(r.error());
    }
  }
  if (auto r = Exec(legacy, "DETACH DATABASE conv"); !r) return fail(r.error());
  step(ConversionStep::Exported);
  if (!SyncPath(temp, false)) return fail(MakeError(SQLITE_IOERR, QStringLiteral("无法写入转换后的数据库")));
  step(ConversionStep::Synced);

  // The copy must open with the new page size, be whole and hold every row.
  {
    auto copy = OpenKeyed(temp, kCipherPageSize);
    if (!copy) return fail(copy.error());
    auto integrity = QueryText(*copy, "PRAGMA integrity_check");
    auto copied = RowCounts(*copy, "main");
    sqlite3_close_v2(*copy);
    if (!integrity) return fail(integrity.error());
    if (*integrity != QStringLiteral("ok"))
      return fail(MakeError(SQLITE_CORRUPT, QStringLiteral("转换后的数据库未通过检查：") + *integrity));
    if (!copied) return fail(copied.error());
    if (*copied != *counts) return fail(MakeError(SQLITE_CORRUPT, QStringLiteral("转换后的数据库行数不符")));
  }
  step(ConversionStep::Verified);

  // Closing the last connection checkpoints and removes the old write-ahead log, which
  // must not be replayed onto the new file.
  sqlite3_close_v2(legacy);
  legacy = nullptr;
  const QFileInfo wal(path_ + QStringLiteral("-wal"));
  if (wal.exists() && wal.size() > 0) {
    RemoveWithSidecars(temp);
    return std::unexpected(MakeError(SQLITE_BUSY, QStringLiteral("数据库正被其他程序使用，无法转换")));
  }
  QFile::remove(path_ + QStringLiteral("-shm"));

  // The old file keeps a second name (the database file itself never disappears), then
  // the checked copy replaces it in one rename.
  const QString backup = LegacyBackupPath(path_);
  QFile::remove(backup);
  const QByteArray from = QFile::encodeName(path_), to = QFile::encodeName(backup);
  if (::link(from.constData(), to.constData()) != 0 && !QFile::copy(path_, backup)) {
    RemoveWithSidecars(temp);
    return std::unexpected(MakeError(SQLITE_IOERR, QStringLiteral("无法保留原数据库文件")));
  }
  const QString dir = QFileInfo(path_).absolutePath();
  SyncPath(dir, true);
  step(ConversionStep::BackupKept);
  if (::rename(QFile::encodeName(temp).constData(), from.constData()) != 0) {
    RemoveWithSidecars(temp);
    return std::unexpected(MakeError(SQLITE_IOERR, QStringLiteral("无法替换数据库文件")));
  }
  SyncPath(dir, true);
  step(ConversionStep::Replaced);
  return {};
}

std::expected<void, DbError> Database::AttachKeyed(const QString& path, const char* alias) {
  // Connections open without CREATE, and an attached file inherits that.
  if (QFile file(path); !file.exists() && !file.open(QIODevice::WriteOnly))
    return std::unexpected(MakeError(SQLITE_CANTOPEN, file.errorString()));
  // The attached file takes the engine's default page size, set by KeyConnection.
  auto attach = Prepare("ATTACH DATABASE ? AS \"" + std::string(alias) + "\" KEY ?");
  if (!attach) return std::unexpected(attach.error());
  attach->BindAll(path, QString::fromLatin1(kDatabasePassword));
  return attach->Run();
}

namespace {

// Whether `text` at `at` holds `word` (ASCII, any case) followed by no letter, digit or _.
bool WordAt(std::string_view text, std::size_t at, std::string_view word) {
  if (at + word.size() > text.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[at + i])) != word[i]) return false;
  const std::size_t end = at + word.size();
  return end == text.size() || !(std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_');
}

std::size_t SkipSpace(std::string_view text, std::size_t at) {
  while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
  return at;
}

// The table an INSERT writes, when it is one of ours with an "ID" of its own and the
// statement does not return anything yet: such an insert returns its new ID on a server.
// (A hand-written reading: this runs at every prepare on a server.)
bool InsertsOurRow(std::string_view sql) {
  std::size_t at = SkipSpace(sql, 0);
  if (!WordAt(sql, at, "insert")) return false;
  at = SkipSpace(sql, at + 6);
  if (!WordAt(sql, at, "into")) return false;
  at = SkipSpace(sql, at + 4);
  if (at < sql.size() && sql[at] == '"') ++at;
  const std::size_t name_start = at;
  while (at < sql.size() && (std::isalpha(static_cast<unsigned char>(sql[at])) || sql[at] == '_')) ++at;
  if (at == name_start) return false;
  const std::string name(sql.substr(name_start, at - name_start));
  if (at < sql.size() && sql[at] == '"') ++at;
  if (at >= sql.size() || !(std::isspace(static_cast<unsigned char>(sql[at])) || sql[at] == '(')) return false;
  for (std::size_t i = at; i < sql.size(); ++i) {
    const bool starts_word = !(std::isalnum(static_cast<unsigned char>(sql[i - 1])) || sql[i - 1] == '_');
    if (starts_word && WordAt(sql, i, "returning")) return false;
  }
  const schema::Table* table = schema::FindTable(name);
  return table && !table->columns.empty() && table->columns[0].type == schema::ColumnType::AutoId;
}

}  // namespace

std::expected<Statement, DbError> Database::Prepare(std::string_view sql) {
  if (server_) {
    if (!ServerConnected()) return std::unexpected(DbError{DbError::Kind::Unavailable, QStringLiteral("数据库未连接")});
    int parameters = 0;
    std::string text = ServerPlaceholders(sql, &parameters);
    const bool returns_id = InsertsOurRow(text);
    if (returns_id) {
      while (!text.empty() && (std::isspace(static_cast<unsigned char>(text.back())) || text.back() == ';'))
        text.pop_back();
      text += " RETURNING \"ID\"";
    }
    std::string written = WrittenTable(text);
    return Statement(new PgStatement(pg_, std::move(text), parameters, returns_id, std::move(written)));
  }
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
  if (server_) {
    if (!ServerConnected()) return std::unexpected(DbError{DbError::Kind::Unavailable, QStringLiteral("数据库未连接")});
    return ServerExec(*pg_, sql);
  }
  if (!db_) return std::unexpected(MakeError(SQLITE_MISUSE, QStringLiteral("数据库未打开")));
  return Exec(db_, sql);
}

qint64 Database::LastInsertId() const {
  if (pg_) return pg_->last_insert_id;
  return db_ ? sqlite3_last_insert_rowid(db_) : 0;
}
int Database::Changes() const {
  if (pg_) return pg_->changes;
  return db_ ? sqlite3_changes(db_) : 0;
}
DbError Database::LastError() const {
  if (pg_) return pg_->last_error;
  return ErrorOf(db_, db_ ? sqlite3_errcode(db_) : SQLITE_MISUSE);
}

// ---- Transaction ----

std::expected<Transaction, DbError> Transaction::Begin(Database& db) {
  if (db.IsServer()) {
    if (!db.ServerConnected())
      return std::unexpected(DbError{DbError::Kind::Unavailable, QStringLiteral("数据库未连接")});
    // The file's writers wait up to its busy timeout; so do the server's for a lock.
    db.pg_->written.clear();
    if (auto r = ServerExec(*db.pg_, "BEGIN; SET LOCAL lock_timeout = 3000"); !r) return std::unexpected(r.error());
    return Transaction(&db);
  }
  if (db.Handle() && !StillWritable(db.Handle())) return std::unexpected(MakeError(SQLITE_READONLY, kReadOnlyFile));
  if (auto r = db.ExecScript("BEGIN IMMEDIATE"); !r) return std::unexpected(r.error());
  return Transaction(&db);
}

Transaction::~Transaction() {
  if (!db_) return;
  if (db_->pg_) db_->pg_->written.clear();  // nothing to tell of a rollback
  (void)db_->ExecScript("ROLLBACK");
}

std::expected<void, DbError> Transaction::Commit() {
  if (!db_) return std::unexpected(MakeError(SQLITE_MISUSE, QStringLiteral("事务已结束")));
  if (db_->pg_) {
    auto r = ServerCommit(*db_->pg_);
    db_ = nullptr;  // committed, or rolled back by the server itself
    return r;
  }
  auto r = db_->ExecScript("COMMIT");
  if (r) db_ = nullptr;  // on failure the destructor still rolls back
  return r;
}

QString EngineFailureText(DbError::Kind kind) {
  using K = DbError::Kind;
  switch (kind) {
    case K::Busy:
      return QStringLiteral("数据库正被其他程序使用，请关闭其他程序或稍后再试");
    case K::Full:
      return QStringLiteral("磁盘空间不足");
    case K::IoError:
      return QStringLiteral("读写磁盘时出错，请检查磁盘或U盘是否连接正常");
    case K::Corrupt:
      return QStringLiteral("数据库文件已损坏");
    case K::NotADatabase:
      return QStringLiteral("该文件不是本程序的数据库，或者密码不符");
    case K::ReadOnly:
      return QStringLiteral("数据库文件是只读的，无法写入");
    case K::Refused:
      return QStringLiteral("没有访问数据库文件的权限");
    case K::Unavailable:
    case K::CannotOpen:
      return QStringLiteral("无法打开数据库文件，请检查文件是否存在、是否有读写权限");
    case K::Constraint:
      return QStringLiteral("数据不符合数据库的约束");
    case K::OutcomeUnknown:
      return QStringLiteral("结果未知，请刷新后核对");
    case K::TimedOut:
      return QStringLiteral("数据库服务器长时间没有完成操作，操作已停止，请稍后再试");
    case K::Other:
      break;
  }
  return QStringLiteral("数据库正在使用中或出错，请关闭其他窗口后再试");
}

}  // namespace hemulu
