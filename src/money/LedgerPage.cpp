#include "money/LedgerPage.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "lists/ColumnShares.h"
#include "lists/Grid.h"
#include "lists/GridExport.h"
#include "lists/GridPlace.h"
#include "lists/GridPrinter.h"
#include "money/MoneyLists.h"
#include "money/MoneyMenus.h"
#include "ui/LiveRefill.h"
#include "ui/NamedWidgets.h"
#include "ui/ShowActionError.h"

namespace hemulu {

namespace {
constexpr int kSidePanelWidth = 236;
}

LedgerPage::LedgerPage(AppContext& ctx, QMenu* menu, QWidget* parent) : QWidget(parent), ctx_(ctx), menu_(menu) {
  grid_ = new Grid(this, QStringLiteral("其他收支框架"));
  LayOutLedgerGrid(*grid_);
  shares_ = new ColumnShares(*grid_, *grid_, kLedgerFirstColWidth, LedgerSetUpShares());
  // Installed after the shares, so it sees each event first: once the page has been
  // shown, every resize takes the resize widths.
  grid_->installEventFilter(this);

  auto* side = new QWidget(this);
  side->setObjectName(QStringLiteral("其他收支面板"));
  side->setFixedWidth(kSidePanelWidth);
  auto* side_layout = new QVBoxLayout(side);
  side_layout->setContentsMargins(0, 0, 0, 0);
  side_layout->addWidget(BuildEntryForm(LedgerKind::Income, income_));
  side_layout->addWidget(BuildEntryForm(LedgerKind::Expense, expense_));
  side_layout->addStretch();

  auto* left = new QVBoxLayout;
  left->setContentsMargins(0, 0, 0, 0);
  left->setSpacing(2);
  left->addWidget(grid_, 1);
  left->addWidget(BuildSearchBar());
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(1);
  layout->addLayout(left, 1);
  layout->addWidget(side);

  connect(grid_, &Grid::MouseReleased, this, [this](Qt::MouseButton button, int row, int col, const QPoint& pos) {
    if (button != Qt::RightButton) return;
    if (QMenu* m = PrepareMenuFor(row, col)) m->popup(pos);
  });
  // The keyboard's menu key (or Shift+F10) opens the menu for the chosen row.
  connect(grid_, &Grid::MenuKeyPressed, this, [this](int row, const QPoint& pos) {
    if (QMenu* m = PrepareMenuFor(row, 2)) m->popup(pos);
  });
  ConnectMenu();

  FillLedgerList();
  FillLedgerPickLists();
  new LiveRefill(ctx_, this, {QStringLiteral("other")}, [this] { RefillInPlace(); });
  const QDateTime now = ctx_.clock.Now();
  income_.number->setText(NewEntryNumber(now, LedgerKind::Income));
  expense_.number->setText(NewEntryNumber(now, LedgerKind::Expense));
}

LedgerPage::~LedgerPage() = default;

bool LedgerPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == grid_) {
    if (event->type() == QEvent::Show) {
      shown_ = true;
    } else if (event->type() == QEvent::Resize && shown_ && !resize_shares_) {
      resize_shares_ = true;
      shares_->SetShares(LedgerResizeShares());
    }
  }
  return QWidget::eventFilter(watched, event);
}

QWidget* LedgerPage::BuildEntryForm(LedgerKind kind, EntryForm& form) {
  const bool income = kind == LedgerKind::Income;
  const QString what = income ? QStringLiteral("收入") : QStringLiteral("支出");
  auto* box = new QGroupBox(income ? QStringLiteral("记录其他收入") : QStringLiteral("记录其他支出"), this);
  auto* layout = new QFormLayout(box);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->setVerticalSpacing(4);
  form.item = EditableList(what + QStringLiteral("项目框"), box);
  form.number = NamedLineEdit(what + QStringLiteral("编号框"), box);
  form.quantity = NamedLineEdit(what + QStringLiteral("数量框"), box);
  form.price = NamedLineEdit(what + QStringLiteral("单价框"), box);
  form.amount = NamedLineEdit(what + QStringLiteral("金额框"), box);
  form.date = NamedDateEdit(what + QStringLiteral("日期框"), ctx_.clock.Now().date(), box);
  form.note = EditableList(what + QStringLiteral("备注框"), box);
  layout->addRow(what + QStringLiteral("项目："), form.item);
  layout->addRow(QStringLiteral("编    号："), form.number);
  layout->addRow(what + QStringLiteral("数量："), form.quantity);
  layout->addRow(what + QStringLiteral("单价："), form.price);
  layout->addRow(what + QStringLiteral("金额："), form.amount);
  layout->addRow(what + QStringLiteral("日期："), form.date);
  layout->addRow(QStringLiteral("备    注："), form.note);
  form.record = new QPushButton(QStringLiteral("记录") + what, box);
  form.record->setAutoDefault(false);
  layout->addRow(form.record);

  // The amount follows quantity × price; a hand-typed amount lasts until the next change.
  const auto live = [form] { form.amount->setText(LiveAmountText(form.quantity->text(), form.price->text())); };
  connect(form.quantity, &QLineEdit::textChanged, this, live);
  connect(form.price, &QLineEdit::textChanged, this, live);
  connect(form.record, &QPushButton::clicked, this, [this, kind] { Record(kind); });
  // Enter in any box of the form records it.
  for (QLineEdit* edit :
       {form.item->lineEdit(), form.number, form.quantity, form.price, form.amount, form.note->lineEdit()})
    connect(edit, &QLineEdit::returnPressed, this, [this, kind] { Record(kind); });
  return box;
}

