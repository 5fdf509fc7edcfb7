#include "app/NoticePopup.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace hemulu {

NoticePopup::NoticePopup(QWidget* host) : QFrame(host) {
  setObjectName(QStringLiteral("提示窗"));
  setStyleSheet(
      QStringLiteral("#提示窗 { background: #fffbe6; border: 1px solid #d8c27a; border-radius: 8px; }"
                     "#提示标题 { font-weight: bold; color: #6b5412; }"
                     "#提示内容 { color: #3b3b3b; }"));
  title_ = new QLabel(this);
  title_->setObjectName(QStringLiteral("提示标题"));
  text_ = new QLabel(this);
  text_->setObjectName(QStringLiteral("提示内容"));
  text_->setTextFormat(Qt::PlainText);
  title_->setTextFormat(Qt::PlainText);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(14, 10, 14, 12);
  layout->addWidget(title_);
  layout->addWidget(text_);
  timer_ = new QTimer(this);
  timer_->setSingleShot(true);
  timer_->setInterval(kShowMs);
  connect(timer_, &QTimer::timeout, this, &QWidget::hide);
  // Clicks go to the control beneath; the notice only watches where they land.
  setAttribute(Qt::WA_TransparentForMouseEvents);
  host->installEventFilter(this);
  hide();
}

void NoticePopup::Show(const QString& title, const QString& text) {
  title_->setText(title);
  text_->setText(text);
  adjustSize();
  PlaceInCorner();
  show();
  raise();
  if (!watching_clicks_) {
    qApp->installEventFilter(this);
    watching_clicks_ = true;
  }
  timer_->start();  // a newer notice restarts the time
}

bool NoticePopup::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parent() && event->type() == QEvent::Resize && isVisible()) PlaceInCorner();
  // A press inside the notice dismisses it early; the press still reaches its target.
  if (event->type() == QEvent::MouseButtonPress && isVisible() && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->window() == window()) {
    const auto* press = static_cast<QMouseEvent*>(event);
    if (rect().contains(mapFromGlobal(press->globalPosition().toPoint()))) hide();
  }
  return QFrame::eventFilter(watched, event);
}

void NoticePopup::hideEvent(QHideEvent* event) {
  timer_->stop();
  if (watching_clicks_) {
    qApp->removeEventFilter(this);
    watching_clicks_ = false;
  }
  QFrame::hideEvent(event);
}

void NoticePopup::Replace() {
  if (isVisible()) PlaceInCorner();
}

void NoticePopup::PlaceInCorner() {
  const QWidget* host = parentWidget();
  const int margin = 16;
  QRect area = area_ ? area_() : QRect();
  if (area.isEmpty()) area = host->rect();
  move(std::max(area.left(), area.right() + 1 - width() - margin),
       std::max(area.top(), area.bottom() + 1 - height() - margin));
}

}  // namespace hemulu
