#include "data/ServerEngine.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "data/ChangeFeed.h"
#include "data/Schema.h"
#include "data/TextFormat.h"

namespace hemulu {

namespace {

// Type numbers of the server's built-in types (pg_type.oid; fixed since long ago).
constexpr Oid kBoolOid = 16, kByteaOid = 17, kInt8Oid = 20, kInt2Oid = 21, kInt4Oid = 23, kOidOid = 26,
              kFloat4Oid = 700, kFloat8Oid = 701, kNumericOid = 1700;

// SQLSTATE packed into an int for DbError::engine_code, six bits a character.
int PackedSqlState(std::string_view state) {
  int code = 0;
  for (std::size_t i = 0; i < state.size() && i < 5; ++i) code |= ((state[i] - '0') & 0x3f) << (6 * i);
  return code;
}

QString Trimmed(const char* text) { return QString::fromUtf8(text ? text : "").trimmed(); }

// The connection broke while the server may have been making a write final: whether it
// was saved cannot be known here. Any other error stays as it is.
DbError LostWhileFinal(const PgConnection& c, DbError e) {
  if (c.conn && PQstatus(c.conn) == CONNECTION_OK) return e;
  e.kind = DbError::Kind::OutcomeUnknown;
  return e;
}

// Whether `sql` begins (after blanks) with `word`, in any case.
bool StartsWith(std::string_view sql, std::string_view word) {
  std::size_t i = 0;
  while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i]))) ++i;
  if (sql.size() - i < word.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k)
    if (std::tolower(static_cast<unsigned char>(sql[i + k])) != word[k]) return false;
  return true;
}

// A statement that changes rows; outside a transaction it is its own COMMIT.
bool Writes(std::string_view sql) {
  return StartsWith(sql, "insert") || StartsWith(sql, "update") || StartsWith(sql, "delete");
}

DbError RolledBackError() {
  return DbError{DbError::Kind::Other, QStringLiteral("事务中有语句失败，服务器已撤销整个事务"), 0};
}

DbError NotConnected() { return DbError{DbError::Kind::Unavailable, QStringLiteral("数据库未连接")}; }

}  // namespace

DbError::Kind KindOfSqlState(std::string_view state) {
  using K = DbError::Kind;
  if (state == "53100") return K::Full;                                          // disk full
  if (state == "55P03" || state == "40P01" || state == "40001") return K::Busy;  // lock wait, deadlock, serialization
  if (state.starts_with("23")) return K::Constraint;
  if (state.starts_with("08") || state == "57P01" || state == "57P02" || state == "57P03") return K::Unavailable;
  if (state == "42501" || state.starts_with("28")) return K::Refused;  // privilege, authorization
  if (state == "25006") return K::ReadOnly;                            // read-only transaction (a standby)
  if (state == "XX001" || state == "XX002") return K::Corrupt;
  if (state == "57014") return K::TimedOut;  // stopped by statement_timeout
  if (state.starts_with("58")) return K::IoError;
  return K::Other;
}

DbError ServerError(const PgConnection& c, const PGresult* result) {
  const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  // A lost connection has no SQLSTATE from the server (libpq may make one up).
  if (!c.conn || PQstatus(c.conn) != CONNECTION_OK) {
    QString words = result ? Trimmed(PQresultErrorMessage(result)) : QString();
    if (words.isEmpty() && c.conn) words = Trimmed(PQerrorMessage(c.conn));
    return DbError{DbError::Kind::Unavailable, words.isEmpty() ? QStringLiteral("数据库连接已断开") : words,
                   PackedSqlState("08006")};
  }
  if (!state) {
    QString words = result ? Trimmed(PQresultErrorMessage(result)) : QString();
    if (words.isEmpty()) words = Trimmed(PQerrorMessage(c.conn));
    return DbError{DbError::Kind::Other, words, 0};
  }
  QString words = Trimmed(PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY));
  if (const char* detail = PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL))
    words += QStringLiteral(" (") + Trimmed(detail) + QLatin1Char(')');
  words += QStringLiteral(" [SQLSTATE ") + QString::fromLatin1(state) + QLatin1Char(']');
  return DbError{KindOfSqlState(state), words, PackedSqlState(state)};
}

