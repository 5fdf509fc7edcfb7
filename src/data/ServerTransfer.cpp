#include "data/ServerTransfer.h"

#include <QFile>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/DatabaseFiles.h"
#include "data/EmbeddedFiles.h"
#include "data/Engine.h"
#include "data/EngineKey.h"
#include "data/MemoryTempVfs.h"
#include "data/Schema.h"
#include "data/ServerEngine.h"

namespace hemulu {

namespace {

using Kind = TransferError::Kind;
using schema::ColumnType;
using schema::Table;

std::unexpected<TransferError> Fail(Kind kind, const QString& reason, const QString& detail = {}) {
  return std::unexpected(TransferError{kind, reason, detail});
}

const QString kServerFailed = QStringLiteral("服务器操作失败：");
const QString kFileFailed = QStringLiteral("读写本机数据文件失败：");

std::unexpected<TransferError> ServerFailure(const DbError& e) {
  if (e.kind == DbError::Kind::Unavailable || e.kind == DbError::Kind::OutcomeUnknown)
    return std::unexpected(
        TransferError{Kind::Failed, ServerUnavailableText(e), e.message, NeedsPassword(e) || PasswordRefused(e)});
  return Fail(Kind::Failed, kServerFailed + EngineFailureText(e.kind), e.message);
}

std::unexpected<TransferError> FileFailure(sqlite3* db, int rc) {
  const DbError e = EngineError(db, rc);
  return Fail(Kind::Failed, kFileFailed + EngineFailureText(e.kind), e.message);
}

// Rows between two calls of the progress callback.
constexpr qint64 kProgressRows = 4096;
// Bytes of COPY data handed to libpq at once.
constexpr std::size_t kCopyChunk = std::size_t(1) << 20;
// A downloaded file's pages kept in memory before any is written: a big shop's whole file.
constexpr int kKeptPages = (512 << 20) / kCipherPageSize;
const std::string kKeptCache = "-524288";  // the same in KiB, as a page cache's size
// The page cache's size while the file is written, in KiB: the engine sorts an index's
// keys in runs of this size, which stay in the processor's cache; written pages stay in
// memory regardless, up to kKeptPages.
const std::string kSortRunCache = "-4096";

std::string Quoted(const char* name) { return std::string("\"") + name + "\""; }

std::string ColumnList(const Table& t) {
  std::string list;
  for (const schema::Column& c : t.columns) {
    if (!list.empty()) list += ", ";
    list += Quoted(c.name);
  }
  return list;
}

bool HasId(const Table& t) { return schema::FindColumn(t, "ID") != nullptr; }

// What is compared between the two sides: a table's rows, and per money column the sum
// and the sum of magnitudes (the latter bounds the rounding two engines may differ by).
struct Figures {
  qint64 rows = 0;
  std::vector<double> sums;
  std::vector<double> magnitudes;
};

std::string FiguresSql(const Table& t, bool server) {
  std::string sql = "SELECT count(*)";
  for (const schema::Column& c : t.columns) {
    if (c.type != ColumnType::Double) continue;
    const std::string q = Quoted(c.name);
    sql += server ? ", coalesce(sum(" + q + "), 0), coalesce(sum(abs(" + q + ")), 0)"
                  : ", total(" + q + "), total(abs(" + q + "))";
  }
  return sql + " FROM " + Quoted(t.name);
}

double ParseDouble(const char* text) {
  if (!text) return 0;
  double v = 0;
  std::from_chars(text, text + std::strlen(text), v);
  return v;
}

std::expected<Figures, DbError> FileFigures(sqlite3* db, const Table& t) {
  const std::string sql = FiguresSql(t, false);
  sqlite3_stmt* st = nullptr;
  int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
  Figures f;
  if (rc == SQLITE_OK && (rc = sqlite3_step(st)) == SQLITE_ROW) {
    f.rows = sqlite3_column_int64(st, 0);
    for (int i = 1; i + 1 < sqlite3_column_count(st); i += 2) {
      f.sums.push_back(sqlite3_column_double(st, i));
      f.magnitudes.push_back(sqlite3_column_double(st, i + 1));
    }
    rc = SQLITE_OK;
  }
  sqlite3_finalize(st);
  if (rc != SQLITE_OK) return std::unexpected(EngineError(db, rc));
  return f;
}

std::expected<Figures, DbError> ServerFigures(PgConnection& c, const Table& t) {
  const std::string sql = FiguresSql(t, true);
  PGresult* r = PQexec(c.conn, sql.c_str());
  if (PQresultStatus(r) != PGRES_TUPLES_OK) {
    DbError e = ServerError(c, r);
    PQclear(r);
    return std::unexpected(e);
  }
  Figures f;
  f.rows = std::atoll(PQgetvalue(r, 0, 0));
  for (int i = 1; i + 1 < PQnfields(r); i += 2) {
    f.sums.push_back(ParseDouble(PQgetvalue(r, 0, i)));
    f.magnitudes.push_back(ParseDouble(PQgetvalue(r, 0, i + 1)));
  }
  PQclear(r);
  return f;
}

// Whether two sums of the same values, added in different orders, agree: each addition
// may round by half an ulp of the running magnitude, and no more.
bool SameSum(double a, double b, double magnitude, qint64 rows) {
  const double bound = static_cast<double>(rows + 2) * 2.3e-16 * magnitude + 1e-6;
  return std::fabs(a - b) <= bound;
}

// The first difference between the two sides, in words; empty when they agree.
QString Difference(const Table& t, const Figures& source, const Figures& copy, const QString& source_name,
                   const QString& copy_name) {
  const QString table = QString::fromUtf8(t.name);
  if (source.rows != copy.rows)
    return QStringLiteral("数据表 %1 的行数不同（%2 %3 行，%4 %5 行）")
        .arg(table, source_name)
        .arg(source.rows)
        .arg(copy_name)
        .arg(copy.rows);
  std::size_t k = 0;
  for (const schema::Column& c : t.columns) {
    if (c.type != ColumnType::Double) continue;
    if (k >= source.sums.size() || k >= copy.sums.size()) break;
    const double magnitude = std::max(source.magnitudes[k], copy.magnitudes[k]);
    if (!SameSum(source.sums[k], copy.sums[k], magnitude, source.rows))
      return QStringLiteral("数据表 %1 的「%2」合计不同（%3 %4，%5 %6）")
          .arg(table, QString::fromUtf8(c.name), source_name)
          .arg(source.sums[k], 0, 'g', 17)
          .arg(copy_name)
          .arg(copy.sums[k], 0, 'g', 17);
    ++k;
  }
  return {};
}

// ---- COPY text: one row a line, cells split by tabs, \N for NULL ----

void AppendEscaped(std::string& out, const unsigned char* text, int size) {
  for (int i = 0; i < size; ++i) {
    const char ch = static_cast<char>(text[i]);
    switch (ch) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += ch;
    }
  }
}

void AppendDouble(std::string& out, double v) {
  if (std::isnan(v)) {
    out += "NaN";
  } else if (std::isinf(v)) {
    out += v > 0 ? "Infinity" : "-Infinity";
  } else {
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
  }
}

// One cell of the file, as the server's COPY reads it. What a file stores in a column
// of the wrong kind goes as it is: the server refuses what its column cannot hold, and
// the whole copy with it.
void AppendFileCell(std::string& out, sqlite3_stmt* st, int i) {
  switch (sqlite3_column_type(st, i)) {
    case SQLITE_NULL:
      out += "\\N";
      break;
    case SQLITE_INTEGER: {
      char buf[24];
      const auto r = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(sqlite3_column_int64(st, i)));
      out.append(buf, r.ptr);
      break;
    }
    case SQLITE_FLOAT:
      AppendDouble(out, sqlite3_column_double(st, i));
      break;
    default:
      AppendEscaped(out, sqlite3_column_text(st, i), sqlite3_column_bytes(st, i));
  }
}

