#include "admin/MaintenanceWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <cstdio>

#include "admin/ServerSetupWindow.h"
#include "data/EmbeddedFiles.h"
#include "lists/WorkProgress.h"
#include "ui/BusyCursor.h"
#include "ui/NamedWidgets.h"
#include "ui/SuperAdministratorGate.h"

namespace hemulu {

namespace {

const QString kNoServerChosenText = QStringLiteral("请先按「设置数据库服务器」设置要使用的服务器");

QGroupBox* MakeGroup(const QString& caption, const QString& hint, QWidget* parent, QVBoxLayout*& body) {
  auto* group = new QGroupBox(caption, parent);
  group->setObjectName(caption + QStringLiteral("组"));
  body = new QVBoxLayout(group);
  auto* label = new QLabel(hint, group);
  label->setWordWrap(true);
  body->addWidget(label);
  return group;
}

}  // namespace

MaintenanceWindow::MaintenanceWindow(AppContext& ctx, std::function<void()> data_replaced, QWidget* parent)
    : QDialog(parent), ctx_(ctx), data_replaced_(std::move(data_replaced)) {
  setObjectName(QStringLiteral("数据管理"));
  setWindowTitle(QStringLiteral("数据管理"));
  setModal(true);

  QVBoxLayout* body = nullptr;
  auto* init_group = MakeGroup(QStringLiteral("初始化当前数据库"),
                               QStringLiteral("将数据库还原为初始状态(清空所有数据)，请慎用。"), this, body);
  auto* init_button = CaptionButton(QStringLiteral("初始化数据库"), init_group);
  body->addWidget(init_button, 0, Qt::AlignRight);

  auto* compact_group = MakeGroup(QStringLiteral("压缩当前数据库"),
                                  QStringLiteral("温馨提示：压缩数据库，减少数据库体积，方便U盘携带"), this, body);
  auto* compact_button = CaptionButton(QStringLiteral("压缩当前数据库"), compact_group);
  body->addWidget(compact_button, 0, Qt::AlignRight);

  auto* backup_group =
      MakeGroup(QStringLiteral("备份当前数据库"), QStringLiteral("温馨提示：经常备份数据，保证数据安全"), this, body);
  path_box_ = new QLineEdit(backup_group);
  path_box_->setObjectName(QStringLiteral("编辑框1"));
  path_box_->setMinimumWidth(420);
  // A long path does not fit the box: the whole of it is always in the tooltip.
  connect(path_box_, &QLineEdit::textChanged, path_box_, &QLineEdit::setToolTip);
  auto* path_row = new QHBoxLayout;
  auto* path_label = new QLabel(QStringLiteral("备份目录："), backup_group);
  path_label->setBuddy(path_box_);
  path_row->addWidget(path_label);
  path_row->addWidget(path_box_, 1);
  auto* choose_button = CaptionButton(QStringLiteral("选择位置"), backup_group);
  path_row->addWidget(choose_button);
  body->addLayout(path_row);
  auto* backup_button = CaptionButton(QStringLiteral("备份当前数据库"), backup_group);
  body->addWidget(backup_button, 0, Qt::AlignRight);

  // A shop on a server keeps no previous file: the server's own backups stand for it.
  auto* restore_group =
      MakeGroup(QStringLiteral("恢复备份数据库"),
                ctx_.db.IsServer() ? QStringLiteral("用备份文件替换服务器上的全部数据，所有收银台随之更新。")
                                   : QStringLiteral("用备份文件替换当前数据库，当前数据库另存为 %1%2。")
                                         .arg(kDatabaseFileName, kBeforeRestoreSuffix),
                this, body);
  auto* restore_button = CaptionButton(QStringLiteral("恢复备份数据库"), restore_group);
  body->addWidget(restore_button, 0, Qt::AlignRight);

  auto* server_group = MakeGroup(
      QStringLiteral("数据库服务器"),
      QStringLiteral("几台收银电脑共用一个数据库时，设置数据库服务器，或改回本机数据库；把本机数据整体复制到服务器，"
                     "或者把服务器上的数据复制回本机（原文件另存为 %1%2）。")
          .arg(kDatabaseFileName, kBeforeDownloadSuffix),
      this, body);
  auto* server_button = CaptionButton(QStringLiteral("设置数据库服务器"), server_group);
  auto* upload_button = CaptionButton(QStringLiteral("把本机数据上传到服务器"), server_group);
  auto* download_button = CaptionButton(QStringLiteral("把服务器数据下载到本机"), server_group);
  auto* server_row = new QHBoxLayout;
  server_row->addStretch(1);
  server_row->addWidget(server_button);
  server_row->addWidget(upload_button);
  server_row->addWidget(download_button);
  body->addLayout(server_row);

  auto* close_button = CaptionButton(QStringLiteral("关闭"), this);
  connect(server_button, &QPushButton::clicked, this, &MaintenanceWindow::SetUpServer);
  connect(upload_button, &QPushButton::clicked, this, &MaintenanceWindow::Upload);
  connect(download_button, &QPushButton::clicked, this, &MaintenanceWindow::Download);
  connect(init_button, &QPushButton::clicked, this, &MaintenanceWindow::Reinitialise);
  connect(compact_button, &QPushButton::clicked, this, &MaintenanceWindow::Compact);
  connect(choose_button, &QPushButton::clicked, this, &MaintenanceWindow::ChooseBackupFolder);
  connect(backup_button, &QPushButton::clicked, this, &MaintenanceWindow::BackUp);
  connect(path_box_, &QLineEdit::returnPressed, this, &MaintenanceWindow::BackUp);
  connect(restore_button, &QPushButton::clicked, this, &MaintenanceWindow::Restore);
  connect(close_button, &QPushButton::clicked, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(init_group);
  layout->addWidget(compact_group);
  layout->addWidget(backup_group);
  layout->addWidget(restore_group);
  layout->addWidget(server_group);
  layout->addWidget(close_button, 0, Qt::AlignRight);
  resize(640, sizeHint().height());

  SetBackupPath(ctx_.settings.ReadSetupValue(QStringLiteral("backpath")));
  backup_button->setFocus();
}

void MaintenanceWindow::SetBackupPath(const QString& path) {
  path_box_->setText(path);
  // The window widens, within the screen, until the whole path shows; measured against
  // the box as laid out, also before the window is first shown.
  if (layout()) layout()->activate();
  const int missing = path_box_->fontMetrics().horizontalAdvance(path) + 24 - path_box_->width();
  if (missing <= 0) return;
  const QScreen* screen = this->screen();
  const int room = screen ? screen->availableGeometry().width() * 9 / 10 : width() + missing;
  const int wanted = std::min(width() + missing, room);
  if (wanted > width()) resize(wanted, height());
}

void MaintenanceWindow::Failed(const QString& text, const MaintenanceError& error, MessageKind kind) {
  // The engine's and the system's own words are for a bug report, not for the user.
  if (!error.detail.isEmpty())
    std::fprintf(stderr, "hemulu: %s: %s\n", qUtf8Printable(text), qUtf8Printable(error.detail));
  ctx_.ShowMessage(error.reason.isEmpty() ? text : text + QStringLiteral("\n\n") + error.reason, kind);
}

void MaintenanceWindow::ChooseBackupFolder() {
  // The browser opens where the backup goes: the box's folder, or the nearest one of it
  // that exists.
  QString start = QFileInfo(path_box_->text().trimmed()).absolutePath();
  if (path_box_->text().trimmed().isEmpty()) start = QDir::homePath();
  while (!QFileInfo(start).isDir() && !QDir(start).isRoot()) start = QFileInfo(start).absolutePath();
  const auto folder = ctx_.prompter.ChooseFolder(QStringLiteral("请选择要备份到的目录"), start);
  if (!folder) return;  // the box keeps its path
  SetBackupPath(ProposedBackupPath(*folder));
}

void MaintenanceWindow::BackUp() {
  const QString failed = QStringLiteral("备份数据库失败了");
  const QString target = QFileInfo(path_box_->text().trimmed()).absoluteFilePath();
  if (path_box_->text().trimmed().isEmpty()) {
    Failed(failed, {MaintenanceError::Kind::Refused, QStringLiteral("请填写备份文件的位置")});
    return;
  }
  if (!IsDatabaseFile(ctx_, target) && QFileInfo(target).isFile() &&
      !ctx_.prompter.Confirm(QStringLiteral("文件 %1 已经存在，要替换它吗？").arg(target), QStringLiteral("备份数据库"),
                             ConfirmDefault::Cancel)) {
    ctx_.ShowMessage(failed, MessageKind::Stop);
    return;
  }
  QProgressDialog progress(QStringLiteral("正在备份数据库……"), QStringLiteral("取消"), 0, 1000, this);
  progress.setObjectName(QStringLiteral("备份进度"));
  progress.setWindowTitle(QStringLiteral("备份数据库"));
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(400);
  progress.setAutoClose(false);
  progress.setAutoReset(false);
  const auto done = BackUpDatabase(
      ctx_, target,
      [&progress](qint64 copied, qint64 total) {
        if (progress.wasCanceled()) return false;
        progress.setValue(total > 0 ? static_cast<int>(copied * 1000 / total) : 0);
        return !progress.wasCanceled();
      },
      free_space_);
  progress.close();
  if (!done) {
    Failed(failed, done.error());
    return;
  }
  ctx_.ShowMessage(QStringLiteral("备份数据库完成！"), MessageKind::Information);
  // The backup is made; a config.ini that cannot be written only loses the proposal.
  (void)ctx_.settings.WriteSetupValue(QStringLiteral("backpath"), target);
  SetBackupPath(target);
}

void MaintenanceWindow::Compact() {
  std::expected<void, MaintenanceError> done;
  {
    BusyCursor busy;
    done = CompactDatabase(ctx_, free_space_);
  }
  if (!done) {
    Failed(QStringLiteral("压缩数据库失败了"), done.error());
    return;
  }
  ctx_.ShowMessage(QStringLiteral("压缩数据库成功"), MessageKind::Information);
}

void MaintenanceWindow::SetUpServer() {
  if (!SuperAdministratorGate(ctx_, QStringLiteral("请输入超级管理员密码,才能设置数据库服务器"),
                              QStringLiteral("数据库服务器")))
    return;
  bool restart = false;
  ServerSetupWindow window(
      ctx_, [&restart] { restart = true; }, this);
  window.exec();
  if (!restart) return;
  reject();
  if (restart_) restart_();
}

void MaintenanceWindow::Reinitialise() {
  if (!SuperAdministratorGate(ctx_, QStringLiteral("请输入超级管理员密码,才能进行初始化操作"),
                              QStringLiteral("初始化数据库")))
    return;
  // On a server the whole shop goes, for every till: asked once more, Cancel first.
  if (ctx_.db.IsServer() &&
      !ctx_.prompter.Confirm(QStringLiteral("这是数据库服务器上的数据：初始化会清空所有收银台共用的商品、销售和账目，"
                                            "每一台收银电脑都会受影响，没有备份就无法找回。\n\n确定要初始化吗？"),
                             QStringLiteral("初始化数据库"), ConfirmDefault::Cancel))
    return;
  std::expected<void, MaintenanceError> done;
  {
    BusyCursor busy;
    done = ReinitialiseDatabase(ctx_);
  }
  if (!done) {
    Failed(QStringLiteral("初始化数据库失败"), done.error(), MessageKind::Information);
    return;
  }
  ctx_.ShowMessage(QStringLiteral("初始化数据库完成"), MessageKind::Information);
  if (data_replaced_) data_replaced_();
}

void MaintenanceWindow::Restore() {
  // Backups are usually where the last one was written.
  const QString folder = QFileInfo(path_box_->text().trimmed()).absolutePath();
  const auto file = ctx_.prompter.ChooseFile(QStringLiteral("请选择要恢复的备份数据库"), folder,
                                             QStringLiteral("数据库备份 (*.db *.db.before-restore);;所有文件 (*)"));
  if (!file) return;
  if (!SuperAdministratorGate(ctx_, QStringLiteral("请输入超级管理员密码,才能进行恢复操作"),
                              QStringLiteral("恢复备份数据库")))
    return;
  QProgressDialog progress(QStringLiteral("正在检查备份文件……"), QStringLiteral("取消"), 0, 0, this);
  progress.setObjectName(QStringLiteral("恢复进度"));
  progress.setWindowTitle(QStringLiteral("恢复备份数据库"));
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(0);
  progress.reset();  // shown only once the check proves slow
  QElapsedTimer waited;
  waited.start();
  bool declined = false;
  const auto done = RestoreDatabase(
      ctx_, *file,
      [&progress, &waited](qint64, qint64) {
        if (!progress.isVisible() && waited.elapsed() > 400) progress.show();
        if (progress.isVisible()) QCoreApplication::processEvents();
        return !progress.wasCanceled();
      },
      free_space_,
      [this, &progress, &declined](const BackupContents& backup) {
        // Everything is replaced: the user sees both sides first, and Enter keeps the data.
        // Hidden, not closed: closing counts as 取消, and a server's load reports on after it.
        progress.hide();
        const auto current = CurrentContents(ctx_);
        if (!current)
          std::fprintf(stderr, "hemulu: %s: %s\n", qUtf8Printable(ctx_.db.Path()),
                       qUtf8Printable(current.error().message));
        declined = !ctx_.prompter.Confirm(
            RestoreQuestion(current ? std::optional<BackupContents>(*current) : std::nullopt, backup),
            QStringLiteral("恢复备份数据库"), ConfirmDefault::Cancel);
        return !declined;
      });
  progress.close();
  if (declined) return;  // the user said no: nothing to report
  if (!done && done.error().kind == MaintenanceError::Kind::Cancelled) {
    ctx_.ShowMessage(QStringLiteral("已取消恢复，当前数据库未作改动"), MessageKind::Information);
    return;
  }
  if (!done) {
    Failed(QStringLiteral("恢复备份数据库失败了，当前数据库未作改动"), done.error());
    return;
  }
  const QString restored = QStringLiteral("恢复备份数据库完成！\n\n备份文件：%1\n其中有商品 %2 种，销售记录 %3 条。\n")
                               .arg(QFileInfo(*file).absoluteFilePath())
                               .arg(done->goods)
                               .arg(done->sales);
  ctx_.ShowMessage(
      restored + (ctx_.db.IsServer()
                      ? QStringLiteral("服务器上的数据已替换，各收银台的页面随之更新。")
                      : QStringLiteral("原数据库已另存为 %1%2").arg(kDatabaseFileName, kBeforeRestoreSuffix)),
      MessageKind::Information);
  if (data_replaced_) data_replaced_();
}

std::expected<void, MaintenanceError> MaintenanceWindow::WithServer(
    WorkProgress& progress, ServerAddress& server,
    const std::function<std::expected<void, MaintenanceError>(const ServerAddress&)>& work) {
  for (;;) {
    auto done = work(server);
    if (done || !done.error().wants_password) return done;
    progress.Hold();
    const auto password =
        ctx_.prompter.AskText(done.error().reason + QStringLiteral("\n\n请输入服务器用户 %1 的密码：").arg(server.user),
                              QStringLiteral("数据库服务器"), TextEcho::Masked);
    if (!password || password->isEmpty()) return done;
    server.password = *password;
  }
}

void MaintenanceWindow::Upload() {
  const QString title = QStringLiteral("把本机数据上传到服务器");
  auto server = TransferServer(ctx_);
  if (!server) {
    ctx_.ShowMessage(kNoServerChosenText, MessageKind::Information);
    return;
  }
  if (!SuperAdministratorGate(ctx_, QStringLiteral("请输入超级管理员密码,才能上传数据"), title)) return;
  WorkProgress progress(QStringLiteral("正在把本机数据上传到服务器……"), this);
  const Progress report = progress.Reporter();
  const auto done = WithServer(progress, *server, [&](const ServerAddress& to) {
    return UploadToServer(
        ctx_, to,
        [&](const ServerShopSize& on_server) {
          // Replacing the server's shop touches every till: Enter keeps it.
          progress.Hold();
          return ctx_.prompter.Confirm(ReplaceServerQuestion(on_server), title, ConfirmDefault::Cancel);
        },
        [&](qint64 copied, qint64 total) { return report(copied, total); });
  });
  if (progress.Dialog()) progress.Dialog()->close();
  if (!done && done.error().kind == MaintenanceError::Kind::Cancelled) {
    ctx_.ShowMessage(QStringLiteral("已取消上传，服务器上的数据未作改动"), MessageKind::Information);
    return;
  }
  if (!done) {
    Failed(QStringLiteral("上传数据失败了，服务器上的数据未作改动"), done.error());
    return;
  }
  const QString uploaded = QStringLiteral("上传完成！本机数据已复制到服务器，核对无误。\n本机数据文件未作改动。");
  // This run still works on the local file: the server's shop is used from the next start.
  if (!ctx_.db.IsServer() && restart_) {
    if (ctx_.prompter.Confirm(uploaded + QStringLiteral("\n\n重新启动程序后改用服务器上的数据。现在重新启动吗？"),
                              title)) {
      reject();
      restart_();
    }
    return;
  }
  ctx_.ShowMessage(uploaded, MessageKind::Information);
}

void MaintenanceWindow::Download() {
  const QString title = QStringLiteral("把服务器数据下载到本机");
  auto server = TransferServer(ctx_);
  if (!server) {
    ctx_.ShowMessage(kNoServerChosenText, MessageKind::Information);
    return;
  }
  if (!SuperAdministratorGate(ctx_, QStringLiteral("请输入超级管理员密码,才能下载数据"), title)) return;
  // A till that has always run on the server may have no local file to keep aside.
  const bool had_file = QFileInfo::exists(LocalDatabasePath(ctx_));
  const QString question =
      had_file ? QStringLiteral("本机数据文件 %1 将被服务器上的数据替换，原文件另存为 %1%2。\n\n确定要下载吗？")
                     .arg(kDatabaseFileName, kBeforeDownloadSuffix)
               : QStringLiteral("服务器上的数据将复制到本机数据文件 %1。\n\n确定要下载吗？").arg(kDatabaseFileName);
  if (!ctx_.prompter.Confirm(question, title, ConfirmDefault::Cancel)) return;
  const bool replaces_open_file = !ctx_.db.IsServer();
  WorkProgress progress(QStringLiteral("正在把服务器数据下载到本机……"), this);
  const Progress report = progress.Reporter();
  const auto done = WithServer(progress, *server, [&](const ServerAddress& from) {
    return DownloadFromServer(ctx_, from, [&](qint64 copied, qint64 total) { return report(copied, total); });
  });
  if (progress.Dialog()) progress.Dialog()->close();
  if (!done && done.error().kind == MaintenanceError::Kind::Cancelled) {
    ctx_.ShowMessage(QStringLiteral("已取消下载，本机数据文件未作改动"), MessageKind::Information);
    return;
  }
  if (!done) {
    Failed(QStringLiteral("下载数据失败了，本机数据文件未作改动"), done.error());
    return;
  }
  QString downloaded = QStringLiteral("下载完成！服务器上的数据已复制到本机，核对无误。");
  if (had_file) downloaded += QStringLiteral("\n原数据文件已另存为 %1%2").arg(kDatabaseFileName, kBeforeDownloadSuffix);
  // This run works on the server: the local copy is used once the shop goes back to it.
  if (!replaces_open_file && restart_) {
    if (ctx_.prompter.Confirm(downloaded + QStringLiteral("\n\n现在改回本机数据库并重新启动程序吗？"), title)) {
      if (!ClearServerChoice(ctx_.settings)) {
        ctx_.ShowMessage(SettingNotSavedMessage(ctx_.settings.Path()), MessageKind::Stop);
        return;
      }
      reject();
      restart_();
    }
    return;
  }
  ctx_.ShowMessage(downloaded, MessageKind::Information);
  if (replaces_open_file && data_replaced_) data_replaced_();
}

}  // namespace hemulu
