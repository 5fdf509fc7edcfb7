#pragma once
// Private to the data layer (and to tests of the engine itself): the PostgreSQL side of
// Database and Statement, on libpq. The logic's SQL is written for the file's engine;
// what differs is translated here: `?` marks become $n, an insert into one of our tables
// returns its new "ID", the server's SQLSTATE becomes our DbError kinds.

#include <libpq-fe.h>

#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/Database.h"

namespace hemulu {

// The kind a SQLSTATE (five characters) stands for.
DbError::Kind KindOfSqlState(std::string_view state);

// `sql` with each `?` (or `?NNN`) outside string literals, quoted names and comments
// written as the server's `$n`; `count` gets the highest parameter number.
std::string ServerPlaceholders(std::string_view sql, int* count);

// How long the server may stay silent before the user is told.
inline constexpr int kConnectTimeoutSeconds = 5;
inline constexpr int kTcpUserTimeoutMs = 8000;
inline constexpr int kStatementTimeoutMs = 20000;
// The codes a failed connection carries in DbError::engine_code (packed, see
// ServerError): a password is wanted and none was given; the one given was refused.
inline constexpr const char* kNeedsPasswordState = "28000";
inline constexpr const char* kPasswordRefusedState = "28P01";

// The connection's parameters, key and value, as libpq takes them.
std::vector<std::pair<std::string, std::string>> ConnectionParameters(const ServerAddress& server);

class PgStatement;

// The connection a Database and its statements share: a statement outliving its
// database's Close() finds no connection rather than a freed one.
struct PgConnection {
  PGconn* conn = nullptr;
  qint64 last_insert_id = 0;
  int changes = 0;
  DbError last_error;
  // The tables this connection's writes changed in the open transaction, told to every
  // listening program (this one included) by NOTIFY just before COMMIT.
  std::vector<std::string> written;
  // Called with the payload of each notification heard on this connection.
  std::function<void(std::string_view payload)> heard;
  // The statement whose result is being read in pieces through a cursor on this
  // connection, if any: before anything else runs here it reads the rest of its rows.
  PgStatement* streaming = nullptr;
  ~PgConnection();
  bool Alive() const { return conn && PQstatus(conn) == CONNECTION_OK; }
  // Frees the connection for another statement (see PgStatement::ReadInPieces).
  void Settle();
};

// What ConnectServer does in a database without our tables: creates them, or leaves
// them to the caller (a whole shop's copy makes them in its own transaction).
enum class MissingTables { Create, Leave };
// Connects and, under a lock only one program holds at a time, creates our tables when
// the database has none of them (brings an older set of them up to date in any case).
std::expected<std::shared_ptr<PgConnection>, DbError> ConnectServer(const ServerAddress& server,
                                                                    MissingTables missing = MissingTables::Create);
// Taken by the transaction that creates our tables, so that two programs never both do.
inline constexpr const char* kSchemaLockSql = "SELECT pg_advisory_xact_lock(1751477622)";
// Whether the database holds our tables: none (false), all the first ones (true), or
// only some — not a database a shop can use (NotADatabase, "数据库缺少数据表").
std::expected<bool, DbError> ShopTablesPresent(PgConnection& c);
// Connects and nothing more: no table is made or read.
std::expected<std::shared_ptr<PgConnection>, DbError> OpenServerConnection(const ServerAddress& server);

// The error a failed result (or a connection that failed without one) stands for.
DbError ServerError(const PgConnection& c, const PGresult* result);
// The first row of a query that must answer one, each column as text.
std::expected<QStringList, DbError> ServerRow(PgConnection& c, const char* sql);
// Runs a script of statements without values; the error when any fails.
std::expected<void, DbError> ServerExec(PgConnection& c, const char* sql);
// Ends a transaction with COMMIT, which the server turns into a rollback when a
// statement inside failed: that is reported, never taken as saved.
std::expected<void, DbError> ServerCommit(PgConnection& c);

// The table an INSERT, UPDATE or DELETE writes (as named in its text); empty for any
// other statement.
std::string WrittenTable(std::string_view sql);
// Notes a table written on the connection, with the tables the server's triggers keep
// from it (a sale changes the per-day totals).
void NoteWritten(PgConnection& c, std::string_view table);
// The statement that sends the noted tables on the change channel, to run just before
// COMMIT in the same round trip (empty when none); forgets them.
std::string ChangeNoticeSql(PgConnection& c);
// Sends the noted tables on the change channel and forgets them. Inside a transaction
// the notification is delivered only if it commits.
std::expected<void, DbError> NotifyWritten(PgConnection& c);
// Hands every notification libpq has read so far to `heard`. Run after each statement,
// since libpq reads notifications with a statement's result and keeps them queued.
void TakeNotifications(PgConnection& c);

// One statement: its values, and the result of its last run, read row by row. The
// result comes whole at the first step, or for a query marked ReadInPieces in batches
// through a cursor.
class PgStatement {
 public:
  // `written_table`: the table the statement writes, empty for a read.
  PgStatement(std::shared_ptr<PgConnection> connection, std::string sql, int parameters, bool returns_id,
              std::string written_table = {});
  ~PgStatement();

  // Rows per batch of a result read in pieces: the first small, so a short result costs
  // little, then growing to the last, so a long one takes few round trips.
  static constexpr int kFirstBatchRows = 1000;
  static constexpr int kLastBatchRows = 32000;

  // The next run of a query reads its rows in batches from a cursor instead of holding
  // the whole result: memory stays that of one batch. The connection stays free
  // between steps as before: whatever else wants it first makes this statement read
  // the rest of its rows at once (Settle), so only a statement stepped to its end
  // without another in between saves the memory. Not for a statement that writes.
  void ReadInPieces() { in_pieces_ = true; }
  // Reads every row not yet read into memory and gives the connection back.
  void ReadRest();

  void Bind(int index, std::string value, Oid type);
  void BindNull(int index);
  std::expected<bool, DbError> Step();
  void Reset();

  int ColumnCount() const;
  int ColumnIndex(std::string_view name) const;
  bool IsNull(int column) const { return PQgetisnull(result_, row_, column) != 0; }
  std::span<const unsigned char> Bytes(int column) const;
  double Double(int column) const;
  qint64 Int(int column) const;
  Statement::Stored Stored(int column) const;

 private:
  // Runs the statement with its values when its result is not there yet (the column
  // names are read before the first step too).
  bool Run() const;
  bool RunCursor() const;
  // The next batch of the cursor in result_; false at its end or on an error.
  bool FetchBatch() const;
  // Closes the cursor (and ends the transaction opened for it).
  void EndCursor() const;
  void Drop() const;

  std::shared_ptr<PgConnection> connection_;
  std::string sql_;
  bool returns_id_;
  std::string written_table_;
  std::vector<std::string> values_;
  std::vector<char> bound_;  // 0 unbound or NULL, 1 bound
  std::vector<Oid> types_;
  std::string bind_error_;
  mutable PGresult* result_ = nullptr;
  mutable bool ran_ = false;
  mutable std::optional<DbError> run_error_;
  mutable int rows_ = 0;
  mutable int row_ = -1;
  bool in_pieces_ = false;
  mutable std::string cursor_;                 // the open cursor's name, empty when none
  mutable bool own_transaction_ = false;       // the cursor's transaction is ours to end
  mutable int batch_rows_ = 0;                 // rows asked for in the last batch
  mutable PGresult* rest_ = nullptr;           // the rows read at once by ReadRest, after result_'s
  mutable std::optional<DbError> rest_error_;  // reading them failed
};

}  // namespace hemulu
