#include "ui/LiveRefill.h"

#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QWidget>

#include "data/AppContext.h"

namespace hemulu {

namespace {

// A question or notice opened in the middle of some action of the program, which goes
// on when it closes: the lists must stay as that action saw them.
bool ActionWaitsOnUser() {
  if (QApplication::activePopupWidget()) return true;
  QWidget* modal = QApplication::activeModalWidget();
  return qobject_cast<QMessageBox*>(modal) || qobject_cast<QInputDialog*>(modal) || qobject_cast<QFileDialog*>(modal) ||
         qobject_cast<QProgressDialog*>(modal);
}

}  // namespace

LiveRefill::LiveRefill(AppContext& ctx, QWidget* page, QStringList tables, std::function<void()> refill)
    : QObject(page), page_(page), tables_(tables.begin(), tables.end()), refill_(std::move(refill)) {
  retry_.setSingleShot(true);
  retry_.setInterval(kRetryMs);
  connect(&retry_, &QTimer::timeout, this, &LiveRefill::RefillWhenFree);
  connect(&ctx.changes, &ChangeFeed::TablesChanged, this, &LiveRefill::Changed);
  page_->installEventFilter(this);
}

void LiveRefill::Changed(const QSet<QString>& tables) {
  if (!tables.intersects(tables_)) return;
  pending_ = true;
  RefillWhenFree();
}

void LiveRefill::RefillWhenFree() {
  if (!pending_ || !page_->isVisible()) return;  // a hidden page waits to be shown
  if (ActionWaitsOnUser()) {
    retry_.start();
    return;
  }
  pending_ = false;
  refill_();
}

bool LiveRefill::eventFilter(QObject* watched, QEvent* event) {
  // After the page's own handling of being shown.
  if (watched == page_ && event->type() == QEvent::Show && pending_) retry_.start(0);
  return QObject::eventFilter(watched, event);
}

}  // namespace hemulu
