#pragma once
// The set-up window "数据库服务器": its boxes read and checked, the choice kept in
// config.ini's [server] section (the password never: libpq's own file keeps it when the
// user asks), and what a look at the server found, in words.

#include <QString>
#include <expected>

#include "data/IniFile.h"
#include "data/ServerSetup.h"

namespace hemulu {

// The boxes as typed.
struct ServerForm {
  QString host, port, database, user, password;
  // "要求加密连接": the connection refused unless encrypted. `sslmode` is the stored mode,
  // kept when it already asks for more (a check of the server's certificate).
  bool encrypted = false;
  QString sslmode = {};
};

// The longest text a box takes: a host name is at most 253 characters.
inline constexpr int kServerFieldLimit = 253;

// The address the boxes give, or what is wrong with them: no host or database, a port
// that is not 1–65535, a line break or an overlong text in any box.
[[nodiscard]] std::expected<ServerAddress, QString> ReadServerForm(const ServerForm& form);
// The boxes as config.ini's [server] section fills them (the password empty).
ServerForm LoadServerForm(const IniFile& settings);
// Writes host, port, dbname, user and sslmode; false when config.ini could not be written.
[[nodiscard]] bool SaveServerChoice(IniFile& settings, const ServerAddress& server);
// Back to the local file: the host emptied (the rest kept for the next time).
[[nodiscard]] bool ClearServerChoice(IniFile& settings);

// "连接成功。服务器版本 15.5，……" with what the database holds.
QString ServerFactsText(const ServerFacts& facts);
// The window's first lines: the database this run uses (`running`: its server, or
// nullptr for the local file) and, when config.ini now names another, the one the next
// start will use.
QString CurrentChoiceText(const IniFile& settings, const ServerAddress* running);

}  // namespace hemulu
