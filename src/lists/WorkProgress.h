#pragma once
// The progress dialog of long work (an export, a print): it shows itself only when the
// work takes longer than a moment, offers 取消, and keeps the program's windows painted
// while the work runs. The work hears it through the Progress it gives.

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <memory>

#include "lists/Progress.h"

class QProgressDialog;
class QWidget;

namespace hemulu {

class WorkProgress {
 public:
  // Work shorter than this shows no dialog.
  static constexpr int kShowAfterMs = 300;

  // `text` says what is being done ("正在导出……").
  WorkProgress(const QString& text, QWidget* parent);
  ~WorkProgress();
  WorkProgress(const WorkProgress&) = delete;
  WorkProgress& operator=(const WorkProgress&) = delete;

  // What the work reports to; valid while this object lives.
  Progress Reporter();
  bool Cancelled() const { return cancelled_; }
  // Hides the dialog, and keeps it from showing itself, while the user answers a
  // question in the middle of the work; the next report starts its clock again.
  void Hold();
  QProgressDialog* Dialog() const;

 private:
  bool Step(std::int64_t done, std::int64_t total);

  std::unique_ptr<QProgressDialog> dialog_;
  QElapsedTimer since_events_;
  int shown_value_ = -1;
  bool cancelled_ = false;
};

}  // namespace hemulu
