#pragma once
// Every message box, confirmation, input box and folder browser goes through this
// interface: the program shows real dialogs, tests answer from a script.

#include <QString>
#include <optional>

namespace hemulu {

// Icons of the message box; the numbers are the kinds callers pass.
enum class MessageKind { Information = 0, Exclamation = 1, Stop = 2, Warning = 3 };

inline const QString kProgramName = QStringLiteral("禾木鹭进销存");
// The program's message boxes carry its name.
inline const QString kMessageCaption = kProgramName;
// The title of notices and of the hint boxes ("提示").
inline const QString kHintTitle = QStringLiteral("提示");
// The caption of a confirmation that destroys data, and the question before a delete.
inline const QString kWarningTitle = QStringLiteral("警告！");
inline const QString kDeleteQuestion = QStringLiteral("你确定要删除当前选中的资料吗？\n\n        一经删除无法恢复");
// The caption of a form's refusal ("商品名称必须填写", ...).
inline const QString kFillInTitle = QStringLiteral("请填写完整信息");

// The button of a confirmation that Enter presses: Cancel where OK would destroy data.
enum class ConfirmDefault { Ok, Cancel };
// Whether an input box shows what is typed or masks it (passwords).
enum class TextEcho { Shown, Masked };

class Prompter {
 public:
  virtual ~Prompter() = default;
  // A message box with an OK button.
  virtual void Message(const QString& text, const QString& caption, MessageKind kind) = 0;
  // OK and Cancel; true for OK.
  virtual bool Confirm(const QString& text, const QString& caption,
                       ConfirmDefault default_button = ConfirmDefault::Ok) = 0;
  // A one-line input box; nullopt when cancelled.
  virtual std::optional<QString> AskText(const QString& prompt, const QString& title,
                                         TextEcho echo = TextEcho::Shown) = 0;
  // A folder browser opening in `folder` (the working folder when empty); nullopt when
  // cancelled.
  virtual std::optional<QString> ChooseFolder(const QString& title, const QString& folder) = 0;
  // A chooser of one existing file, opening in `folder`; `filter` as "名称 (*.db);;所有文件 (*)".
  // nullopt when cancelled, and from a prompter that has no chooser.
  virtual std::optional<QString> ChooseFile(const QString& /*title*/, const QString& /*folder*/,
                                            const QString& /*filter*/) {
    return std::nullopt;
  }

  // A question with two named answers (as "重试" / "打开本机数据文件"); true for the
  // first. A prompter without named buttons asks it as a confirmation, OK for the first.
  virtual bool ChooseBetween(const QString& text, const QString& caption, const QString& /*first*/,
                             const QString& /*second*/) {
    return Confirm(text, caption);
  }

  // The program's own message box, with its caption.
  void ShowMessage(const QString& text, MessageKind kind) { Message(text, kMessageCaption, kind); }
  void ShowMessage(const QString& text, int kind) { ShowMessage(text, static_cast<MessageKind>(kind)); }
};

// Balloon notices ("提示" + "销售商品完成"): never modal, never blocking.
class Notifier {
 public:
  virtual ~Notifier() = default;
  virtual void Notify(const QString& title, const QString& text) = 0;
};

}  // namespace hemulu
