#include "app/QtNotifier.h"

#include <QDebug>

#include "app/MainWindow.h"

namespace hemulu {

void QtNotifier::Notify(const QString& title, const QString& text) {
  if (window_) {
    window_->ShowNotice(title, text);
    return;
  }
  qInfo().noquote() << title << text;
}

}  // namespace hemulu
