#include "admin/ServerSetupWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "admin/MaintenanceLogic.h"
#include "ui/BusyCursor.h"
#include "ui/NamedWidgets.h"

namespace hemulu {

ServerSetupWindow::ServerSetupWindow(AppContext& ctx, std::function<void()> restart, QWidget* parent)
    : QDialog(parent), ctx_(ctx), restart_(std::move(restart)) {
  setObjectName(QStringLiteral("数据库服务器"));
  setWindowTitle(QStringLiteral("数据库服务器"));
  setModal(true);

  current_ = new QLabel(CurrentChoiceText(ctx_.settings, ctx_.db.Server()), this);
  current_->setObjectName(QStringLiteral("当前数据库标签"));
  current_->setWordWrap(true);

  const ServerForm saved = LoadServerForm(ctx_.settings);
  auto box = [this](const QString& name, const QString& text) {
    QLineEdit* edit = NamedLineEdit(name, this);
    edit->setText(text);
    edit->setMaxLength(kServerFieldLimit);
    edit->setMinimumWidth(280);
    return edit;
  };
  host_ = box(QStringLiteral("服务器地址框"), saved.host);
  host_->setPlaceholderText(QStringLiteral("如 192.168.1.10"));
  port_ = box(QStringLiteral("端口框"), saved.port);
  database_ = box(QStringLiteral("数据库框"), saved.database);
  user_ = box(QStringLiteral("用户框"), saved.user);
  password_ = box(QStringLiteral("密码框"), QString());
  password_->setEchoMode(QLineEdit::Password);
  password_->setPlaceholderText(QStringLiteral("不记住时，每次启动询问"));
  remember_ = new QCheckBox(QStringLiteral("记住密码（保存在本机用户的 ~/.pgpass，只有本用户可读）"), this);
  remember_->setObjectName(QStringLiteral("记住密码"));
  encrypted_ = new QCheckBox(QStringLiteral("要求加密连接（服务器在另一台电脑上时请勾选）"), this);
  encrypted_->setObjectName(QStringLiteral("要求加密连接"));
  encrypted_->setChecked(saved.encrypted);
  stored_sslmode_ = saved.sslmode;

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("服务器地址："), host_);
  form->addRow(QStringLiteral("端口："), port_);
  form->addRow(QStringLiteral("数据库："), database_);
  form->addRow(QStringLiteral("用户："), user_);
  form->addRow(QStringLiteral("密码："), password_);
  form->addRow(QString(), remember_);
  form->addRow(QString(), encrypted_);

