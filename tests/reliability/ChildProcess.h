#pragma once
// A child program of the reliability tests, started with its standard output on a
// pipe. The child writes one number per line for each piece of work it has finished
// (a sale's ID, a maintenance round); the parent reads them, picks a moment and kills
// the child with SIGKILL.

#include <sys/types.h>

#include <QString>
#include <QStringList>
#include <set>
#include <string>
#include <vector>

namespace hemulu::test {

class ChildProcess {
 public:
  // Starts `exe` with `args`; Started() says whether it runs. With `input`, the child's
  // standard input is a pipe that Send writes to.
  ChildProcess(const std::string& exe, const std::vector<std::string>& args, bool input = false);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return pid_ > 0 && fd_ >= 0; }
  // Waits for output until `count` lines have arrived; false when the child ended by
  // itself or went silent for a minute.
  bool WaitForAcknowledged(std::size_t count);
  // Waits up to `micros` for output on the pipe, reading what arrives.
  void WaitOnPipe(int micros);
  // Reads whatever the child has written so far, without waiting.
  void Drain();
  // SIGKILL, then collects every whole line written before it.
  void Kill();
  // Writes `text` to the child's standard input.
  bool Send(const std::string& text);
  // Closes the child's input and waits for it to end; its wait status.
  int Wait();
  const std::set<qint64>& Acknowledged() const { return acknowledged_; }
  std::size_t Lines() const { return lines_; }
  // Every number read, in the order written.
  const std::vector<qint64>& Values() const { return values_; }

 private:
  bool ReadOnce();
  pid_t pid_ = -1;
  int fd_ = -1;
  int in_ = -1;
  std::string pending_;
  std::set<qint64> acknowledged_;
  std::size_t lines_ = 0;
  std::vector<qint64> values_;
};

// The initial stock of every goods row of a prepared folder.
inline constexpr double kInitialStock = 1000000;

// A program folder written by the start-up code with 20 goods rows of kInitialStock
// each; `first_name`, when given, names the first row (a canary text). False on failure.
bool PrepareSalesFolder(const QString& dir, const QString& first_name = QString());

// A count from the environment, or `fallback`.
int EnvCount(const char* name, int fallback);
// A seed from the environment variable `name`, or a fresh random one.
quint32 EnvSeed(const char* name);

}  // namespace hemulu::test
