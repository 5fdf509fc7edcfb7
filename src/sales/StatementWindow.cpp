#include "sales/StatementWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "data/TextFormat.h"
#include "lists/ColumnShares.h"
#include "lists/Grid.h"
#include "lists/GridExport.h"
#include "lists/GridPrinter.h"
#include "ui/ShowActionError.h"

namespace hemulu {

namespace {

constexpr int kStatementCols = 8;
const std::vector<double> kStatementShares = {0, 0, 0.16, 0.09, 0.36, 0.12, 0.12, 0.15};

void LayOutStatement(Grid& grid) {
  grid.BeginUpdate();
  grid.SetCols(kStatementCols);
  grid.SetFixedRows(1);
  grid.SetRows(1);
  grid.SetRowHeight(0, 26);
  const char* captions[] = {"", "编号", "日期", "类别", "摘要", "欠款", "收款", "余额"};
  for (int c = 0; c < kStatementCols; ++c) {
    grid.SetCellText(0, c, QString::fromUtf8(captions[c]));
    grid.SetColumnAlignment(
        c, c >= kStatementChargedCol ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter);
  }
  grid.SetColumnLockedHidden(kStatementIdCol, true);
  grid.SetExtendLastCol(true);
  grid.EndUpdate();
}

QString Money(double value) { return std::fabs(value) <= kTolerance ? QString() : NumberText(value); }

}  // namespace

StatementWindow::StatementWindow(AppContext& ctx, const DebtCustomer& customer, QWidget* owner)
    : QDialog(owner), ctx_(ctx), customer_(customer) {
  setObjectName(QStringLiteral("对账单窗口"));
  setWindowTitle(QStringLiteral("对账单 - ") + ShownCustomerName(customer.name));
  grid_ = new Grid(this, QStringLiteral("对账单表格"));
  LayOutStatement(*grid_);
  shares_ = new ColumnShares(*grid_, *grid_, 0, kStatementShares);
  balance_label_ = new QLabel(this);
  balance_label_->setObjectName(QStringLiteral("对账单余额标签"));
  undo_ = new QPushButton(QStringLiteral("撤销收款"), this);
  undo_->setObjectName(QStringLiteral("撤销收款按钮"));
  // Only 超级管理员 may undo a repayment; an operator is not offered it.
  undo_->setVisible(ctx_.session.IsSuperAdministrator());
  auto* print = new QPushButton(QStringLiteral("打印"), this);
  auto* export_button = new QPushButton(QStringLiteral("输出Excel"), this);
  auto* close_button = new QPushButton(QStringLiteral("关闭"), this);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(balance_label_, 1);
  buttons->addWidget(undo_);
  buttons->addWidget(print);
  buttons->addWidget(export_button);
  buttons->addWidget(close_button);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(grid_, 1);
  layout->addLayout(buttons);
  resize(820, 480);
  connect(undo_, &QPushButton::clicked, this, &StatementWindow::UndoChosen);
  connect(print, &QPushButton::clicked, this, &StatementWindow::Print);
  connect(export_button, &QPushButton::clicked, this, &StatementWindow::Export);
  connect(close_button, &QPushButton::clicked, this, &QDialog::reject);
  Refill();
}

bool StatementWindow::Refill() {
  auto lines = LoadStatement(ctx_, customer_);
  if (!lines) {
    ctx_.ReportReadFailure(lines.error());
    return false;
  }
  lines_ = std::move(*lines);
  grid_->BeginUpdate();
  grid_->SetRows(1);
  for (const StatementLine& l : lines_) {
    const QString date = l.date.isValid() ? DateCellText(QDateTime(l.date.date(), QTime(0, 0))) : QString();
    // A row's text starts at column 1.
    const QStringList cells = {QString::number(l.id), date, l.what, l.detail, Money(l.charged), Money(l.paid),
                               NumberText(l.balance)};
    grid_->AddItem(cells.join(QLatin1Char('\t')));
  }
  grid_->EndUpdate();
  balance_ = lines_.empty() ? 0 : lines_.back().balance;
  balance_label_->setText(QStringLiteral("截至目前共欠款：") + NumberText(balance_) + QStringLiteral(" 元"));
  return true;
}

void StatementWindow::UndoChosen() {
  const int row = grid_->SelectionFirstRow();
  const int index = row - grid_->FixedRows();
  if (index < 0 || index >= static_cast<int>(lines_.size()) ||
      lines_[static_cast<std::size_t>(index)].kind != StatementLine::Kind::Repayment) {
    ctx_.ShowMessage(QStringLiteral("请先选中要撤销的收款记录。"), MessageKind::Information);
    return;
  }
  const StatementLine& line = lines_[static_cast<std::size_t>(index)];
  if (!ctx_.prompter.Confirm(
          QStringLiteral("确定要撤销这笔收款（%1元）吗？\r\n\r\n撤销后所还的欠款将恢复到各销售单上。")
              .arg(NumberText(line.paid)),
          kWarningTitle, ConfirmDefault::Cancel))
    return;
  auto undone = UndoRepayment(ctx_, line.id);
  if (!undone) {
    ShowActionError(ctx_, undone.error(), this);
    Refill();
    return;
  }
  ctx_.notifier.Notify(kHintTitle, QStringLiteral("撤销收款完成"));
  Refill();
  emit RepaymentUndone();
}

void StatementWindow::Export() {
  ExportAndNotify(ctx_, this, ctx_.FilePath(StatementFileName(customer_)),
                  [this](const QString& path, const Progress& progress) {
                    return ExportGridToExcel(*grid_, path, {.header_rows = true, .row_header_column = false}, progress);
                  });
}

void StatementWindow::Print() {
  const QString who = ShownCustomerName(customer_.name) +
                      (customer_.contact.isEmpty() ? QString() : QStringLiteral(" ") + customer_.contact);
  PrintGrid(*grid_,
            {QStringLiteral("对账单"), who + QStringLiteral("，欠款余额") + NumberText(balance_) + QStringLiteral("元"),
             ctx_.clock.Now()},
            ctx_.prompter, this);
}

}  // namespace hemulu