PgConnection::~PgConnection() { PQfinish(conn); }

bool NeedsPassword(const DbError& error) { return error.engine_code == PackedSqlState(kNeedsPasswordState); }
bool PasswordRefused(const DbError& error) { return error.engine_code == PackedSqlState(kPasswordRefusedState); }

QString ServerUnavailableText(const DbError& error) {
  QString reason;
  if (NeedsPassword(error))
    reason = QStringLiteral("服务器要求输入密码");
  else if (PasswordRefused(error))
    reason = QStringLiteral("服务器没有接受这个用户名和密码");
  else if (error.engine_code == PackedSqlState("08001"))
    reason = QStringLiteral("服务器没有响应或拒绝了连接，请检查服务器地址、端口、数据库名称和网络");
  else
    reason = QStringLiteral("与服务器的连接已断开，刚才的操作没有完成，请检查网络后重试");
  return kServerUnavailableText + QStringLiteral("：") + reason;
}

std::string ServerPlaceholders(std::string_view sql, int* count) {
  std::string out;
  out.reserve(sql.size() + 16);
  int highest = 0;
  std::size_t i = 0;
  // Copies up to and including the closing `close` (a doubled one stays inside).
  auto copy_quoted = [&](char close) {
    out += sql[i++];
    while (i < sql.size()) {
      const char c = sql[i++];
      out += c;
      if (c == close) {
        if (i < sql.size() && sql[i] == close) {
          out += sql[i++];
          continue;
        }
        return;
      }
    }
  };
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == '\'' || c == '"') {
      copy_quoted(c);
    } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      const std::size_t end = sql.find('\n', i);
      const std::size_t stop = end == std::string_view::npos ? sql.size() : end;
      out.append(sql.substr(i, stop - i));
      i = stop;
    } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
      const std::size_t end = sql.find("*/", i + 2);
      const std::size_t stop = end == std::string_view::npos ? sql.size() : end + 2;
      out.append(sql.substr(i, stop - i));
      i = stop;
    } else if (c == '?') {
      ++i;
      std::size_t digits = i;
      while (digits < sql.size() && sql[digits] >= '0' && sql[digits] <= '9') ++digits;
      // A bare `?` takes the number after the highest so far, as in the file's engine.
      int number = highest + 1;
      if (digits > i) {
        std::from_chars(sql.data() + i, sql.data() + digits, number);
        i = digits;
      }
      highest = std::max(highest, number);
      out += '$';
      out += std::to_string(number);
    } else {
      out += c;
      ++i;
    }
  }
  if (count) *count = highest;
  return out;
}

void PgConnection::Settle() {
  if (streaming) streaming->ReadRest();
}

std::expected<void, DbError> ServerExec(PgConnection& c, const char* sql) {
  if (!c.conn) return std::unexpected(NotConnected());
  c.Settle();
  PGresult* r = PQexec(c.conn, sql);
  TakeNotifications(c);
  const ExecStatusType status = PQresultStatus(r);
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_EMPTY_QUERY) {
    PQclear(r);
    return {};
  }
  DbError e = ServerError(c, r);
  PQclear(r);
  c.last_error = e;
  return std::unexpected(std::move(e));
}

