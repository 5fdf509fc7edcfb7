// hemulu-bench on the database server: the same generated shop loaded into a new
// database of the cluster named by HEMULU_PG_HOST, HEMULU_PG_PORT and HEMULU_PG_USER
// (scripts/with-pg-cluster sets them), and the stock fill, sales fill, sales search and
// sale commit timed there as on the file. Without a cluster the cases say so and skip.

#include <libpq-fe.h>
#include <unistd.h>

#include <QApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "SalesSearchTiming.h"
#include "SharedTimings.h"
#include "admin/MaintenanceLogic.h"
#include "data/EmbeddedFiles.h"
#include "lists/ColumnShares.h"
#include "lists/Grid.h"
#include "lists/GridKeyedFill.h"
#include "sales/SalesLogic.h"
#include "sales/SalesPage.h"
#include "stock/PurchaseRecordsView.h"
#include "stock/StockList.h"
#include "stock/StockPage.h"

namespace hemulu::bench {
namespace {

// Rows per insert statement: a few thousand values each, far under the server's limit
// of 65,535 parameters, and few round trips.
constexpr int kRowsPerInsert = 1000;

// One statement on the cluster's maintenance database; the server's words on failure.
QString RunMaintenance(const ServerAddress& cluster, const QByteArray& sql) {
  const QByteArray host = cluster.host.toUtf8(), port = QByteArray::number(cluster.port), user = cluster.user.toUtf8();
  const char* keys[] = {"host", "port", "user", "dbname", "connect_timeout", nullptr};
  const char* values[] = {
      host.constData(), port.constData(), user.isEmpty() ? nullptr : user.constData(), "postgres", "10", nullptr};
  PGconn* conn = PQconnectdbParams(keys, values, 0);
  QString error;
  if (PQstatus(conn) != CONNECTION_OK) {
    error = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
  } else {
    PGresult* r = PQexec(conn, sql.constData());
    if (PQresultStatus(r) != PGRES_COMMAND_OK) error = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
    PQclear(r);
  }
  PQfinish(conn);
  return error;
}

// The shop on the server: a database of its own, dropped when the bench ends.
class ServerShop {
 public:
  explicit ServerShop(ServerAddress cluster) : cluster_(std::move(cluster)) {
    address_ = cluster_;
    address_.database = QStringLiteral("hemulu_bench_%1").arg(::getpid());
    if (const QString e = RunMaintenance(cluster_, "CREATE DATABASE \"" + address_.database.toUtf8() + "\"");
        !e.isEmpty())
      Fail("create the server database", e);
    created_ = true;
    if (!WriteWorkingFiles(dir_.path(), dir_.path())) std::exit(1);
    ctx_ = std::make_unique<AppContext>(dir_.path(), address_, prompter_, clock_, notifier_);
    ctx_->session.SetUser(kSuperAdministrator, QString());
    if (auto r = ctx_->EnsureDatabaseOpen(); !r) Fail("open the server database", r.error());
  }
  ~ServerShop() {
    ctx_.reset();
    if (created_)
      RunMaintenance(cluster_, "DROP DATABASE IF EXISTS \"" + address_.database.toUtf8() + "\" WITH (FORCE)");
  }
  AppContext& ctx() { return *ctx_; }
  Database& db() { return ctx_->db; }

  // The file shop's goods, and its sales, copied here row for row (IDs kept).
  void EnsureGoods(BenchShop& file) {
    if (goods_) return;
    file.EnsureGoods();
    CopyTable(file, "buy", false);
    goods_ = true;
  }
  void EnsureSales(BenchShop& file) {
    if (sales_) return;
    EnsureGoods(file);
    file.EnsureSales();
    CopyTable(file, "sell", true);
    sales_ = true;
  }

 private:
  void Exec(const char* what, const std::string& sql) {
    if (auto r = db().ExecScript(sql.c_str()); !r) Fail(what, r.error());
  }

