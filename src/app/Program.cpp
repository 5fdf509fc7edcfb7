#include "app/Program.h"

#include "app/LoginWindow.h"
#include "app/QtNotifier.h"
#include "data/Prompter.h"
#include "data/StockMoves.h"

namespace hemulu {

Program::Program(AppContext& ctx, MainWindowParts parts, QtNotifier* notifier)
    : ctx_(ctx), parts_(std::move(parts)), notifier_(notifier) {}

Program::~Program() { delete login_.data(); }

void Program::Start() {
  login_ = new LoginWindow(ctx_);
  connect(login_, &LoginWindow::LoggedIn, this, &Program::OpenMainWindow);
  connect(login_, &QDialog::rejected, this, &Program::Finished);
  login_->show();
}

void Program::OpenMainWindow() {
  if (main_) return;
  // A copy: after a return to the login another main window is built from them.
  main_ = std::make_unique<MainWindow>(ctx_, parts_);
  if (notifier_) notifier_->SetWindow(main_.get());
  connect(main_.get(), &MainWindow::Closed, this, &Program::Finished);
  // Queued: the request comes from inside the main window's own handlers.
  connect(main_.get(), &MainWindow::LoginNeeded, this, &Program::ReturnToLogin, Qt::QueuedConnection);
  connect(main_.get(), &MainWindow::RestartNeeded, this, &Program::Restart, Qt::QueuedConnection);
  main_->show();
  // Once a run: the goods changed since the last clean exit must add up to their
  // movements; a difference is told, never mended here. A failed read is left to the
  // pages, which report it themselves.
  if (!stock_checked_) {
    stock_checked_ = true;
    if (auto told = StartupStockCheck(ctx_); told && !told->isEmpty()) ctx_.notifier.Notify(kWarningTitle, *told);
  }
  // The login window is not needed again in this process. It is destroyed once the
  // login button's handler has returned.
  if (login_) {
    disconnect(login_, nullptr, this, nullptr);
    login_->hide();
    login_->deleteLater();
  }
}

void Program::Restart() {
  restart_requested_ = true;
  if (main_)
    main_->close();  // ends the run through Finished
  else
    emit Finished();
}

void Program::ReturnToLogin() {
  if (!main_) return;
  MainWindow* old = main_.release();
  disconnect(old, nullptr, this, nullptr);
  if (notifier_) notifier_->SetWindow(nullptr);
  old->close();  // keeps its place for the next one; no longer ends the program
  old->deleteLater();
  Start();
  // In front and with the keyboard, as at the start: the user types the password at once.
  login_->raise();
  login_->activateWindow();
}

}  // namespace hemulu
