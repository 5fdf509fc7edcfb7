#pragma once
// The logged-in user for the whole run. Roles follow the user name alone, never the
// stored 权限 text.

#include <QString>

namespace hemulu {

inline const QString kSuperAdministrator = QStringLiteral("超级管理员");

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