  // Multi-row inserts in one transaction, then the table's next ID past the copied ones
  // and fresh statistics. The sales go in without the per-day trigger, whose row-by-row
  // work is done once at the end in one statement, as the trigger would have left it.
  void CopyTable(BenchShop& file, const char* table, bool daily_totals) {
    QElapsedTimer t;
    t.start();
    auto read = file.db().Prepare(std::string("select * from ") + table + " order by ID");
    if (!read) Fail("read the file's rows", read.error());
    const int columns = read->ColumnCount();
    std::string names;
    {
      // The column names as the file's result has them.
      auto info = file.db().Prepare(std::string("PRAGMA table_info(") + table + ")");
      if (!info) Fail("columns", info.error());
      while (info->Step().value_or(false))
        names += (names.empty() ? "\"" : ",\"") + info->Text("name").toStdString() + "\"";
    }
    auto insert_for = [&](int rows) {
      std::string sql = std::string("insert into \"") + table + "\" (" + names + ") values ";
      std::string row = "(";
      for (int c = 0; c < columns; ++c) row += c ? ",?" : "?";
      row += ")";
      for (int r = 0; r < rows; ++r) (sql += r ? "," : "") += row;
      return sql;
    };
    if (daily_totals) Exec("trigger off", "ALTER TABLE \"sell\" DISABLE TRIGGER \"sell_day_insert\"");
    auto tx = Transaction::Begin(db());
    if (!tx) Fail("begin", tx.error());
    auto full = db().Prepare(insert_for(kRowsPerInsert));
    if (!full) Fail("prepare insert", full.error());
    std::vector<QVariant> batch;
    batch.reserve(static_cast<std::size_t>(kRowsPerInsert * columns));
    auto flush = [&](Statement& st) {
      for (std::size_t i = 0; i < batch.size(); ++i) st.Bind(static_cast<int>(i) + 1, batch[i]);
      if (auto r = st.Run(); !r) Fail("insert", r.error());
      st.Reset();
      batch.clear();
    };
    int rows = 0;
    for (;;) {
      auto step = read->Step();
      if (!step) Fail("read", step.error());
      if (!*step) break;
      for (int c = 0; c < columns; ++c) {
        switch (read->CellStored(c)) {
          case Statement::Stored::Null:
            batch.emplace_back();
            break;
          case Statement::Stored::Integer:
            batch.emplace_back(read->Int(c));
            break;
          case Statement::Stored::Real:
            batch.emplace_back(read->Double(c));
            break;
          default:
            batch.emplace_back(read->Text(c));
            break;
        }
      }
      if (++rows % kRowsPerInsert == 0) flush(*full);
    }
    if (!batch.empty()) {
      auto rest = db().Prepare(insert_for(static_cast<int>(batch.size()) / columns));
      if (!rest) Fail("prepare insert", rest.error());
      flush(*rest);
    }
    if (daily_totals)
      Exec("daily totals",
           "DELETE FROM \"sell_day\"; INSERT INTO \"sell_day\" SELECT substr(\"销售日期\", 1, 10), "
           "coalesce(sum(\"销售金额\"), 0), coalesce(sum(\"净利润\"), 0), max(\"销售金额\"), max(\"净利润\"), "
           "count(*) FROM \"sell\" WHERE \"销售日期\" IS NOT NULL GROUP BY 1");
    Exec("next ID", std::string("SELECT setval(pg_get_serial_sequence('\"") + table +
                        "\"', 'ID'), coalesce(max(\"ID\"), 0) + 1, false) FROM \"" + table + "\"");
    if (auto r = tx->Commit(); !r) Fail("commit", r.error());
    if (daily_totals) Exec("trigger on", "ALTER TABLE \"sell\" ENABLE TRIGGER \"sell_day_insert\"");
    // What the server's autovacuum does to a loaded table soon after: statistics, and the
    // visibility map that lets a list's keys come from an index alone.
    Exec("vacuum", std::string("VACUUM ANALYZE \"") + table + "\"");
    if (daily_totals) Exec("vacuum", "VACUUM ANALYZE \"sell_day\"");
    std::printf("# loaded %d %s rows into the server in %lld ms\n", rows, table, static_cast<long long>(t.elapsed()));
    std::fflush(stdout);
  }