std::expected<void, DbError> ServerCommit(PgConnection& c) {
  if (!c.conn) return std::unexpected(NotConnected());
  c.Settle();  // a cursor read in pieces ends with the transaction: its rows are read first
  // The notice of the tables written goes with COMMIT in one round trip: it is
  // delivered only if the transaction commits, and a connection lost on the way leaves
  // the outcome unknown as for COMMIT alone.
  const std::string sql = ChangeNoticeSql(c) + "COMMIT";
  PGresult* r = PQexec(c.conn, sql.c_str());
  // Our own notification comes back with COMMIT's result, as other programs' do.
  TakeNotifications(c);
  if (PQresultStatus(r) == PGRES_FATAL_ERROR && PQstatus(c.conn) == CONNECTION_OK &&
      PQtransactionStatus(c.conn) == PQTRANS_INERROR) {
    // The notice failed and COMMIT never ran: nothing was kept. Failing because a
    // statement inside had failed, it says so as COMMIT would have.
    const char* state = PQresultErrorField(r, PG_DIAG_SQLSTATE);
    DbError e = state && std::strcmp(state, "25P02") == 0 ? RolledBackError() : ServerError(c, r);
    PQclear(r);
    PQclear(PQexec(c.conn, "ROLLBACK"));
    c.last_error = e;
    return std::unexpected(std::move(e));
  }
  const bool done = PQresultStatus(r) == PGRES_COMMAND_OK;
  const bool rolled_back = done && std::strcmp(PQcmdStatus(r), "ROLLBACK") == 0;
  std::optional<DbError> e;
  if (!done)
    e = LostWhileFinal(c, ServerError(c, r));
  else if (rolled_back)
    // A statement inside failed, so the server threw the whole transaction away.
    e = RolledBackError();
  PQclear(r);
  if (!e) return {};
  c.last_error = *e;
  return std::unexpected(std::move(*e));
}

std::vector<std::pair<std::string, std::string>> ConnectionParameters(const ServerAddress& server) {
  std::vector<std::pair<std::string, std::string>> p{
      {"host", server.host.toStdString()},
      {"port", std::to_string(server.port)},
      {"dbname", server.database.toStdString()},
      {"client_encoding", "UTF8"},
      {"application_name", "hemulu"},
      // A server that does not answer is told within seconds, not after the system's
      // minutes: the connection attempt, an idle connection (keep-alives) and data sent
      // but never acknowledged (tcp_user_timeout) each give up after a few seconds.
      {"connect_timeout", std::to_string(kConnectTimeoutSeconds)},
      {"keepalives", "1"},
      {"keepalives_idle", "5"},
      {"keepalives_interval", "2"},
      {"keepalives_count", "3"},
      {"tcp_user_timeout", std::to_string(kTcpUserTimeoutMs)},
      // extra_float_digits: every double prints as the shortest text that reads back as
      // exactly itself. The lock timeout matches the file's busy timeout; no statement
      // of ours runs for long, one that does is stopped rather than holding the window.
      {"options",
       "-c extra_float_digits=3 -c lock_timeout=3000 -c statement_timeout=" + std::to_string(kStatementTimeoutMs)},
  };
  if (!server.user.isEmpty()) p.emplace_back("user", server.user.toStdString());
  if (!server.sslmode.isEmpty()) p.emplace_back("sslmode", server.sslmode.toStdString());
  if (!server.password.isEmpty()) p.emplace_back("password", server.password.toStdString());
  return p;
}

std::expected<std::shared_ptr<PgConnection>, DbError> OpenServerConnection(const ServerAddress& server) {
  const auto parameters = ConnectionParameters(server);
  std::vector<const char*> keys, values;
  for (const auto& [key, value] : parameters) {
    keys.push_back(key.c_str());
    values.push_back(value.c_str());
  }
  keys.push_back(nullptr);
  values.push_back(nullptr);

  auto c = std::make_shared<PgConnection>();
  c->conn = PQconnectdbParams(keys.data(), values.data(), 0);
  if (!c->conn) return std::unexpected(DbError{DbError::Kind::Unavailable, QStringLiteral("内存不足"), 0});
  if (PQstatus(c->conn) != CONNECTION_OK) {
    // libpq tells only whether a password was wanted or tried; the rest is in its words.
    const char* state = PQconnectionNeedsPassword(c->conn)  ? kNeedsPasswordState
                        : PQconnectionUsedPassword(c->conn) ? kPasswordRefusedState
                                                            : "08001";
    return std::unexpected(
        DbError{DbError::Kind::Unavailable, Trimmed(PQerrorMessage(c->conn)), PackedSqlState(state)});
  }
  return c;
}

