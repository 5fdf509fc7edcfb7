#pragma once
// The vertical bar of navigation items on the left of the main window.

#include <QFrame>
#include <vector>

class QButtonGroup;
class QIcon;
class QToolButton;
class QVBoxLayout;

namespace hemulu {

class NavigationBar : public QFrame {
  Q_OBJECT
 public:
  explicit NavigationBar(QWidget* parent = nullptr);

  // Adds an item below the others; its index is the number of items before it. An item
  // that shows a page stays marked while its page is shown; the others open a window
  // and are never marked.
  void AddItem(const QString& caption, const QIcon& icon, bool shows_page);
  QToolButton* Item(int index) const;
  int Count() const { return static_cast<int>(items_.size()); }
  // Marks the item whose page is shown.
  void SetCurrentItem(int index);

 signals:
  void ItemActivated(int index);

 private:
  QVBoxLayout* layout_;
  QButtonGroup* page_items_;
  std::vector<QToolButton*> items_;
};

}  // namespace hemulu
