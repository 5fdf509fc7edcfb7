#include "EngineSupport.h"

#include <libpq-fe.h>
#include <unistd.h>

#include <QRandomGenerator>
#include <atomic>

#include "data/EmbeddedFiles.h"

namespace hemulu::test {

namespace {

// A connection to the cluster's own maintenance database, for making and dropping ours.
PGconn* ConnectMaintenance(const ServerAddress& cluster) {
  const QByteArray host = cluster.host.toUtf8(), port = QByteArray::number(cluster.port), user = cluster.user.toUtf8();
  const char* keys[] = {"host", "port", "user", "dbname", "connect_timeout", nullptr};
  const char* values[] = {
      host.constData(), port.constData(), user.isEmpty() ? nullptr : user.constData(), "postgres", "10", nullptr};
  return PQconnectdbParams(keys, values, 0);
}

// Runs one statement; the server's words when it fails.
QString Run(PGconn* conn, const QByteArray& sql) {
  PGresult* r = PQexec(conn, sql.constData());
  const ExecStatusType status = PQresultStatus(r);
  QString error;
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
    error = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
  PQclear(r);
  return error;
}

}  // namespace

std::optional<ServerAddress> TestCluster(QString* why_not) {
  const QString host = qEnvironmentVariable("HEMULU_PG_HOST");
  if (host.isEmpty()) {
    if (why_not)
      *why_not = QStringLiteral("no test cluster: HEMULU_PG_HOST is not set (run under scripts/with-pg-cluster)");
    return std::nullopt;
  }
  ServerAddress a;
  a.host = host;
  a.port = qEnvironmentVariableIntValue("HEMULU_PG_PORT");
  if (a.port == 0) a.port = 5432;
  a.user = qEnvironmentVariable("HEMULU_PG_USER");
  return a;
}

ScratchServerDatabase::ScratchServerDatabase(ServerAddress cluster) : cluster_(std::move(cluster)) {
  static std::atomic<int> counter{0};
  const QString name = QStringLiteral("hemulu_t_%1_%2_%3")
                           .arg(::getpid())
                           .arg(counter++)
                           .arg(QRandomGenerator::global()->generate() % 100000);
  PGconn* conn = ConnectMaintenance(cluster_);
  if (PQstatus(conn) != CONNECTION_OK) {
    error_ = QStringLiteral("cannot reach the test cluster at %1: %2")
                 .arg(cluster_.host, QString::fromUtf8(PQerrorMessage(conn)).trimmed());
  } else {
    // A copy of the cluster's template: empty, our tables are made by the first connection.
    error_ = Run(conn, "CREATE DATABASE \"" + name.toUtf8() + "\" TEMPLATE template1");
    if (error_.isEmpty()) {
      ServerAddress a = cluster_;
      a.database = name;
      address_ = a;
    }
  }
  PQfinish(conn);
}

ScratchServerDatabase::~ScratchServerDatabase() {
  if (!address_) return;
  PGconn* conn = ConnectMaintenance(cluster_);
  if (PQstatus(conn) == CONNECTION_OK) {
    const QString error = Run(conn, "DROP DATABASE IF EXISTS \"" + address_->database.toUtf8() + "\" WITH (FORCE)");
    if (!error.isEmpty()) ADD_FAILURE() << "test database not dropped: " << error.toStdString();
  }
  PQfinish(conn);
}

std::unique_ptr<ScratchServerDatabase> ScratchDatabase(QString* why_not) {
  std::unique_ptr<ScratchServerDatabase> scratch;
  if (auto cluster = TestCluster(why_not)) {
    scratch = std::make_unique<ScratchServerDatabase>(*cluster);
    if (!scratch->Address()) *why_not = scratch->Error();
  }
  if (scratch && scratch->Address()) return scratch;
  // A fatal failure, so that a fixture's SetUp that then skips does not run the body.
  if (qEnvironmentVariable("HEMULU_REQUIRE_PG") == QStringLiteral("1"))
    [&] { FAIL() << "HEMULU_REQUIRE_PG=1 and " << why_not->toStdString(); }();
  return nullptr;
}

void EngineTest::SetUp() {
  if (!WriteWorkingFiles(dir_.path(), dir_.path())) FAIL() << "working files not written";
  if (OnServer()) {
    QString why_not;
    scratch_ = ScratchDatabase(&why_not);
    if (!scratch_) GTEST_SKIP() << why_not.toStdString();
    ctx_ = std::make_unique<AppContext>(dir_.path(), *scratch_->Address(), prompter, clock, notifier);
  } else {
    ctx_ = std::make_unique<AppContext>(dir_.path(), prompter, clock, notifier);
  }
  ctx_->session.SetUser(kSuperAdministrator, QStringLiteral("735"));
  if (auto open = ctx_->EnsureDatabaseOpen(); !open)
    FAIL() << "database does not open: " << open.error().message.toStdString();
}

void EngineTest::TearDown() {
  ctx_.reset();
  scratch_.reset();
}

std::unique_ptr<Database> EngineTest::AnotherConnection() const {
  if (GetParam() == Engine::Server) return std::make_unique<Database>(*scratch_->Address());
  return std::make_unique<Database>(ctx_->db.Path());
}

std::string EngineName(const testing::TestParamInfo<Engine>& info) {
  return info.param == Engine::File ? "File" : "Server";
}

}  // namespace hemulu::test
