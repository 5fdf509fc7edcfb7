#pragma once
// The ledger grid and the bank grid's two views: their layouts, fills and width shares.

#include <QString>
#include <expected>
#include <vector>

#include "lists/ListFill.h"
#include "lists/Progress.h"
#include "money/LedgerLogic.h"

namespace hemulu {

class Grid;

// ---- Ledger ----
inline constexpr int kLedgerCols = 10;
inline constexpr int kLedgerIdCol = 1;
inline constexpr int kLedgerTypeCol = 2;
inline constexpr int kLedgerItemCol = 4;
inline constexpr int kLedgerAmountCol = 7;
inline constexpr int kLedgerNoteCol = 9;
inline constexpr int kLedgerFirstColWidth = 20;  // room for the current-row marker

// Shares of the host width: the first display, then every later resize.
const std::vector<double>& LedgerSetUpShares();
const std::vector<double>& LedgerResizeShares();

void LayOutLedgerGrid(Grid& grid);

struct LedgerSums {
  double income = 0, expense = 0, unknown = 0;
};
ListFillSpec LedgerFillSpec(const MoneyQuery& query);
// Fills the list and writes "总收入：", "总支出：" and "未知数：" with their sums in the
// totals row. The fill's outcome goes to `result` when given.
// The sums shown in the totals row; none when the read failed (the list is left as it was).
std::optional<LedgerSums> FillLedgerGrid(AppContext& ctx, Grid& grid, const MoneyQuery& query,
                                         FillResult* result = nullptr);

// ---- Bank ----
inline constexpr int kBankDetailCols = 8;
inline constexpr int kBankSummaryCols = 4;
inline constexpr int kBankIdCol = 1;
inline constexpr int kBankKindCol = 4;
inline constexpr int kBankAmountCol = 5;
inline constexpr int kBankNoteCol = 7;
inline constexpr int kBankBalanceCol = 3;  // summary view

const std::vector<double>& BankDetailShares();
const std::vector<double>& BankSummaryShares();

void LayOutBankDetail(Grid& grid);
void LayOutBankSummary(Grid& grid);
ListFillSpec BankDetailFillSpec(const MoneyQuery& query);
FillResult FillBankGrid(AppContext& ctx, Grid& grid, const MoneyQuery& query);
FillResult FillBankSummaryGrid(AppContext& ctx, Grid& grid);

// The list as it shows, header row included, as a spreadsheet.
// `progress` as ExportGridToExcel hears it.
std::expected<void, QString> ExportMoneyGrid(const Grid& grid, const QString& path, const Progress& progress = {});

}  // namespace hemulu