// One COPY line's cells, unescaped. A cell without escapes points into the line itself;
// the others into `unescaped`, which is reserved as long as the line so that it never
// moves. Valid while the line is.
struct CopyCell {
  const char* text = nullptr;  // nullptr: NULL
  int size = 0;
};
struct CopyCells {
  std::vector<CopyCell> cells;
  std::string unescaped;
};

// Unescapes the cell [begin, end), which holds at least one backslash, onto `out`.
void Unescape(const char* begin, const char* end, std::string& out) {
  for (const char* p = begin; p < end; ++p) {
    if (*p != '\\' || p + 1 >= end) {
      out += *p;
      continue;
    }
    const char next = *++p;
    switch (next) {
      case 'b':
        out += '\b';
        break;
      case 'f':
        out += '\f';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'v':
        out += '\v';
        break;
      case 'x': {
        int value = 0;
        for (int digits = 0; digits < 2 && p + 1 < end && std::isxdigit(static_cast<unsigned char>(p[1])); ++digits) {
          const char d = *++p;
          value = value * 16 + (d <= '9' ? d - '0' : (d | 0x20) - 'a' + 10);
        }
        out += static_cast<char>(value);
        break;
      }
      default:
        if (next >= '0' && next <= '7') {
          int value = next - '0';
          for (int digits = 1; digits < 3 && p + 1 < end && p[1] >= '0' && p[1] <= '7'; ++digits)
            value = value * 8 + (*++p - '0');
          out += static_cast<char>(value);
        } else {
          out += next;
        }
    }
  }
}

