#pragma once
// The category tree ("目录"): a small window docked beside the main window whose
// items filter the stock list by category.

#include <QWidget>

class QTreeWidget;

namespace hemulu {

struct AppContext;

class CategoryTreeWindow : public QWidget {
  Q_OBJECT

 public:
  CategoryTreeWindow(AppContext& ctx, QWidget* main_window);

  // Root "全部信息" with one child per category.
  void FillCategoryTree();
  // Places the window just outside the main window's left edge, or inside its right
  // edge when there is no room on the left.
  void DockBeside();

 signals:
  // The chosen item's text ("全部信息" for all goods).
  void CategoryChosen(const QString& text);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  AppContext& ctx_;
  QWidget* main_window_;
  QTreeWidget* tree_;
};

}  // namespace hemulu
