#pragma once
// The window "用户管理": the operator accounts in a grid, adding, changing and deleting
// them, and the super-administrator's own password. Modal, for 超级管理员 only.

#include <QDialog>

#include "admin/AccountsLogic.h"

class QLineEdit;
class QPushButton;

namespace hemulu {

class Grid;

class AccountsWindow : public QDialog {
  Q_OBJECT

 public:
  explicit AccountsWindow(AppContext& ctx, QWidget* parent = nullptr);

  // Grid columns: 1 the hidden ID, then 用户名, 密码, 权限.
  static constexpr int kIdCol = 1, kNameCol = 2, kPasswordCol = 3, kRoleCol = 4;

  void FillUserGrid();
  // A click on a data row: it becomes the selected account and fills the change boxes.
  void SelectRow(int row);
  void AddUser();
  void ChangeUser();
  void DeleteUser();
  void ChangeSuperAdministratorPassword();

  Grid* UserGrid() const { return grid_; }
  // The ID text of the selected account; empty when none.
  const QString& SelectedId() const { return selected_id_; }

 private:
  qint64 SelectedNumber() const;

  AppContext& ctx_;
  Grid* grid_ = nullptr;
  QLineEdit* new_name_ = nullptr;
  QLineEdit* new_password_ = nullptr;
  QLineEdit* change_name_ = nullptr;
  QLineEdit* change_password_ = nullptr;
  QString selected_id_;
};

}  // namespace hemulu