// Splits one COPY line into its cells. A NULL is the two characters \N alone in a cell.
void SplitCopyLine(const char* line, int size, CopyCells& out) {
  out.cells.clear();
  out.unescaped.clear();
  out.unescaped.reserve(static_cast<std::size_t>(size));
  if (size > 0 && line[size - 1] == '\n') --size;
  const char* const end = line + size;
  const char* begin = line;
  for (;;) {
    const auto* tab = static_cast<const char*>(std::memchr(begin, '\t', static_cast<std::size_t>(end - begin)));
    const char* const cell_end = tab ? tab : end;
    const auto length = static_cast<std::size_t>(cell_end - begin);
    if (length == 2 && begin[0] == '\\' && begin[1] == 'N') {
      out.cells.push_back({});
    } else if (!std::memchr(begin, '\\', length)) {
      out.cells.push_back({begin, static_cast<int>(length)});
    } else {
      const std::size_t from = out.unescaped.size();
      Unescape(begin, cell_end, out.unescaped);
      out.cells.push_back({out.unescaped.data() + from, static_cast<int>(out.unescaped.size() - from)});
    }
    if (!tab) break;
    begin = tab + 1;
  }
}

// Binds one cell read from the server to the file's statement, as the column stores it.
// The text is not copied: it must stay until the statement has run.
int BindServerCell(sqlite3_stmt* st, int index, ColumnType type, const CopyCell& cell) {
  if (!cell.text) return sqlite3_bind_null(st, index);
  const std::string_view v(cell.text, static_cast<std::size_t>(cell.size));
  const char* end = v.data() + v.size();
  switch (type) {
    case ColumnType::AutoId:
    case ColumnType::Long: {
      long long n = 0;
      const auto r = std::from_chars(v.data(), end, n);
      if (r.ec == std::errc() && r.ptr == end) return sqlite3_bind_int64(st, index, n);
      break;
    }
    case ColumnType::Double: {
      double d = 0;
      const auto r = std::from_chars(v.data(), end, d);
      if (r.ec == std::errc() && r.ptr == end) return sqlite3_bind_double(st, index, d);
      if (v == "Infinity") return sqlite3_bind_double(st, index, HUGE_VAL);
      if (v == "-Infinity") return sqlite3_bind_double(st, index, -HUGE_VAL);
      break;
    }
    default:
      break;
  }
  return sqlite3_bind_text(st, index, v.data(), cell.size, SQLITE_STATIC);
}

// ---- The server's side ----

std::expected<qint64, DbError> ServerCount(PgConnection& c, const char* sql) {
  auto row = ServerRow(c, sql);
  if (!row) return std::unexpected(row.error());
  return row->value(0).toLongLong();
}

// Ends a COPY FROM STDIN: `error` set aborts it. The error of the copy, if any.
std::expected<void, DbError> EndCopyIn(PgConnection& c, const char* error) {
  if (PQputCopyEnd(c.conn, error) != 1) return std::unexpected(ServerError(c, nullptr));
  std::optional<DbError> failure;
  while (PGresult* r = PQgetResult(c.conn)) {
    if (PQresultStatus(r) != PGRES_COMMAND_OK && !failure) failure = ServerError(c, r);
    PQclear(r);
  }
  if (failure) return std::unexpected(*failure);
  return {};
}

