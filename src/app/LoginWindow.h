#pragma once
// The first window of every run: pick an account, type its password.

#include <QDialog>

#include "data/AppContext.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace hemulu {

inline const QString kProgramTitle = QStringLiteral("禾木鹭商品进销存系统v1.0  - 简单版");

class LoginWindow : public QDialog {
  Q_OBJECT
 public:
  // Runs the start-up steps that follow the working files: title, hint label, the
  // database, the account list, the focus on the password box. The working files
  // must have been written before.
  explicit LoginWindow(AppContext& ctx, QWidget* parent = nullptr);

  // Fills 组合框1 with the accounts, highest ID first, each item's data its ID, and
  // selects the first.
  void FillUserList();

 signals:
  // The current user is set; the window has done its part and may be destroyed.
  void LoggedIn();

 public slots:
  void Login();

 private:
  AppContext& ctx_;
  QComboBox* users_;
  QLineEdit* password_;
  QLabel* hint_;
  QPushButton* login_button_;
};

// The hint under the password box: the default password is shown only until the
// super-administrator password has been changed.
QString PasswordHint(const IniFile& settings);

}  // namespace hemulu
