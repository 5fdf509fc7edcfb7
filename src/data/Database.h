#pragma once
// Thin RAII layer over the database engines: the encrypted SQLite file, or a PostgreSQL
// server (data/ServerEngine.h). Values are always bound, never pasted into SQL text;
// errors come back as values and never show a window.

#include <QSet>
#include <QString>
#include <QVariant>
#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/DatabaseKey.h"

class QSocketNotifier;

// The engine's own header is private to src/data (data/Engine.h); Statement inlines
// only these readers of a cell, so that a loop over a million rows pays no call of ours.
struct sqlite3;
struct sqlite3_stmt;
extern "C" {
const unsigned char* sqlite3_column_text(sqlite3_stmt*, int);
int sqlite3_column_bytes(sqlite3_stmt*, int);
double sqlite3_column_double(sqlite3_stmt*, int);
long long sqlite3_column_int64(sqlite3_stmt*, int);
int sqlite3_column_type(sqlite3_stmt*, int);
}

namespace hemulu {

class PgStatement;
struct PgConnection;

// A failure of the database in our own terms, whichever engine is behind it. Only the
// kind decides anything; the engine's words and code are for the log.
struct DbError {
  enum class Kind {
    // The database could not be opened at all (missing, unreadable, wrong key): the
    // work that needed it was not started. Windows show "打开数据库失败！" for it.
    Unavailable,
    Busy,          // another connection or program holds what was needed
    Full,          // no room left on the disk
    Constraint,    // a row broke a rule of the schema
    Corrupt,       // the file is damaged
    Refused,       // not allowed: to this user (a report withheld) or by the system
    NotADatabase,  // the file is not ours, or the key does not fit it
    ReadOnly,      // the file cannot be written
    IoError,       // reading or writing the disk failed
    CannotOpen,    // the file could not be opened (missing, no access)
    // The connection to the server broke while a write was being made final (COMMIT, or
    // a single write outside a transaction): it may or may not have been saved.
    OutcomeUnknown,
    TimedOut,  // the server took too long over a statement and stopped it
    Other,
  };
  Kind kind = Kind::Other;
  QString message;      // the engine's own words, for the log
  int engine_code = 0;  // the engine's own result code, for the log only
  bool Unavailable() const { return kind == Kind::Unavailable; }
};

// What the user is told for a failure of the database, by its kind (busy, full, I/O,
// damaged, not our database, read-only, no permission, ...). Never the engine's own
// English, which goes to standard error.
QString EngineFailureText(DbError::Kind kind);

// The server could not be reached or was lost: "无法连接数据库服务器" and why, in the
// user's words.
inline const QString kServerUnavailableText = QStringLiteral("无法连接数据库服务器");
QString ServerUnavailableText(const DbError& error);
// A failed connection that wants a password (none was given), or refused the one given.
bool NeedsPassword(const DbError& error);
bool PasswordRefused(const DbError& error);

// A statement of either engine. Which one is fixed when it is prepared; the cell
// readers below test it with one well-predicted branch and stay inline for the file.
class Statement {
 public:
  Statement() = default;
  Statement(sqlite3* db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}
  explicit Statement(PgStatement* server) : server_(server) {}
  Statement(Statement&& other) noexcept;
  Statement& operator=(Statement&& other) noexcept;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement();

  // Binding is 1-based, as in SQLite. A failed bind is reported by the next Step().
  Statement& Bind(int index, const QString& value);
  Statement& Bind(int index, const char* value) { return Bind(index, QString::fromUtf8(value)); }
  Statement& Bind(int index, double value);
  Statement& Bind(int index, qint64 value);
  Statement& Bind(int index, int value) { return Bind(index, static_cast<qint64>(value)); }
  Statement& Bind(int index, const QVariant& value);
  Statement& BindNull(int index);
  template <class... Args>
  Statement& BindAll(const Args&... args) {
    int i = 1;
    (Bind(i++, args), ...);
    return *this;
  }