// The indexes of our schema that no constraint owns: the statements that drop them all
// and make them again as they are.
struct IndexScripts {
  std::string drop, create;
};
std::expected<IndexScripts, DbError> ServerIndexes(PgConnection& c, const std::vector<const Table*>& tables) {
  // Our table names are fixed identifiers of the schema, never typed by anyone.
  std::string names = std::string("'") + schema::kDailyTotalsTable + "'";
  for (const Table* t : tables) names += std::string(", '") + t->name + "'";
  const std::string sql =
      "SELECT quote_ident(n.nspname) || '.' || quote_ident(x.relname), pg_get_indexdef(i.indexrelid) "
      "FROM pg_catalog.pg_index i JOIN pg_catalog.pg_class x ON x.oid = i.indexrelid "
      "JOIN pg_catalog.pg_class t ON t.oid = i.indrelid "
      "JOIN pg_catalog.pg_namespace n ON n.oid = x.relnamespace "
      "WHERE n.nspname = current_schema() AND t.relname IN (" +
      names + ") AND NOT EXISTS (SELECT 1 FROM pg_catalog.pg_constraint k WHERE k.conindid = i.indexrelid)";
  PGresult* r = PQexec(c.conn, sql.c_str());
  if (PQresultStatus(r) != PGRES_TUPLES_OK) {
    DbError e = ServerError(c, r);
    PQclear(r);
    return std::unexpected(e);
  }
  IndexScripts scripts;
  for (int i = 0; i < PQntuples(r); ++i) {
    scripts.drop += std::string("DROP INDEX ") + PQgetvalue(r, i, 0) + ";\n";
    scripts.create += std::string(PQgetvalue(r, i, 1)) + ";\n";
  }
  PQclear(r);
  return scripts;
}

// The per-day totals rebuilt from the sales, as the server's triggers keep them.
constexpr const char* kServerDailyTotalsFill =
    "INSERT INTO \"sell_day\" SELECT substr(\"销售日期\", 1, 10), coalesce(sum(\"销售金额\"), 0), "
    "coalesce(sum(\"净利润\"), 0), max(\"销售金额\"), max(\"净利润\"), count(*) FROM \"sell\" "
    "WHERE \"销售日期\" IS NOT NULL GROUP BY substr(\"销售日期\", 1, 10)";

// Opens a file of ours for reading, of either page size (an older file's is converted
// only when it becomes data.db); one read transaction pins its snapshot.
bool OpenSource(KeyedFile& source, const QString& file) {
  for (int page_size : {kCipherPageSize, kLegacyCipherPageSize}) {
    if (!source.Open(file, page_size)) continue;
    if (source.Exec("BEGIN") && source.Value("select count(*) from sqlite_master")) return true;
    source.Close();
  }
  return false;
}

bool IsEmptyShop(const ServerShopSize& size) { return size == ServerShopSize{}; }

}  // namespace

std::expected<std::optional<ServerShopSize>, DbError> ServerShopSizeOf(PgConnection& c) {
  auto present = ShopTablesPresent(c);
  if (!present) return std::unexpected(present.error());
  if (!*present) return std::nullopt;
  // A database an older program made lacks the later tables until a program connects
  // to it as a till; a look at it (the set-up window's) counts them as empty.
  auto tables = ServerRow(c, "SELECT string_agg(tablename, ',') FROM pg_tables WHERE schemaname = current_schema()");
  if (!tables) return std::unexpected(tables.error());
  const QStringList there = tables->value(0).split(QLatin1Char(','));
  ServerShopSize size;
  for (const Table* t : schema::StoredTables()) {
    if (!there.contains(QString::fromUtf8(t->name))) continue;
    auto rows = ServerCount(c, ("SELECT count(*) FROM " + Quoted(t->name)).c_str());
    if (!rows) return std::unexpected(rows.error());
    const std::string_view name = t->name;
    if (name == "buy")
      size.goods = *rows;
    else if (name == "sell")
      size.sales = *rows;
    else if (name == "UserName")
      size.other += std::max<qint64>(*rows - 1, 0);  // every shop has the super-administrator's row
    else if (name == "other" || name == "bank" || name == "repayment")
      size.other += *rows;
    else
      size.history += *rows;
  }
  return size;
}

