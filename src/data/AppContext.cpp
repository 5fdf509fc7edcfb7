#include "data/AppContext.h"

#include <QDir>
#include <cstdio>

#include "data/EmbeddedFiles.h"
#include "data/RowWriter.h"

namespace hemulu {

AppContext::AppContext(const QString& dir, Prompter& p, Clock& c, Notifier& n)
    : program_dir(dir),
      db(QDir(dir).filePath(kDatabaseFileName)),
      settings(QDir(dir).filePath(kConfigFileName)),
      prompter(p),
      clock(c),
      notifier(n) {}

std::expected<void, DbError> AppContext::EnsureDatabaseOpen() {
  if (db.IsOpen()) return {};
  if (auto opened = db.Open(); !opened) {
    DbError error = opened.error();
    error.kind = DbError::Kind::Unavailable;
    return std::unexpected(std::move(error));
  }
  return {};
}

void AppContext::ReportDatabaseUnavailable(const QString& reason) {
  std::fprintf(stderr, "hemulu: %s: %s\n", qUtf8Printable(db.Path()), qUtf8Printable(reason));
  prompter.Message(kDatabaseUnavailableText, kHintTitle, MessageKind::Stop);
}

void AppContext::ReportWriteError(const WriteError& error) {
  if (error.unavailable) {
    ReportDatabaseUnavailable(error.detail);
    return;
  }
  ShowMessage(error.Message(), MessageKind::Stop);
}

QString AppContext::FilePath(const QString& name) const { return QDir(program_dir).filePath(name); }

}  // namespace hemulu
