#include "app/ServerStart.h"

#include <QDir>

#include "data/EmbeddedFiles.h"

namespace hemulu {

StartDatabase ConnectAtStart(AppContext& ctx) {
  bool password_asked = false;
  for (;;) {
    auto opened = ctx.EnsureDatabaseOpen();
    if (opened) return StartDatabase::Server;
    const DbError& error = opened.error();
    // A password is asked for once; again only after the server refused the one typed.
    if (NeedsPassword(error) && !password_asked) {
      password_asked = true;
      const QString user = ctx.db.Server()->user;
      const QString prompt = user.isEmpty() ? QStringLiteral("请输入数据库服务器的密码：")
                                            : QStringLiteral("请输入数据库服务器的密码（用户：%1）：").arg(user);
      const auto typed = ctx.prompter.AskText(prompt, kServerPasswordTitle, TextEcho::Masked);
      if (typed) {
        ctx.db.SetServerPassword(*typed);
        continue;
      }
    }
    LogDbFailure(ctx.db.Path(), error);
    const QString question = ctx.DatabaseUnavailableText() +
                             QStringLiteral("\n\n可以重试，或者改用本机的数据文件（其中的资料与服务器上的不同）。");
    if (!ctx.prompter.ChooseBetween(question, kMessageCaption, kRetryAnswer, kLocalFileAnswer))
      return StartDatabase::LocalFile;
    if (PasswordRefused(error)) {
      ctx.db.SetServerPassword(QString());
      password_asked = false;
    }
  }
}

std::unique_ptr<AppContext> MakeShopContext(const QString& shop_dir, Prompter& prompter, Clock& clock,
                                            Notifier& notifier) {
  const IniFile settings(QDir(shop_dir).filePath(kConfigFileName));
  if (const auto server = ServerChoice(settings)) {
    auto ctx = std::make_unique<AppContext>(shop_dir, *server, prompter, clock, notifier);
    if (ConnectAtStart(*ctx) == StartDatabase::Server) return ctx;
  }
  return std::make_unique<AppContext>(shop_dir, prompter, clock, notifier);
}

}  // namespace hemulu