  ServerAddress cluster_, address_;
  bool created_ = false;
  QTemporaryDir dir_;
  SilentPrompter prompter_;
  SystemClock clock_;
  SilentNotifier notifier_;
  std::unique_ptr<AppContext> ctx_;
  bool goods_ = false, sales_ = false;
};

// The server shop of this run, made by the first case that wants it; null (and the
// reason printed once) without a cluster.
ServerShop* Server() {
  static std::unique_ptr<ServerShop> shop;
  static bool tried = false;
  if (!tried) {
    tried = true;
    const QString host = qEnvironmentVariable("HEMULU_PG_HOST");
    if (host.isEmpty()) {
      std::printf(
          "# server cases skipped: HEMULU_PG_HOST is not set (run under scripts/with-pg-cluster, which sets "
          "HEMULU_PG_HOST, HEMULU_PG_PORT and HEMULU_PG_USER)\n");
    } else {
      ServerAddress cluster;
      cluster.host = host;
      cluster.port = qEnvironmentVariableIntValue("HEMULU_PG_PORT");
      if (cluster.port == 0) cluster.port = 5432;
      cluster.user = qEnvironmentVariable("HEMULU_PG_USER");
      shop = std::make_unique<ServerShop>(cluster);
    }
  }
  return shop.get();
}

// Reads every row and cell of the query on the server as the lists read them.
double ServerBareRead(Database& db, const char* sql, const QList<QVariant>& values = {}) {
  QElapsedTimer t;
  t.start();
  auto st = db.Prepare(sql);
  if (!st) Fail("prepare bare read", st.error());
  for (int i = 0; i < values.size(); ++i) st->Bind(i + 1, values[i]);
  st->ReadInPieces();  // as the lists read
  double checksum = 0;
  std::size_t chars = 0;
  bool first = true;
  int columns = 0;
  for (;;) {
    auto row = st->Step();
    if (!row) Fail("bare read", row.error());
    if (!*row) break;
    if (first) columns = st->ColumnCount(), first = false;
    for (int c = 0; c < columns; ++c) {
      const Statement::Stored s = st->CellStored(c);
      if (s == Statement::Stored::Integer || s == Statement::Stored::Real)
        checksum += st->CellDouble(c);
      else
        chars += st->CellBytes(c).size();
    }
  }
  const double ms = t.nsecsElapsed() / 1e6;
  if (checksum == -1 && chars == 1) std::puts("");  // keeps the reads
  return ms;
}

void PgStockFill100k(BenchShop& file) {
  ServerShop* server = Server();
  if (!server) return;
  server->EnsureGoods(file);
  AppContext& ctx = server->ctx();
  StockGridWindow stock;
  std::vector<double> base, fills;
  for (int i = 0; i < 5; ++i) {
    base.push_back(ServerBareRead(ctx.db, "select * from buy"));
    fills.push_back(TimeStockFill(ctx, *stock.grid));
  }
  PrintCase("pg_stock_fill_100k", Median(fills), Median(base));
}
HEMULU_BENCH_CASE(900, "pg_stock_fill_100k", PgStockFill100k);

void PgSalesFill1m(BenchShop& file) {
  ServerShop* server = Server();
  if (!server) return;
  server->EnsureSales(file);
  AppContext& ctx = server->ctx();
  QWidget window;
  window.resize(1280, 720);
  QElapsedTimer t;
  t.start();
  auto* page = new SalesPage(ctx, nullptr, &window);
  page->setGeometry(window.rect());
  window.show();
  QCoreApplication::processEvents();
  Grid& grid = *page->SalesGrid();
  grid.repaint();
  std::printf("# first display of the sales page on the server: %.0f ms, %d rows\n", t.nsecsElapsed() / 1e6,
              grid.Rows() - grid.FixedRows() - 1);
  std::vector<double> fills, bases;
  for (int i = 0; i < 3; ++i) {
    bases.push_back(ServerBareRead(ctx.db, "select * from sell"));
    QElapsedTimer f;
    f.start();
    page->FillSalesList(AllSalesQuery());
    QCoreApplication::processEvents();
    grid.repaint();
    fills.push_back(f.nsecsElapsed() / 1e6);
  }
  PrintCase("pg_sales_fill_1m", Median(fills), Median(bases));
  PrintMemory("pg_sales_fill_1m");
}
HEMULU_BENCH_CASE(910, "pg_sales_fill_1m", PgSalesFill1m);

// The same keys in the same boxes as the file's sales search case.
void PgSalesSearch1m(BenchShop& file) {
  ServerShop* server = Server();
  if (!server) return;
  server->EnsureSales(file);
  AppContext& ctx = server->ctx();
  for (const SalesSearchTiming& t : TimeSalesSearches(ctx)) {
    const char* box_name = t.box_name;
    const SalesQuery q = SearchSalesQuery(t.field, t.text.left(1));
    // The server's own texts where the query has them.
    const QString sql = q.server_sql.isEmpty() ? q.sql : q.server_sql;
    // Without a keys text of its own the server reads the keys from the rows' query.
    const QString keys_sql = q.server_sql.isEmpty() ? q.keys_sql : q.server_keys_sql;
    const double bare = ServerBareRead(ctx.db, sql.toUtf8().constData(), q.params);
    const double keys = keys_sql.isEmpty() ? 0 : ServerBareRead(ctx.db, keys_sql.toUtf8().constData(), q.params);
    const QByteArray name = QByteArray("pg_sales_search_1m_") + box_name;
    PrintCase(name.constData(), Median(t.firsts), bare);
    std::printf("# %s: first key %d rows; second key %.0f ms, %d rows", box_name, t.rows[0], Median(t.seconds),
                t.rows[1]);
    if (!keys_sql.isEmpty()) std::printf("; the keys and totals alone %.0f ms", keys);
    std::printf("\n");
  }
}
HEMULU_BENCH_CASE(920, "pg_sales_search_1m", PgSalesSearch1m);

// 1,000 sales one after another through the sale logic, each its own transaction.
void PgSaleCommit(BenchShop& file) {
  ServerShop* server = Server();
  if (!server) return;
  server->EnsureSales(file);
  TimeSaleCommits(server->ctx(), "pg_sale_commit", "sales");
}
HEMULU_BENCH_CASE(930, "pg_sale_commit", PgSaleCommit);

// The purchase records over a journal of 2,000,000 movements on the server, half of
// them restocks (made by the server itself, as the file's trade journal is): the view's
// keyed fill of every delivery, then one month.
void PgMovementsFill1m(BenchShop& file) {
  ServerShop* server = Server();
  if (!server) return;
  server->EnsureGoods(file);
  AppContext& ctx = server->ctx();
  QElapsedTimer t;
  t.start();
  const std::string fill =
      "INSERT INTO \"stock_move\" (\"日期\",\"操作员\",\"商品号\",\"名称\",\"型号\",\"编码\",\"业务\",\"数量\","
      "\"结存数量\",\"进货单价\",\"供货商\") SELECT to_char(date '2024-01-01' + (i % 1095), 'YYYY-MM-DD') || "
      "' 09:00:00', '超级管理员', 1 + i % " +
      std::to_string(kGoods) +
      ", '商品' || (i % 1000), '型号', 'BM' || (i % 1000), CASE WHEN i % 2 = 0 THEN '续存' ELSE '销售' END, "
      "CASE WHEN i % 2 = 0 THEN 1 + i % 20 ELSE -1 END, 0, CASE WHEN i % 2 = 0 THEN 1.5 + (i % 7) * 0.25 END, "
      "CASE WHEN i % 2 = 0 THEN '供货商' || (i % 50) END FROM generate_series(1, 2000000) AS g(i)";
  // Made in one statement, longer than the program's statement timeout allows.
  if (auto r = server->db().ExecScript("SET statement_timeout = 0"); !r) Fail("timeout off", r.error());
  if (auto r = server->db().ExecScript(fill.c_str()); !r) Fail("server journal", r.error());
  if (auto r = server->db().ExecScript("VACUUM ANALYZE \"stock_move\""); !r) Fail("vacuum", r.error());
  if (auto r = server->db().ExecScript("SET statement_timeout = '20s'"); !r) Fail("timeout on", r.error());
  std::printf("# server journal of 2,000,000 movements built in %lld ms\n", static_cast<long long>(t.elapsed()));
  QWidget window;
  window.resize(1280, 720);
  auto* view = new PurchaseRecordsView(ctx, &window);
  view->setGeometry(window.rect());
  window.show();
  const double refill = MedianMs(3, [&] {
    view->Refill();
    QCoreApplication::processEvents();
    view->PurchaseGrid()->repaint();
  });
  const Grid& grid = *view->PurchaseGrid();
  PrintCase("pg_movements_fill_1m", refill);
  std::printf("# pg_movements_fill_1m: %d deliveries listed\n", grid.Rows() - grid.FixedRows() - 1);
  view->FromBox()->setDate(QDate(2025, 3, 1));
  view->ToBox()->setDate(QDate(2025, 3, 31));
  PrintCase("pg_movements_fill_1m_month", MedianMs(3, [&] {
              view->QueryDays();
              QCoreApplication::processEvents();
            }));
  std::printf("# pg_movements_fill_1m_month: %d deliveries\n", grid.Rows() - grid.FixedRows() - 1);
}
HEMULU_BENCH_CASE(935, "pg_movements_fill_1m", PgMovementsFill1m);

// The file shop moved whole onto an empty database of its own, and backed up from there.
class UploadedShop {
 public:
  explicit UploadedShop(ServerAddress cluster) : cluster_(std::move(cluster)) {
    address_ = cluster_;
    address_.database = QStringLiteral("hemulu_bench_upload_%1").arg(::getpid());
    if (const QString e = RunMaintenance(cluster_, "CREATE DATABASE \"" + address_.database.toUtf8() + "\"");
        !e.isEmpty())
      Fail("create the upload database", e);
  }
  ~UploadedShop() {
    ctx_.reset();
    RunMaintenance(cluster_, "DROP DATABASE IF EXISTS \"" + address_.database.toUtf8() + "\" WITH (FORCE)");
  }
  const ServerAddress& Address() const { return address_; }
  // A program on the uploaded shop, made once it is there.
  AppContext& ctx() {
    if (!ctx_) {
      if (!WriteWorkingFiles(dir_.path(), dir_.path())) std::exit(1);
      ctx_ = std::make_unique<AppContext>(dir_.path(), address_, prompter_, clock_, notifier_);
      if (auto r = ctx_->EnsureDatabaseOpen(); !r) Fail("open the uploaded shop", r.error());
    }
    return *ctx_;
  }
  bool uploaded = false;