  // True when a row is ready, false when the statement is done.
  [[nodiscard]] std::expected<bool, DbError> Step();
  // Steps to the end; for statements that return no rows.
  [[nodiscard]] std::expected<void, DbError> Run();
  void Reset();
  // For a query stepped to its end with no other statement run in between (a list's
  // fill): a server sends its rows in batches rather than holding the whole result in
  // memory. Another statement may still run in between; the rows not yet read are then
  // held at once, as without it. Nothing changes on the file.
  Statement& ReadInPieces();

  int ColumnCount() const;
  // -1 when the result has no column of that name.
  int ColumnIndex(std::string_view name) const;
  QString Text(int column) const;
  double Double(int column) const;
  qint64 Int(int column) const;
  bool IsNull(int column) const;
  // Reading by name, for code that reads a row once; loops resolve indexes first.
  QString Text(std::string_view name) const { return Text(ColumnIndex(name)); }
  double Double(std::string_view name) const { return Double(ColumnIndex(name)); }
  qint64 Int(std::string_view name) const { return Int(ColumnIndex(name)); }

  // Cell readers for loops over many rows: inline, no copy, no range check — the
  // column must be one of the result's (0 <= column < ColumnCount()).
  // The UTF-8 bytes of a text cell, valid until the next Step(); empty for NULL.
  std::span<const unsigned char> CellBytes(int column) const {
    if (server_) [[unlikely]]
      return ServerBytes(column);
    const unsigned char* p = sqlite3_column_text(stmt_, column);
    if (!p) return {};
    return {p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))};
  }
  double CellDouble(int column) const {
    if (server_) [[unlikely]]
      return ServerDouble(column);
    return sqlite3_column_double(stmt_, column);
  }
  qint64 CellInt(int column) const {
    if (server_) [[unlikely]]
      return ServerInt(column);
    return sqlite3_column_int64(stmt_, column);
  }
  bool CellIsNull(int column) const { return CellStored(column) == Stored::Null; }
  // What a cell holds as stored, for code that checks the stored values themselves.
  enum class Stored { Integer = 1, Real, Text, Blob, Null };
  Stored CellStored(int column) const {
    if (server_) [[unlikely]]
      return ServerStored(column);
    return static_cast<Stored>(sqlite3_column_type(stmt_, column));
  }

 private:
  void NoteBindResult(int rc);
  std::span<const unsigned char> ServerBytes(int column) const;
  double ServerDouble(int column) const;
  qint64 ServerInt(int column) const;
  Stored ServerStored(int column) const;

  sqlite3* db_ = nullptr;
  sqlite3_stmt* stmt_ = nullptr;
  int bind_error_ = 0;             // the engine's result of a failed bind, for Step()
  PgStatement* server_ = nullptr;  // a statement on a PostgreSQL server instead
};

// Where a shop's database server is. The password is libpq's own business (~/.pgpass,
// PGPASSFILE); `sslmode` empty leaves libpq's default.
struct ServerAddress {
  QString host;  // a name, an address, or a folder holding the server's unix socket
  int port = 5432;
  QString database;
  QString user;
  QString sslmode;
  // Asked at start when ~/.pgpass has none; held in memory only, never written.
  QString password;
};

// The moments of the one-time conversion of a file with the old page size at which a
// kill can strike; tests stop the process there.
enum class ConversionStep { Exported, Synced, Verified, BackupKept, Replaced };

