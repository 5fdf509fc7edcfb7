#pragma once
// The program-wide objects, built once by main() (or by a test on a temporary folder)
// and handed to every window by reference.

#include <QString>
#include <expected>
#include <optional>

#include "data/ChangeFeed.h"
#include "data/Clock.h"
#include "data/Database.h"
#include "data/IniFile.h"
#include "data/Prompter.h"
#include "data/Session.h"

namespace hemulu {

struct WriteError;

inline const QString kDatabaseUnavailableText = QStringLiteral("打开数据库失败！");
// What a failed read of a list left undone; the reason follows.
inline const QString kListNotUpdatedText = QStringLiteral("读取数据失败，列表没有更新：");
inline const QString kRowsNotShownText = QStringLiteral("读取数据失败，部分行无法显示：");
inline const QString kNotExportedText = QStringLiteral("读取数据失败，没有导出：");
inline const QString kNotPrintedText = QStringLiteral("读取数据失败，没有打印：");

// Why a read failed, in the user's words (the engine's own stay in `message`, for the log).
QString ReadFailureReason(const DbError& error);
// Writes a failure's own words to standard error, beside the file they are about.
void LogDbFailure(const QString& path, const DbError& error);

// The server chosen in config.ini's [server] section (host, port, dbname, user,
// sslmode), or nullopt when there is none: the shop's own file. The password is never
// in the file.
std::optional<ServerAddress> ServerChoice(const IniFile& settings);
inline const QString kServerSection = QStringLiteral("server");

struct AppContext {
  // `shop_dir`: the folder that holds data.db and config.ini (see app/ShopFolder.h).
  AppContext(const QString& shop_dir, Prompter& prompter, Clock& clock, Notifier& notifier);
  // A shop whose database is on a server; config.ini stays in `shop_dir`.
  AppContext(const QString& shop_dir, const ServerAddress& server, Prompter& prompter, Clock& clock,
             Notifier& notifier);

  // Opens data.db when it is not open. Shows nothing: a failure comes back as a
  // DbError marked unavailable, with Open()'s reason, for the caller to pass on.
  [[nodiscard]] std::expected<void, DbError> EnsureDatabaseOpen();
  // Opens the database when needed and prepares the statement with its values bound:
  // the first step of every read of the logic.
  template <class... Args>
  [[nodiscard]] std::expected<Statement, DbError> Query(std::string_view sql, const Args&... args) {
    if (auto open = EnsureDatabaseOpen(); !open) return std::unexpected(open.error());
    auto st = db.Prepare(sql);
    if (st) st->BindAll(args...);
    return st;
  }

  // ---- For windows only: logic never shows anything ----
  // The program's message box (caption "禾木鹭进销存").
  void ShowMessage(const QString& text, MessageKind kind) { prompter.ShowMessage(text, kind); }
  // "打开数据库失败！" (caption "提示", stop icon), or on a server "无法连接数据库服务器"
  // and why; the reason goes to standard error, where a bug report can quote it.
  void ReportDatabaseUnavailable(const QString& reason);
  // The text of that message.
  QString DatabaseUnavailableText() const;
  // A failed read: "打开数据库失败！" when the database did not open, else `what`
  // (kListNotUpdatedText, …) with the reason in the user's words; the engine's words go
  // to standard error.
  void ReportReadFailure(const DbError& error, const QString& what = kListNotUpdatedText);
  // Shows a failed insertion ("错误代码 [099]", "打开数据库失败！" or the database's
  // complaint), stop icon.
  void ReportWriteError(const WriteError& error);
  // A file of the shop's folder: the working files and the spreadsheet exports.
  QString FilePath(const QString& name) const;

  const QString shop_dir;
  Database db;
  // Tables changed by committed writes, of this program or (on a server) of any: pages
  // refill by it (ui/LiveRefill.h).
  ChangeFeed changes;
  IniFile settings;
  Session session;
  Prompter& prompter;
  Clock& clock;
  Notifier& notifier;

 private:
  // Why the last connection to the server failed, until one succeeds.
  std::optional<DbError> connect_failure_;
};

}  // namespace hemulu
