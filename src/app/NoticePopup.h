#pragma once
// The notice shown inside the main window where the desktop has no notification
// area: never modal, gone by itself after a few seconds.

#include <QFrame>

class QLabel;
class QTimer;

namespace hemulu {

class NoticePopup : public QFrame {
  Q_OBJECT
 public:
  // Sits in the lower right corner of `host` and follows its size.
  explicit NoticePopup(QWidget* host);
  void Show(const QString& title, const QString& text);

  static constexpr int kShowMs = 5000;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void PlaceInCorner();

  QLabel* title_;
  QLabel* text_;
  QTimer* timer_;
};

}  // namespace hemulu
