#include "stock/CategoryTreeWindow.h"

#include <QEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "stock/GoodsLogic.h"

namespace hemulu {

CategoryTreeWindow::CategoryTreeWindow(AppContext& ctx, QWidget* main_window)
    : QWidget(main_window, Qt::Tool), ctx_(ctx), main_window_(main_window), tree_(new QTreeWidget(this)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("商品目录"));
  tree_->setObjectName(QStringLiteral("树型框1"));
  tree_->setHeaderHidden(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(tree_);
  resize(180, 420);
  connect(tree_, &QTreeWidget::itemClicked, this,
          [this](QTreeWidgetItem* item) { emit CategoryChosen(item ? item->text(0) : QString()); });
  connect(tree_, &QTreeWidget::itemActivated, this,
          [this](QTreeWidgetItem* item) { emit CategoryChosen(item ? item->text(0) : QString()); });
  FillCategoryTree();
  if (main_window_) main_window_->installEventFilter(this);
  DockBeside();
}

void CategoryTreeWindow::FillCategoryTree() {
  tree_->clear();
  auto* root = new QTreeWidgetItem(tree_, QStringList{kAllGoodsItem});
  const auto categories = PickListValues(ctx_, PickField::Category);
  if (!categories && categories.error().Unavailable()) ctx_.ReportDatabaseUnavailable(categories.error().message);
  for (const QString& category : categories.value_or(QStringList())) new QTreeWidgetItem(root, QStringList{category});
  root->setExpanded(true);
}

void CategoryTreeWindow::DockBeside() {
  if (!main_window_) return;
  const QRect main = main_window_->frameGeometry();
  if (main.left() - width() - 3 >= 0)
    move(main.left() - width() - 3, main.top());
  else
    move(main.left() + main.width() - width() - 26, main.top() + 150);
}

bool CategoryTreeWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == main_window_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) DockBeside();
  return QWidget::eventFilter(watched, event);
}

}  // namespace hemulu