std::expected<QStringList, DbError> ServerRow(PgConnection& c, const char* sql) {
  PGresult* r = PQexec(c.conn, sql);
  if (PQresultStatus(r) != PGRES_TUPLES_OK || PQntuples(r) < 1) {
    DbError e = ServerError(c, r);
    PQclear(r);
    return std::unexpected(e);
  }
  QStringList values;
  for (int i = 0; i < PQnfields(r); ++i) values.push_back(QString::fromUtf8(PQgetvalue(r, 0, i)));
  PQclear(r);
  return values;
}

namespace {

// The one number a catalogue query answers.
std::expected<int, DbError> CountOf(PgConnection& c, const char* sql) {
  auto row = ServerRow(c, sql);
  if (!row) return std::unexpected(row.error());
  return row->value(0).toInt();
}

}  // namespace

std::expected<bool, DbError> ShopTablesPresent(PgConnection& c) {
  auto tables = CountOf(c, schema::kServerTablesPresentSql);
  if (!tables) return std::unexpected(tables.error());
  if (*tables == 0) return false;
  if (*tables != static_cast<int>(schema::Tables().size()) + 1)
    return std::unexpected(DbError{DbError::Kind::NotADatabase, QStringLiteral("数据库缺少数据表"), 0});
  return true;
}

std::expected<std::shared_ptr<PgConnection>, DbError> ConnectServer(const ServerAddress& server,
                                                                    MissingTables missing) {
  auto opened = OpenServerConnection(server);
  if (!opened) return std::unexpected(opened.error());
  std::shared_ptr<PgConnection> c = std::move(*opened);

  // Our tables, made once: the first program takes the lock and creates them in one
  // transaction; one that waited finds them there.
  auto fail = [&](DbError e) {
    (void)ServerExec(*c, "ROLLBACK");
    return std::unexpected(std::move(e));
  };
  if (auto r = ServerExec(*c, "BEGIN"); !r) return std::unexpected(r.error());
  if (auto r = ServerExec(*c, kSchemaLockSql); !r) return fail(r.error());
  auto present = ShopTablesPresent(*c);
  if (!present) return fail(present.error());
  if (!*present) {
    // The caller makes them inside its own transaction, with what it puts in them.
    if (missing == MissingTables::Leave) {
      if (auto r = ServerExec(*c, "ROLLBACK"); !r) return std::unexpected(r.error());
      return c;
    }
    if (auto r = ServerExec(*c, schema::ServerCreateSql().c_str()); !r) return fail(r.error());
  } else {
    // What a database made by an older program lacks is added once, in this order.
    const struct {
      std::string present;  // counts what is there
      int wanted;           // the count when it is all there
      std::function<std::string()> build;
    } steps[] = {
        // the search indexes
        {schema::ServerSearchIndexesPresentSql(), schema::ServerSearchIndexCount(),
         [] { return schema::ServerSearchIndexSql(); }},
        // the repayments' tables
        {schema::kServerRepaymentTablesPresentSql, 1,
         [] { return schema::ServerRepaymentTablesSql("IF NOT EXISTS "); }},
        // the movements journal, with its opening movements
        {schema::kServerStockMoveTablePresentSql, 1,
         [] {
           return schema::ServerStockMoveTablesSql("IF NOT EXISTS ",
                                                   DateSqlText(QDateTime::currentDateTime()).toStdString());
         }},
        // the checkout counter's tables
        {schema::kServerCounterTablesPresentSql, schema::kCounterTableCount,
         [] { return schema::ServerCounterTablesSql("IF NOT EXISTS "); }},
    };
    for (const auto& step : steps) {
      auto there = CountOf(*c, step.present.c_str());
      if (!there) return fail(there.error());
      if (*there < step.wanted)
        if (auto r = ServerExec(*c, step.build().c_str()); !r) return fail(r.error());
    }
  }
  if (auto r = ServerCommit(*c); !r) return std::unexpected(r.error());
  return c;
}