QWidget* LedgerPage::BuildSearchBar() {
  auto* bar = new QWidget(this);
  SearchBarLayout layout(bar, QStringLiteral("其他收支工具栏"));
  type_search_ = EditableList(QStringLiteral("其他类型查询框"), bar);
  type_search_->addItems({QStringLiteral("收入"), QStringLiteral("支出")});
  type_search_->setCurrentIndex(-1);
  number_search_ = SearchLineEdit(QStringLiteral("其他编号查询框"), bar);
  item_search_ = EditableList(QStringLiteral("其他项目查询框"), bar);
  note_search_ = EditableList(QStringLiteral("其他备注查询框"), bar);
  const QDate today = ctx_.clock.Now().date();
  date_from_ = NamedDateEdit(QStringLiteral("其他日期框1"), QDate(today.year(), today.month(), 1), bar);
  date_to_ = NamedDateEdit(QStringLiteral("其他日期框2"), today, bar);
  auto* query = NamedButton(QStringLiteral("日期查询"), QStringLiteral("其他查询按钮"), bar);
  auto* clear = NamedButton(QStringLiteral("清空条件"), QStringLiteral("清空条件按钮2"), bar);
  auto* all = NamedButton(QStringLiteral("显示全部记录"), QStringLiteral("其他全部记录按钮"), bar);
  auto* day = NamedButton(QStringLiteral("显示当天"), QStringLiteral("其他显示当天按钮"), bar);
  auto* month = NamedButton(QStringLiteral("显示本月"), QStringLiteral("其他显示本月按钮"), bar);

  layout.Add(0, QStringLiteral("类型查询："), type_search_);
  layout.Add(0, QStringLiteral("编号查询："), number_search_);
  layout.Add(0, QStringLiteral("项目查询："), item_search_);
  layout.Add(0, QStringLiteral("备注查询："), note_search_);
  layout.Add(1, QStringLiteral("日期查询："), date_from_);
  layout.Add(1, QStringLiteral("-至-"), date_to_);
  layout.AddAll(1, {query, clear, all, day, month});
  layout.StretchAfterLast();

  // Each box searches its own column when typed in or picked from.
  const auto on_combo = [this](QComboBox* box, LedgerSearchField field) {
    connect(box, &QComboBox::textActivated, this, [this, field](const QString& t) { Search(field, t); });
    connect(box->lineEdit(), &QLineEdit::textEdited, this, [this, field](const QString& t) { Search(field, t); });
  };
  on_combo(type_search_, LedgerSearchField::Type);
  on_combo(item_search_, LedgerSearchField::Item);
  on_combo(note_search_, LedgerSearchField::Note);
  connect(number_search_, &QLineEdit::textChanged, this,
          [this](const QString& t) { Search(LedgerSearchField::Number, t); });
  connect(query, &QPushButton::clicked, this,
          [this] { FillLedgerList(LedgerByDateQuery(date_from_->date(), date_to_->date())); });
  connect(clear, &QPushButton::clicked, this, &LedgerPage::ClearConditions);
  connect(all, &QPushButton::clicked, this, [this] { FillLedgerList(); });
  connect(day, &QPushButton::clicked, this, [this] { FillLedgerList(LedgerOfDayQuery(ctx_.clock.Now().date())); });
  connect(month, &QPushButton::clicked, this, [this] { FillLedgerList(LedgerOfMonthQuery(ctx_.clock.Now())); });
  return bar;
}

void LedgerPage::ConnectMenu() {
  OnCommand(menu_, LedgerCommand::Delete, this, [this] { DeleteSelectedEntry(); });
  OnCommand(menu_, LedgerCommand::Export, this, [this] { Export(); });
  OnCommand(menu_, LedgerCommand::Print, this, [this] { Print(); });
}

void LedgerPage::FillLedgerList(const MoneyQuery& query) {
  FillResult result;
  const std::optional<LedgerSums> sums = FillLedgerGrid(ctx_, *grid_, query, &result);
  if (result.error) {  // the list shown before stays, with its own sums and scope
    ctx_.ReportReadFailure(*result.error);
    return;
  }
  sums_ = *sums;
  print_scope_ = query.scope;
  last_query_ = query;
}

