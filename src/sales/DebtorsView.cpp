#include "sales/DebtorsView.h"

#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "data/TextFormat.h"
#include "lists/ColumnShares.h"
#include "lists/Grid.h"
#include "lists/GridExport.h"
#include "lists/GridFill.h"
#include "lists/GridPlace.h"
#include "lists/GridPrinter.h"
#include "sales/RepaymentWindow.h"
#include "sales/StatementWindow.h"
#include "ui/NamedWidgets.h"

namespace hemulu {

namespace {

const std::vector<double> kDebtorShares = {0, 0.22, 0.18, 0.1, 0.16, 0.17, 0.17};

void LayOutDebtors(Grid& grid) {
  grid.BeginUpdate();
  grid.SetCols(kDebtorCols);
  grid.SetFixedRows(1);
  grid.SetRows(1);
  grid.SetRowHeight(0, 26);
  grid.SetUserSort(true);
  const char* captions[] = {"", "客户名称", "联系方式", "欠款笔数", "欠款总额", "最早欠款日期", "最近收款日期"};
  for (int c = 0; c < kDebtorCols; ++c) {
    grid.SetCellText(0, c, QString::fromUtf8(captions[c]));
    grid.SetColumnAlignment(c, c == kDebtorSalesCol || c == kDebtorOwedCol ? Qt::AlignRight | Qt::AlignVCenter
                                                                           : Qt::AlignLeft | Qt::AlignVCenter);
  }
  grid.SetColumnMask(kDebtorOwedCol, ColumnMask::Value, 1);
  grid.SetExtendLastCol(true);
  grid.EndUpdate();
}

}  // namespace

DebtorsView::DebtorsView(AppContext& ctx, std::function<QString(const QString&)> initials_of, QWidget* parent)
    : QWidget(parent), ctx_(ctx), initials_of_(std::move(initials_of)) {
  grid_ = new Grid(this, QStringLiteral("客户欠款表格"));
  LayOutDebtors(*grid_);
  shares_ = new ColumnShares(*grid_, *grid_, 0, kDebtorShares);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(grid_, 1);
  layout->addWidget(BuildToolBar());
  // A double-click or Enter on a customer opens the statement.
  connect(grid_, &Grid::DoubleClicked, this, [this](Qt::MouseButton, int row, int, const QPoint&) {
    if (row >= grid_->FixedRows()) OpenStatement();
  });
  connect(grid_, &Grid::RowActivated, this, [this](int) { OpenStatement(); });
}

QWidget* DebtorsView::BuildToolBar() {
  auto* bar = new QWidget(this);
  SearchBarLayout layout(bar, QStringLiteral("客户欠款工具栏"));
  search_ = SearchLineEdit(QStringLiteral("欠款客户名称框"), bar);
  search_->setToolTip(QStringLiteral("输入客户名称或其拼音首字母"));
  auto* repay = NamedButton(QStringLiteral("收款"), QStringLiteral("客户收款按钮"), bar);
  auto* statement = NamedButton(QStringLiteral("对账单"), QStringLiteral("客户对账单按钮"), bar);
  auto* print = NamedButton(QStringLiteral("打印"), QStringLiteral("客户欠款打印按钮"), bar);
  auto* export_button = NamedButton(QStringLiteral("输出Excel"), QStringLiteral("客户欠款导出按钮"), bar);
  auto* back = NamedButton(QStringLiteral("返回销售明细"), QStringLiteral("返回销售明细按钮"), bar);
  layout.Add(0, QStringLiteral("客户查询："), search_);
  layout.AddAll(0, {repay, statement, print, export_button, back});
  layout.StretchAfterLast();
  connect(search_, &QLineEdit::textChanged, this, [this] { Refill(); });
  connect(repay, &QPushButton::clicked, this, &DebtorsView::OpenRepayment);
  connect(statement, &QPushButton::clicked, this, &DebtorsView::OpenStatement);
  connect(print, &QPushButton::clicked, this, &DebtorsView::Print);
  connect(export_button, &QPushButton::clicked, this, &DebtorsView::Export);
  connect(back, &QPushButton::clicked, this, &DebtorsView::BackToSales);
  return bar;
}

bool DebtorsView::Refill() {
  // A repayment or a search typed keeps the customer chosen, while listed, and the scroll.
  const GridPlace place = SaveGridPlace(*grid_, kDebtorNameCol);
  const auto chosen = ChosenCustomer();
  const FillResult result = FillGrid(ctx_, *grid_, DebtorsListPlan(search_->text().trimmed(), initials_of_));
  if (result.error) {
    ctx_.ReportReadFailure(*result.error);
    return false;
  }
  const int row = RestoreGridPlace(*grid_, place, kDebtorNameCol);
  // Two customers of one name are told apart by their contact; one paid up is chosen no more.
  if (chosen && row >= 0 && grid_->CellText(row, kDebtorContactCol) != chosen->contact) {
    const QString name = grid_->CellText(row, kDebtorNameCol);
    grid_->ClearSelection();
    for (int r = grid_->FixedRows(); r < grid_->Rows() - 1; ++r)
      if (grid_->CellText(r, kDebtorNameCol) == name && grid_->CellText(r, kDebtorContactCol) == chosen->contact) {
        grid_->SelectRow(r);
        break;
      }
  }
  return true;
}

std::optional<DebtCustomer> DebtorsView::ChosenCustomer() const {
  const int row = grid_->SelectionFirstRow();
  // The last row holds the totals.
  if (row < grid_->FixedRows() || row >= grid_->Rows() - 1) return std::nullopt;
  const QString shown = grid_->CellText(row, kDebtorNameCol);
  if (shown.isEmpty() && grid_->CellText(row, kDebtorOwedCol).isEmpty()) return std::nullopt;
  return DebtCustomer{StoredCustomerName(shown), grid_->CellText(row, kDebtorContactCol)};
}

void DebtorsView::OpenRepayment() {
  const auto customer = ChosenCustomer();
  if (!customer) {
    ctx_.ShowMessage(QStringLiteral("请先选中一位欠款客户。"), MessageKind::Information);
    return;
  }
  RepaymentWindow window(ctx_, *customer, this);
  if (window.exec() != QDialog::Accepted) return;
  Refill();
  emit DebtsChanged(window.Deposited());
}

void DebtorsView::OpenStatement() {
  const auto customer = ChosenCustomer();
  if (!customer) {
    ctx_.ShowMessage(QStringLiteral("请先选中一位欠款客户。"), MessageKind::Information);
    return;
  }
  StatementWindow window(ctx_, *customer, this);
  bool undone = false;
  connect(&window, &StatementWindow::RepaymentUndone, this, [&undone] { undone = true; });
  window.exec();
  if (!undone) return;
  Refill();
  emit DebtsChanged(true);
}

void DebtorsView::Export() {
  ExportAndNotify(ctx_, this, ctx_.FilePath(QStringLiteral("客户欠款.xlsx")),
                  [this](const QString& path, const Progress& progress) {
                    return ExportGridToExcel(*grid_, path, {.header_rows = true, .row_header_column = false}, progress);
                  });
}

void DebtorsView::Print() {
  const QString search = search_->text().trimmed();
  const QString scope = search.isEmpty() ? kAllRecordsScope : QStringLiteral("客户：") + search;
  PrintGrid(*grid_, {QStringLiteral("客户欠款"), scope, ctx_.clock.Now()}, ctx_.prompter, this);
}

}  // namespace hemulu
