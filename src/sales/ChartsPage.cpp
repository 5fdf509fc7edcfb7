#include "sales/ChartsPage.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "data/TextFormat.h"
#include "lists/GridExport.h"
#include "sales/BarChartView.h"
#include "ui/LiveRefill.h"
#include "ui/NamedWidgets.h"

namespace hemulu {

namespace {

QComboBox* MakeList(const QString& name, QWidget* parent) {
  auto* list = new QComboBox(parent);
  list->setObjectName(name);
  list->setMinimumContentsLength(5);
  return list;
}

QTableWidget* MakeTable(const QString& name, QWidget* parent) {
  auto* table = new QTableWidget(1, 0, parent);
  table->setObjectName(name);
  table->verticalHeader()->hide();
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionMode(QAbstractItemView::NoSelection);
  table->setFocusPolicy(Qt::NoFocus);
  table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  table->horizontalHeader()->setMinimumSectionSize(24);
  table->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  return table;
}

// Every column at least as wide as its caption and figure, the spare width shared out
// evenly; when the figures do not fit, a scroll bar rather than a clipped figure. The
// table is exactly as tall as it needs.
void FitColumns(QTableWidget* table) {
  QHeaderView* header = table->horizontalHeader();
  const int cols = table->columnCount();
  constexpr int kPadding = 8;
  std::vector<int> widths(static_cast<std::size_t>(cols), 0);
  int needed = 0;
  for (int c = 0; c < cols; ++c) {
    int w = 0;
    if (const QTableWidgetItem* h = table->horizontalHeaderItem(c))
      w = header->fontMetrics().horizontalAdvance(h->text());
    if (const QTableWidgetItem* item = table->item(0, c))
      w = std::max(w, QFontMetrics(item->font()).horizontalAdvance(item->text()));
    widths[static_cast<std::size_t>(c)] = w + kPadding;
    needed += w + kPadding;
  }
  const int available = table->width() - 2 * table->frameWidth();
  const bool fits = needed <= available;
  if (fits && cols > 0) {
    const int extra = (available - needed) / cols;
    for (int& w : widths) w += extra;
    widths.back() += available - needed - extra * cols;
  }
  header->setSectionResizeMode(QHeaderView::Fixed);
  for (int c = 0; c < cols; ++c) header->resizeSection(c, widths[static_cast<std::size_t>(c)]);
  table->setHorizontalScrollBarPolicy(fits ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAlwaysOn);
  const int bar = fits ? 0 : table->horizontalScrollBar()->sizeHint().height();
  table->setFixedHeight(header->sizeHint().height() + table->verticalHeader()->defaultSectionSize() + bar +
                        2 * table->frameWidth());
}

}  // namespace

ChartsPage::ChartsPage(AppContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx) {
  setObjectName(QStringLiteral("销售图表页面"));

  monthly_year_ = MakeList(QStringLiteral("组合框1"), this);
  auto* monthly_amount =
      NamedButton(QStringLiteral("查询销售额"), QStringLiteral("按钮10"), this, EnterOnButton::Presses);
  auto* monthly_profit =
      NamedButton(QStringLiteral("查 询 利 润"), QStringLiteral("按钮11"), this, EnterOnButton::Presses);
  auto* export_button =
      NamedButton(QStringLiteral("导出Excel"), QStringLiteral("图表导出按钮"), this, EnterOnButton::Presses);
  export_button->setToolTip(QStringLiteral("把两个图表中的数字导出到数据文件夹中的“销售图表.xlsx”"));
  monthly_chart_ = new BarChartView(QStringLiteral("月销售统计柱状图控件"), QStringLiteral("月销售统计表"),
                                    QStringLiteral("月份"), QStringLiteral("元"), this);
  monthly_table_ = MakeTable(QStringLiteral("月销售统计表格"), this);

  daily_year_ = MakeList(QStringLiteral("组合框2"), this);
  daily_month_ = MakeList(QStringLiteral("组合框3"), this);
  for (int m = 1; m <= 12; ++m) daily_month_->addItem(QString::number(m));
  auto* daily_amount = NamedButton(QStringLiteral("查询销售额"), QStringLiteral("按钮9"), this, EnterOnButton::Presses);
  auto* daily_profit =
      NamedButton(QStringLiteral("查 询 利 润"), QStringLiteral("按钮8"), this, EnterOnButton::Presses);
  daily_chart_ = new BarChartView(QStringLiteral("日销售统计柱状图控件"), QStringLiteral("日销售统计表"),
                                  QStringLiteral("日"), QStringLiteral("元"), this);
  daily_table_ = MakeTable(QStringLiteral("日销售统计表格"), this);
  // The columns follow the tables' own width.
  monthly_table_->installEventFilter(this);
  daily_table_->installEventFilter(this);

  auto* monthly_bar = new QHBoxLayout;
  monthly_bar->addWidget(new QLabel(QStringLiteral("年份："), this));
  monthly_bar->addWidget(monthly_year_);
  monthly_bar->addWidget(monthly_amount);
  monthly_bar->addWidget(monthly_profit);
  monthly_bar->addStretch(1);
  monthly_bar->addWidget(export_button);

  auto* daily_bar = new QHBoxLayout;
  daily_bar->addWidget(new QLabel(QStringLiteral("年份："), this));
  daily_bar->addWidget(daily_year_);
  daily_bar->addWidget(new QLabel(QStringLiteral("月份："), this));
  daily_bar->addWidget(daily_month_);
  daily_bar->addWidget(daily_amount);
  daily_bar->addWidget(daily_profit);
  daily_bar->addStretch(1);

  // Below this width the labels of 31 bars no longer fit: a narrow window scrolls instead.
  // The height is what the two charts' least height and the bars and tables need.
  auto* content = new QWidget;
  content->setMinimumWidth(860);
  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(scroll);

  auto* layout = new QVBoxLayout(content);
  layout->setContentsMargins(6, 4, 6, 4);
  layout->setSpacing(4);
  layout->addLayout(monthly_bar);
  layout->addWidget(monthly_chart_, 1);
  layout->addWidget(monthly_table_);
  layout->addSpacing(6);
  layout->addLayout(daily_bar);
  layout->addWidget(daily_chart_, 1);
  layout->addWidget(daily_table_);
  scroll->setWidget(content);

  connect(monthly_amount, &QPushButton::clicked, this, [this] { QueryMonthly(SalesFigure::Amount); });
  connect(monthly_profit, &QPushButton::clicked, this, [this] { QueryMonthly(SalesFigure::Profit); });
  connect(daily_amount, &QPushButton::clicked, this, [this] { QueryDaily(SalesFigure::Amount); });
  connect(daily_profit, &QPushButton::clicked, this, [this] { QueryDaily(SalesFigure::Profit); });
  connect(export_button, &QPushButton::clicked, this, [this] { Export(); });
  new LiveRefill(ctx_, this, {QStringLiteral("sell_day")}, [this] { RefillInPlace(); });
}

ChartsPage::~ChartsPage() = default;

void ChartsPage::ReportError(const DbError& error) {
  if (error.kind == DbError::Kind::Refused)  // a report refused to this user: the text says why
    ctx_.ShowMessage(error.message, MessageKind::Stop);
  else  // the charts keep what they showed
    ctx_.ReportReadFailure(error, QStringLiteral("读取销售统计失败，图表没有更新："));
}

void ChartsPage::FillYearList(QComboBox* list, const std::vector<int>& years, int chosen) {
  list->clear();
  for (int y : years) list->addItem(QString::number(y));
  list->setCurrentIndex(list->findText(QString::number(chosen)));
}

void ChartsPage::Refill() {
  const QDate today = ctx_.clock.Now().date();
  auto years = SalesYears(ctx_, today.year());
  if (!years) {
    ReportError(years.error());
    return;
  }
  FillYearList(monthly_year_, *years, today.year());
  FillYearList(daily_year_, *years, today.year());
  daily_month_->setCurrentIndex(today.month() - 1);
  auto monthly = MonthlyReport(ctx_, SalesFigure::Amount, today.year());
  auto daily = DailyReport(ctx_, SalesFigure::Amount, today.year(), today.month());
  if (!monthly || !daily) {
    ReportError(monthly ? daily.error() : monthly.error());
    return;
  }
  monthly_figure_ = daily_figure_ = SalesFigure::Amount;
  Show(monthly_report_ = std::move(*monthly), monthly_chart_, monthly_table_);
  Show(daily_report_ = std::move(*daily), daily_chart_, daily_table_);
}

void ChartsPage::RefillInPlace() {
  const int monthly_year = monthly_year_->currentText().toInt();
  const int daily_year = daily_year_->currentText().toInt();
  auto years = SalesYears(ctx_, ctx_.clock.Now().date().year());
  if (!years) {
    ReportError(years.error());
    return;
  }
  FillYearList(monthly_year_, *years, monthly_year);
  FillYearList(daily_year_, *years, daily_year);
  // A list left empty would take the focus from where the user is: skipped instead.
  if (!monthly_year_->currentText().trimmed().isEmpty()) QueryMonthly(monthly_figure_);
  if (!daily_year_->currentText().trimmed().isEmpty() && !daily_month_->currentText().trimmed().isEmpty())
    QueryDaily(daily_figure_);
}

void ChartsPage::QueryMonthly(SalesFigure figure) {
  const QString year = monthly_year_->currentText().trimmed();
  if (year.isEmpty()) {
    monthly_year_->setFocus();
    return;
  }
  auto report = MonthlyReport(ctx_, figure, year.toInt());
  if (!report) {
    ReportError(report.error());
    return;
  }
  monthly_figure_ = figure;
  Show(monthly_report_ = std::move(*report), monthly_chart_, monthly_table_);
}

void ChartsPage::QueryDaily(SalesFigure figure) {
  const QString year = daily_year_->currentText().trimmed();
  if (year.isEmpty()) {
    daily_year_->setFocus();
    return;
  }
  const QString month = daily_month_->currentText().trimmed();
  if (month.isEmpty()) {
    daily_month_->setFocus();
    return;
  }
  auto report = DailyReport(ctx_, figure, year.toInt(), month.toInt());
  if (!report) {
    ReportError(report.error());
    return;
  }
  daily_figure_ = figure;
  Show(daily_report_ = std::move(*report), daily_chart_, daily_table_);
}

void ChartsPage::Show(const BarReport& report, BarChartView* chart, QTableWidget* table) {
  ShowReport(report, *chart);
  chart->Redraw();
  const int count = static_cast<int>(report.values.size());
  table->setColumnCount(count + 1);
  QStringList headers = report.labels;
  headers << QStringLiteral("合计");
  table->setHorizontalHeaderLabels(headers);
  auto cell = [](const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    return item;
  };
  for (int i = 0; i < count; ++i) table->setItem(0, i, cell(NumberText(report.values[static_cast<std::size_t>(i)])));
  QTableWidgetItem* total = cell(NumberText(report.Total()));
  QFont bold = total->font();
  bold.setBold(true);
  total->setFont(bold);
  table->setItem(0, count, total);
  FitColumns(table);
}

bool ChartsPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize && (watched == monthly_table_ || watched == daily_table_))
    FitColumns(static_cast<QTableWidget*>(watched));
  return QWidget::eventFilter(watched, event);
}

void ChartsPage::Export() {
  ExportAndNotify(ctx_, this, ctx_.FilePath(QStringLiteral("销售图表.xlsx")),
                  [this](const QString& path, const Progress& progress) {
                    return ExportReports({&monthly_report_, &daily_report_}, path, progress);
                  });
}

}  // namespace hemulu
