#include "data/AppContext.h"

#include <QDir>
#include <cstdio>

#include "data/EmbeddedFiles.h"
#include "data/RowWriter.h"

namespace hemulu {

AppContext::AppContext(const QString& dir, Prompter& p, Clock& c, Notifier& n)
    : shop_dir(dir),
      db(QDir(dir).filePath(kDatabaseFileName)),
      settings(QDir(dir).filePath(kConfigFileName)),
      prompter(p),
      clock(c),
      notifier(n) {}

std::expected<void, DbError> AppContext::EnsureDatabaseOpen() {
  if (db.IsOpen()) return {};
  if (auto opened = db.Open(); !opened) {
    DbError error = opened.error();
    error.unavailable = true;
    return std::unexpected(std::move(error));
  }
  return {};
}

void AppContext::ReportDatabaseUnavailable(const QString& reason) {
  std::fprintf(stderr, "hemulu: %s: %s\n", qUtf8Printable(db.Path()), qUtf8Printable(reason));
  prompter.Message(kDatabaseUnavailableText, kHintTitle, MessageKind::Stop);
}

QString ReadFailureReason(const DbError& error) {
  switch (error.code & 0xff) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return QStringLiteral("数据库文件已损坏");
    case SQLITE_IOERR: return QStringLiteral("读写磁盘时出错，请检查磁盘或U盘是否连接正常");
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return QStringLiteral("数据库正被其他程序使用，请稍后再试");
    case SQLITE_NOMEM: return QStringLiteral("内存不足，请关闭其他程序后再试");
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_AUTH: return QStringLiteral("无法读取数据库文件，请检查文件是否存在、是否有读写权限");
    default: return QStringLiteral("数据库出错");
  }
}

void LogDbFailure(const QString& path, const DbError& error) {
  std::fprintf(stderr, "hemulu: %s: %s\n", qUtf8Printable(path), qUtf8Printable(error.message));
}

void AppContext::ReportReadFailure(const DbError& error, const QString& what) {
  if (error.unavailable) {
    ReportDatabaseUnavailable(error.message);
    return;
  }
  LogDbFailure(db.Path(), error);
  ShowMessage(what + ReadFailureReason(error), MessageKind::Stop);
}

void AppContext::ReportWriteError(const WriteError& error) {
  if (error.unavailable) {
    ReportDatabaseUnavailable(error.detail);
    return;
  }
  ShowMessage(error.Message(), MessageKind::Stop);
}

QString AppContext::FilePath(const QString& name) const { return QDir(shop_dir).filePath(name); }

}  // namespace hemulu
