#pragma once
// What the set-up window of a shop's database server needs from the data layer: a look at
// a server that changes nothing on it, and the password kept in libpq's own file.

#include <QString>
#include <expected>

#include "data/Database.h"
#include "data/ServerTransfer.h"

namespace hemulu {

// What a server holds, seen without creating anything on it.
struct ServerFacts {
  QString version;              // the server's own version text, e.g. "15.5"
  bool tables_present = false;  // the shop's tables are there
  ServerShopSize shop;          // what they hold, when they are
};

// Connects (with `server.password` when given), reads the facts and disconnects. A
// failure carries the connection's words, as a failed start would.
[[nodiscard]] std::expected<ServerFacts, DbError> ProbeServer(const ServerAddress& server);

// libpq's password file: PGPASSFILE when set, else ~/.pgpass.
QString PasswordFilePath();
// Keeps the password for `server` in the password file (one line for its host, port,
// database and user, replacing an older one for the same four), readable by the user
// alone (0600). The file is written beside itself and renamed into place. The new line
// comes first: libpq takes the first line that fits the connection. When the file
// cannot be written, why: the password holds a line break, or the system's error
// number (for the layer that shows it to put in words).
struct PasswordNotKept {
  bool line_break = false;
  int system_error = 0;
};
[[nodiscard]] std::expected<void, PasswordNotKept> RememberServerPassword(const ServerAddress& server,
                                                                          const QString& password);

}  // namespace hemulu
