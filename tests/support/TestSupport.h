#pragma once
// Shared test support: a temporary program folder prepared by the real start-up code,
// a scripted prompter, a fixed clock, a recording notifier and row builders.

#include <QDateTime>
#include <QString>
#include <QTemporaryDir>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "data/AppContext.h"

class QAction;
class QMenu;
class QWidget;

namespace hemulu::test {

struct Prompt {
  enum class Kind { Message, Confirm, AskText, ChooseFolder, ChooseFile } kind;
  QString text;
  QString caption;  // a chooser's start folder
  MessageKind icon = MessageKind::Information;
  // Confirmations: the button Enter presses. Input boxes: whether typing is masked.
  ConfirmDefault default_button = ConfirmDefault::Ok;
  TextEcho echo = TextEcho::Shown;
};

// Records every prompt and answers confirmations, input boxes and folder browsers from
// queues. A question with no queued answer fails the test and is answered "cancel".
// A message box must have been announced with ExpectMessage (texts in order): an
// unexpected one fails the test, and so does an expected one never shown.
class ScriptedPrompter final : public Prompter {
 public:
  ~ScriptedPrompter() override;
  void Message(const QString& text, const QString& caption, MessageKind kind) override;
  bool Confirm(const QString& text, const QString& caption,
               ConfirmDefault default_button = ConfirmDefault::Ok) override;
  std::optional<QString> AskText(const QString& prompt, const QString& title, TextEcho echo = TextEcho::Shown) override;
  std::optional<QString> ChooseFolder(const QString& title, const QString& folder) override;
  std::optional<QString> ChooseFile(const QString& title, const QString& folder, const QString& filter) override;

  void ExpectMessage(const QString& text) { expected_messages_.push_back(text); }
  void AnswerConfirm(bool ok) { confirms_.push_back(ok); }
  // nullopt answers "cancel".
  void AnswerText(const std::optional<QString>& text) {
    texts_.push_back({text.has_value(), text.value_or(QString())});
  }
  void AnswerFolder(const std::optional<QString>& folder) {
    folders_.push_back({folder.has_value(), folder.value_or(QString())});
  }

  void AnswerFile(const std::optional<QString>& file) {
    files_.push_back({file.has_value(), file.value_or(QString())});
  }

  const std::vector<Prompt>& Prompts() const { return prompts_; }
  // Texts of the message boxes shown so far.
  std::vector<QString> Messages() const;
  void Clear() { prompts_.clear(); }

 private:
  struct Answer {
    bool given;
    QString text;
  };
  std::vector<Prompt> prompts_;
  std::deque<QString> expected_messages_;
  std::deque<bool> confirms_;
  std::deque<Answer> texts_;
  std::deque<Answer> folders_;
  std::deque<Answer> files_;
};

class FixedClock final : public Clock {
 public:
  explicit FixedClock(QDateTime now = QDateTime(QDate(2026, 12, 8), QTime(10, 30, 0))) : now_(std::move(now)) {}
  QDateTime Now() const override { return now_; }
  void Set(QDateTime now) { now_ = std::move(now); }

 private:
  QDateTime now_;
};

class RecordingNotifier final : public Notifier {
 public:
  struct Notice {
    QString title, text;
  };
  void Notify(const QString& title, const QString& text) override { notices.push_back({title, text}); }
  std::vector<Notice> notices;
};

// A temporary program folder with config.ini and data.db written by the start-up code,
// and a context on it. The database is opened; the user is 超级管理员 unless changed.
class TestApp {
 public:
  TestApp();
  explicit TestApp(const QString& user);
  QString Dir() const { return dir_.path(); }
  QString FilePath(const QString& name) const;

  ScriptedPrompter prompter;
  FixedClock clock;
  RecordingNotifier notifier;
  AppContext& ctx() { return *ctx_; }

 private:
  QTemporaryDir dir_;
  std::unique_ptr<AppContext> ctx_;
};

// A goods row for tests; unset figures are 0.
struct GoodsRow {
  QString name = QStringLiteral("可口可乐"), model = QStringLiteral("500ml"), code = QStringLiteral("KKKL500ml"),
          category = QStringLiteral("饮料");
  double bought = 10, buy_price = 2, bought_amount = 20, sold = 0, sell_price = 3, sold_amount = 0, stock = 10,
         stock_amount = 20;
  QDateTime date = QDateTime(QDate(2026, 12, 1), QTime(0, 0));
  QString supplier = QStringLiteral("供货商甲"), note, initials = QStringLiteral("KKKL");
};
// Inserts the row with its opening movement and returns its ID.
qint64 InsertGoods(Database& db, const GoodsRow& row);
qint64 CountRows(Database& db, const char* table);

// Types text into the focused widget one character per key event (Chinese included).
void TypeText(QWidget* widget, const QString& text);

// The item of a menu (sub-menus included) that shows `caption`, as a user finds it.
QAction* FindMenuItem(const QMenu* menu, const QString& caption);

}  // namespace hemulu::test
