#pragma once
// The ledger grid and the bank grid's two views: their layouts, fills and width shares.

#include <QString>
#include <expected>
#include <vector>

#include "lists/ListFill.h"
#include "lists/Progress.h"
#include "money/MoneyFill.h"

namespace hemulu {

class Grid;

// ---- Ledger ----
inline constexpr int kLedgerFirstColWidth = 20;  // room for the current-row marker

// Shares of the host width: the first display, then every later resize.
const std::vector<double>& LedgerSetUpShares();
const std::vector<double>& LedgerResizeShares();

void LayOutLedgerGrid(Grid& grid);

// Fills the list and writes "总收入：", "总支出：" and "未知数：" with their sums in the
// totals row. The fill's outcome goes to `result` when given.
// The sums shown in the totals row; none when the read failed (the list is left as it was).
std::optional<LedgerSums> FillLedgerGrid(AppContext& ctx, Grid& grid, const MoneyQuery& query,
                                         FillResult* result = nullptr);

// ---- Bank ----
const std::vector<double>& BankDetailShares();
const std::vector<double>& BankSummaryShares();

void LayOutBankDetail(Grid& grid);
void LayOutBankSummary(Grid& grid);
FillResult FillBankGrid(AppContext& ctx, Grid& grid, const MoneyQuery& query);
FillResult FillBankSummaryGrid(AppContext& ctx, Grid& grid);

// The list as it shows, header row included, as a spreadsheet.
// `progress` as ExportGridToExcel hears it.
std::expected<void, QString> ExportMoneyGrid(const Grid& grid, const QString& path, const Progress& progress = {});

}  // namespace hemulu