std::expected<void, TransferError> CopyFileToServer(const QString& file, const ServerAddress& server,
                                                    const ReplaceServerShop& replace,
                                                    const TransferProgress& progress) {
  KeyedFile source;
  if (!OpenSource(source, file))
    return Fail(Kind::Refused, QStringLiteral("本机数据文件无法读取，或者不是本程序的数据库"));
  sqlite3* const db = source.Handle();
  const std::vector<const Table*> tables = schema::StoredTables();
  std::vector<Figures> source_figures;
  qint64 total = 0;
  for (const Table* t : tables) {
    auto f = FileFigures(db, *t);
    if (!f) return Fail(Kind::Refused, QStringLiteral("本机数据文件中缺少数据表 %1").arg(t->name), f.error().message);
    total += f->rows;
    source_figures.push_back(*f);
  }
  // The last ID each table has given, deleted rows' too: the server goes on past it, so
  // a new row never takes the ID (and with it the movements or returns) of a deleted one.
  std::map<std::string, qint64> given;
  {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT name, seq FROM sqlite_sequence", -1, &st, nullptr) == SQLITE_OK)
      while (sqlite3_step(st) == SQLITE_ROW)
        given[reinterpret_cast<const char*>(sqlite3_column_text(st, 0))] = sqlite3_column_int64(st, 1);
    sqlite3_finalize(st);
  }
  if (progress && !progress(0, total)) return Fail(Kind::Cancelled, QString());

  auto connected = ConnectServer(server, MissingTables::Leave);
  if (!connected) return ServerFailure(connected.error());
  PgConnection& c = **connected;
  // Asked before the lock: other tills starting meanwhile are not kept waiting while
  // the question is read.
  std::optional<ServerShopSize> agreed;
  auto size = ServerShopSizeOf(c);
  if (!size) return ServerFailure(size.error());
  if (*size && !IsEmptyShop(**size)) {
    if (!replace || !replace(**size)) return Fail(Kind::Cancelled, QString());
    agreed = **size;
  }
  auto fail = [&](const DbError& e) {
    (void)ServerExec(c, "ROLLBACK");
    return ServerFailure(e);
  };
  // A million rows take longer than a till's statement may; another till's open sale
  // is waited for a while, not failed at once.
  if (auto r = ServerExec(c, "BEGIN; SET LOCAL statement_timeout = 0; SET LOCAL lock_timeout = '30s'"); !r)
    return ServerFailure(r.error());
  if (auto r = ServerExec(c, kSchemaLockSql); !r) return fail(r.error());
  size = ServerShopSizeOf(c);
  if (!size) return fail(size.error());
  if (!*size) {
    if (auto r = ServerExec(c, schema::ServerCreateSql().c_str()); !r) return fail(r.error());
  } else if (!IsEmptyShop(**size) && **size != agreed && (!replace || !replace(**size))) {
    (void)ServerExec(c, "ROLLBACK");
    return Fail(Kind::Cancelled, QString());
  }
  // Every other till waits at these tables until the end: it sees the old shop or the
  // new one. The per-day totals are filled once at the end, not row by row.
  std::string clear = "TRUNCATE ";
  for (const Table* t : tables) clear += Quoted(t->name) + ", ";
  clear += Quoted(schema::kDailyTotalsTable);
  clear += "; ALTER TABLE \"sell\" DISABLE TRIGGER USER";
  if (auto r = ServerExec(c, clear.c_str()); !r) return fail(r.error());
  // The indexes are built again after the rows, each in one pass: kept row by row, the
  // search indexes alone cost several times the copy.
  auto indexes = ServerIndexes(c, tables);
  if (!indexes) return fail(indexes.error());
  if (!indexes->drop.empty())
    if (auto r = ServerExec(c, indexes->drop.c_str()); !r) return fail(r.error());

  qint64 done = 0;
  std::string buffer;
  buffer.reserve(kCopyChunk + 4096);
  for (const Table* t : tables) {
    const std::string columns = ColumnList(*t);
    const std::string copy = "COPY " + Quoted(t->name) + " (" + columns + ") FROM STDIN";
    PGresult* started = PQexec(c.conn, copy.c_str());
    if (PQresultStatus(started) != PGRES_COPY_IN) {
      DbError e = ServerError(c, started);
      PQclear(started);
      return fail(e);
    }
    PQclear(started);
    const std::string select = "SELECT " + columns + " FROM " + Quoted(t->name) + (HasId(*t) ? " ORDER BY \"ID\"" : "");
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db, select.c_str(), -1, &st, nullptr);
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> guard(st, sqlite3_finalize);
    if (rc != SQLITE_OK) {
      (void)EndCopyIn(c, "source failed");
      (void)ServerExec(c, "ROLLBACK");
      return FileFailure(db, rc);
    }
    const int n = sqlite3_column_count(st);
    bool cancelled = false;
    bool sent = true;
    buffer.clear();
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
      for (int i = 0; i < n; ++i) {
        if (i) buffer += '\t';
        AppendFileCell(buffer, st, i);
      }
      buffer += '\n';
      if (buffer.size() >= kCopyChunk) {
        if (PQputCopyData(c.conn, buffer.data(), static_cast<int>(buffer.size())) != 1) {
          sent = false;
          break;
        }
        buffer.clear();
      }
      if (++done % kProgressRows == 0 && progress && !progress(done, total)) {
        cancelled = true;
        break;
      }
    }
    if (!sent) return fail(ServerError(c, nullptr));
    if (cancelled || (rc != SQLITE_DONE && rc != SQLITE_ROW)) {
      (void)EndCopyIn(c, cancelled ? "cancelled" : "source failed");
      (void)ServerExec(c, "ROLLBACK");
      if (cancelled) return Fail(Kind::Cancelled, QString());
      return FileFailure(db, rc);
    }
    if (!buffer.empty() && PQputCopyData(c.conn, buffer.data(), static_cast<int>(buffer.size())) != 1)
      return fail(ServerError(c, nullptr));
    if (auto r = EndCopyIn(c, nullptr); !r) return fail(r.error());
    if (progress && !progress(done, total)) {
      (void)ServerExec(c, "ROLLBACK");
      return Fail(Kind::Cancelled, QString());
    }
  }

  std::string finish = "SET LOCAL maintenance_work_mem = '256MB';\n" + indexes->create;
  finish += "ALTER TABLE \"sell\" ENABLE TRIGGER USER;\n";
  finish += kServerDailyTotalsFill;
  finish += ";\n";
  // An insert that sets "ID" itself does not move the table's sequence.
  for (const Table* t : tables)
    if (HasId(*t)) {
      const auto last = given.find(t->name);
      finish +=
          "SELECT setval(pg_get_serial_sequence('" + Quoted(t->name) + "', 'ID'), greatest(coalesce(max(\"ID\"), 0), " +
          std::to_string(last == given.end() ? 0 : last->second) + ") + 1, false) FROM " + Quoted(t->name) + ";\n";
    }
  if (auto r = ServerExec(c, finish.c_str()); !r) return fail(r.error());

  for (std::size_t i = 0; i < tables.size(); ++i) {
    auto copied = ServerFigures(c, *tables[i]);
    if (!copied) return fail(copied.error());
    const QString difference =
        Difference(*tables[i], source_figures[i], *copied, QStringLiteral("本机"), QStringLiteral("服务器"));
    if (!difference.isEmpty()) {
      (void)ServerExec(c, "ROLLBACK");
      return Fail(Kind::Mismatch, QStringLiteral("上传后核对不一致，服务器上的数据未作改动：") + difference);
    }
  }
  // Every till refills every page once this commits.
  for (const Table* t : tables) NoteWritten(c, t->name);
  NoteWritten(c, schema::kDailyTotalsTable);
  if (auto r = ServerCommit(c); !r) return ServerFailure(r.error());
  if (progress) progress(total, total);
  return {};
}

