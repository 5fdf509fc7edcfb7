#pragma once
// Accounts: the login list, the login rules and the super-administrator password.
// Logic only: nothing here shows a window; the login window and the password gate
// turn the outcomes into messages.

#include <QString>
#include <expected>
#include <optional>
#include <vector>

#include "data/AppContext.h"

namespace hemulu {

struct UserListItem {
  QString name;
  qint64 id = 0;
};

// The accounts for the login list, most recently created (highest ID) first.
[[nodiscard]] std::expected<std::vector<UserListItem>, DbError> ReadUserList(AppContext& ctx);

// Finds the account by name; when found sets the current user and gives true.
[[nodiscard]] std::expected<bool, DbError> LookUpUser(AppContext& ctx, const QString& name);

enum class LoginOutcome { Accepted, NoAccountChosen, NoPassword, UnknownAccount, WrongPassword };

// Checks the chosen account and the typed password; on success the account is the
// current user. The typed password is trimmed, the stored one is not, so a stored
// password with surrounding blanks can never be matched here. A database that does
// not open counts as an unknown account.
[[nodiscard]] LoginOutcome AttemptLogin(AppContext& ctx, const std::optional<QString>& chosen_name,
                                        const QString& typed_password);

// The texts of the login refusals.
inline const QString kChooseAccountMessage = QStringLiteral("请先选择登录账号。");
inline const QString kEnterPasswordMessage = QStringLiteral("请输入登录密码。");
inline const QString kUnknownAccountMessage = QStringLiteral("账号不存在或打开失败");
inline const QString kWrongPasswordMessage = QStringLiteral("账号或密码不正确，请重新输入。");
// The message of a refusal; empty for Accepted.
QString LoginRefusalText(LoginOutcome outcome);

// The stored password of 超级管理员; nullopt when there is no such account.
[[nodiscard]] std::expected<std::optional<QString>, DbError> SuperAdministratorPassword(AppContext& ctx);

inline const QString kWrongSuperAdministratorPasswordMessage =
    QStringLiteral("超级管理员密码输入错误,无法完成您的请求");

}  // namespace hemulu
