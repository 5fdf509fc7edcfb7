#pragma once
// One test, both engines: a fixture whose parameter is the engine. The file case runs on
// a temporary folder prepared by the real start-up code (as TestApp); the server case on
// a new database of its own in the throwaway cluster that scripts/with-pg-cluster starts
// (HEMULU_PG_HOST, HEMULU_PG_PORT, HEMULU_PG_USER), made from the cluster's template and
// dropped at the end. Without a cluster the server case is skipped with the reason,
// unless HEMULU_REQUIRE_PG=1 (CI), where it fails.
//
//   class MyTest : public EngineTest {};
//   TEST_P(MyTest, Something) { ... ctx() ... db() ... }
//   HEMULU_ON_BOTH_ENGINES(MyTest);

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <ostream>

#include "TestSupport.h"

namespace hemulu::test {

enum class Engine { File, Server };

// The cluster the tests may use, or nullopt with the reason in `why_not`.
std::optional<ServerAddress> TestCluster(QString* why_not);

// A database of its own in the test cluster, dropped (connections and all) when this
// goes out of scope.
class ScratchServerDatabase {
 public:
  // `address` is the cluster's; the new database's name is filled in.
  explicit ScratchServerDatabase(ServerAddress cluster);
  ~ScratchServerDatabase();
  ScratchServerDatabase(const ScratchServerDatabase&) = delete;
  ScratchServerDatabase& operator=(const ScratchServerDatabase&) = delete;
  // Empty when the database could not be made (the reason in Error()).
  const std::optional<ServerAddress>& Address() const { return address_; }
  const QString& Error() const { return error_; }

 private:
  ServerAddress cluster_;
  std::optional<ServerAddress> address_;
  QString error_;
};

// A database of the test's own in the test cluster, for a test that needs a server.
// Null when there is none, with the reason in `why_not`: the caller skips
// (GTEST_SKIP() << why_not), and under HEMULU_REQUIRE_PG=1 a fatal failure has been added.
std::unique_ptr<ScratchServerDatabase> ScratchDatabase(QString* why_not);

class EngineTest : public testing::TestWithParam<Engine> {
 protected:
  void SetUp() override;
  void TearDown() override;

  Engine engine() const { return GetParam(); }
  bool OnServer() const { return GetParam() == Engine::Server; }
  AppContext& ctx() { return *ctx_; }
  Database& db() { return ctx_->db; }
  // Another connection to the same database, not yet opened.
  std::unique_ptr<Database> AnotherConnection() const;

  ScratchServerDatabase* scratch() { return scratch_.get(); }

  ScriptedPrompter prompter;
  FixedClock clock;
  RecordingNotifier notifier;

 private:
  QTemporaryDir dir_;
  std::unique_ptr<ScratchServerDatabase> scratch_;
  std::unique_ptr<AppContext> ctx_;
};

std::string EngineName(const testing::TestParamInfo<Engine>& info);
// How gtest names the parameter in its output.
inline void PrintTo(Engine engine, std::ostream* os) { *os << (engine == Engine::File ? "file" : "server"); }

}  // namespace hemulu::test

#define HEMULU_ON_BOTH_ENGINES(Suite)                                                                                 \
  INSTANTIATE_TEST_SUITE_P(Engines, Suite, testing::Values(hemulu::test::Engine::File, hemulu::test::Engine::Server), \
                           hemulu::test::EngineName)
