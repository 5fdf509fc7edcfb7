#include "lists/WorkProgress.h"

#include <QCoreApplication>
#include <QProgressDialog>
#include <algorithm>

namespace hemulu {

namespace {

// The bar's steps: work of a million rows moves it a thousand times at most, so the
// dialog costs nothing next to the work.
constexpr int kSteps = 1000;
// Between two moves of the bar the windows are still repainted this often.
constexpr int kEventsEveryMs = 100;

}  // namespace

WorkProgress::WorkProgress(const QString& text, QWidget* parent)
    : dialog_(std::make_unique<QProgressDialog>(text, QStringLiteral("取消"), 0, kSteps, parent)) {
  dialog_->setObjectName(QStringLiteral("进度"));
  dialog_->setWindowTitle(QStringLiteral("请稍候"));
  // Nothing else may change the list being read while the work runs.
  dialog_->setWindowModality(Qt::ApplicationModal);
  dialog_->setMinimumDuration(kShowAfterMs);
  dialog_->setAutoClose(false);
  dialog_->setAutoReset(false);
  dialog_->setValue(0);  // starts the clock of the minimum duration
  since_events_.start();
}

WorkProgress::~WorkProgress() = default;

QProgressDialog* WorkProgress::Dialog() const { return dialog_.get(); }

void WorkProgress::Hold() {
  // The dialog shows itself once its minimum duration has passed, even with no report:
  // over a question it would cover the question's buttons.
  dialog_->reset();
  dialog_->hide();
  shown_value_ = -1;
}

Progress WorkProgress::Reporter() {
  return [this](std::int64_t done, std::int64_t total) { return Step(done, total); };
}

bool WorkProgress::Step(std::int64_t done, std::int64_t total) {
  if (cancelled_) return false;
  const int value = total > 0 ? static_cast<int>(std::clamp<std::int64_t>(done * kSteps / total, 0, kSteps)) : 0;
  if (value != shown_value_) {
    // Shows the dialog once the work has taken long enough; a shown (modal) dialog then
    // lets the events through, so 取消 can be pressed.
    shown_value_ = value;
    dialog_->setValue(value);
    since_events_.restart();
  } else if (dialog_->isVisible() && since_events_.elapsed() >= kEventsEveryMs) {
    QCoreApplication::processEvents();
    since_events_.restart();
  }
  cancelled_ = dialog_->wasCanceled();
  return !cancelled_;
}

}  // namespace hemulu
