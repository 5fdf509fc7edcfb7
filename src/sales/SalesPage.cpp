#include "sales/SalesPage.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "data/TextFormat.h"
#include "lists/ColumnShares.h"
#include "lists/Grid.h"
#include "lists/GridExport.h"
#include "lists/GridPlace.h"
#include "lists/GridPrinter.h"
#include "sales/DebtorsView.h"
#include "sales/ReceiptPrinter.h"
#include "sales/ReceiptQuery.h"
#include "sales/SaleWindow.h"
#include "sales/SalesList.h"
#include "sales/StatementWindow.h"
#include "ui/LiveRefill.h"
#include "ui/NamedWidgets.h"

namespace hemulu {

namespace {

// The columns each display item hides.
std::vector<int> ColumnsOf(SalesDisplayItem item) {
  switch (item) {
    case SalesDisplayItem::Price:
      return {kSalePriceCol};
    case SalesDisplayItem::Date:
      return {kSaleDateCol};
    case SalesDisplayItem::Debt:
      return {kSaleDebtCol};
    case SalesDisplayItem::Profit:
      return {kSaleProfitCol};
    case SalesDisplayItem::Customer:
      return {13, 14, 15, 16, 17};
  }
  return {};
}

const std::pair<SalesCommand, SalesDisplayItem> kDisplayItems[] = {
    {SalesCommand::HideSellPrice, SalesDisplayItem::Price},   {SalesCommand::HideSaleDate, SalesDisplayItem::Date},
    {SalesCommand::HideDebt, SalesDisplayItem::Debt},         {SalesCommand::HideProfit, SalesDisplayItem::Profit},
    {SalesCommand::HideCustomer, SalesDisplayItem::Customer},
};

bool IsSaleId(const QString& id) { return !id.isEmpty() && NumberValue(id) > kTolerance; }

}  // namespace

SalesPage::SalesPage(AppContext& ctx, QMenu* menu, SalesPageHooks hooks, QWidget* parent)
    : QWidget(parent), ctx_(ctx), menu_(menu), hooks_(std::move(hooks)) {
  // The sales list and the debtors view share the page: the debts are the sales' own.
  views_ = new QStackedWidget(this);
  sales_view_ = new QWidget(views_);
  host_ = new QFrame(sales_view_);
  host_->setObjectName(QStringLiteral("销售框架"));
  auto* host_layout = new QVBoxLayout(host_);
  host_layout->setContentsMargins(0, 0, 0, 0);
  grid_ = new Grid(host_, QStringLiteral("销售表格"));
  host_layout->addWidget(grid_);
  LayOutSalesGrid(*grid_);
  shares_ = AttachSalesShares(*grid_, *host_, ctx_.session.IsSuperAdministrator());

  auto* layout = new QVBoxLayout(sales_view_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(host_, 1);
  layout->addWidget(BuildSearchBar());
  debtors_ = new DebtorsView(ctx_, hooks_.initials_of, views_);
  views_->addWidget(sales_view_);
  views_->addWidget(debtors_);
  auto* page_layout = new QVBoxLayout(this);
  page_layout->setContentsMargins(0, 0, 0, 0);
  page_layout->addWidget(views_);
  connect(debtors_, &DebtorsView::BackToSales, this, &SalesPage::ShowSales);
  connect(debtors_, &DebtorsView::DebtsChanged, this, [this](bool bank_changed) {
    Refill();
    if (bank_changed && hooks_.bank_changed) hooks_.bank_changed();
  });

  connect(grid_, &Grid::DoubleClicked, this,
          [this](Qt::MouseButton, int row, int col, const QPoint&) { ActivateCell(row, col); });
  connect(grid_, &Grid::RowActivated, this, [this](int row) { ActivateCell(row, 2); });
  connect(grid_, &Grid::MouseReleased, this, [this](Qt::MouseButton button, int row, int col, const QPoint& pos) {
    if (button != Qt::RightButton) return;
    if (QMenu* m = PrepareMenuFor(row, col)) m->popup(pos);
  });
  // The keyboard's menu key (or Shift+F10) opens the menu for the chosen row.
  connect(grid_, &Grid::MenuKeyPressed, this, [this](int row, const QPoint& pos) {
    if (QMenu* m = PrepareMenuFor(row, 2)) m->popup(pos);
  });
  ConnectMenu();
  FillSalesList(AllSalesQuery());
  RefillPickLists();
  new LiveRefill(ctx_, this, {QStringLiteral("sell")}, [this] { RefillInPlace(); });
}

SalesPage::~SalesPage() = default;

void SalesPage::ShowDebtors() {
  views_->setCurrentWidget(debtors_);
  debtors_->Refill();
  debtors_->SearchBox()->setFocus();
}

void SalesPage::ShowSales() {
  views_->setCurrentWidget(sales_view_);
  grid_->setFocus();
}

bool SalesPage::ShowsDebtors() const { return views_->currentWidget() == debtors_; }

QWidget* SalesPage::BuildSearchBar() {
  auto* bar = new QWidget(sales_view_);
  SearchBarLayout layout(bar, QStringLiteral("销售工具栏"));
  name_box_ = SearchLineEdit(QStringLiteral("销售商品名称框"), bar);
  name_box_->setToolTip(QStringLiteral("输入商品名称的拼音首字母，如“可乐”输入 KL"));
  code_box_ = SearchLineEdit(QStringLiteral("销售商品编码框"), bar);
  model_box_ = SearchLineEdit(QStringLiteral("销售型号框"), bar);
  category_box_ = SearchList(QStringLiteral("销售类型查询框"), bar);
  customer_box_ = SearchList(QStringLiteral("销售客户名称框"), bar);
  note_box_ = SearchLineEdit(QStringLiteral("销售备注框"), bar);
  const QDate today = ctx_.clock.Now().date();
  date_from_ = NamedDateEdit(QStringLiteral("销售日期框1"), today.addMonths(-1), bar);
  date_to_ = NamedDateEdit(QStringLiteral("销售日期框2"), today, bar);
  auto* query = NamedButton(QStringLiteral("日期查询"), QStringLiteral("销售查询按钮"), bar);
  auto* all = NamedButton(QStringLiteral("显示全部记录"), QStringLiteral("销售全部记录按钮"), bar);
  auto* today_button = NamedButton(QStringLiteral("显示当天"), QStringLiteral("销售显示当天按钮"), bar);
  auto* month = NamedButton(QStringLiteral("显示本月"), QStringLiteral("销售显示本月按钮"), bar);
  auto* debts = NamedButton(QStringLiteral("显示欠款"), QStringLiteral("销售清空条件按钮"), bar);

  layout.Add(0, QStringLiteral("商品名称："), name_box_);
  layout.Add(0, QStringLiteral("商品编码："), code_box_);
  layout.Add(0, QStringLiteral("规格型号："), model_box_);
  layout.Add(0, QStringLiteral("类别查询："), category_box_);
  layout.Add(0, QStringLiteral("客户名称："), customer_box_);
  layout.Add(0, QStringLiteral("备    注："), note_box_);
  layout.Add(1, QStringLiteral("销售日期："), date_from_);
  layout.Add(1, QStringLiteral("-至-"), date_to_);
  auto* debtors = NamedButton(QStringLiteral("客户欠款"), QStringLiteral("销售客户欠款按钮"), bar);
  layout.AddAll(1, {query, all, today_button, month, debts, debtors});

  const auto search_on_text = [this](QLineEdit* box, SalesSearchField field) {
    connect(box, &QLineEdit::textChanged, this, [this, box, field](const QString& t) { Search(field, t, box); });
  };
  search_on_text(name_box_, SalesSearchField::Initials);
  search_on_text(code_box_, SalesSearchField::Code);
  search_on_text(model_box_, SalesSearchField::Model);
  search_on_text(note_box_, SalesSearchField::Note);
  connect(category_box_, &QComboBox::textActivated, this,
          [this](const QString& t) { Search(SalesSearchField::Category, t, nullptr); });
  connect(category_box_->lineEdit(), &QLineEdit::textEdited, this,
          [this](const QString& t) { Search(SalesSearchField::Category, t, nullptr); });
  connect(customer_box_, &QComboBox::textActivated, this,
          [this](const QString& t) { Search(SalesSearchField::Customer, t, customer_box_); });
  connect(customer_box_->lineEdit(), &QLineEdit::textEdited, this,
          [this](const QString& t) { Search(SalesSearchField::Customer, t, customer_box_); });
  connect(query, &QPushButton::clicked, this,
          [this] { FillSalesList(SalesBetweenQuery(date_from_->date(), date_to_->date())); });
  connect(all, &QPushButton::clicked, this, [this] { FillSalesList(AllSalesQuery()); });
  connect(today_button, &QPushButton::clicked, this,
          [this] { FillSalesList(SalesOfDayQuery(ctx_.clock.Now().date())); });
  connect(month, &QPushButton::clicked, this, [this] { FillSalesList(SalesOfMonthQuery(ctx_.clock.Now().date())); });
  connect(debts, &QPushButton::clicked, this, [this] { FillSalesList(DebtSalesQuery()); });
  connect(debtors, &QPushButton::clicked, this, &SalesPage::ShowDebtors);
  return bar;
}

void SalesPage::ConnectMenu() {
  if (!menu_) return;
  OnCommand(menu_, SalesCommand::Edit, this, [this] { OpenEdit(); });
  OnCommand(menu_, SalesCommand::Delete, this, [this] { DeleteCurrentSale(); });
  OnCommand(menu_, SalesCommand::PrintReceipt, this, [this] { PrintCurrentReceipt(); });
  OnCommand(menu_, SalesCommand::FindReceipt, this, [this] { FindReceipt(); });
  OnCommand(menu_, SalesCommand::Statement, this, [this] { OpenCustomerStatement(); });
  OnCommand(menu_, SalesCommand::Export, this, [this] { Export(); });
  OnCommand(menu_, SalesCommand::Print, this, [this] { Print(); });
  OnCommand(menu_, SalesCommand::ShowAll, this, [this] { ShowAllColumns(); });
  for (const auto& [command, item] : kDisplayItems) {
    if (QAction* a = CommandAction(menu_, command)) a->setCheckable(true);
    OnCommand(menu_, command, this, [this, item = item] { ToggleDisplay(item); });
  }
}

bool SalesPage::FillSalesList(const SalesQuery& query) {
  const FillResult result = FillSalesGrid(ctx_, *grid_, query);
  shares_->Apply();
  if (result.error) {  // the list shown before stays, and so does what it covers
    ctx_.ReportReadFailure(*result.error);
    return false;
  }
  last_query_ = query;
  return true;
}

void SalesPage::Refill() { FillSalesList(last_query_); }

void SalesPage::RefillInPlace() {
  const GridPlace place = SaveGridPlace(*grid_, kSaleIdCol);
  Refill();
  RefillPickLists();
  RestoreGridPlace(*grid_, place, kSaleIdCol);
  if (!current_id_.isEmpty()) current_row_ = grid_->FindRow(kSaleIdCol, current_id_);
  // The debtors view reads the same sales: shown, it follows them.
  if (ShowsDebtors()) debtors_->Refill();
}

void SalesPage::RefillPickLists() {
  // A failed read leaves the lists empty and says nothing: the list's own fill, which
  // comes with every refill of these, reports it.
  FillComboKeepingText(category_box_, SaleCategoryValues(ctx_).value_or(QStringList()));
  FillComboKeepingText(customer_box_, CustomerNameValues(ctx_).value_or(QStringList()));
}

void SalesPage::Search(SalesSearchField field, const QString& text, QWidget* keep_focus) {
  FillSalesList(SearchSalesQuery(field, text));
  if (keep_focus) keep_focus->setFocus();
}

void SalesPage::ActivateCell(int row, int col) {
  current_id_.clear();
  current_row_ = row;
  if (row < grid_->FixedRows() || col < 2 || row >= grid_->Rows() - grid_->FrozenBottomRows()) return;
  current_id_ = grid_->CellText(row, kSaleIdCol);
  if (IsSaleId(current_id_)) OpenEdit();
}

QMenu* SalesPage::PrepareMenuFor(int row, int col) {
  current_id_.clear();
  if (row >= 0 && col >= 0) grid_->SetFocusCell(row, col);
  current_row_ = row;
  // Below the last row (or beside the columns) the menu offers what needs no sale.
  const bool no_row = row < 0 || col < 0;
  if (!no_row) {
    if (row < grid_->FixedRows() || col < 2 || row >= grid_->Rows()) return nullptr;
    current_id_ = grid_->CellText(row, kSaleIdCol);
    if (!IsSaleId(current_id_)) return nullptr;
  }
  for (SalesCommand command :
       {SalesCommand::Edit, SalesCommand::Delete, SalesCommand::PrintReceipt, SalesCommand::Statement})
    if (QAction* a = CommandAction(menu_, command)) a->setEnabled(!no_row);
  return menu_;
}

void SalesPage::OpenCustomerStatement() {
  if (!IsSaleId(current_id_) || current_row_ < grid_->FixedRows() || current_row_ >= grid_->Rows()) return;
  // The customer as the sale names it; a settled customer's history is found here too.
  const DebtCustomer customer{grid_->CellText(current_row_, kSaleCustomerNameCol),
                              grid_->CellText(current_row_, kSaleContactCol)};
  StatementWindow window(ctx_, customer, this);
  bool undone = false;
  connect(&window, &StatementWindow::RepaymentUndone, this, [&undone] { undone = true; });
  window.exec();
  if (!undone) return;
  Refill();
  if (hooks_.bank_changed) hooks_.bank_changed();
}

void SalesPage::OpenEdit() {
  if (!IsSaleId(current_id_) || current_row_ < grid_->FixedRows() || current_row_ >= grid_->Rows()) return;
  if (edit_window_) edit_window_->close();
  auto* w = new SaleEditWindow(ctx_, *grid_, current_row_, window());
  connect(w, &SaleEditWindow::SaleSaved, this, [this] {
    FillSalesList(AllSalesQuery());
    RefillPickLists();  // the customer's name may be new
  });
  edit_window_ = w;
  w->show();
  w->raise();
  w->activateWindow();
}

void SalesPage::DeleteCurrentSale() {
  if (current_row_ >= grid_->FixedRows() && current_row_ < grid_->Rows())
    current_id_ = grid_->CellText(current_row_, kSaleIdCol);
  const QString id = current_id_;
  if (!IsSaleId(id)) return;
  const qint64 sale_id = static_cast<qint64>(NumberValue(id));
  if (!ctx_.session.IsSuperAdministrator()) {
    // The logic refuses an operator; no question is asked first.
    if (auto refused = DeleteSale(ctx_, sale_id); !refused) ShowActionError(ctx_, refused.error());
    return;
  }
  if (!ctx_.prompter.Confirm(kDeleteQuestion, kWarningTitle)) return;
  const auto done = DeleteSale(ctx_, sale_id);
  if (!done) {
    ShowActionError(ctx_, done.error());
    // The row stays while it is still stored; a sale already gone leaves the list too.
    if (done.error().kind != ActionError::Kind::Gone) return;
  }
  // The row goes without a refill, so the totals keep their figures until the next fill.
  int row = current_row_;
  if (row < grid_->FixedRows() || row >= grid_->Rows() || grid_->CellText(row, kSaleIdCol) != id)
    row = grid_->FindRow(kSaleIdCol, id);
  if (row >= grid_->FixedRows()) grid_->RemoveItem(row);
  current_id_.clear();
}

std::optional<std::expected<Receipt, ActionError>> SalesPage::CurrentReceipt() {
  if (!IsSaleId(current_id_)) return std::nullopt;
  return LoadReceipt(ctx_, static_cast<qint64>(NumberValue(current_id_)));
}

void SalesPage::PrintCurrentReceipt() {
  if (!IsSaleId(current_id_)) return;
  int row = current_row_;
  if (row < grid_->FixedRows() || row >= grid_->Rows() || grid_->CellText(row, kSaleIdCol) != current_id_)
    row = grid_->FindRow(kSaleIdCol, current_id_);
  const QString number = row >= grid_->FixedRows() ? grid_->CellText(row, kSaleCustomerFirstCol).trimmed() : QString();
  if (!number.isEmpty()) {
    // A counter's receipt (or several sales under one number): all its rows, and what
    // the counter kept of the payment, are printed.
    const auto whole = LoadBasketReceipt(ctx_, number);
    if (whole && (whole->from_counter || whole->lines.size() > 1)) {
      PrintBasketReceipt(*whole, ctx_.prompter, window());
      return;
    }
  }
  const auto receipt = CurrentReceipt();
  if (!receipt) return;
  if (!*receipt) {
    ShowActionError(ctx_, receipt->error());
    return;
  }
  PrintReceipt(**receipt, ctx_.prompter, window());
}

void SalesPage::FindReceipt() {
  const auto typed = ctx_.prompter.AskText(QStringLiteral("请输入小票号："), QStringLiteral("按小票号查询"));
  if (!typed) return;
  const QString number = typed->trimmed();
  if (number.isEmpty()) {
    ctx_.ShowMessage(QStringLiteral("请输入小票号"), MessageKind::Information);
    return;
  }
  if (ShowsDebtors()) ShowSales();
  if (!FillSalesList(ReceiptSalesQuery(number))) return;
  if (grid_->Rows() - grid_->FixedRows() - grid_->FrozenBottomRows() <= 0)
    ctx_.ShowMessage(NoSuchReceiptText(number), MessageKind::Information);
}

std::optional<QString> SalesPage::Export() {
  const QString path = ctx_.FilePath(QStringLiteral("sales.xlsx"));
  // Columns the display items hide are left out, as the locked ones are.
  std::vector<int> locked;
  for (int c = 1; c < grid_->Cols(); ++c)
    if (!grid_->IsColumnLockedHidden(c) && grid_->ColumnWidth(c) <= 0) locked.push_back(c);
  for (int c : locked) grid_->SetColumnLockedHidden(c, true);
  const bool done = ExportAndNotify(ctx_, this, path, [this](const QString& to, const Progress& progress) {
    return ExportGridToExcel(*grid_, to, {.header_rows = true, .row_header_column = true}, progress);
  });
  for (int c : locked) grid_->SetColumnLockedHidden(c, false);
  shares_->Apply();
  if (!done) return std::nullopt;
  return path;
}

ListHeading SalesPage::PrintHeading() const {
  return {QStringLiteral("销售明细"), last_query_.scope, ctx_.clock.Now()};
}

void SalesPage::Print() { PrintGrid(*grid_, PrintHeading(), ctx_.prompter, this); }

void SalesPage::ApplyDisplay() {
  std::vector<double> shares = SalesShares();
  for (const auto& [command, item] : kDisplayItems)
    if (hidden_[static_cast<int>(item)])
      for (int c : ColumnsOf(item)) shares[static_cast<std::size_t>(c)] = 0;
  shares_->SetShares(std::move(shares));
}

void SalesPage::SyncTicks() {
  for (const auto& [command, item] : kDisplayItems)
    if (QAction* a = CommandAction(menu_, command)) a->setChecked(hidden_[static_cast<int>(item)]);
}

void SalesPage::ToggleDisplay(SalesDisplayItem item) {
  hidden_[static_cast<int>(item)] = !hidden_[static_cast<int>(item)];
  SyncTicks();
  ApplyDisplay();
}

void SalesPage::ShowAllColumns() {
  for (bool& h : hidden_) h = false;
  SyncTicks();
  ApplyDisplay();
}

}  // namespace hemulu
