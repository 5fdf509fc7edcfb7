// Kills a selling child with SIGKILL at random moments and checks the folder after each
// kill. The moment is chosen by counting acknowledged sales and then waiting a random
// few microseconds on the child's output pipe, so a kill lands anywhere in a sale.
// HEMULU_CRASH_KILLS sets the number of kills (50 by default), HEMULU_CRASH_SEED the seed.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "CrashCheck.h"
#include "TestSupport.h"
#include "data/EmbeddedFiles.h"

extern char** environ;

namespace hemulu::test {
namespace {

constexpr double kInitialStock = 1000000;

int EnvCount(const char* name, int fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::atoi(v) : fallback;
}

quint32 Seed() {
  const char* v = std::getenv("HEMULU_CRASH_SEED");
  return v && *v ? static_cast<quint32>(std::strtoul(v, nullptr, 10)) : QRandomGenerator::system()->generate();
}

// A program folder with 20 goods rows of kInitialStock each.
void PrepareFolder(const QString& dir) {
  ASSERT_TRUE(WriteWorkingFiles(dir, dir).has_value());
  ScriptedPrompter prompter;
  FixedClock clock;
  RecordingNotifier notifier;
  AppContext ctx(dir, prompter, clock, notifier);
  ASSERT_TRUE(ctx.EnsureDatabaseOpen().has_value());
  for (int i = 0; i < 20; ++i) {
    GoodsRow row;
    row.name = QStringLiteral("商品%1").arg(i);
    row.code = QStringLiteral("SP%1").arg(i);
    row.bought = row.stock = kInitialStock;
    InsertGoods(ctx.db, row);
  }
}

class Child {
 public:
  Child(const std::string& dir, const char* mode) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::string exe = HEMULU_SALE_CHILD;
    char* args[] = {exe.data(), const_cast<char*>(dir.c_str()), const_cast<char*>(mode), nullptr};
    if (posix_spawn(&pid_, exe.c_str(), &actions, nullptr, args, environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    fd_ = fds[0];
  }
  ~Child() {
    if (pid_ > 0) Kill();
    if (fd_ >= 0) close(fd_);
  }
  bool Started() const { return pid_ > 0 && fd_ >= 0; }

  // Waits for output until `count` sales are acknowledged; false when the child ended
  // by itself or went silent for a minute.
  bool WaitForAcknowledged(std::size_t count) {
    while (acknowledged_.size() < count) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 60000) <= 0) return false;
      if (!ReadOnce()) return false;
    }
    return true;
  }
  // Waits up to `micros` for output on the pipe, reading what arrives.
  void WaitOnPipe(int micros) {
    pollfd p{fd_, POLLIN, 0};
    const timespec t{0, micros * 1000L};
    if (ppoll(&p, 1, &t, nullptr) > 0) ReadOnce();
  }
  // SIGKILL, then collects every whole line written before it.
  void Kill() {
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    while (ReadOnce()) {
    }
  }
  const std::set<qint64>& Acknowledged() const { return acknowledged_; }

 private:
  bool ReadOnce() {
    char buf[4096];
    const ssize_t n = read(fd_, buf, sizeof buf);
    if (n <= 0) return false;
    pending_.append(buf, static_cast<std::size_t>(n));
    for (std::size_t nl; (nl = pending_.find('\n')) != std::string::npos;) {
      acknowledged_.insert(std::stoll(pending_.substr(0, nl)));
      pending_.erase(0, nl + 1);
    }
    return true;
  }
  pid_t pid_ = -1;
  int fd_ = -1;
  std::string pending_;
  std::set<qint64> acknowledged_;
};

struct RunResult {
  int kills = 0;
  std::size_t sales = 0;
  QStringList faults;  // of the first round that had any
};

// Kills the child up to `kills` times; stops at the first round whose check fails.
RunResult KillRepeatedly(const char* mode, int kills, quint32 seed) {
  RunResult result;
  QTemporaryDir dir;
  PrepareFolder(dir.path());
  QRandomGenerator random(seed);
  std::set<qint64> acknowledged;
  for (int round = 0; round < kills; ++round) {
    Child child(dir.path().toStdString(), mode);
    if (!child.Started()) {
      result.faults << QStringLiteral("child did not start");
      return result;
    }
    const std::size_t sales = random.bounded(25);
    if (!child.WaitForAcknowledged(sales)) {
      child.Kill();
      result.faults << QStringLiteral("child stopped by itself in round %1").arg(round);
      return result;
    }
    child.WaitOnPipe(random.bounded(3000));
    child.Kill();
    ++result.kills;
    acknowledged.insert(child.Acknowledged().begin(), child.Acknowledged().end());
    result.sales = acknowledged.size();
    result.faults = CheckSalesFolder(dir.path(), kInitialStock, acknowledged);
    if (!result.faults.isEmpty()) {
      result.faults.prepend(QStringLiteral("round %1:").arg(round));
      return result;
    }
  }
  return result;
}

TEST(CrashTest, KilledSalesLeaveTheFolderWholeAndEveryAcknowledgedSaleStored) {
  const int kills = EnvCount("HEMULU_CRASH_KILLS", 50);
  const quint32 seed = Seed();
  const RunResult r = KillRepeatedly("whole", kills, seed);
  std::printf("crash test: %d kills, %zu acknowledged sales, %lld faults (seed %u)\n", r.kills, r.sales,
              static_cast<long long>(r.faults.size()), seed);
  EXPECT_EQ(kills, r.kills);
  EXPECT_TRUE(r.faults.isEmpty()) << r.faults.join('\n').toStdString();
}

// The same kills against a child that commits the goods update and the sale row
// separately: the checker must find the lost sale rows, or it proves nothing.
TEST(CrashTest, CheckerCatchesASaleSplitOverTwoTransactions) {
  const quint32 seed = Seed();
  const RunResult r = KillRepeatedly("split", 200, seed);
  std::printf("negative control: caught after %d kills (seed %u)\n", r.kills, seed);
  ASSERT_FALSE(r.faults.isEmpty()) << "200 kills of a split sale went unnoticed";
  EXPECT_TRUE(r.faults.join('\n').contains(QStringLiteral("!= "))) << r.faults.join('\n').toStdString();
}

}  // namespace
}  // namespace hemulu::test
