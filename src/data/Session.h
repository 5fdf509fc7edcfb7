#pragma once
// The logged-in user for the whole run. Roles follow the user name alone, never the
// stored 权限 text.

#include <QString>

namespace hemulu {

inline const QString kSuperAdministrator = QStringLiteral("超级管理员");
// What an operator is told of the super-administrator's own commands.
inline const QString kOperatorRefusedText = QStringLiteral(" 对不起，您不能这么做!\n\n请使用超级管理员账号登陆");
// The accounts table has lost its 超级管理员 row.
inline const QString kNoSuperAdministratorMessage = QStringLiteral("没有发现超级管理员账号的存在");

class Session {
 public:
  void SetUser(QString name, QString password) {
    user_name_ = std::move(name);
    password_ = std::move(password);
  }
  const QString& UserName() const { return user_name_; }
  const QString& Password() const { return password_; }
  // Exact, case-sensitive comparison of the name.
  bool IsSuperAdministrator() const { return user_name_ == kSuperAdministrator; }

 private:
  QString user_name_;
  QString password_;
};

}  // namespace hemulu
