#pragma once
// The notice shown inside the main window where the desktop has no notification
// area: never modal, gone by itself after a few seconds. It never takes a click meant
// for the page under it: clicks pass through, and a click on it also closes it.

#include <QFrame>
#include <functional>

class QLabel;
class QTimer;

namespace hemulu {

class NoticePopup : public QFrame {
  Q_OBJECT
 public:
  // Sits in the lower right corner of `host` and follows its size.
  explicit NoticePopup(QWidget* host);
  void Show(const QString& title, const QString& text);
  // Where the notice may lie instead, in the host's coordinates: it sits in that
  // rectangle's lower right corner. An empty rectangle means the host's corner.
  void SetArea(std::function<QRect()> area) { area_ = std::move(area); }
  // Places a shown notice again, after what lies under it has changed.
  void Replace();

  static constexpr int kShowMs = 5000;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void PlaceInCorner();
  bool watching_clicks_ = false;
  std::function<QRect()> area_;

  QLabel* title_;
  QLabel* text_;
  QTimer* timer_;
};

}  // namespace hemulu
