#pragma once
// What the child programs of the reliability tests share: a prompter and a notifier
// that show nothing (a message goes to standard error, where the parent's failure
// report shows it), and the one-line answer on standard output that the parent counts.

#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>

#include "data/Prompter.h"

namespace hemulu::test {

class SilentPrompter final : public Prompter {
 public:
  void Message(const QString& text, const QString&, MessageKind) override {
    std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
  }
  bool Confirm(const QString&, const QString&, ConfirmDefault) override { return false; }
  std::optional<QString> AskText(const QString&, const QString&, TextEcho) override { return std::nullopt; }
  std::optional<QString> ChooseFolder(const QString&, const QString&) override { return std::nullopt; }
};

class SilentNotifier final : public Notifier {
 public:
  void Notify(const QString&, const QString&) override {}
};

// A whole line in one write, so that a child killed mid-answer never leaves half a
// line that the parent would count; a failed write ends the child.
inline void AnswerLine(long long value) {
  const std::string line = std::to_string(value) + "\n";
  if (write(STDOUT_FILENO, line.data(), line.size()) != static_cast<ssize_t>(line.size())) _exit(3);
}

}  // namespace hemulu::test
