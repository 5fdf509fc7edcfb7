#include "stock/PurchaseRecordsView.h"

#include <QComboBox>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "lists/ColumnShares.h"
#include "lists/Grid.h"
#include "lists/GridExport.h"
#include "lists/GridKeyedFill.h"
#include "lists/GridPlace.h"
#include "lists/GridPrinter.h"
#include "stock/GoodsLogic.h"
#include "ui/LiveRefill.h"
#include "ui/NamedWidgets.h"
#include "ui/ShowActionError.h"

namespace hemulu {

namespace {

// By column; the ID column (1) is hidden, the operator's column takes what is left.
const std::vector<double> kPurchaseShares = {0, 0, 0.17, 0.16, 0.1, 0.1, 0.07, 0.08, 0.09, 0.13};

void LayOutPurchaseGrid(Grid& grid) {
  constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;
  grid.BeginUpdate();
  grid.SetCols(kPurchaseCols);
  grid.SetFixedRows(1);
  grid.SetRows(1);
  grid.SetRowHeight(0, 26);
  grid.SetExtendLastCol(true);
  grid.SetColumnLockedHidden(kPurchaseIdCol, true);
  const char* captions[] = {"日期", "名称", "型号", "编码", "数量", "进货单价", "金额", "供货商", "操作员"};
  int col = kPurchaseDateCol;
  for (const char* caption : captions) {
    grid.SetCellText(0, col, QString::fromUtf8(caption));
    grid.SetCellAlignment(0, col++, Qt::AlignCenter);
  }
  for (int c = kPurchaseQuantityCol; c <= kPurchaseAmountCol; ++c) grid.SetColumnAlignment(c, kRight);
  grid.SetColumnMask(kPurchaseQuantityCol, ColumnMask::Value);
  grid.SetColumnMask(kPurchasePriceCol, ColumnMask::Value, 2);
  grid.SetColumnMask(kPurchaseAmountCol, ColumnMask::Value, 2);
  grid.EndUpdate();
}

}  // namespace

PurchaseRecordsView::PurchaseRecordsView(AppContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx) {
  grid_ = new Grid(this, QStringLiteral("进货记录表格"));
  LayOutPurchaseGrid(*grid_);
  shares_ = new ColumnShares(*grid_, *grid_, 0, kPurchaseShares);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(grid_, 1);
  layout->addWidget(BuildToolBar());
  // Shown or not, it follows the journal; hidden, it refills when shown again.
  new LiveRefill(ctx_, this, {QStringLiteral("stock_move")}, [this] { RefillInPlace(); });
}

QWidget* PurchaseRecordsView::BuildToolBar() {
  auto* bar = new QWidget(this);
  SearchBarLayout layout(bar, QStringLiteral("进货记录工具栏"));
  goods_box_ = SearchLineEdit(QStringLiteral("进货商品名称框"), bar);
  goods_box_->setToolTip(QStringLiteral("输入商品名称或其拼音首字母，如“可乐”输入 KL"));
  supplier_box_ = SearchList(QStringLiteral("进货供货商框"), bar);
  const QDate today = ctx_.clock.Now().date();
  date_from_ = NamedDateEdit(QStringLiteral("进货日期框1"), today.addMonths(-1), bar);
  date_to_ = NamedDateEdit(QStringLiteral("进货日期框2"), today, bar);
  auto* query = NamedButton(QStringLiteral("日期查询"), QStringLiteral("进货查询按钮"), bar);
  auto* all = NamedButton(QStringLiteral("显示全部记录"), QStringLiteral("进货全部记录按钮"), bar);
  auto* print = NamedButton(QStringLiteral("打印"), QStringLiteral("进货记录打印按钮"), bar);
  auto* export_button = NamedButton(QStringLiteral("输出Excel"), QStringLiteral("进货记录导出按钮"), bar);
  auto* back = NamedButton(QStringLiteral("返回商品库"), QStringLiteral("返回商品库按钮"), bar);
  layout.Add(0, QStringLiteral("商品名称："), goods_box_);
  layout.Add(0, QStringLiteral("供货商："), supplier_box_);
  layout.Add(1, QStringLiteral("进货日期："), date_from_);
  layout.Add(1, QStringLiteral("-至-"), date_to_);
  layout.AddAll(1, {query, all, print, export_button, back});
  layout.StretchAfterLast();

  connect(goods_box_, &QLineEdit::textChanged, this, [this] { Refill(); });
  connect(supplier_box_, &QComboBox::textActivated, this, [this] { Refill(); });
  connect(supplier_box_->lineEdit(), &QLineEdit::textEdited, this, [this] { Refill(); });
  connect(query, &QPushButton::clicked, this, &PurchaseRecordsView::QueryDays);
  connect(all, &QPushButton::clicked, this, &PurchaseRecordsView::ShowAll);
  connect(print, &QPushButton::clicked, this, &PurchaseRecordsView::Print);
  connect(export_button, &QPushButton::clicked, this, &PurchaseRecordsView::Export);
  connect(back, &QPushButton::clicked, this, &PurchaseRecordsView::BackToStock);
  return bar;
}

void PurchaseRecordsView::keyPressEvent(QKeyEvent* event) {
  // Esc where no box or list wants it (they pass it on): back to the stock list.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    emit BackToStock();
    return;
  }
  QWidget::keyPressEvent(event);
}

