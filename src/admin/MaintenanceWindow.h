#pragma once
// The window "数据管理": backup, compaction, re-initialisation and restore of data.db.
// Modal. After a re-initialisation or a restore every page on screen shows old rows;
// the window tells its owner through `data_replaced`, after its own message, as the
// last thing it does (the owner may close it then).

#include <QDialog>
#include <functional>

#include "admin/MaintenanceLogic.h"

class QLineEdit;

namespace hemulu {

class WorkProgress;

class MaintenanceWindow : public QDialog {
  Q_OBJECT

 public:
  // `data_replaced` runs after data.db has been replaced by another file.
  MaintenanceWindow(AppContext& ctx, std::function<void()> data_replaced, QWidget* parent = nullptr);

  void BackUp();
  void ChooseBackupFolder();
  void Compact();
  void Reinitialise();
  void Restore();
  // The set-up window of the database server, behind the password.
  void SetUpServer();
  // Ends the run so that the program starts again with a changed database choice.
  void SetRestart(std::function<void()> restart) { restart_ = std::move(restart); }
  // The shop's data moved to the server chosen in config.ini, and back.
  void Upload();
  void Download();

  // Stands in for the free-space query of the disk (tests fill a disk this way).
  void SetFreeSpaceProbe(FreeSpaceProbe probe) { free_space_ = std::move(probe); }

 private:
  // The failure message; the error's detail goes to standard error.
  void Failed(const QString& text, const MaintenanceError& error, MessageKind kind = MessageKind::Stop);
  // Runs a transfer to or from the server; asks for the server's password (with the
  // progress dialog held) and tries again when the server wants one. The error of the
  // last try, if any.
  std::expected<void, MaintenanceError> WithServer(
      WorkProgress& progress, ServerAddress& server,
      const std::function<std::expected<void, MaintenanceError>(const ServerAddress&)>& work);
  // Puts a path into the box, widening the window so that the whole path shows.
  void SetBackupPath(const QString& path);

  AppContext& ctx_;
  std::function<void()> data_replaced_;
  FreeSpaceProbe free_space_ = FreeSpaceIn;
  std::function<void()> restart_;
  QLineEdit* path_box_ = nullptr;
};

}  // namespace hemulu
