#pragma once
// The program's real dialogs behind the prompter interface.

#include "data/Prompter.h"

class QWidget;

namespace hemulu {

class QtPrompter final : public Prompter {
 public:
  // Keeps every file dialog and file-name completer of the process (its own and the ones
  // Qt opens itself, as the print dialog's) from opening the files they list: see
  // QtPrompter.cpp.
  QtPrompter();

  void Message(const QString& text, const QString& caption, MessageKind kind) override;
  bool Confirm(const QString& text, const QString& caption,
               ConfirmDefault default_button = ConfirmDefault::Ok) override;
  bool ChooseBetween(const QString& text, const QString& caption, const QString& first, const QString& second) override;
  std::optional<QString> AskText(const QString& prompt, const QString& title, TextEcho echo = TextEcho::Shown) override;
  std::optional<QString> ChooseFolder(const QString& title, const QString& folder) override;
  std::optional<QString> ChooseFile(const QString& title, const QString& folder, const QString& filter) override;

 private:
  // The window the dialog belongs to: the active modal window, else the active one.
  static QWidget* DialogParent();
};

}  // namespace hemulu
