#pragma once
// What the set-up window of a shop's database server needs from the data layer: a look at
// a server that changes nothing on it, and the password kept in libpq's own file.

#include <QString>
#include <expected>

#include "data/Database.h"

namespace hemulu {

// What a server holds, seen without creating anything on it.
struct ServerFacts {
  QString version;              // the server's own version text, e.g. "15.5"
  bool tables_present = false;  // the shop's tables are there
  qint64 goods = 0, sales = 0;  // their rows, when they are
};

// Connects (with `server.password` when given), reads the facts and disconnects. A
// failure carries the connection's words, as a failed start would.
[[nodiscard]] std::expected<ServerFacts, DbError> ProbeServer(const ServerAddress& server);

// libpq's password file: PGPASSFILE when set, else ~/.pgpass.
QString PasswordFilePath();
// Keeps the password for `server` in the password file (one line for its host, port,
// database and user, replacing an older one for the same four), readable by the user
// alone (0600). The file is written beside itself and renamed into place. False, with
// the reason, when it cannot be written.
[[nodiscard]] std::expected<void, QString> RememberServerPassword(const ServerAddress& server, const QString& password);

}  // namespace hemulu
