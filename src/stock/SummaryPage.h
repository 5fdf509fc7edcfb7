#pragma once
// The summary page ("汇总统计"): a compact view of the goods with their totals.

#include <QWidget>

namespace hemulu {

struct AppContext;
struct GoodsSelection;
class ColumnShares;
class Grid;

class SummaryPage : public QWidget {
  Q_OBJECT

 public:
  // `menu` is the main window's 汇总快捷菜单; `selection` is shared with the stock page.
  SummaryPage(AppContext& ctx, QMenu* menu, GoodsSelection& selection, QWidget* parent = nullptr);

  void Refill();
  // After a change made elsewhere: the list again, the chosen row and the scroll kept.
  void RefillInPlace();
  Grid* SummaryGrid() const { return grid_; }
  // A right-click: clears the chosen goods and returns the menu to show.
  QMenu* PrepareMenuFor(int row, int col);

 private:
  AppContext& ctx_;
  QMenu* menu_;
  GoodsSelection& selection_;
  Grid* grid_;
  ColumnShares* shares_;
};

}  // namespace hemulu
