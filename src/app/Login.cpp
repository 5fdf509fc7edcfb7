#include "app/Login.h"

namespace hemulu {

std::vector<UserListItem> ReadUserList(AppContext& ctx) {
  std::vector<UserListItem> users;
  if (!ctx.EnsureDatabaseOpen()) return users;
  auto st = ctx.db.Prepare("select ID, 用户名 from UserName order by ID desc");
  if (!st) return users;
  while (true) {
    auto row = st->Step();
    if (!row || !*row) break;
    users.push_back({st->Text(1), st->Int(0)});
  }
  return users;
}

LoginOutcome AttemptLogin(AppContext& ctx, const std::optional<QString>& chosen_name, const QString& typed_password) {
  if (!chosen_name) {
    ctx.ShowMessage(kChooseAccountMessage, MessageKind::Stop);
    return LoginOutcome::NoAccountChosen;
  }
  if (typed_password.isEmpty()) {
    ctx.ShowMessage(kEnterPasswordMessage, MessageKind::Stop);
    return LoginOutcome::NoPassword;
  }
  // LookUpUser has told the user already; a second message would say nothing new.
  if (!LookUpUser(ctx, *chosen_name)) return LoginOutcome::UnknownAccount;
  if (ctx.session.UserName() == *chosen_name && typed_password.trimmed() == ctx.session.Password())
    return LoginOutcome::Accepted;
  ctx.ShowMessage(kWrongPasswordMessage, MessageKind::Stop);
  return LoginOutcome::WrongPassword;
}

}  // namespace hemulu
