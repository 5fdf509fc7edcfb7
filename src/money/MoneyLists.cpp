#include "money/MoneyLists.h"

#include "data/TextFormat.h"
#include "lists/Grid.h"
#include "lists/GridExport.h"
#include "lists/GridFill.h"

namespace hemulu {

namespace {

constexpr Qt::Alignment kCentre = Qt::AlignCenter;
constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;
constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;

const std::vector<double> kLedgerSetUp = {0, 0, 0.04, 0.11, 0.17, 0.065, 0.15, 0.17, 0.11, 0.06};
const std::vector<double> kLedgerResize = {0, 0, 0.04, 0.11, 0.11, 0.06, 0.08, 0.1, 0.1, 0.16};
const std::vector<double> kBankDetail = {0, 0, 0.1, 0.2, 0.1, 0.2, 0.2, 0.2};
const std::vector<double> kBankSummary = {0, 0.2, 0.4, 0.4};

// The common set-up of the money grids: one header row 26 pixels high, whole-row
// selection, user sorting.
void LayOutHeader(Grid& grid, int cols, std::initializer_list<const char*> captions, int first_caption_col) {
  grid.SetCols(cols);
  grid.SetFixedRows(1);
  grid.SetRows(1);
  grid.SetRowHeight(0, 26);
  grid.SetUserSort(true);
  for (int c = 0; c < cols; ++c) {
    grid.SetCellText(0, c, QString());
    grid.SetColumnAlignment(c, kLeft);
    grid.SetColumnMask(c, ColumnMask::None);
    grid.SetColumnKind(c, CellKind::Auto);
  }
  int col = first_caption_col;
  for (const char* caption : captions) grid.SetCellText(0, col++, QString::fromUtf8(caption));
}

}  // namespace

const std::vector<double>& LedgerSetUpShares() { return kLedgerSetUp; }
const std::vector<double>& LedgerResizeShares() { return kLedgerResize; }
const std::vector<double>& BankDetailShares() { return kBankDetail; }
const std::vector<double>& BankSummaryShares() { return kBankSummary; }

void LayOutLedgerGrid(Grid& grid) {
  grid.BeginUpdate();
  LayOutHeader(grid, kLedgerCols, {"类型", "编号", "名称", "数量", "单价", "金额", "项目日期", "备注"}, 2);
  grid.SetExtendLastCol(true);
  grid.SetColumnLockedHidden(kLedgerIdCol, true);
  grid.SetColumnAlignment(kLedgerTypeCol, kCentre);
  for (int c = 5; c <= 7; ++c) {
    grid.SetColumnAlignment(c, kRight);
    grid.SetColumnMask(c, ColumnMask::Value, 1);
  }
  grid.EndUpdate();
}

std::optional<LedgerSums> FillLedgerGrid(AppContext& ctx, Grid& grid, const MoneyQuery& query, FillResult* result) {
  grid.BeginUpdate();
  const FillResult r = FillGrid(ctx, grid, LedgerListPlan(query));
  if (result) *result = r;
  if (r.error) {  // the list and its sums stay as they were
    grid.EndUpdate();
    return std::nullopt;
  }
  const LedgerSums sums = LedgerSumsOf(r.totals);
  const int row = grid.Rows() - 1;
  const QString yuan = QStringLiteral("元");
  grid.SetCellText(row, kLedgerItemCol, QStringLiteral("总收入：") + NumberText(sums.income) + yuan);
  grid.SetCellText(row, kLedgerAmountCol, QStringLiteral("总支出：") + NumberText(sums.expense) + yuan);
  grid.SetCellText(row, kLedgerNoteCol, QStringLiteral("未知数：") + NumberText(sums.unknown) + yuan);
  grid.EndUpdate();
  return sums;
}

void LayOutBankDetail(Grid& grid) {
  grid.BeginUpdate();
  LayOutHeader(grid, kBankDetailCols, {"银行", "账户", "方式", "金额", "日期", "备注"}, 2);
  // The shares add up to the whole width: the last column takes what truncation and the
  // frame leave, so no scroll bar appears for a pixel or two.
  grid.SetExtendLastCol(true);
  grid.SetColumnLockedHidden(kBankIdCol, true);
  for (int c = 2; c <= 4; ++c) grid.SetColumnAlignment(c, kCentre);
  for (int c = 5; c <= 7; ++c) grid.SetColumnAlignment(c, kRight);
  grid.SetColumnMask(kBankAmountCol, ColumnMask::Value, 1);
  grid.EndUpdate();
}

void LayOutBankSummary(Grid& grid) {
  grid.BeginUpdate();
  grid.SetColumnLockedHidden(kBankIdCol, false);  // column 1 holds the bank name here
  LayOutHeader(grid, kBankSummaryCols, {"银行", "账户", "金额"}, 1);
  grid.SetExtendLastCol(true);
  grid.SetColumnAlignment(1, kCentre);
  grid.SetColumnAlignment(2, kCentre);
  grid.SetColumnAlignment(kBankBalanceCol, kLeft);
  grid.SetColumnMask(kBankBalanceCol, ColumnMask::Value, 1);
  grid.EndUpdate();
}

FillResult FillBankGrid(AppContext& ctx, Grid& grid, const MoneyQuery& query) {
  return FillGrid(ctx, grid, BankDetailListPlan(query));
}

FillResult FillBankSummaryGrid(AppContext& ctx, Grid& grid) { return FillGrid(ctx, grid, BankSummaryListPlan()); }

std::expected<void, QString> ExportMoneyGrid(const Grid& grid, const QString& path, const Progress& progress) {
  return ExportGridToExcel(grid, path, {.header_rows = true, .row_header_column = false}, progress);
}

}  // namespace hemulu