// ---- Change notifications ----

std::string WrittenTable(std::string_view sql) {
  std::size_t i = 0;
  auto skip_space = [&] {
    while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i]))) ++i;
  };
  auto word = [&](std::string_view w) {
    if (sql.size() - i < w.size()) return false;
    for (std::size_t k = 0; k < w.size(); ++k)
      if (std::tolower(static_cast<unsigned char>(sql[i + k])) != w[k]) return false;
    const std::size_t end = i + w.size();
    if (end < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[end])) || sql[end] == '_')) return false;
    i = end;
    return true;
  };
  skip_space();
  if (word("insert")) {
    skip_space();
    if (!word("into")) return {};
  } else if (word("delete")) {
    skip_space();
    if (!word("from")) return {};
  } else if (!word("update")) {
    return {};
  }
  skip_space();
  if (i < sql.size() && sql[i] == '"') {
    const std::size_t end = sql.find('"', i + 1);
    if (end == std::string_view::npos) return {};
    return std::string(sql.substr(i + 1, end - i - 1));
  }
  const std::size_t start = i;
  while (i < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[i])) || sql[i] == '_')) ++i;
  return std::string(sql.substr(start, i - start));
}

void NoteWritten(PgConnection& c, std::string_view table) {
  auto note = [&c](std::string_view name) {
    if (std::find(c.written.begin(), c.written.end(), name) == c.written.end()) c.written.emplace_back(name);
  };
  note(table);
  if (table == "sell") note("sell_day");  // kept by the triggers on sell
}

namespace {

// The tables noted, as the notice's payload; forgets them.
std::string TakeWrittenPayload(PgConnection& c) {
  std::string payload;
  for (const std::string& table : c.written) {
    // Only names of ours: a payload pasted into SQL text holds nothing else.
    if (table.empty() || !std::all_of(table.begin(), table.end(), [](char ch) {
          return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_';
        }))
      continue;
    if (!payload.empty()) payload += ',';
    payload += table;
  }
  c.written.clear();
  return payload;
}

}  // namespace

std::string ChangeNoticeSql(PgConnection& c) {
  const std::string payload = TakeWrittenPayload(c);
  if (payload.empty()) return {};
  return std::string("SELECT pg_notify('") + kChangeChannel + "', '" + payload + "'); ";
}

std::expected<void, DbError> NotifyWritten(PgConnection& c) {
  const std::string payload = TakeWrittenPayload(c);
  if (payload.empty()) return {};
  if (!c.conn) return std::unexpected(NotConnected());
  c.Settle();
  const char* values[] = {kChangeChannel, payload.c_str()};
  PGresult* r = PQexecParams(c.conn, "SELECT pg_notify($1, $2)", 2, nullptr, values, nullptr, nullptr, 0);
  TakeNotifications(c);
  if (PQresultStatus(r) == PGRES_TUPLES_OK) {
    PQclear(r);
    return {};
  }
  DbError e = ServerError(c, r);
  PQclear(r);
  c.last_error = e;
  return std::unexpected(std::move(e));
}

void TakeNotifications(PgConnection& c) {
  if (!c.conn) return;
  while (PGnotify* n = PQnotifies(c.conn)) {
    if (c.heard && n->relname && std::strcmp(n->relname, kChangeChannel) == 0) c.heard(n->extra ? n->extra : "");
    PQfreemem(n);
  }
}

// ---- PgStatement ----

