#pragma once
// The program-wide objects, built once by main() (or by a test on a temporary folder)
// and handed to every window by reference.

#include <QString>

#include "data/Clock.h"
#include "data/Database.h"
#include "data/IniFile.h"
#include "data/Prompter.h"
#include "data/Session.h"

namespace hemulu {

struct WriteError;

struct AppContext {
  AppContext(const QString& program_dir, Prompter& prompter, Clock& clock, Notifier& notifier);

  // Opens data.db when it is not open; on failure shows "打开数据库失败！" and returns
  // false, and the caller goes on with empty results.
  bool EnsureDatabaseOpen();
  // The program's message box (caption "禾木鹭进销存").
  void ShowMessage(const QString& text, MessageKind kind) { prompter.ShowMessage(text, kind); }
  // Shows a failed insertion ("错误代码 [099]" or the database's complaint), stop icon.
  void ReportWriteError(const WriteError& error);
  QString FilePath(const QString& name) const;

  const QString program_dir;
  Database db;
  IniFile settings;
  Session session;
  Prompter& prompter;
  Clock& clock;
  Notifier& notifier;
};

// Reads the stored password of 超级管理员, asks for it, and tells whether the typed
// text matches exactly (nothing trimmed). Cancel refuses without a message.
bool SuperAdministratorGate(AppContext& ctx, const QString& prompt, const QString& title);

// Finds the account by name; on success sets the current user and returns true.
// Shows "账号不存在或打开失败" when there is no such account or no database.
bool LookUpUser(AppContext& ctx, const QString& name);

}  // namespace hemulu
