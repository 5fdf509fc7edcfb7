#include "lists/GridKeyedFill.h"

#include <QTimer>

#include "data/AppContext.h"
#include "lists/Grid.h"

namespace hemulu {

FillResult FillGridKeyed(AppContext& ctx, Grid& grid, const ListPlan& plan) {
  // Filled aside: a failed read leaves the list as it was (see FillGrid).
  GridStore filled = grid.Store().LaidOutCopy();
  KeyedFill fill = FillKeyedList(ctx, filled, plan);
  if (fill.result.error) return fill.result;
  // A page of rows that cannot be read later (on a scroll, a repaint) is told once, after
  // the paint that asked for it: never a message box in the middle of painting.
  std::weak_ptr<KeyedRows> weak = fill.rows;
  fill.rows->OnFailure([&ctx, &grid, weak](const DbError&) {
    QTimer::singleShot(0, &grid, [&ctx, weak] {
      const std::shared_ptr<KeyedRows> rows = weak.lock();
      if (rows && rows->TakeFailureToTell()) ctx.ReportReadFailure(*rows->ReadFailure(), kRowsNotShownText);
    });
  });
  grid.BeginUpdate();
  grid.SetRowSource(nullptr);  // the store alone while it is replaced
  grid.EditStore() = std::move(filled);
  grid.SetRowSource(std::move(fill.rows));
  grid.SetLook(fill.result.look);
  grid.MarkSorted(fill.result.sorted_column);
  grid.EndUpdate();
  return fill.result;
}

}  // namespace hemulu