  result_ = new QLabel(this);
  result_->setObjectName(QStringLiteral("测试结果标签"));
  result_->setWordWrap(true);
  result_->setMinimumHeight(result_->fontMetrics().lineSpacing() * 3);
  result_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* test_button = CaptionButton(QStringLiteral("测试连接"), this);
  auto* use_button = CaptionButton(QStringLiteral("使用服务器"), this);
  auto* local_button = CaptionButton(QStringLiteral("改回本机数据库"), this);
  auto* close_button = CaptionButton(QStringLiteral("关闭"), this);
  test_button->setDefault(true);
  connect(test_button, &QPushButton::clicked, this, &ServerSetupWindow::TestConnection);
  connect(use_button, &QPushButton::clicked, this, &ServerSetupWindow::UseServer);
  connect(local_button, &QPushButton::clicked, this, &ServerSetupWindow::UseLocalFile);
  connect(close_button, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(test_button);
  buttons->addWidget(use_button);
  buttons->addWidget(local_button);
  buttons->addStretch(1);
  buttons->addWidget(close_button);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(current_);
  layout->addLayout(form);
  layout->addWidget(result_);
  layout->addLayout(buttons);
  host_->setFocus();
}

ServerForm ServerSetupWindow::Form() const {
  return {host_->text(),     port_->text(),           database_->text(), user_->text(),
          password_->text(), encrypted_->isChecked(), stored_sslmode_};
}

std::optional<ServerAddress> ServerSetupWindow::CheckedAddress() {
  auto address = ReadServerForm(Form());
  if (address) return *address;
  ctx_.prompter.ShowMessage(address.error(), MessageKind::Exclamation);
  QLineEdit* box = address.error().contains(QStringLiteral("端口"))     ? port_
                   : address.error().contains(QStringLiteral("数据库")) ? database_
                   : address.error().contains(QStringLiteral("用户"))   ? user_
                   : address.error().contains(QStringLiteral("密码"))   ? password_
                                                                        : host_;
  box->setFocus();
  box->selectAll();
  return std::nullopt;
}

namespace {

// A server switched off or out of reach may be the right one later; one that answers
// but cannot hold the shop (some of our tables only, no access) will not mend itself.
bool Unreachable(const DbError& e) {
  return e.kind == DbError::Kind::Unavailable || e.kind == DbError::Kind::OutcomeUnknown;
}

QString ProbeFailureText(const DbError& e) {
  if (Unreachable(e)) return ServerUnavailableText(e);
  // The set-up's own finding, already in words the user reads.
  if (e.kind == DbError::Kind::NotADatabase) return e.message;
  return EngineFailureText(e.kind);
}

}  // namespace

void ServerSetupWindow::TestConnection() {
  const auto address = CheckedAddress();
  if (!address) return;
  result_->setText(QStringLiteral("正在连接……"));
  std::expected<ServerFacts, DbError> facts;
  {
    BusyCursor wait;
    facts = ProbeServer(*address);
  }
  if (facts)
    result_->setText(ServerFactsText(*facts));
  else
    result_->setText(QStringLiteral("连接失败：") + ProbeFailureText(facts.error()));
}

void ServerSetupWindow::UseServer() {
  const auto address = CheckedAddress();
  if (!address) return;
  // The password file's line names the user: without one it would fit no connection.
  if (remember_->isChecked() && !address->password.isEmpty() && address->user.isEmpty()) {
    ctx_.prompter.ShowMessage(QStringLiteral("记住密码时请填写用户名"), MessageKind::Exclamation);
    user_->setFocus();
    return;
  }
  std::expected<ServerFacts, DbError> facts;
  {
    BusyCursor wait;
    facts = ProbeServer(*address);
  }
  if (facts) {
    result_->setText(ServerFactsText(*facts));
  } else {
    result_->setText(QStringLiteral("连接失败：") + ProbeFailureText(facts.error()));
    if (!Unreachable(facts.error())) {
      ctx_.prompter.ShowMessage(QStringLiteral("不能使用这个数据库：%1").arg(ProbeFailureText(facts.error())),
                                MessageKind::Stop);
      return;
    }
    // A server switched off for now may still be the right one.
    if (!ctx_.prompter.Confirm(QStringLiteral("现在连接不上这个服务器：\n%1\n\n仍然改用这个服务器吗？")
                                   .arg(ServerUnavailableText(facts.error())),
                               kMessageCaption, ConfirmDefault::Cancel))
      return;
  }
  if (remember_->isChecked() && !address->password.isEmpty()) {
    if (auto kept = RememberServerPassword(*address, address->password); !kept) {
      ctx_.prompter.ShowMessage(QStringLiteral("密码没有保存到 %1：%2")
                                    .arg(QDir::toNativeSeparators(PasswordFilePath()),
                                         kept.error().line_break ? QStringLiteral("密码不能包含换行")
                                                                 : SystemFailureText(kept.error().system_error)),
                                MessageKind::Stop);
      return;
    }
  }
  if (!SaveServerChoice(ctx_.settings, *address)) {
    ctx_.prompter.ShowMessage(SettingNotSavedMessage(ctx_.settings.Path()), MessageKind::Stop);
    return;
  }
  current_->setText(CurrentChoiceText(ctx_.settings, ctx_.db.Server()));
  OfferRestart(QStringLiteral("已改为使用数据库服务器 %1。").arg(address->host));
}

void ServerSetupWindow::UseLocalFile() {
  if (!ServerChoice(ctx_.settings)) {
    ctx_.prompter.ShowMessage(QStringLiteral("现在已经使用本机数据库文件。"), MessageKind::Information);
    return;
  }
  if (!ClearServerChoice(ctx_.settings)) {
    ctx_.prompter.ShowMessage(SettingNotSavedMessage(ctx_.settings.Path()), MessageKind::Stop);
    return;
  }
  current_->setText(CurrentChoiceText(ctx_.settings, ctx_.db.Server()));
  OfferRestart(
      QStringLiteral("已改回本机数据库文件。服务器上的数据不会自动带回本机：需要时请先「把服务器数据下载到本机」。"));
}

void ServerSetupWindow::OfferRestart(const QString& saved) {
  if (ctx_.prompter.Confirm(saved + QStringLiteral("\n\n重新启动程序后生效。现在重新启动吗？"), kMessageCaption)) {
    accept();
    if (restart_) restart_();
  }
}

}  // namespace hemulu
