#include "stock/SummaryPage.h"

#include <QAction>
#include <QMenu>
#include <QVBoxLayout>

#include "lists/Grid.h"
#include "lists/GridPlace.h"
#include "stock/StockList.h"
#include "stock/StockMenus.h"
#include "ui/LiveRefill.h"

namespace hemulu {

SummaryPage::SummaryPage(AppContext& ctx, QMenu* menu, GoodsSelection& selection, QWidget* parent)
    : QWidget(parent), ctx_(ctx), menu_(menu), selection_(selection) {
  setObjectName(QStringLiteral("汇总框架"));
  grid_ = new Grid(this, QStringLiteral("汇总表格"));
  LayOutSummaryGrid(*grid_);
  shares_ = AttachSummaryShares(*grid_, ctx_.session.IsSuperAdministrator());
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(grid_);
  connect(grid_, &Grid::MouseReleased, this, [this](Qt::MouseButton button, int row, int col, const QPoint& pos) {
    if (button != Qt::RightButton) return;
    if (QMenu* m = PrepareMenuFor(row, col)) m->popup(pos);
  });
  OnCommand(menu_, SummaryCommand::Refresh, this, [this] { Refill(); });
  Refill();
  new LiveRefill(ctx_, this, {QStringLiteral("buy")}, [this] { RefillInPlace(); });
}

void SummaryPage::RefillInPlace() {
  const GridPlace place = SaveGridPlace(*grid_, kSummaryIdCol);
  Refill();
  RestoreGridPlace(*grid_, place, kSummaryIdCol);
}

void SummaryPage::Refill() {
  const FillResult result = FillSummaryGrid(ctx_, *grid_, StoredWarningQuantity(ctx_.settings));
  if (result.error) ctx_.ReportReadFailure(*result.error);
}

QMenu* SummaryPage::PrepareMenuFor(int row, int col) {
  if (row < 1 || col < 1) return nullptr;
  // The compact view has no goods commands: the stock page's commands do nothing
  // until a goods row is chosen there again.
  selection_.id.clear();
  selection_.row = row;
  return menu_;
}

}  // namespace hemulu
