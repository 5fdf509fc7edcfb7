#pragma once
// The login rules, apart from the window so that they can be checked on a bare context.

#include <QString>
#include <optional>
#include <vector>

#include "data/AppContext.h"

namespace hemulu {

struct UserListItem {
  QString name;
  qint64 id = 0;
};

// The accounts for the login list, most recently created (highest ID) first. Shows
// "打开数据库失败！" and gives an empty list when the database cannot be opened.
std::vector<UserListItem> ReadUserList(AppContext& ctx);

enum class LoginOutcome { Accepted, NoAccountChosen, NoPassword, UnknownAccount, WrongPassword };

// Checks the chosen account and the typed password; on success the account is the
// current user. The typed password is trimmed, the stored one is not, so a stored
// password with surrounding blanks can never be matched here. Every refusal has
// already been shown to the user (stop icon) when this returns.
LoginOutcome AttemptLogin(AppContext& ctx, const std::optional<QString>& chosen_name, const QString& typed_password);

// The texts of the login refusals.
inline const QString kChooseAccountMessage = QStringLiteral("请先选择登录账号。");
inline const QString kEnterPasswordMessage = QStringLiteral("请输入登录密码。");
inline const QString kWrongPasswordMessage = QStringLiteral("账号或密码不正确，请重新输入。");

}  // namespace hemulu
