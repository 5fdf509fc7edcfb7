#include "app/QtPrompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPointer>
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

// Describes the files a dialog lists from their names and stat() alone. Qt's own provider
// opens a file to read its first bytes when the name does not tell its type; opening and
// closing data.db (or its -wal, -shm) drops every POSIX lock this process holds on it,
// the engine's included, and another SQLite client then takes the database for unused
// and deletes the -wal with committed sales in it.
class NameOnlyIconProvider final : public QFileIconProvider {
 public:
  NameOnlyIconProvider() { setOptions(DontUseCustomDirectoryIcons); }
  using QFileIconProvider::icon;
  QIcon icon(const QFileInfo& info) const override {
    if (info.isRoot()) return icon(Drive);
    return icon(info.isDir() ? Folder : File);
  }
  QString type(const QFileInfo& info) const override {
    if (info.isDir()) return QStringLiteral("文件夹");
    if (!info.isFile()) return QFileIconProvider::type(info);  // drive, broken link: no file read
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(info, QMimeDatabase::MatchExtension);
    if (mime.isDefault()) return QStringLiteral("文件");
    return mime.comment().isEmpty() ? mime.name() : mime.comment();
  }
};

// Gives every file model of a window the provider above as the window is polished and
// shown, before its event loop runs the model's first listing. This reaches the models
// Qt builds inside its own dialogs: the print dialog's output-file completer and the
// file dialog its "..." button opens.
class FileListingGuard final : public QObject {
 public:
  explicit FileListingGuard(QObject* parent) : QObject(parent) {}
  QFileIconProvider* Provider() { return &provider_; }

  void Guard(QWidget* window) {
    if (auto* dialog = qobject_cast<QFileDialog*>(window)) {
      if (dialog->iconProvider() != &provider_) dialog->setIconProvider(&provider_);
      dialog->setOption(QFileDialog::DontUseCustomDirectoryIcons);
    }
    for (QFileSystemModel* model : window->findChildren<QFileSystemModel*>())
      if (model->iconProvider() != &provider_) model->setIconProvider(&provider_);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if ((event->type() == QEvent::Polish || event->type() == QEvent::Show) && watched->isWidgetType()) {
      auto* widget = static_cast<QWidget*>(watched);
      if (widget->isWindow()) Guard(widget);
    }
    return false;
  }

 private:
  NameOnlyIconProvider provider_;
};

// One guard for the process, living as long as the application object.
FileListingGuard* ProcessGuard() {
  static QPointer<FileListingGuard> guard;
  if (!guard && qApp) {
    guard = new FileListingGuard(qApp);
    qApp->installEventFilter(guard);
    // A platform's own file dialog (GTK's) lists in this process too and reads files to
    // guess their types; Qt's own dialog is the one the guard can reach.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  }
  return guard;
}

// Our own file dialogs get the guard's provider at once, before their first listing.
void PrepareFileDialog(QFileDialog& dialog) {
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::DontUseCustomDirectoryIcons);
  if (FileListingGuard* guard = ProcessGuard()) guard->Guard(&dialog);
}

}  // namespace

QtPrompter::QtPrompter() { ProcessGuard(); }

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

bool QtPrompter::ChooseBetween(const QString& text, const QString& caption, const QString& first,
                               const QString& second) {
  QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::NoButton, DialogParent());
  box.setTextFormat(Qt::PlainText);
  QPushButton* yes = box.addButton(first, QMessageBox::AcceptRole);
  QPushButton* no = box.addButton(second, QMessageBox::RejectRole);
  box.setDefaultButton(yes);
  box.setEscapeButton(no);
  box.exec();
  return box.clickedButton() == yes;
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

std::optional<QString> QtPrompter::ChooseFolder(const QString& title, const QString& folder) {
  QFileDialog dialog(DialogParent(), title, folder);
  PrepareFileDialog(dialog);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().constFirst();
}

std::optional<QString> QtPrompter::ChooseFile(const QString& title, const QString& folder, const QString& filter) {
  QFileDialog dialog(DialogParent(), title, folder, filter);
  PrepareFileDialog(dialog);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().constFirst();
}

}  // namespace hemulu
