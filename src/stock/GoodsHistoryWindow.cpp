#include "stock/GoodsHistoryWindow.h"

#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "data/TextFormat.h"
#include "lists/ColumnShares.h"
#include "lists/Grid.h"
#include "lists/GridExport.h"
#include "lists/GridPrinter.h"
#include "ui/NamedWidgets.h"

namespace hemulu {

namespace {

constexpr int kHistoryCols = 10;
const std::vector<double> kHistoryShares = {0, 0, 0.2, 0.08, 0.09, 0.1, 0.09, 0.18, 0.12, 0.08};
const std::vector<double> kOperatorShares = {0, 0, 0.22, 0.09, 0.1, 0.11, 0, 0.2, 0.13, 0.09};

void LayOutHistory(Grid& grid, bool with_prices) {
  grid.BeginUpdate();
  grid.SetCols(kHistoryCols);
  grid.SetFixedRows(1);
  grid.SetRows(1);
  grid.SetRowHeight(0, 26);
  const char* captions[] = {"", "编号", "日期", "业务", "数量", "结存数量", "进货单价", "供货商", "操作员", "销售号"};
  for (int c = 0; c < kHistoryCols; ++c) {
    grid.SetCellText(0, c, QString::fromUtf8(captions[c]));
    const bool number = c >= kHistoryChangeCol && c <= kHistoryPriceCol;
    grid.SetColumnAlignment(c, number ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter);
  }
  grid.SetColumnKind(kHistoryDateCol, CellKind::Date);
  for (int c : {kHistoryChangeCol, kHistoryStockCol, kHistoryPriceCol}) grid.SetColumnKind(c, CellKind::Number);
  grid.SetColumnLockedHidden(kHistoryIdCol, true);
  // An operator's window has no purchase price column at all: not shown, printed or exported.
  grid.SetColumnLockedHidden(kHistoryPriceCol, !with_prices);
  grid.SetExtendLastCol(true);
  grid.EndUpdate();
}

QString Signed(double value) { return value > 0 ? QStringLiteral("+") + NumberText(value) : NumberText(value); }

}  // namespace

GoodsHistoryWindow::GoodsHistoryWindow(AppContext& ctx, qint64 goods_id, QWidget* owner)
    : QDialog(owner), ctx_(ctx), goods_id_(goods_id) {
  setObjectName(QStringLiteral("商品流水窗口"));
  setWindowTitle(kGoodsHistoryTitle);
  const bool with_prices = ctx_.session.IsSuperAdministrator();
  header_ = new QLabel(this);
  header_->setObjectName(QStringLiteral("商品流水商品标签"));
  const QDate today = ctx_.clock.Now().date();
  from_ = NamedDateEdit(QStringLiteral("商品流水日期框1"), today, this);
  to_ = NamedDateEdit(QStringLiteral("商品流水日期框2"), today, this);
  auto* query = NamedButton(QStringLiteral("查询"), QStringLiteral("商品流水查询按钮"), this);
  auto* all = NamedButton(QStringLiteral("全部记录"), QStringLiteral("商品流水全部按钮"), this);
  auto* bar = new QHBoxLayout;
  bar->addWidget(header_, 1);
  bar->addWidget(new QLabel(QStringLiteral("日期："), this));
  bar->addWidget(from_);
  bar->addWidget(new QLabel(QStringLiteral("-至-"), this));
  bar->addWidget(to_);
  bar->addWidget(query);
  bar->addWidget(all);

  grid_ = new Grid(this, QStringLiteral("商品流水表格"));
  LayOutHistory(*grid_, with_prices);
  shares_ = new ColumnShares(*grid_, *grid_, 0, with_prices ? kHistoryShares : kOperatorShares);

  auto* print = NamedButton(QStringLiteral("打印"), QStringLiteral("商品流水打印按钮"), this);
  auto* export_button = NamedButton(QStringLiteral("输出Excel"), QStringLiteral("商品流水导出按钮"), this);
  auto* close_button = NamedButton(QStringLiteral("关闭"), QStringLiteral("商品流水关闭按钮"), this);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(print);
  buttons->addWidget(export_button);
  buttons->addWidget(close_button);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(bar);
  layout->addWidget(grid_, 1);
  layout->addLayout(buttons);
  resize(900, 520);
  // Enter in a date box asks for its period, not the window's first button.
  query->setDefault(true);
  connect(query, &QPushButton::clicked, this, &GoodsHistoryWindow::QueryPeriod);
  connect(all, &QPushButton::clicked, this, [this] { Refill(std::nullopt); });
  connect(print, &QPushButton::clicked, this, &GoodsHistoryWindow::Print);
  connect(export_button, &QPushButton::clicked, this, &GoodsHistoryWindow::Export);
  connect(close_button, &QPushButton::clicked, this, &QDialog::reject);
  if (Refill(std::nullopt) && !history_.lines.empty() && history_.lines.back().date.isValid())
    from_->setDate(history_.lines.back().date.date());  // the whole history's first day
}

bool GoodsHistoryWindow::Refill(std::optional<HistoryPeriod> period) {
  auto history = LoadGoodsHistory(ctx_, goods_id_, period);
  if (!history) {
    ctx_.ReportReadFailure(history.error());
    return false;
  }
  history_ = std::move(*history);
  period_ = period;
  ShowHistory();
  return true;
}

void GoodsHistoryWindow::QueryPeriod() {
  if (from_->date() > to_->date()) {
    ctx_.ShowMessage(QStringLiteral("起始日期不能晚于截止日期。"), MessageKind::Information);
    from_->setFocus();
    return;
  }
  Refill(HistoryPeriod{from_->date(), to_->date()});
}

void GoodsHistoryWindow::ShowHistory() {
  const QString goods = GoodsHistoryTitle(history_);
  setWindowTitle(goods.isEmpty() ? kGoodsHistoryTitle : kGoodsHistoryTitle + QStringLiteral(" - ") + goods);
  header_->setText(QStringLiteral("商品：") + (goods.isEmpty() ? QStringLiteral("（无记录）") : goods));
  grid_->BeginUpdate();
  grid_->SetFrozenBottomRows(0);
  grid_->SetRows(1);
  for (const HistoryLine& l : history_.lines) {
    const QString date = l.date.isValid() ? DateCellText(l.date) : QString();
    // A row's text starts at column 1.
    const QStringList cells = {QString::number(l.id),
                               date,
                               l.kind,
                               Signed(l.change),
                               NumberText(l.stock_after),
                               l.buy_price ? NumberText(*l.buy_price) : QString(),
                               l.supplier,
                               l.user,
                               l.sale_id ? QString::number(*l.sale_id) : QString()};
    grid_->AddItem(cells.join(QLatin1Char('\t')));
  }
  // The totals per kind, one row each, kept in view below the list.
  const int first_total = grid_->Rows();
  for (std::size_t i = 0; i < history_.totals.size(); ++i) {
    const HistoryTotal& t = history_.totals[i];
    const QStringList cells = {
        QString(), i == 0 ? QStringLiteral("合计") : QString(), t.kind, Signed(t.change), QString(),
        QString(), QStringLiteral("共%1笔").arg(t.count)};
    grid_->AddItem(cells.join(QLatin1Char('\t')));
  }
  if (grid_->Rows() > first_total) {
    grid_->SetRangeFontBold(first_total, 1, grid_->Rows() - 1, kHistoryCols - 1, true);
    grid_->SetFrozenBottomRows(grid_->Rows() - first_total);
  }
  grid_->EndUpdate();
}

void GoodsHistoryWindow::Export() {
  ExportAndNotify(ctx_, this, ctx_.FilePath(QStringLiteral("商品流水.xlsx")),
                  [this](const QString& path, const Progress& progress) {
                    return ExportGridToExcel(*grid_, path, {.header_rows = true, .row_header_column = false}, progress);
                  });
}

void GoodsHistoryWindow::Print() {
  const QString scope = GoodsHistoryTitle(history_) + QStringLiteral("，") +
                        (period_ ? PeriodText(period_->first, period_->last) : kAllRecordsScope);
  PrintGrid(*grid_, {kGoodsHistoryTitle, scope, ctx_.clock.Now()}, ctx_.prompter, this);
  // Back to this window, so that Esc closes it rather than going to the main window.
  activateWindow();
}

}  // namespace hemulu
