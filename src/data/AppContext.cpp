#include "data/AppContext.h"

#include <QDir>

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

bool AppContext::EnsureDatabaseOpen() {
  if (db.IsOpen()) return true;
  if (db.Open()) return true;
  prompter.Message(QStringLiteral("打开数据库失败！"), QStringLiteral("提示"), MessageKind::Stop);
  return false;
}

void AppContext::ReportWriteError(const WriteError& error) { ShowMessage(error.Message(), MessageKind::Stop); }

QString AppContext::FilePath(const QString& name) const { return QDir(program_dir).filePath(name); }

bool SuperAdministratorGate(AppContext& ctx, const QString& prompt, const QString& title) {
  std::optional<QString> stored;
  if (ctx.EnsureDatabaseOpen()) {
    if (auto st = ctx.db.Prepare("select 密码 from UserName where 用户名=?")) {
      st->BindAll(kSuperAdministrator);
      if (auto row = st->Step(); row && *row) stored = st->Text(0);
    }
  }
  if (!stored) {
    ctx.ShowMessage(QStringLiteral("没有发现超级管理员账号的存在"), MessageKind::Stop);
    return false;
  }
  const std::optional<QString> typed = ctx.prompter.AskText(prompt, title);
  if (!typed) return false;
  if (*typed != *stored) {
    ctx.ShowMessage(QStringLiteral("超级管理员密码输入错误,无法完成您的请求"), MessageKind::Stop);
    return false;
  }
  return true;
}

bool LookUpUser(AppContext& ctx, const QString& name) {
  if (ctx.EnsureDatabaseOpen()) {
    if (auto st = ctx.db.Prepare("select 用户名, 密码 from UserName where 用户名=? order by ID")) {
      st->BindAll(name);
      if (auto row = st->Step(); row && *row) {
        ctx.session.SetUser(st->Text(0), st->Text(1));
        return true;
      }
    }
  }
  ctx.ShowMessage(QStringLiteral("账号不存在或打开失败"), MessageKind::Stop);
  return false;
}

}  // namespace hemulu