// One database: the encrypted file (the default) or a PostgreSQL server. The engine is
// chosen when the Database is made and every statement it prepares follows it.
class Database {
 public:
  explicit Database(QString path);
  explicit Database(ServerAddress server);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Opens the file with the key when it is not open. The file is never created,
  // repaired or changed when it cannot be read as our database. A file written with the
  // old page size is converted once (see ConvertLegacyFile).
  [[nodiscard]] std::expected<void, DbError> Open();
  // Called at each step of a conversion; for tests only.
  void SetConversionHook(std::function<void(ConversionStep)> hook) { conversion_hook_ = std::move(hook); }
  // Attaches another file (existing, or created empty here) under `alias`,
  // keyed like this one, page size included. Not inside a transaction.
  [[nodiscard]] std::expected<void, DbError> AttachKeyed(const QString& path, const char* alias);
  bool IsOpen() const { return db_ != nullptr || (server_ && ServerConnected()); }
  bool IsServer() const { return server_.has_value(); }
  // The password for the next connections to the server (none for a file).
  void SetServerPassword(const QString& password);
  // The server's address; null for a file.
  const ServerAddress* Server() const { return server_ ? &*server_ : nullptr; }
  void Close();

  [[nodiscard]] std::expected<Statement, DbError> Prepare(std::string_view sql);
  // Runs one statement with bound values to its end; returns the number of changed rows.
  template <class... Args>
  [[nodiscard]] std::expected<int, DbError> Execute(std::string_view sql, const Args&... args) {
    auto st = Prepare(sql);
    if (!st) return std::unexpected(st.error());
    st->BindAll(args...);
    if (auto r = st->Run(); !r) return std::unexpected(r.error());
    return Changes();
  }
  // Runs a script of statements without values (pragmas, schema).
  [[nodiscard]] std::expected<void, DbError> ExecScript(const char* sql);

  // The ID of the last row inserted through this connection into one of our tables.
  qint64 LastInsertId() const;
  int Changes() const;
  // The file, or the server and database (for the log).
  const QString& Path() const { return path_; }
  // The file's connection; null on a server.
  sqlite3* Handle() const { return db_; }
  DbError LastError() const;

  // Called with the names of the tables a write changed once it has committed: on the
  // file, this connection's; on a server, every program's on the same database (heard
  // through LISTEN while the event loop runs, this program's own included), and every
  // table after a reconnection, since changes made meanwhile went unheard. Called inside
  // the engine's work: it may only take note (see ChangeFeed), never use the database.
  void OnChanges(std::function<void(const QSet<QString>& tables)> sink) { on_changes_ = std::move(sink); }

 private:
  friend class Transaction;
  friend struct FileChangeHooks;
  void TellChanges(QSet<QString> tables);
  void ListenForChanges();
  void ReadNotifications();
  std::expected<void, DbError> ConvertLegacyFile(sqlite3* legacy);
  bool ServerConnected() const;

  QString path_;
  sqlite3* db_ = nullptr;
  std::optional<ServerAddress> server_;
  std::shared_ptr<PgConnection> pg_;
  std::function<void(ConversionStep)> conversion_hook_;
  std::function<void(const QSet<QString>&)> on_changes_;
  // The file's tables changed by the open transaction (or the single write), named by
  // the engine's row hook, told when it commits.
  std::vector<std::string> file_written_;
  // The server connection's socket, watched for notifications between statements.
  std::unique_ptr<QSocketNotifier> listener_;
  bool server_connected_before_ = false;
};

// The text as a LIKE pattern that matches it anywhere; its own %, _ and \ taken
// literally (the statement carries "escape '\'").
QString ContainsPattern(const QString& text);

// The names the conversion uses beside the database file.
QString ConversionTempPath(const QString& db_path);
QString LegacyBackupPath(const QString& db_path);

// BEGIN IMMEDIATE on creation (on a server: BEGIN with a lock timeout as the file's
// busy timeout); rolls back in the destructor unless Commit() succeeded.
class Transaction {
 public:
  [[nodiscard]] static std::expected<Transaction, DbError> Begin(Database& db);
  Transaction(Transaction&& other) noexcept : db_(other.db_) { other.db_ = nullptr; }
  Transaction& operator=(Transaction&&) = delete;
  ~Transaction();
  [[nodiscard]] std::expected<void, DbError> Commit();

 private:
  explicit Transaction(Database* db) : db_(db) {}
  Database* db_;
};

}  // namespace hemulu
