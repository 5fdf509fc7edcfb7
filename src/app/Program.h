#pragma once
// The run of the program after the working files: the login window, then, once an
// account has logged in, the main window for the rest of the process.

#include <QObject>
#include <QPointer>
#include <memory>

#include "app/LoginWindow.h"
#include "app/MainWindow.h"

namespace hemulu {

class QtNotifier;

class Program : public QObject {
  Q_OBJECT
 public:
  // `notifier`, when given, shows its notices in the main window once it is open.
  Program(AppContext& ctx, MainWindowParts parts, QtNotifier* notifier = nullptr);
  ~Program() override;

  // Creates and shows the login window.
  void Start();
  // Closes the main window and shows the login window again (its account is gone).
  void ReturnToLogin();

  // Ends the run so that the program starts again (a changed database takes effect).
  void Restart();
  bool RestartRequested() const { return restart_requested_; }

  LoginWindow* Login() const { return login_; }
  MainWindow* Main() const { return main_.get(); }

 signals:
  // The user closed the login window or the main window: the program ends.
  void Finished();

 private:
  void OpenMainWindow();

  AppContext& ctx_;
  MainWindowParts parts_;
  QtNotifier* notifier_;
  QPointer<LoginWindow> login_;
  std::unique_ptr<MainWindow> main_;
  bool stock_checked_ = false;
  bool restart_requested_ = false;
};

// The subsystems' pages and windows as the program plugs them into the main window.
MainWindowParts ProgramParts(AppContext& ctx);

}  // namespace hemulu
