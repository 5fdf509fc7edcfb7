#pragma once
// Balloon notices of the running program, shown by the main window once it exists.

#include <QPointer>

#include "data/Prompter.h"

namespace hemulu {

class MainWindow;

class QtNotifier final : public Notifier {
 public:
  void SetWindow(MainWindow* window) { window_ = window; }
  // Before the main window exists there is nowhere to show a notice; it is logged.
  void Notify(const QString& title, const QString& text) override;

 private:
  QPointer<MainWindow> window_;
};

}  // namespace hemulu
