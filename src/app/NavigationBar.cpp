#include "app/NavigationBar.h"

#include <QButtonGroup>
#include <QIcon>
#include <QToolButton>
#include <QVBoxLayout>

namespace hemulu {

NavigationBar::NavigationBar(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("导航栏"));
  setStyleSheet(
      QStringLiteral("#导航栏 { background: #eef4f6; border-right: 1px solid #c9d9df; }"
                     "#导航栏 QToolButton { border: none; border-radius: 6px; padding: 4px 2px; color: #23414d; }"
                     "#导航栏 QToolButton:hover { background: #d9eaf0; }"
                     "#导航栏 QToolButton:checked { background: #bfe0e8; font-weight: bold; }"
                     "#导航栏 QToolButton:focus { border: 1px dotted #4a8a9c; }"));
  layout_ = new QVBoxLayout(this);
  layout_->setContentsMargins(6, 8, 6, 8);
  layout_->setSpacing(2);
  layout_->addStretch(1);
  page_items_ = new QButtonGroup(this);
  page_items_->setExclusive(true);
}

void NavigationBar::AddItem(const QString& caption, const QIcon& icon, bool shows_page) {
  const int index = Count();
  auto* button = new QToolButton(this);
  button->setObjectName(caption);
  button->setText(caption);
  button->setIcon(icon);
  button->setIconSize(QSize(30, 30));
  button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  button->setMinimumWidth(84);
  button->setFocusPolicy(Qt::TabFocus);
  if (shows_page) {
    button->setCheckable(true);
    page_items_->addButton(button, index);
  }
  connect(button, &QToolButton::clicked, this, [this, index] { emit ItemActivated(index); });
  layout_->insertWidget(layout_->count() - 1, button);  // above the closing stretch
  items_.push_back(button);
}

QToolButton* NavigationBar::Item(int index) const {
  return index >= 0 && index < Count() ? items_[static_cast<std::size_t>(index)] : nullptr;
}

void NavigationBar::SetCurrentItem(int index) {
  if (QAbstractButton* button = page_items_->button(index)) button->setChecked(true);
}

}  // namespace hemulu