std::expected<void, TransferError> CopyServerToFile(const ServerAddress& server, const QString& file,
                                                    const TransferProgress& progress) {
  if (auto written = WriteTemplateFile(file); written != TemplateWrite::Written)
    return Fail(Kind::Failed, TemplateWriteFailureText(written));
  // Opened once as the program opens data.db: the template gets every later table.
  {
    Database upgraded(file);
    if (auto r = upgraded.Open(); !r)
      return Fail(Kind::Failed, kFileFailed + EngineFailureText(r.error().kind), r.error().message);
  }
  // Then written through the way of opening that keeps the engine's temporary files in
  // memory: the indexes are sorted the engine's faster way, in runs on two threads, and
  // still no decrypted row reaches the disk. Without it, everything stays in memory the
  // slower way.
  const char* const memory_temp = MemoryTempVfsName();
  sqlite3* db = nullptr;
  const QByteArray path = file.toUtf8();
  const int open_rc = sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, memory_temp);
  const std::unique_ptr<sqlite3, int (*)(sqlite3*)> closing(db, sqlite3_close_v2);
  if (open_rc != SQLITE_OK) return FileFailure(db, open_rc);
  if (!KeyConnection(db)) return FileFailure(db, SQLITE_ERROR);
  // The file is new and is thrown away on any failure: no journal to keep it whole.
  // Written pages stay in memory (up to kKeptPages), so the rows are not written and
  // read back while the indexes are built after them (each index reads the whole table).
  const std::string pragmas = "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA threads=2; PRAGMA cache_spill=" +
                              std::to_string(kKeptPages) +
                              (memory_temp ? "; PRAGMA temp_store=FILE; PRAGMA cache_size=" + kSortRunCache
                                           : "; PRAGMA temp_store=MEMORY; PRAGMA cache_size=" + kKeptCache);
  if (int rc = sqlite3_exec(db, pragmas.c_str(), nullptr, nullptr, nullptr); rc != SQLITE_OK)
    return FileFailure(db, rc);

  auto connected = ConnectServer(server, MissingTables::Leave);
  if (!connected) return ServerFailure(connected.error());
  PgConnection& c = **connected;
  // One snapshot for every table; other tills' sales after it are not in the copy.
  if (auto r = ServerExec(c, "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY; SET LOCAL statement_timeout = 0"); !r)
    return ServerFailure(r.error());
  auto end_read = [&] { (void)ServerExec(c, "ROLLBACK"); };
  auto present = ShopTablesPresent(c);
  if (!present) {
    end_read();
    return ServerFailure(present.error());
  }
  if (!*present) {
    end_read();
    return Fail(Kind::Refused, QStringLiteral("服务器上的数据库中没有本程序的数据"));
  }
  const std::vector<const Table*> tables = schema::StoredTables();
  std::vector<Figures> source_figures;
  qint64 total = 0;
  for (const Table* t : tables) {
    auto f = ServerFigures(c, *t);
    if (!f) {
      end_read();
      return ServerFailure(f.error());
    }
    total += f->rows;
    source_figures.push_back(*f);
  }
  if (progress && !progress(0, total)) {
    end_read();
    return Fail(Kind::Cancelled, QString());
  }

  // The file's indexes are made again after the rows, and the per-day totals from them:
  // both cost a fraction of keeping them row by row.
  std::string prepare =
      "BEGIN;\n"
      "DROP TRIGGER IF EXISTS sell_day_insert;\n"
      "DROP TRIGGER IF EXISTS sell_day_delete;\n"
      "DROP TRIGGER IF EXISTS sell_day_update;\n"
      "DELETE FROM sqlite_sequence;\n";
  for (const Table* t : tables) prepare += "DELETE FROM " + Quoted(t->name) + ";\n";
  if (int rc = sqlite3_exec(db, prepare.c_str(), nullptr, nullptr, nullptr); rc != SQLITE_OK) {
    end_read();
    return FileFailure(db, rc);
  }
  std::vector<std::string> indexes;
  {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT name, sql FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL", -1, &st,
                       nullptr);
    std::vector<std::string> names;
    while (st && sqlite3_step(st) == SQLITE_ROW) {
      names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
      indexes.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
    }
    sqlite3_finalize(st);
    std::string drop;
    for (const std::string& name : names) drop += "DROP INDEX \"" + name + "\";\n";
    if (int rc = sqlite3_exec(db, drop.c_str(), nullptr, nullptr, nullptr); rc != SQLITE_OK) {
      end_read();
      return FileFailure(db, rc);
    }
  }

  qint64 done = 0;
  CopyCells cells;
  for (const Table* t : tables) {
    const std::string columns = ColumnList(*t);
    std::string marks;
    for (std::size_t i = 0; i < t->columns.size(); ++i) marks += i ? ", ?" : "?";
    const std::string insert = "INSERT INTO " + Quoted(t->name) + " (" + columns + ") VALUES (" + marks + ")";
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db, insert.c_str(), -1, &st, nullptr);
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> guard(st, sqlite3_finalize);
    if (rc != SQLITE_OK) {
      end_read();
      return FileFailure(db, rc);
    }
    const std::string copy =
        "COPY (SELECT " + columns + " FROM " + Quoted(t->name) + (HasId(*t) ? " ORDER BY \"ID\"" : "") + ") TO STDOUT";
    PGresult* started = PQexec(c.conn, copy.c_str());
    if (PQresultStatus(started) != PGRES_COPY_OUT) {
      DbError e = ServerError(c, started);
      PQclear(started);
      end_read();
      return ServerFailure(e);
    }
    PQclear(started);
    std::optional<std::unexpected<TransferError>> failure;
    for (;;) {
      char* line = nullptr;
      const int size = PQgetCopyData(c.conn, &line, 0);
      if (size < 0) break;  // -1: done (its result follows), -2: failed
      SplitCopyLine(line, size, cells);
      if (cells.cells.size() != t->columns.size()) {
        failure = Fail(Kind::Failed, kServerFailed + QStringLiteral("读到的数据格式不对"));
      } else {
        for (std::size_t i = 0; i < cells.cells.size() && rc == SQLITE_OK; ++i)
          rc = BindServerCell(st, static_cast<int>(i) + 1, t->columns[i].type, cells.cells[i]);
        if (rc == SQLITE_OK) rc = sqlite3_step(st);
        if (rc == SQLITE_DONE) rc = SQLITE_OK;
        sqlite3_reset(st);
        if (rc != SQLITE_OK) failure = FileFailure(db, rc);
        if (!failure && ++done % kProgressRows == 0 && progress && !progress(done, total))
          failure = Fail(Kind::Cancelled, QString());
      }
      PQfreemem(line);
      // The rest of the table is not waited for: the connection, left in the middle of
      // its copy, is closed on the way out and the server drops the read.
      if (failure) return *failure;
    }
    std::optional<DbError> server_failure;
    while (PGresult* r = PQgetResult(c.conn)) {
      if (PQresultStatus(r) != PGRES_COMMAND_OK && !server_failure) server_failure = ServerError(c, r);
      PQclear(r);
    }
    if (server_failure) {
      end_read();
      return ServerFailure(*server_failure);
    }
  }

  std::string finish;
  for (const std::string& index : indexes) finish += index + ";\n";
  finish += schema::RebuildDailyTotalsSql();
  // The file goes on where the server's sequence is, past deleted rows' IDs as well.
  for (const Table* t : tables) {
    if (!HasId(*t)) continue;
    const std::string name = Quoted(t->name);
    auto sequence = ServerRow(c, ("SELECT pg_get_serial_sequence('" + name + "', 'ID')").c_str());
    if (!sequence) {
      end_read();
      return ServerFailure(sequence.error());
    }
    auto state = ServerRow(c, ("SELECT last_value, is_called FROM " + sequence->value(0).toStdString()).c_str());
    if (!state) {
      end_read();
      return ServerFailure(state.error());
    }
    // Not yet called, the sequence's value is the next ID it gives.
    const qint64 last = state->at(0).toLongLong() - (state->at(1) == QStringLiteral("t") ? 0 : 1);
    finish += "DELETE FROM sqlite_sequence WHERE name = '" + std::string(t->name) + "';\n";
    finish += "INSERT INTO sqlite_sequence (name, seq) SELECT '" + std::string(t->name) + "', max(" +
              std::to_string(last) + ", coalesce(max(\"ID\"), 0)) FROM " + name + ";\n";
  }
  // The copy's figures are read back from the pages still in memory.
  finish += "PRAGMA cache_size=" + kKeptCache + ";\nCOMMIT;\n";
  if (int rc = sqlite3_exec(db, finish.c_str(), nullptr, nullptr, nullptr); rc != SQLITE_OK) {
    end_read();
    return FileFailure(db, rc);
  }
  for (std::size_t i = 0; i < tables.size(); ++i) {
    auto copied = FileFigures(db, *tables[i]);
    if (!copied) {
      end_read();
      return FileFailure(db, copied.error().engine_code);
    }
    const QString difference =
        Difference(*tables[i], source_figures[i], *copied, QStringLiteral("服务器"), QStringLiteral("本机"));
    if (!difference.isEmpty()) {
      end_read();
      return Fail(Kind::Mismatch, QStringLiteral("下载后核对不一致：") + difference);
    }
  }
  end_read();
  if (progress) progress(total, total);
  return {};
}

}  // namespace hemulu