PgStatement::PgStatement(std::shared_ptr<PgConnection> connection, std::string sql, int parameters, bool returns_id,
                         std::string written_table)
    : connection_(std::move(connection)),
      sql_(std::move(sql)),
      returns_id_(returns_id),
      written_table_(std::move(written_table)),
      values_(parameters),
      bound_(parameters, 0),
      types_(parameters, 0) {}

PgStatement::~PgStatement() { Drop(); }

void PgStatement::Drop() const {
  EndCursor();
  PQclear(rest_);
  rest_ = nullptr;
  rest_error_.reset();
  PQclear(result_);
  result_ = nullptr;
  ran_ = false;
  run_error_.reset();
  rows_ = 0;
}

void PgStatement::Bind(int index, std::string value, Oid type) {
  if (index < 1 || index > static_cast<int>(values_.size())) {
    if (bind_error_.empty()) bind_error_ = "bind index " + std::to_string(index) + " out of range";
    return;
  }
  if (ran_) Drop();  // values changed after the column names were read: run again
  values_[index - 1] = std::move(value);
  bound_[index - 1] = 1;
  types_[index - 1] = type;
}

void PgStatement::BindNull(int index) {
  if (index < 1 || index > static_cast<int>(values_.size())) {
    if (bind_error_.empty()) bind_error_ = "bind index " + std::to_string(index) + " out of range";
    return;
  }
  if (ran_) Drop();
  bound_[index - 1] = 0;
  types_[index - 1] = 0;
}

bool PgStatement::Run() const {
  if (ran_) return !run_error_;
  ran_ = true;
  row_ = -1;
  if (!bind_error_.empty()) {
    run_error_ = DbError{DbError::Kind::Other, QString::fromStdString(bind_error_), 0};
    return false;
  }
  PgConnection& c = *connection_;
  if (!c.conn) {
    run_error_ = NotConnected();
    return false;
  }
  c.Settle();  // a statement read in pieces on this connection makes way
  if (in_pieces_ && !returns_id_ && StartsWith(sql_, "select")) return RunCursor();
  std::vector<const char*> values(values_.size());
  for (std::size_t i = 0; i < values_.size(); ++i) values[i] = bound_[i] ? values_[i].c_str() : nullptr;
  const bool own_commit = PQtransactionStatus(c.conn) == PQTRANS_IDLE && Writes(sql_);
  result_ = PQexecParams(c.conn, sql_.c_str(), static_cast<int>(values.size()), types_.data(), values.data(), nullptr,
                         nullptr, 0);
  TakeNotifications(c);
  const ExecStatusType status = PQresultStatus(result_);
  if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
    run_error_ = ServerError(c, result_);
    if (own_commit) run_error_ = LostWhileFinal(c, *run_error_);
    c.last_error = *run_error_;
    PQclear(result_);
    result_ = nullptr;
    return false;
  }
  rows_ = PQntuples(result_);
  c.changes = std::atoi(PQcmdTuples(result_));
  if (!written_table_.empty()) {
    NoteWritten(c, written_table_);
    // A single write outside a transaction has committed already: tell it now. Failing
    // that, the others see the change at their next refill.
    if (own_commit) (void)NotifyWritten(c);
  }
  if (returns_id_) {
    // The rows of RETURNING "ID" are ours, not the caller's: the last is the new ID.
    if (rows_ > 0) c.last_insert_id = std::strtoll(PQgetvalue(result_, rows_ - 1, 0), nullptr, 10);
    rows_ = 0;
  }
  return true;
}

