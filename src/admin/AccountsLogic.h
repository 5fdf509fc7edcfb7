#pragma once
// Operator accounts and the super-administrator password: the queries and writes of
// user management. No widgets; every refusal comes back with the text to show and
// the box that should take the focus.

#include <QString>
#include <expected>
#include <optional>
#include <vector>

#include "data/ActionError.h"
#include "data/AppContext.h"

namespace hemulu {

inline const QString kOperatorRole = QStringLiteral("操作员");

struct AccountRow {
  qint64 id = 0;
  QString name, password, role;
};

// The boxes of the user management window, by their names: a refusal names the one
// that takes the focus.
inline const QString kNewNameBox = QStringLiteral("新用户名框");
inline const QString kNewPasswordBox = QStringLiteral("新密码框");
inline const QString kChangeNameBox = QStringLiteral("修改用户名框");
inline const QString kChangePasswordBox = QStringLiteral("修改密码框");

// Every account but 超级管理员, in ID order.
[[nodiscard]] std::expected<std::vector<AccountRow>, ActionError> ListOperatorAccounts(AppContext& ctx);

// Adds an operator account from the typed values (surrounding blanks removed).
// Refuses an empty name, the name 超级管理员, an empty password and a name in use;
// a value the column cannot hold gives "错误代码 [050]" / "[051]" / "[052]".
[[nodiscard]] std::expected<qint64, ActionError> AddAccount(AppContext& ctx, const QString& name,
                                                            const QString& password);

// The checks of a change, made before the user is asked to confirm it: a name and a
// password given, the name neither 超级管理员 nor another account's.
[[nodiscard]] std::expected<void, ActionError> CheckAccountChange(AppContext& ctx, qint64 id, const QString& name,
                                                                  const QString& password);
// Rewrites the account's name and password (role 操作员) after the same checks.
[[nodiscard]] std::expected<void, ActionError> ChangeAccount(AppContext& ctx, qint64 id, const QString& name,
                                                             const QString& password);

// Deletes an operator account; 超级管理员 is never deleted.
[[nodiscard]] std::expected<void, ActionError> DeleteAccount(AppContext& ctx, qint64 id);

// The checks of a new super-administrator password, made before it is asked again.
[[nodiscard]] std::expected<void, ActionError> CheckNewSuperAdministratorPassword(const QString& password);
// Stores a new super-administrator password (taken as typed: the gate compares it
// untrimmed) and records in config.ini that the default has been changed. An empty
// password is refused: no one could ever type it at the login.
[[nodiscard]] std::expected<void, ActionError> SetSuperAdministratorPassword(AppContext& ctx, const QString& password);

// The new super-administrator password is typed twice, masked.
inline const QString kRepeatSuperPasswordPrompt = QStringLiteral("请再次输入新的超管密码");
inline const QString kSuperPasswordsDifferMessage = QStringLiteral("两次输入的新密码不一致，超管密码未修改");

}  // namespace hemulu