void LedgerPage::RefillInPlace() {
  const GridPlace place = SaveGridPlace(*grid_, kLedgerIdCol);
  FillLedgerList(last_query_);
  FillLedgerPickLists();
  RestoreGridPlace(*grid_, place, kLedgerIdCol);
}

void LedgerPage::FillLedgerPickLists() {
  // A database that does not open has been reported by the fill; the lists stay empty.
  const QStringList items = LedgerPickValues(ctx_, LedgerPick::Item).value_or(QStringList());
  for (QComboBox* list : {income_.item, expense_.item, item_search_}) FillComboKeepingText(list, items);
  const QStringList notes = LedgerPickValues(ctx_, LedgerPick::Note).value_or(QStringList());
  for (QComboBox* list : {expense_.note, income_.note, note_search_}) FillComboKeepingText(list, notes);
}

void LedgerPage::Search(LedgerSearchField field, const QString& text) {
  FillLedgerList(SearchLedgerQuery(field, text));
}

void LedgerPage::ClearConditions() {
  for (QComboBox* box : {type_search_, item_search_, note_search_}) {
    const QSignalBlocker block(box);
    box->setCurrentIndex(-1);
    box->setEditText(QString());
  }
  {
    const QSignalBlocker block(number_search_);
    number_search_->clear();
  }
  FillLedgerList();
}

void LedgerPage::Record(LedgerKind kind) {
  EntryForm& form = FormOf(kind);
  LedgerForm values;
  values.item = form.item->currentText();
  values.number = form.number->text();
  values.quantity = form.quantity->text();
  values.price = form.price->text();
  values.amount = form.amount->text();
  values.note = form.note->currentText();
  values.date = form.date->date();
  if (auto problem = ValidateLedgerForm(kind, values)) {
    ctx_.prompter.Message(problem->message, kFillInTitle, MessageKind::Information);
    QWidget* focus = problem->field == LedgerFormField::Item     ? static_cast<QWidget*>(form.item)
                     : problem->field == LedgerFormField::Number ? form.number
                                                                 : form.amount;
    focus->setFocus();
    return;
  }
  if (auto id = RecordLedgerEntry(ctx_, kind, values); !id) {
    ctx_.ReportWriteError(id.error());  // the form keeps what was typed
    return;
  }
  // The number and the date stay for the next entry; the amount goes last, after the
  // quantity and price have recomputed it.
  form.item->setEditText(QString());
  form.price->clear();
  form.quantity->clear();
  form.amount->clear();
  form.note->setEditText(QString());
  FillLedgerPickLists();
  form.number->setText(NewEntryNumber(ctx_.clock.Now(), kind));
  ctx_.notifier.Notify(kHintTitle,
                       kind == LedgerKind::Income ? QStringLiteral("收入记录完成") : QStringLiteral("支出记录完成"));
  FillLedgerList();
  form.item->setFocus();
}

QMenu* LedgerPage::PrepareMenuFor(int row, int col) {
  selected_id_.clear();
  selected_row_ = row;
  if (row >= 0 && col >= 0) grid_->SetFocusCell(row, col);
  // Below the last row (or beside the columns) the menu offers what needs no entry.
  const bool no_row = row < 0 || col < 0;
  if (!no_row) {
    if (row < grid_->FixedRows() || col < 2 || row >= grid_->Rows()) return nullptr;
    selected_id_ = grid_->CellText(row, kLedgerIdCol);
    // The totals row has no ID, so it offers no menu.
    if (IdOfText(selected_id_) <= 0) return nullptr;
  }
  if (QAction* a = CommandAction(menu_, LedgerCommand::Delete)) a->setEnabled(!no_row);
  return menu_;
}

void LedgerPage::DeleteSelectedEntry() {
  const qint64 id = IdOfText(selected_id_);
  if (id <= 0) return;
  if (ctx_.prompter.Confirm(kDeleteQuestion, kWarningTitle)) {
    if (auto done = DeleteLedgerEntry(ctx_, id); !done) ShowActionError(ctx_, done.error());
  }
  // Whatever the answer, the full list: any search in force is dropped.
  FillLedgerList();
}

void LedgerPage::Export() {
  ExportAndNotify(
      ctx_, this, ctx_.FilePath(QStringLiteral("其他收支.xlsx")),
      [this](const QString& path, const Progress& progress) { return ExportMoneyGrid(*grid_, path, progress); });
}

void LedgerPage::Print() {
  PrintGrid(*grid_, {QStringLiteral("其他收支"), print_scope_, ctx_.clock.Now()}, ctx_.prompter, this);
}

}  // namespace hemulu
