#pragma once
// The start of a shop whose database is on a server (config.ini's [server] section):
// connecting before the login window, asking for the password when the server wants one
// and ~/.pgpass has none, and offering to retry or to open the local file when it fails.

#include <memory>

#include "data/AppContext.h"

namespace hemulu {

enum class StartDatabase { Server, LocalFile };

// Connects `ctx` (made for the server) until it succeeds or the user chooses the local
// file. The password typed is kept in memory for the reconnections of this run only.
StartDatabase ConnectAtStart(AppContext& ctx);

inline const QString kRetryAnswer = QStringLiteral("重试");
inline const QString kLocalFileAnswer = QStringLiteral("打开本机数据文件");
inline const QString kServerPasswordTitle = QStringLiteral("连接数据库服务器");

// The shop's context: on the server chosen in config.ini when it connects, else (none
// chosen, or the user's choice) on the shop's own file.
std::unique_ptr<AppContext> MakeShopContext(const QString& shop_dir, Prompter& prompter, Clock& clock,
                                            Notifier& notifier);

}  // namespace hemulu
