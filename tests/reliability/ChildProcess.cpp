#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QRandomGenerator>
#include <cstdlib>

#include "TestSupport.h"
#include "data/EmbeddedFiles.h"

extern char** environ;

namespace hemulu::test {

ChildProcess::ChildProcess(const std::string& exe, const std::vector<std::string>& args, bool input) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return;
  int ins[2] = {-1, -1};
  if (input && pipe2(ins, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  if (input) posix_spawn_file_actions_adddup2(&actions, ins[0], STDIN_FILENO);
  std::vector<std::string> owned{exe};
  owned.insert(owned.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : owned) argv.push_back(a.data());
  argv.push_back(nullptr);
  if (posix_spawn(&pid_, exe.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  fd_ = fds[0];
  if (input) {
    close(ins[0]);
    in_ = ins[1];
  }
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) Kill();
  if (fd_ >= 0) close(fd_);
  if (in_ >= 0) close(in_);
}

bool ChildProcess::Send(const std::string& text) {
  return in_ >= 0 && write(in_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

int ChildProcess::Wait() {
  if (in_ >= 0) close(in_);
  in_ = -1;
  int status = -1;
  if (pid_ > 0) waitpid(pid_, &status, 0);
  pid_ = -1;
  while (ReadOnce()) {
  }
  return status;
}

bool ChildProcess::WaitForAcknowledged(std::size_t count) {
  while (lines_ < count) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 60000) <= 0) return false;
    if (!ReadOnce()) return false;
  }
  return true;
}

void ChildProcess::WaitOnPipe(int micros) {
  pollfd p{fd_, POLLIN, 0};
  const timespec t{micros / 1000000, (micros % 1000000) * 1000L};
  if (ppoll(&p, 1, &t, nullptr) > 0) ReadOnce();
}

void ChildProcess::Drain() {
  for (;;) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 0) <= 0 || !ReadOnce()) return;
  }
}

void ChildProcess::Kill() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  while (ReadOnce()) {
  }
}

bool ChildProcess::ReadOnce() {
  char buf[4096];
  const ssize_t n = read(fd_, buf, sizeof buf);
  if (n <= 0) return false;
  pending_.append(buf, static_cast<std::size_t>(n));
  for (std::size_t nl; (nl = pending_.find('\n')) != std::string::npos;) {
    values_.push_back(std::stoll(pending_.substr(0, nl)));
    acknowledged_.insert(values_.back());
    ++lines_;
    pending_.erase(0, nl + 1);
  }
  return true;
}

bool PrepareSalesFolder(const QString& dir, const QString& first_name) {
  if (!WriteWorkingFiles(dir, dir)) return false;
  ScriptedPrompter prompter;
  FixedClock clock;
  RecordingNotifier notifier;
  AppContext ctx(dir, prompter, clock, notifier);
  if (!ctx.EnsureDatabaseOpen()) return false;
  for (int i = 0; i < 20; ++i) {
    GoodsRow row;
    row.name = i == 0 && !first_name.isEmpty() ? first_name : QStringLiteral("商品%1").arg(i);
    row.code = QStringLiteral("SP%1").arg(i);
    if (!first_name.isEmpty()) row.note = first_name;
    row.bought = row.stock = kInitialStock;
    InsertGoods(ctx.db, row);
  }
  return CountRows(ctx.db, "buy") == 20;
}

int EnvCount(const char* name, int fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::atoi(v) : fallback;
}

quint32 EnvSeed(const char* name) {
  const char* v = std::getenv(name);
  return v && *v ? static_cast<quint32>(std::strtoul(v, nullptr, 10)) : QRandomGenerator::system()->generate();
}

}  // namespace hemulu::test