bool PgStatement::RunCursor() const {
  PgConnection& c = *connection_;
  // A cursor lives in a transaction: the caller's, or a read-only one of its own that
  // ends with the last batch.
  own_transaction_ = PQtransactionStatus(c.conn) == PQTRANS_IDLE;
  auto fail = [&](PGresult* r) {
    run_error_ = ServerError(c, r);
    c.last_error = *run_error_;
    PQclear(r);
    if (own_transaction_ && c.Alive()) PQclear(PQexec(c.conn, "ROLLBACK"));
    own_transaction_ = false;
    return false;
  };
  if (own_transaction_) {
    PGresult* r = PQexec(c.conn, "BEGIN");
    if (PQresultStatus(r) != PGRES_COMMAND_OK) {
      own_transaction_ = false;
      return fail(r);
    }
    PQclear(r);
  }
  static std::atomic<unsigned> cursors{0};
  const std::string name = "hemulu_rows_" + std::to_string(++cursors);
  const std::string declare = "DECLARE \"" + name + "\" NO SCROLL CURSOR FOR " + sql_;
  std::vector<const char*> values(values_.size());
  for (std::size_t i = 0; i < values_.size(); ++i) values[i] = bound_[i] ? values_[i].c_str() : nullptr;
  PGresult* r = PQexecParams(c.conn, declare.c_str(), static_cast<int>(values.size()), types_.data(), values.data(),
                             nullptr, nullptr, 0);
  if (PQresultStatus(r) != PGRES_COMMAND_OK) return fail(r);
  PQclear(r);
  cursor_ = name;
  c.streaming = const_cast<PgStatement*>(this);
  batch_rows_ = 0;
  return FetchBatch();
}

bool PgStatement::FetchBatch() const {
  PgConnection& c = *connection_;
  batch_rows_ = batch_rows_ == 0 ? kFirstBatchRows : std::min(batch_rows_ * 4, kLastBatchRows);
  const std::string fetch = "FETCH FORWARD " + std::to_string(batch_rows_) + " FROM \"" + cursor_ + "\"";
  PGresult* r = c.conn ? PQexec(c.conn, fetch.c_str()) : nullptr;
  // Notifications read with a batch would otherwise wait for the next statement.
  if (c.conn) TakeNotifications(c);
  PQclear(result_);
  result_ = nullptr;
  rows_ = 0;
  row_ = -1;
  if (PQresultStatus(r) != PGRES_TUPLES_OK) {
    run_error_ = c.conn ? ServerError(c, r) : NotConnected();
    c.last_error = *run_error_;
    PQclear(r);
    EndCursor();
    return false;
  }
  result_ = r;
  rows_ = PQntuples(r);
  // A short batch is the last: the connection is free again at once.
  if (rows_ < batch_rows_) EndCursor();
  return true;
}

void PgStatement::EndCursor() const {
  PgConnection& c = *connection_;
  if (c.streaming == this) c.streaming = nullptr;
  if (cursor_.empty()) return;
  if (c.Alive()) {
    // Our own transaction only read: its end closes the cursor too.
    const std::string end = own_transaction_ ? std::string("COMMIT") : "CLOSE \"" + cursor_ + "\"";
    PQclear(PQexec(c.conn, end.c_str()));
    TakeNotifications(c);
  }
  cursor_.clear();
  own_transaction_ = false;
}

void PgStatement::ReadRest() {
  PgConnection& c = *connection_;
  if (c.streaming == this) c.streaming = nullptr;
  if (cursor_.empty()) return;
  const std::string fetch = "FETCH ALL FROM \"" + cursor_ + "\"";
  PGresult* r = c.conn ? PQexec(c.conn, fetch.c_str()) : nullptr;
  if (PQresultStatus(r) == PGRES_TUPLES_OK) {
    PQclear(rest_);
    rest_ = r;
  } else {
    rest_error_ = c.conn ? ServerError(c, r) : NotConnected();
    PQclear(r);
  }
  EndCursor();
}

