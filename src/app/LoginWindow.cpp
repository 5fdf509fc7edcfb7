#include "app/LoginWindow.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "app/Artwork.h"
#include "app/Login.h"

namespace hemulu {

namespace {
const QString kDefaultPasswordHint = QStringLiteral("默认超级管理员密码 735");
}  // namespace

QString PasswordHint(const IniFile& settings) {
  return settings.SetupFlag(QStringLiteral("password")) ? QStringLiteral("禾木鹭专用登陆器") : kDefaultPasswordHint;
}

LoginWindow::LoginWindow(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  setObjectName(QStringLiteral("登录窗口"));
  setWindowIcon(ProgramIcon());

  auto* banner = new QLabel(this);
  banner->setObjectName(QStringLiteral("登录标题"));
  banner->setText(kProgramName);
  banner->setAlignment(Qt::AlignCenter);
  banner->setStyleSheet(
      QStringLiteral("#登录标题 { font-size: 20px; font-weight: bold; color: #ffffff; padding: 14px;"
                     " background: qlineargradient(x1:0, y1:0, x2:1, y2:1, stop:0 #2bb6a3, stop:1 #17607e); }"));

  users_ = new QComboBox(this);
  users_->setObjectName(QStringLiteral("组合框1"));
  users_->setMinimumWidth(200);
  password_ = new QLineEdit(this);
  password_->setObjectName(QStringLiteral("编辑框2"));
  password_->setEchoMode(QLineEdit::Password);
  hint_ = new QLabel(kDefaultPasswordHint, this);
  hint_->setObjectName(QStringLiteral("密码提示标签"));
  hint_->setStyleSheet(QStringLiteral("color: #6b7b86;"));

  auto* form = new QFormLayout;
  form->setContentsMargins(24, 16, 24, 4);
  form->addRow(QStringLiteral("账号："), users_);
  form->addRow(QStringLiteral("密码："), password_);
  form->addRow(QString(), hint_);

  auto* buttons = new QDialogButtonBox(this);
  login_button_ = buttons->addButton(QStringLiteral("登录"), QDialogButtonBox::AcceptRole);
  login_button_->setObjectName(QStringLiteral("登录按钮"));
  login_button_->setDefault(true);
  QPushButton* quit_button = buttons->addButton(QStringLiteral("退出"), QDialogButtonBox::RejectRole);
  quit_button->setObjectName(QStringLiteral("退出按钮"));
  // Enter anywhere in the window presses the default button, which logs in; the
  // dialog itself is never "accepted" by it.
  connect(login_button_, &QPushButton::clicked, this, &LoginWindow::Login);
  connect(quit_button, &QPushButton::clicked, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 16);
  layout->addWidget(banner);
  layout->addLayout(form);
  auto* button_row = new QHBoxLayout;
  button_row->setContentsMargins(24, 8, 24, 0);
  button_row->addWidget(buttons);
  layout->addLayout(button_row);
  setSizeGripEnabled(false);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  // The start-up steps, in their order.
  setWindowTitle(kProgramTitle);
  hint_->setText(PasswordHint(ctx_.settings));
  if (auto open = ctx_.EnsureDatabaseOpen(); !open) ctx_.ReportDatabaseUnavailable(open.error().message);
  FillUserList();
  password_->setFocus();
}

void LoginWindow::FillUserList() {
  const auto users = ReadUserList(ctx_);
  users_->clear();
  if (!users) {
    // The list stays empty; the user is told each time it is asked for.
    if (users.error().Unavailable()) ctx_.ReportDatabaseUnavailable(users.error().message);
    return;
  }
  for (const UserListItem& user : *users) users_->addItem(user.name, user.id);
  if (users_->count() > 0) users_->setCurrentIndex(0);
}

void LoginWindow::Login() {
  std::optional<QString> chosen;
  if (users_->currentIndex() >= 0) chosen = users_->currentText();
  const LoginOutcome outcome = AttemptLogin(ctx_, chosen, password_->text());
  if (outcome != LoginOutcome::Accepted) ctx_.ShowMessage(LoginRefusalText(outcome), MessageKind::Stop);
  switch (outcome) {
    case LoginOutcome::Accepted:
      emit LoggedIn();
      return;
    case LoginOutcome::NoAccountChosen:
      users_->setFocus();
      return;
    case LoginOutcome::NoPassword:
    case LoginOutcome::UnknownAccount:
    case LoginOutcome::WrongPassword:
      // Ready for the next try: the old text selected, so typing replaces it.
      password_->setFocus();
      password_->selectAll();
      return;
  }
}

}  // namespace hemulu
