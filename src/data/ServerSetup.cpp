#include "data/ServerSetup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include "data/ServerEngine.h"
#include "data/ServerTransfer.h"

namespace hemulu {

namespace {

// A field of a password-file line: its colons and backslashes escaped.
QString PassField(const QString& text) {
  QString out = text;
  out.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
  out.replace(QLatin1Char(':'), QStringLiteral("\\:"));
  return out;
}

// The first four fields of a line as written, for finding an older line of the same server.
QString PassKey(const ServerAddress& s) {
  return PassField(s.host) + QLatin1Char(':') + QString::number(s.port) + QLatin1Char(':') + PassField(s.database) +
         QLatin1Char(':') + PassField(s.user) + QLatin1Char(':');
}

std::unexpected<PasswordNotKept> SystemFailure(int error) {
  return std::unexpected(PasswordNotKept{false, error != 0 ? error : EIO});
}

}  // namespace

std::expected<ServerFacts, DbError> ProbeServer(const ServerAddress& server) {
  auto opened = OpenServerConnection(server);
  if (!opened) return std::unexpected(opened.error());
  PgConnection& c = **opened;
  ServerFacts facts;
  auto version = ServerRow(c, "SHOW server_version");
  if (!version) return std::unexpected(version.error());
  facts.version = version->value(0);
  auto shop = ServerShopSizeOf(c);
  if (!shop) return std::unexpected(shop.error());
  facts.tables_present = shop->has_value();
  if (*shop) facts.shop = **shop;
  return facts;
}

QString PasswordFilePath() {
  const QByteArray set = qgetenv("PGPASSFILE");
  if (!set.isEmpty()) return QString::fromLocal8Bit(set);
  return QDir::home().filePath(QStringLiteral(".pgpass"));
}

std::expected<void, PasswordNotKept> RememberServerPassword(const ServerAddress& server, const QString& password) {
  // A line break would end the line and start another libpq reads as a server of its own.
  if (password.contains(QLatin1Char('\n')) || password.contains(QLatin1Char('\r')))
    return std::unexpected(PasswordNotKept{true, 0});
  const QString path = PasswordFilePath();
  const QString key = PassKey(server);
  // First: a wildcard line above it (any database, any user) would be taken instead.
  QByteArray text = (key + PassField(password)).toUtf8() + '\n';
  if (QFile old(path); old.exists()) {
    errno = 0;
    if (!old.open(QIODevice::ReadOnly)) return SystemFailure(errno);
    for (const QByteArray& line : old.readAll().split('\n')) {
      if (line.isEmpty() || QString::fromUtf8(line).startsWith(key)) continue;
      text += line + '\n';
    }
  }

  // Made 0600 from its first byte: libpq ignores a password file others may read.
  const QByteArray part = QFile::encodeName(path + QStringLiteral(".part"));
  const int fd = ::open(part.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return SystemFailure(errno);
  bool ok = ::fchmod(fd, 0600) == 0;
  for (qsizetype done = 0; ok && done < text.size();) {
    const ssize_t n = ::write(fd, text.constData() + done, static_cast<size_t>(text.size() - done));
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += n;
  }
  int error = ok ? 0 : errno;
  if (ok && ::fsync(fd) != 0) {
    ok = false;
    error = errno;
  }
  ::close(fd);
  if (ok && ::rename(part.constData(), QFile::encodeName(path).constData()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(part.constData());
    return SystemFailure(error);
  }
  return {};
}

}  // namespace hemulu
