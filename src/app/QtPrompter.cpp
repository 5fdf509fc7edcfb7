#include "app/QtPrompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace hemulu {

namespace {

// Set here rather than left to Qt's translations, which a system may lack.
const QString kOkText = QStringLiteral("确定");
const QString kCancelText = QStringLiteral("取消");

QMessageBox::Icon IconOf(MessageKind kind) {
  switch (kind) {
    case MessageKind::Information:
      return QMessageBox::Information;
    case MessageKind::Stop:
      return QMessageBox::Critical;
    case MessageKind::Exclamation:
    case MessageKind::Warning:
      return QMessageBox::Warning;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

QWidget* QtPrompter::DialogParent() {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return QApplication::activeWindow();
}

void QtPrompter::Message(const QString& text, const QString& caption, MessageKind kind) {
  QMessageBox box(IconOf(kind), caption, text, QMessageBox::Ok, DialogParent());
  box.setTextFormat(Qt::PlainText);
  box.button(QMessageBox::Ok)->setText(kOkText);
  box.exec();
}

bool QtPrompter::Confirm(const QString& text, const QString& caption, ConfirmDefault default_button) {
  QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok | QMessageBox::Cancel, DialogParent());
  box.setTextFormat(Qt::PlainText);
  box.button(QMessageBox::Ok)->setText(kOkText);
  box.button(QMessageBox::Cancel)->setText(kCancelText);
  box.setDefaultButton(default_button == ConfirmDefault::Cancel ? QMessageBox::Cancel : QMessageBox::Ok);
  box.setEscapeButton(QMessageBox::Cancel);
  return box.exec() == QMessageBox::Ok;
}

std::optional<QString> QtPrompter::AskText(const QString& prompt, const QString& title, TextEcho echo) {
  QInputDialog dialog(DialogParent());
  dialog.setWindowTitle(title);
  dialog.setLabelText(prompt);
  dialog.setInputMode(QInputDialog::TextInput);
  if (echo == TextEcho::Masked) dialog.setTextEchoMode(QLineEdit::Password);
  dialog.setOkButtonText(kOkText);
  dialog.setCancelButtonText(kCancelText);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.textValue();
}

std::optional<QString> QtPrompter::ChooseFolder(const QString& title) {
  const QString folder = QFileDialog::getExistingDirectory(DialogParent(), title);
  if (folder.isEmpty()) return std::nullopt;
  return folder;
}

std::optional<QString> QtPrompter::ChooseFile(const QString& title, const QString& folder, const QString& filter) {
  const QString file = QFileDialog::getOpenFileName(DialogParent(), title, folder, filter);
  if (file.isEmpty()) return std::nullopt;
  return file;
}

}  // namespace hemulu