 private:
  ServerAddress cluster_, address_;
  QTemporaryDir dir_;
  SilentPrompter prompter_;
  SystemClock clock_;
  SilentNotifier notifier_;
  std::unique_ptr<AppContext> ctx_;
};

UploadedShop* Uploaded(BenchShop& file) {
  static std::unique_ptr<UploadedShop> shop;
  if (!Server()) return nullptr;
  if (!shop) shop = std::make_unique<UploadedShop>(*Server()->ctx().db.Server());
  file.EnsureSales();
  return shop.get();
}

// The local backup of the same shop, beside the server's figures.
double LocalBackupMs(BenchShop& file) {
  static double ms = -1;
  if (ms >= 0) return ms;
  const QString target = file.FilePath(QStringLiteral("LocalBackup.db"));
  QFile::remove(target);
  QElapsedTimer t;
  t.start();
  if (auto r = BackUpDatabase(file.ctx(), target); !r) Fail("local backup", r.error().reason);
  ms = t.nsecsElapsed() / 1e6;
  QFile::remove(target);
  return ms;
}

void PgUpload1m(BenchShop& file) {
  UploadedShop* shop = Uploaded(file);
  if (!shop) return;
  QElapsedTimer t;
  t.start();
  auto r = UploadToServer(file.ctx(), shop->Address(), [](const ServerShopSize&) { return true; });
  if (!r) Fail("upload", r.error().reason + QStringLiteral(" ") + r.error().detail);
  const double ms = t.nsecsElapsed() / 1e6;
  shop->uploaded = true;
  PrintCase("pg_upload_1m", ms, LocalBackupMs(file));
}
HEMULU_BENCH_CASE(940, "pg_upload_1m", PgUpload1m);

void PgBackup1m(BenchShop& file) {
  UploadedShop* shop = Uploaded(file);
  if (!shop) return;
  if (!shop->uploaded) {
    if (auto r = UploadToServer(file.ctx(), shop->Address(), [](const ServerShopSize&) { return true; }); !r)
      Fail("upload", r.error().reason + QStringLiteral(" ") + r.error().detail);
    shop->uploaded = true;
  }
  const QString target = file.FilePath(QStringLiteral("ServerBackup.db"));
  std::vector<double> runs;
  for (int i = 0; i < 3; ++i) {
    QFile::remove(target);
    QElapsedTimer t;
    t.start();
    if (auto r = BackUpDatabase(shop->ctx(), target); !r)
      Fail("server backup", r.error().reason + QStringLiteral(" ") + r.error().detail);
    runs.push_back(t.nsecsElapsed() / 1e6);
    std::printf("# pg_backup_1m run %d: %.0f ms, %.0f MB\n", i + 1, runs.back(), QFileInfo(target).size() / 1048576.0);
  }
  QFile::remove(target);
  PrintCase("pg_backup_1m", Median(runs), LocalBackupMs(file));
}
HEMULU_BENCH_CASE(950, "pg_backup_1m", PgBackup1m);

}  // namespace
}  // namespace hemulu::bench
