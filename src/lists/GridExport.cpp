#include "lists/GridExport.h"

#include "data/AppContext.h"
#include "lists/ExcelExport.h"
#include "lists/Grid.h"
#include "lists/WorkProgress.h"

namespace hemulu {

std::expected<void, QString> ExportGridToExcel(const Grid& grid, const QString& file, const GridExportParts& parts,
                                               const Progress& progress) {
  ExportPlan plan;
  plan.with_fixed_rows = parts.header_rows;
  for (int c = parts.row_header_column ? 0 : 1; c < grid.Cols(); ++c)
    if (!grid.IsColumnLockedHidden(c)) plan.columns.push_back({c, grid.ColumnKind(c), grid.ColumnWidth(c)});
  for (int r = 0; r < grid.FixedRows(); ++r) plan.header_heights.push_back(grid.RowHeight(r));
  if (const RowSource* source = grid.Source()) {
    // Rows read on demand are gathered for the export (the first half of the work); the
    // list on screen stays as it is.
    const std::int64_t rows = source->Count();
    GridStore all;
    if (!CopyWithSourceRows(grid.Store(), *source, all, StretchOf(progress, 0, rows, 2 * rows))) {
      const std::optional<DbError> failure = source->ReadFailure();
      if (!failure) return std::unexpected(QString());  // stopped by the user
      // Stopped rather than write blank rows; the message is this export's, not the grid's.
      source->TakeFailureToTell();
      LogDbFailure(QStringLiteral("data.db"), *failure);
      return std::unexpected(kNotExportedText + ReadFailureReason(*failure));
    }
    return ExportToExcel(all, plan, file, StretchOf(progress, rows, rows, 2 * rows));
  }
  return ExportToExcel(grid.Store(), plan, file, progress);
}

bool ExportAndNotify(AppContext& ctx, QWidget* parent, const QString& path, const ExportWriter& write) {
  std::expected<void, QString> done;
  {
    WorkProgress progress(QStringLiteral("正在导出……"), parent);
    done = write(path, progress.Reporter());
  }  // the progress dialog is gone before anything is said
  if (!done) {
    if (!done.error().isEmpty()) ctx.ShowMessage(done.error(), MessageKind::Stop);  // empty: stopped
    return false;
  }
  ctx.notifier.Notify(kHintTitle, QStringLiteral("已导出到 ") + path);
  return true;
}

}  // namespace hemulu