std::expected<bool, DbError> PgStatement::Step() {
  if (!Run()) return std::unexpected(*run_error_);
  for (;;) {
    if (row_ + 1 < rows_) {
      ++row_;
      return true;
    }
    if (rest_) {
      // The rows read at once when another statement wanted the connection.
      PQclear(result_);
      result_ = rest_;
      rest_ = nullptr;
      rows_ = PQntuples(result_);
      row_ = -1;
      continue;
    }
    if (rest_error_) {
      run_error_ = std::move(rest_error_);
      rest_error_.reset();
      return std::unexpected(*run_error_);
    }
    if (cursor_.empty()) break;
    if (!FetchBatch()) return std::unexpected(*run_error_);
  }
  row_ = rows_;
  return false;
}

void PgStatement::Reset() {
  Drop();
  std::fill(bound_.begin(), bound_.end(), 0);
  std::fill(types_.begin(), types_.end(), 0);
  bind_error_.clear();
}

int PgStatement::ColumnCount() const {
  if (!Run() || returns_id_) return 0;
  return PQnfields(result_);
}

int PgStatement::ColumnIndex(std::string_view name) const {
  const int n = ColumnCount();
  for (int i = 0; i < n; ++i) {
    const char* c = PQfname(result_, i);
    if (c && name.size() == std::strlen(c) && std::memcmp(c, name.data(), name.size()) == 0) return i;
  }
  return -1;
}

std::span<const unsigned char> PgStatement::Bytes(int column) const {
  if (PQgetisnull(result_, row_, column)) return {};
  return {reinterpret_cast<const unsigned char*>(PQgetvalue(result_, row_, column)),
          static_cast<std::size_t>(PQgetlength(result_, row_, column))};
}

// Numbers come as the server's text: the shortest that reads back exactly (see
// extra_float_digits). Text that is no number reads as its leading number, or 0, as the
// file's engine reads it; a truth value as 1 or 0.
double PgStatement::Double(int column) const {
  const char* p = PQgetvalue(result_, row_, column);
  const char* end = p + PQgetlength(result_, row_, column);
  if (PQftype(result_, column) == kBoolOid) return *p == 't' ? 1.0 : 0.0;
  while (p < end && *p == ' ') ++p;
  if (p < end && *p == '+') ++p;
  double value = 0.0;
  if (std::from_chars(p, end, value).ec != std::errc()) {
    // from_chars knows "inf" and "nan"; the server writes "Infinity" and "NaN".
    const std::string_view text(p, end - p);
    if (text == "Infinity") return std::numeric_limits<double>::infinity();
    if (text == "-Infinity") return -std::numeric_limits<double>::infinity();
    return 0.0;
  }
  return value;
}

qint64 PgStatement::Int(int column) const {
  const char* p = PQgetvalue(result_, row_, column);
  const char* end = p + PQgetlength(result_, row_, column);
  if (PQftype(result_, column) == kBoolOid) return *p == 't' ? 1 : 0;
  qint64 value = 0;
  const auto read = std::from_chars(p, end, value);
  if (read.ec == std::errc() && (read.ptr == end || (*read.ptr != '.' && *read.ptr != 'e' && *read.ptr != 'E')))
    return value;
  // A fraction or an exponent: the number's integer part, held within range.
  const double d = Double(column);
  if (std::isnan(d)) return 0;
  if (d >= 9.2233720368547758e18) return std::numeric_limits<qint64>::max();
  if (d <= -9.2233720368547758e18) return std::numeric_limits<qint64>::min();
  return static_cast<qint64>(d);
}

Statement::Stored PgStatement::Stored(int column) const {
  if (PQgetisnull(result_, row_, column)) return Statement::Stored::Null;
  switch (PQftype(result_, column)) {
    case kBoolOid:
    case kInt2Oid:
    case kInt4Oid:
    case kInt8Oid:
    case kOidOid:
      return Statement::Stored::Integer;
    case kFloat4Oid:
    case kFloat8Oid:
    case kNumericOid:
      return Statement::Stored::Real;
    case kByteaOid:
      return Statement::Stored::Blob;
    default:
      return Statement::Stored::Text;
  }
}

}  // namespace hemulu
