#include "admin/AccountsWindow.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "data/TextFormat.h"
#include "lists/Grid.h"
#include "ui/NamedWidgets.h"
#include "ui/ShowActionError.h"
#include "ui/SuperAdministratorGate.h"

namespace hemulu {

namespace {

QLineEdit* MakeBox(const QString& name, QWidget* parent) {
  QLineEdit* box = NamedLineEdit(name, parent);
  box->setMaxLength(100);
  return box;
}

// A colour key of config.ini; nullopt when the key is absent or not a number, so the
// grid keeps its own readable selection colours.
std::optional<int> ColourSetting(const IniFile& ini, const QString& key) {
  if (auto v = ParseNumber(ini.ReadSetupValue(key)); v && *v >= 0 && *v <= 0xFFFFFF) return static_cast<int>(*v);
  return std::nullopt;
}

}  // namespace

AccountsWindow::AccountsWindow(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  setObjectName(QStringLiteral("用户管理"));
  setWindowTitle(QStringLiteral("用户管理"));
  setModal(true);

  grid_ = new Grid(this, QStringLiteral("用户表格"));
  grid_->setFont(QFont(QStringLiteral("Tahoma")));
  grid_->SetCols(5);
  grid_->SetFixedRows(1);
  grid_->SetRows(1);
  grid_->SetColumnLockedHidden(kIdCol, true);
  grid_->SetCellText(0, kNameCol, QStringLiteral("用户名"));
  grid_->SetCellText(0, kPasswordCol, QStringLiteral("密码"));
  grid_->SetCellText(0, kRoleCol, QStringLiteral("权限"));
  grid_->SetColumnWidth(0, 24);
  grid_->SetColumnWidth(kNameCol, 150);
  grid_->SetColumnWidth(kPasswordCol, 130);
  grid_->SetExtendLastCol(true);
  grid_->SetUserSort(false);
  grid_->SetBackColorBkg(16777215);
  grid_->setMinimumHeight(200);
  connect(grid_, &Grid::MouseReleased, this, [this](Qt::MouseButton button, int row, int, const QPoint&) {
    if (button == Qt::LeftButton) SelectRow(row);
  });
  connect(grid_, &Grid::RowActivated, this, &AccountsWindow::SelectRow);

  auto* add_group = new QGroupBox(QStringLiteral("添加用户"), this);
  new_name_ = MakeBox(kNewNameBox, add_group);
  new_password_ = MakeBox(kNewPasswordBox, add_group);
  auto* add_button = CaptionButton(QStringLiteral("添加用户"), add_group);
  auto* add_form = new QFormLayout(add_group);
  add_form->addRow(QStringLiteral("用户名："), new_name_);
  add_form->addRow(QStringLiteral("密码："), new_password_);
  add_form->addRow(QString(), add_button);

  auto* change_group = new QGroupBox(QStringLiteral("修改选中的用户"), this);
  change_name_ = MakeBox(kChangeNameBox, change_group);
  change_password_ = MakeBox(kChangePasswordBox, change_group);
  auto* change_button = CaptionButton(QStringLiteral("修改用户"), change_group);
  auto* delete_button = CaptionButton(QStringLiteral("删除用户"), change_group);
  auto* change_buttons = new QHBoxLayout;
  change_buttons->addWidget(change_button);
  change_buttons->addWidget(delete_button);
  auto* change_form = new QFormLayout(change_group);
  change_form->addRow(QStringLiteral("用户名："), change_name_);
  change_form->addRow(QStringLiteral("密码："), change_password_);
  change_form->addRow(QString(), change_buttons);

  auto* super_button = CaptionButton(QStringLiteral("修改超管密码"), this);
  auto* close_button = CaptionButton(QStringLiteral("关闭"), this);
  connect(add_button, &QPushButton::clicked, this, &AccountsWindow::AddUser);
  connect(change_button, &QPushButton::clicked, this, &AccountsWindow::ChangeUser);
  connect(delete_button, &QPushButton::clicked, this, &AccountsWindow::DeleteUser);
  connect(super_button, &QPushButton::clicked, this, &AccountsWindow::ChangeSuperAdministratorPassword);
  connect(close_button, &QPushButton::clicked, this, &QDialog::reject);
  // Enter in a box runs the command of its group.
  connect(new_name_, &QLineEdit::returnPressed, this, &AccountsWindow::AddUser);
  connect(new_password_, &QLineEdit::returnPressed, this, &AccountsWindow::AddUser);
  connect(change_name_, &QLineEdit::returnPressed, this, &AccountsWindow::ChangeUser);
  connect(change_password_, &QLineEdit::returnPressed, this, &AccountsWindow::ChangeUser);

  auto* groups = new QHBoxLayout;
  groups->addWidget(add_group);
  groups->addWidget(change_group);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(super_button);
  bottom->addStretch(1);
  bottom->addWidget(close_button);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(grid_, 1);
  layout->addLayout(groups);
  layout->addLayout(bottom);
  resize(560, 460);

  FillUserGrid();
  new_name_->setFocus();
}

void AccountsWindow::FillUserGrid() {
  auto rows = ListOperatorAccounts(ctx_);
  grid_->BeginUpdate();
  grid_->SetRows(1);
  if (rows) {
    for (const AccountRow& a : *rows)
      grid_->AddItem(QString::number(a.id) + QLatin1Char('\t') + a.name + QLatin1Char('\t') + a.password +
                     QLatin1Char('\t') + a.role);
  }
  const IniFile& ini = ctx_.settings;
  if (auto c = ColourSetting(ini, QStringLiteral("selectcolor"))) {
    grid_->SetBackColorSel(*c);
    grid_->SetBackColorActiveCellSel(*c);
  }
  if (auto c = ColourSetting(ini, QStringLiteral("selectline"))) grid_->SetSelectionBorderColor(*c);
  grid_->EndUpdate();
  grid_->Refresh();
  if (!rows) ShowActionError(ctx_, rows.error(), this);
}

void AccountsWindow::SelectRow(int row) {
  if (row < grid_->FixedRows() || row >= grid_->Rows()) return;
  selected_id_ = grid_->CellText(row, kIdCol);
  if (SelectedNumber() > 0) {
    change_name_->setText(grid_->CellText(row, kNameCol));
    change_password_->setText(grid_->CellText(row, kPasswordCol));
  }
}

qint64 AccountsWindow::SelectedNumber() const {
  const double id = NumberValue(selected_id_);
  return id > kTolerance ? static_cast<qint64>(id) : 0;
}

void AccountsWindow::AddUser() {
  auto added = AddAccount(ctx_, new_name_->text(), new_password_->text());
  if (!added) {
    ShowActionError(ctx_, added.error(), this);
    return;
  }
  FillUserGrid();
  new_name_->clear();
  new_password_->clear();
  ctx_.ShowMessage(QStringLiteral("添加用户成功"), MessageKind::Information);
  new_name_->setFocus();
}

void AccountsWindow::ChangeUser() {
  const QString name = change_name_->text(), password = change_password_->text();
  if (auto ok = CheckAccountChange(ctx_, SelectedNumber(), name, password); !ok) {
    ShowActionError(ctx_, ok.error(), this);
    return;
  }
  if (!ctx_.prompter.Confirm(QStringLiteral("确定要修改 [") + name.trimmed() + QStringLiteral("] 这个用户名的密码吗？"),
                             QStringLiteral("友情提示")))
    return;
  if (auto done = ChangeAccount(ctx_, SelectedNumber(), name, password); !done) {
    ShowActionError(ctx_, done.error(), this);
    return;
  }
  FillUserGrid();
  ctx_.ShowMessage(QStringLiteral("修改数据完成"), MessageKind::Information);
}

void AccountsWindow::DeleteUser() {
  const qint64 id = SelectedNumber();
  if (id <= 0) return;
  if (!ctx_.prompter.Confirm(kDeleteQuestion, kWarningTitle)) return;
  if (auto done = DeleteAccount(ctx_, id); !done) {
    ShowActionError(ctx_, done.error(), this);
    return;
  }
  for (int row = grid_->FixedRows(); row < grid_->Rows(); ++row) {
    if (grid_->CellText(row, kIdCol) == selected_id_) {
      grid_->RemoveItem(row);
      break;
    }
  }
  // The deleted account can no longer be changed.
  selected_id_.clear();
  change_name_->clear();
  change_password_->clear();
}

void AccountsWindow::ChangeSuperAdministratorPassword() {
  // The old password is asked for as by the gate of the other protected commands.
  if (!SuperAdministratorGate(ctx_, QStringLiteral("请输入旧的超级管理员密码,默认超管密码 735"),
                              QStringLiteral("旧的超管密码")))
    return;
  const auto new_password =
      ctx_.prompter.AskText(QStringLiteral("请输入新的超管密码"), QStringLiteral("新的超管密码"), TextEcho::Masked);
  if (!new_password) return;
  if (auto ok = CheckNewSuperAdministratorPassword(*new_password); !ok) {
    ShowActionError(ctx_, ok.error(), this);
    return;
  }
  // A masked password is typed twice: a slip of the finger would otherwise lock the
  // super-administrator out.
  const auto repeated =
      ctx_.prompter.AskText(kRepeatSuperPasswordPrompt, QStringLiteral("新的超管密码"), TextEcho::Masked);
  if (!repeated) return;
  if (*repeated != *new_password) {
    ctx_.ShowMessage(kSuperPasswordsDifferMessage, MessageKind::Information);
    return;
  }
  if (auto done = SetSuperAdministratorPassword(ctx_, *new_password); !done) {
    ShowActionError(ctx_, done.error(), this);
    return;
  }
  ctx_.ShowMessage(QStringLiteral("超级管理密码修改成功"), MessageKind::Information);
}

}  // namespace hemulu