bool PurchaseRecordsView::Refill() {
  PurchaseFilter filter = filter_;
  filter.goods = goods_box_->text().trimmed();
  filter.supplier = supplier_box_->currentText().trimmed();
  const auto plan = PurchaseRecordsPlan(ctx_.session, filter);
  if (!plan) {
    ShowActionError(ctx_, plan.error(), this);
    return false;
  }
  const FillResult result = FillGridKeyed(ctx_, *grid_, *plan);
  shares_->Apply();
  if (result.error) {  // the list shown before stays
    ctx_.ReportReadFailure(*result.error);
    return false;
  }
  filter_ = filter;
  return true;
}

void PurchaseRecordsView::RefillInPlace() {
  const GridPlace place = SaveGridPlace(*grid_, kPurchaseIdCol);
  Refill();
  RefillPickList();
  RestoreGridPlace(*grid_, place, kPurchaseIdCol);
}

void PurchaseRecordsView::RefillPickList() {
  // A failed read leaves the list as it was; the list's own fill reports it.
  if (auto suppliers = PickListValues(ctx_, PickField::Supplier)) FillComboKeepingText(supplier_box_, *suppliers);
}

void PurchaseRecordsView::ShowAll() {
  {
    const QSignalBlocker block_goods(goods_box_), block_supplier(supplier_box_);
    goods_box_->clear();
    supplier_box_->setEditText(QString());
  }
  filter_ = {};
  Refill();
}

void PurchaseRecordsView::QueryDays() {
  if (date_from_->date() > date_to_->date()) {
    ctx_.ShowMessage(QStringLiteral("起始日期不能晚于截止日期。"), MessageKind::Information);
    date_from_->setFocus();
    return;
  }
  const PurchaseFilter before = filter_;
  filter_.first_day = date_from_->date();
  filter_.last_day = date_to_->date();
  if (!Refill()) filter_ = before;
}

void PurchaseRecordsView::Export() {
  ExportAndNotify(ctx_, this, ctx_.FilePath(QStringLiteral("进货记录.xlsx")),
                  [this](const QString& path, const Progress& progress) {
                    return ExportGridToExcel(*grid_, path, {.header_rows = true, .row_header_column = false}, progress);
                  });
}

ListHeading PurchaseRecordsView::PrintHeading() const {
  return {QStringLiteral("进货记录"), PurchaseScope(filter_), ctx_.clock.Now()};
}

void PurchaseRecordsView::Print() { PrintGrid(*grid_, PrintHeading(), ctx_.prompter, this); }

}  // namespace hemulu
