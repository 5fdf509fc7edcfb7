#include "money/BankPage.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "lists/ColumnShares.h"
#include "lists/Grid.h"
#include "lists/GridExport.h"
#include "lists/GridPlace.h"
#include "lists/GridPrinter.h"
#include "money/BankMovementWindow.h"
#include "money/MoneyLists.h"
#include "money/MoneyMenus.h"
#include "ui/LiveRefill.h"
#include "ui/NamedWidgets.h"
#include "ui/ShowActionError.h"

namespace hemulu {

BankPage::BankPage(AppContext& ctx, QMenu* menu, QWidget* parent) : QWidget(parent), ctx_(ctx), menu_(menu) {
  grid_ = new Grid(this, QStringLiteral("存款框架"));
  shares_ = new ColumnShares(*grid_, *grid_, 0, BankDetailShares());
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(grid_, 1);
  layout->addWidget(BuildToolBar());

  connect(grid_, &Grid::MouseReleased, this, [this](Qt::MouseButton button, int row, int col, const QPoint& pos) {
    if (button != Qt::RightButton) return;
    if (QMenu* m = PrepareMenuFor(row, col)) m->popup(pos);
  });
  connect(grid_, &Grid::DoubleClicked, this,
          [this](Qt::MouseButton, int row, int col, const QPoint&) { ActivateCell(row, col); });
  // Enter on a movement changes it, as a double-click does.
  connect(grid_, &Grid::RowActivated, this, [this](int row) { ActivateCell(row, 2); });
  connect(grid_, &Grid::MenuKeyPressed, this, [this](int row, const QPoint& pos) {
    if (QMenu* m = PrepareMenuFor(row < 0 ? grid_->FixedRows() : row, 2)) m->popup(pos);
  });
  ConnectMenu();
  BindInsertKey(this, CommandAction(menu_, BankCommand::New));
  SetUpBankDetail();
  new LiveRefill(ctx_, this, {QStringLiteral("bank")}, [this] { RefillInPlace(); });
}

BankPage::~BankPage() = default;

QString BankPage::ViewFlag() const { return view_ == View::Detail ? QStringLiteral("细节") : QStringLiteral("汇总"); }

QWidget* BankPage::BuildToolBar() {
  auto* bar = new QWidget(this);
  bar->setObjectName(QStringLiteral("存款工具栏"));
  auto* row = new QHBoxLayout(bar);
  row->setContentsMargins(3, 0, 3, 2);
  row->setSpacing(4);
  bank_search_ = EditableList(QStringLiteral("存款名称查询框"), bar);
  bank_search_->setMinimumContentsLength(10);
  const QDate today = ctx_.clock.Now().date();
  date_from_ = NamedDateEdit(QStringLiteral("存款日期框1"), QDate(today.year(), today.month(), 1), bar);
  date_to_ = NamedDateEdit(QStringLiteral("存款日期框2"), today, bar);
  auto* query = NamedButton(QStringLiteral("日期查询"), QStringLiteral("存款查询按钮"), bar);
  auto* detail = NamedButton(QStringLiteral("存 取 细 节"), QStringLiteral("存款细节记录按钮"), bar);
  auto* summary = NamedButton(QStringLiteral("存 取 汇 总"), QStringLiteral("存款全部记录按钮"), bar);
  row->addWidget(new QLabel(QStringLiteral("银行查询："), bar));
  row->addWidget(bank_search_);
  row->addSpacing(8);
  row->addWidget(new QLabel(QStringLiteral("日期查询："), bar));
  row->addWidget(date_from_);
  row->addWidget(new QLabel(QStringLiteral("-至-"), bar));
  row->addWidget(date_to_);
  row->addWidget(query);
  row->addSpacing(8);
  row->addWidget(detail);
  row->addWidget(summary);
  row->addStretch();

  const auto search = [this](const QString& t) { FillBankList(SearchBankQuery(t)); };
  connect(bank_search_, &QComboBox::textActivated, this, search);
  connect(bank_search_->lineEdit(), &QLineEdit::textEdited, this, search);
  connect(query, &QPushButton::clicked, this,
          [this] { FillBankList(BankByDateQuery(date_from_->date(), date_to_->date())); });
  connect(detail, &QPushButton::clicked, this, &BankPage::SetUpBankDetail);
  connect(summary, &QPushButton::clicked, this, &BankPage::ShowBankSummary);
  return bar;
}

void BankPage::ConnectMenu() {
  const auto on = [this](BankCommand command, std::function<void()> run) {
    OnCommand(menu_, command, this, std::move(run));
  };
  using enum BankCommand;
  on(New, [this] { NewBankMovement(); });
  on(Edit, [this] { ChangeBankMovement(); });
  on(Delete, [this] { DeleteBankMovement(); });
  on(Details, [this] { SetUpBankDetail(); });
  on(Summary, [this] { ShowBankSummary(); });
  on(Export, [this] { this->Export(); });
  on(Print, [this] { this->Print(); });
}

bool BankPage::ReportFill(const FillResult& result) {
  if (!result.error) return true;
  ctx_.ReportReadFailure(*result.error);  // the list shown before stays, and its scope
  return false;
}

void BankPage::ShowDetailLayout() {
  LayOutBankDetail(*grid_);
  shares_->SetShares(BankDetailShares());
  view_ = View::Detail;
}

void BankPage::SetUpBankDetail() {
  ShowDetailLayout();
  if (ReportFill(FillBankGrid(ctx_, *grid_, AllBankQuery()))) {
    print_scope_ = AllBankQuery().scope;
    last_query_ = AllBankQuery();
  }
  RefillBankNames();
}

void BankPage::RefillBankNames() {
  // A database that does not open has been reported by the fill; the list stays empty.
  FillComboKeepingText(bank_search_, BankPickValues(ctx_, BankPick::Bank).value_or(QStringList()));
}

void BankPage::FillBankList(const MoneyQuery& query) {
  // Detail rows belong in the detail columns.
  if (view_ != View::Detail) ShowDetailLayout();
  if (ReportFill(FillBankGrid(ctx_, *grid_, query))) {
    print_scope_ = query.scope;
    last_query_ = query;
  }
}

void BankPage::RefillInPlace() {
  // The balances' rows have no ID: they are kept by their place.
  const int key_col = view_ == View::Detail ? kBankIdCol : -1;
  const GridPlace place = SaveGridPlace(*grid_, key_col);
  if (view_ == View::Detail) {
    if (ReportFill(FillBankGrid(ctx_, *grid_, last_query_))) print_scope_ = last_query_.scope;
  } else if (ReportFill(FillBankSummaryGrid(ctx_, *grid_))) {
    print_scope_ = BankSummaryQuery().scope;
  }
  RefillBankNames();
  RestoreGridPlace(*grid_, place, key_col);
}

void BankPage::ShowBankSummary() {
  LayOutBankSummary(*grid_);
  shares_->SetShares(BankSummaryShares());
  view_ = View::Summary;
  if (ReportFill(FillBankSummaryGrid(ctx_, *grid_))) print_scope_ = BankSummaryQuery().scope;
}

void BankPage::Refill() {
  // After a change the view that shows is reloaded: the balances, or every movement.
  if (ReportFill(view_ == View::Summary ? FillBankSummaryGrid(ctx_, *grid_)
                                        : FillBankGrid(ctx_, *grid_, AllBankQuery()))) {
    print_scope_ = (view_ == View::Summary ? BankSummaryQuery() : AllBankQuery()).scope;
    if (view_ == View::Detail) last_query_ = AllBankQuery();
  }
  RefillBankNames();
}

QMenu* BankPage::PrepareMenuFor(int row, int col) {
  selected_id_.clear();
  selected_row_ = row;
  if (row >= 0 && col >= 0) grid_->SetFocusCell(row, col);
  if (row >= 0 && row < grid_->FixedRows()) return nullptr;
  // Beside or below the rows there is no movement, but the menu still offers what needs
  // none: on an empty list that is where a shop records its first movement.
  const bool on_row = row >= grid_->FixedRows() && row < grid_->Rows() && col >= 1;
  if (on_row) selected_id_ = grid_->CellText(row, kBankIdCol);
  // The summary view offers the menu too (its print and export); its rows are balances,
  // never a movement to change or delete (column 1 holds the bank's name there).
  const bool movement = view_ == View::Detail && IdOfText(selected_id_) > 0;
  for (BankCommand command : {BankCommand::Edit, BankCommand::Delete})
    if (QAction* a = CommandAction(menu_, command)) a->setEnabled(movement);
  return menu_;
}

void BankPage::ActivateCell(int row, int col) {
  selected_id_.clear();
  selected_row_ = row;
  if (row < grid_->FixedRows() || col < 1 || row >= grid_->Rows()) return;
  // In the summary view column 1 holds a bank name, never a movement's ID.
  if (view_ != View::Detail) return;
  selected_id_ = grid_->CellText(row, kBankIdCol);
  if (IdOfText(selected_id_) > 0) ChangeBankMovement();
}

void BankPage::NewBankMovement() {
  if (!new_window_) {
    new_window_ = new BankMovementWindow(ctx_, window());
    connect(new_window_, &BankMovementWindow::MovementSaved, this, &BankPage::Refill);
  }
  new_window_->show();
  new_window_->raise();
  new_window_->activateWindow();
}

void BankPage::ChangeBankMovement() {
  const qint64 id = IdOfText(selected_id_);
  if (id <= 0) return;
  const auto movement = LoadBankMovement(ctx_, id);
  if (!movement) {
    ShowActionError(ctx_, DatabaseActionError(movement.error()));
    return;
  }
  if (!*movement) {
    ctx_.ShowMessage(kMovementGoneText, MessageKind::Stop);
    Refill();
    return;
  }
  // One change window at a time, for the movement chosen last.
  if (change_window_) change_window_->close();
  change_window_ = new BankMovementWindow(ctx_, **movement, window());
  connect(change_window_, &BankMovementWindow::MovementSaved, this, &BankPage::Refill);
  change_window_->show();
  change_window_->raise();
  change_window_->activateWindow();
}

void BankPage::DeleteBankMovement() {
  const qint64 id = IdOfText(selected_id_);
  if (id <= 0) return;
  if (!ctx_.session.IsSuperAdministrator()) {
    // The logic refuses an operator; no question is asked first.
    if (auto refused = hemulu::DeleteBankMovement(ctx_, id); !refused) ShowActionError(ctx_, refused.error());
    return;
  }
  if (ctx_.prompter.Confirm(kDeleteQuestion, kWarningTitle)) {
    if (auto done = hemulu::DeleteBankMovement(ctx_, id); !done) ShowActionError(ctx_, done.error());
  }
  FillBankList();
}

void BankPage::Export() {
  ExportAndNotify(
      ctx_, this, ctx_.FilePath(QStringLiteral("存款管理.xlsx")),
      [this](const QString& path, const Progress& progress) { return ExportMoneyGrid(*grid_, path, progress); });
}

void BankPage::Print() {
  PrintGrid(*grid_, {QStringLiteral("存款管理"), print_scope_, ctx_.clock.Now()}, ctx_.prompter, this);
}

}  // namespace hemulu
