#include "app/Login.h"

namespace hemulu {

std::expected<std::vector<UserListItem>, DbError> ReadUserList(AppContext& ctx) {
  auto st = ctx.Query("select \"ID\", \"用户名\" from \"UserName\" order by \"ID\" desc");
  if (!st) return std::unexpected(st.error());
  std::vector<UserListItem> users;
  while (true) {
    auto row = st->Step();
    if (!row) return std::unexpected(row.error());
    if (!*row) break;
    users.push_back({st->Text(1), st->Int(0)});
  }
  return users;
}

std::expected<bool, DbError> LookUpUser(AppContext& ctx, const QString& name) {
  auto st = ctx.Query("select \"用户名\", \"密码\" from \"UserName\" where \"用户名\"=? order by \"ID\"", name);
  if (!st) return std::unexpected(st.error());
  auto row = st->Step();
  if (!row) return std::unexpected(row.error());
  if (!*row) return false;
  ctx.session.SetUser(st->Text(0), st->Text(1));
  return true;
}

LoginOutcome AttemptLogin(AppContext& ctx, const std::optional<QString>& chosen_name, const QString& typed_password) {
  if (!chosen_name) return LoginOutcome::NoAccountChosen;
  if (typed_password.isEmpty()) return LoginOutcome::NoPassword;
  if (!LookUpUser(ctx, *chosen_name).value_or(false)) return LoginOutcome::UnknownAccount;
  if (ctx.session.UserName() == *chosen_name && typed_password.trimmed() == ctx.session.Password())
    return LoginOutcome::Accepted;
  return LoginOutcome::WrongPassword;
}

QString LoginRefusalText(LoginOutcome outcome) {
  switch (outcome) {
    case LoginOutcome::Accepted:
      return {};
    case LoginOutcome::NoAccountChosen:
      return kChooseAccountMessage;
    case LoginOutcome::NoPassword:
      return kEnterPasswordMessage;
    case LoginOutcome::UnknownAccount:
      return kUnknownAccountMessage;
    case LoginOutcome::WrongPassword:
      return kWrongPasswordMessage;
  }
  return {};
}

std::expected<std::optional<QString>, DbError> SuperAdministratorPassword(AppContext& ctx) {
  auto st = ctx.Query("select \"密码\" from \"UserName\" where \"用户名\"=?", kSuperAdministrator);
  if (!st) return std::unexpected(st.error());
  auto row = st->Step();
  if (!row) return std::unexpected(row.error());
  if (!*row) return std::optional<QString>();
  return std::optional<QString>(st->Text(0));
}

}  // namespace hemulu
