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
      notifier(n) {
  db.OnChanges([this](const QSet<QString>& tables) { changes.Note(tables); });
}

AppContext::AppContext(const QString& dir, const ServerAddress& server, Prompter& p, Clock& c, Notifier& n)
    : shop_dir(dir), db(server), settings(QDir(dir).filePath(kConfigFileName)), prompter(p), clock(c), notifier(n) {
  db.OnChanges([this](const QSet<QString>& tables) { changes.Note(tables); });
}

std::optional<ServerAddress> ServerChoice(const IniFile& settings) {
  const QString host = settings.Read(kServerSection, QStringLiteral("host")).trimmed();
  if (host.isEmpty()) return std::nullopt;
  ServerAddress a;
  a.host = host;
  const QString port = settings.Read(kServerSection, QStringLiteral("port")).trimmed();
  if (!port.isEmpty()) {
    bool ok = false;
    a.port = port.toInt(&ok);
    // A port that is no port fails to connect, with the reason, rather than reaching
    // some other server on the default one.
    if (!ok || a.port <= 0 || a.port > 65535) a.port = -1;
  }
  a.database = settings.Read(kServerSection, QStringLiteral("dbname")).trimmed();
  a.user = settings.Read(kServerSection, QStringLiteral("user")).trimmed();
  a.sslmode = settings.Read(kServerSection, QStringLiteral("sslmode")).trimmed();
  return a;
}

std::expected<void, DbError> AppContext::EnsureDatabaseOpen() {
  if (db.IsOpen()) return {};
  if (auto opened = db.Open(); !opened) {
    DbError error = opened.error();
    error.kind = DbError::Kind::Unavailable;
    if (db.IsServer()) connect_failure_ = error;
    return std::unexpected(std::move(error));
  }
  connect_failure_.reset();
  return {};
}

QString AppContext::DatabaseUnavailableText() const {
  if (!db.IsServer()) return kDatabaseUnavailableText;
  // No failed connection: the one in use was lost.
  return ServerUnavailableText(connect_failure_.value_or(DbError{DbError::Kind::Unavailable, QString()}));
}

void AppContext::ReportDatabaseUnavailable(const QString& reason) {
  std::fprintf(stderr, "hemulu: %s: %s\n", qUtf8Printable(db.Path()), qUtf8Printable(reason));
  prompter.Message(DatabaseUnavailableText(), kHintTitle, MessageKind::Stop);
}

QString ReadFailureReason(const DbError& error) {
  // A read of the shop's own open file that finds no database there finds it damaged.
  if (error.kind == DbError::Kind::NotADatabase) return EngineFailureText(DbError::Kind::Corrupt);
  // Nothing else is in use while a list reads: no advice to close other windows.
  if (error.kind == DbError::Kind::Other) return QStringLiteral("数据库出错");
  return EngineFailureText(error.kind);
}

void LogDbFailure(const QString& path, const DbError& error) {
  std::fprintf(stderr, "hemulu: %s: %s\n", qUtf8Printable(path), qUtf8Printable(error.message));
}

void AppContext::ReportReadFailure(const DbError& error, const QString& what) {
  if (error.Unavailable()) {
    ReportDatabaseUnavailable(error.message);
    return;
  }
  LogDbFailure(db.Path(), error);
  ShowMessage(what + ReadFailureReason(error), MessageKind::Stop);
}

void AppContext::ReportWriteError(const WriteError& error) {
  // A connection lost during the write: nothing was kept, as when none opened.
  if (error.unavailable || error.kind == DbError::Kind::Unavailable) {
    ReportDatabaseUnavailable(error.detail);
    return;
  }
  if (!error.detail.isEmpty())
    std::fprintf(stderr, "hemulu: %s: %s\n", qUtf8Printable(db.Path()), qUtf8Printable(error.detail));
  ShowMessage(error.Message(), MessageKind::Stop);
}

QString AppContext::FilePath(const QString& name) const { return QDir(shop_dir).filePath(name); }

}  // namespace hemulu
