#include "stock/StockPage.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <cstdio>

#include "data/TextFormat.h"
#include "lists/Grid.h"
#include "lists/GridExport.h"
#include "lists/GridPlace.h"
#include "lists/GridPrinter.h"
#include "stock/CategoryTreeWindow.h"
#include "stock/GoodsEntryWindow.h"
#include "stock/GoodsHistoryWindow.h"
#include "stock/PurchaseRecordsView.h"
#include "stock/StockList.h"
#include "ui/LiveRefill.h"
#include "ui/NamedWidgets.h"
#include "ui/ShowActionError.h"
#include "ui/SuperAdministratorGate.h"

namespace hemulu {

StockPage::StockPage(AppContext& ctx, QMenu* menu, GoodsSelection& selection, StockPageHooks hooks, QWidget* parent)
    : QWidget(parent), ctx_(ctx), menu_(menu), hooks_(std::move(hooks)), selection_(selection) {
  // The stock list and the purchase records share the page: the deliveries are the
  // goods' own history of buying.
  views_ = new QStackedWidget(this);
  stock_view_ = new QWidget(views_);
  grid_ = new Grid(stock_view_, QStringLiteral("库管表格"));
  LayOutStockGrid(*grid_);
  shares_ = AttachStockShares(*grid_, ctx_.session.IsSuperAdministrator());

  auto* layout = new QVBoxLayout(stock_view_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(grid_, 1);
  layout->addWidget(BuildToolBar());
  purchases_ = new PurchaseRecordsView(ctx_, views_);
  views_->addWidget(stock_view_);
  views_->addWidget(purchases_);
  auto* page_layout = new QVBoxLayout(this);
  page_layout->setContentsMargins(0, 0, 0, 0);
  page_layout->addWidget(views_);
  connect(purchases_, &PurchaseRecordsView::BackToStock, this, &StockPage::ShowStock);

  connect(grid_, &Grid::DoubleClicked, this,
          [this](Qt::MouseButton, int row, int col, const QPoint&) { ActivateCell(row, col); });
  // The keyboard's menu key (or Shift+F10) opens the menu for the chosen row.
  connect(grid_, &Grid::MenuKeyPressed, this, [this](int row, const QPoint& pos) {
    if (QMenu* m = PrepareMenuFor(row, row >= 0 ? kStockNameCol : -1)) m->popup(pos);
  });
  // Enter on a row sells it, as a double-click does.
  connect(grid_, &Grid::RowActivated, this, [this](int row) { ActivateCell(row, kStockNameCol); });
  connect(grid_, &Grid::MouseReleased, this, [this](Qt::MouseButton button, int row, int col, const QPoint& pos) {
    if (button != Qt::RightButton) return;
    if (QMenu* m = PrepareMenuFor(row, col)) m->popup(pos);
  });
  ConnectMenu();
  BindInsertKey(this, CommandItem(StockCommand::NewGoods));

  // The stored warning quantity, shown as the whole number the marking uses.
  warning_quantity_ = StoredWarningQuantity(ctx_.settings);
  {
    const QSignalBlocker block_warning(warning_box_), block_zero(zero_box_);
    warning_box_->setText(QString::number(warning_quantity_));
    zero_box_->setChecked(ctx_.settings.SetupFlag(QStringLiteral("zero")));
  }
  FillStockList();
  RefillPickLists();
  new LiveRefill(ctx_, this, {QStringLiteral("buy")}, [this] { RefillInPlace(); });
}

StockPage::~StockPage() = default;

QWidget* StockPage::BuildToolBar() {
  auto* bar = new QWidget(stock_view_);
  SearchBarLayout layout(bar, QStringLiteral("库管工具栏"));
  code_box_ = SearchLineEdit(QStringLiteral("库管商品编码框"), bar);
  name_box_ = SearchLineEdit(QStringLiteral("库管商品名称框"), bar);
  name_box_->setToolTip(QStringLiteral("输入商品名称的拼音首字母，如“可乐”输入 KL"));
  model_box_ = SearchLineEdit(QStringLiteral("库管型号框"), bar);
  category_box_ = SearchList(QStringLiteral("库管类型查询框"), bar);
  supplier_box_ = SearchList(QStringLiteral("库管供货商框"), bar);
  const QDate today = ctx_.clock.Now().date();
  date_from_ = NamedDateEdit(QStringLiteral("库管日期框1"), today.addMonths(-1), bar);
  date_to_ = NamedDateEdit(QStringLiteral("库管日期框2"), today, bar);
  warning_box_ = NamedLineEdit(QStringLiteral("库管库存报警框"), bar);
  warning_box_->setMaximumWidth(60);
  zero_box_ = new QCheckBox(QStringLiteral("显示零库存商品"), bar);
  zero_box_->setObjectName(QStringLiteral("库管不显示零库存框"));

  auto* query = NamedButton(QStringLiteral("日期查询"), QStringLiteral("库管查询按钮"), bar);
  auto* all = NamedButton(QStringLiteral("刷新全部记录"), QStringLiteral("库管全部记录按钮"), bar);
  auto* clear = NamedButton(QStringLiteral("清空条件"), QStringLiteral("库管清空条件按钮"), bar);
  auto* tree = NamedButton(QStringLiteral("目录"), QStringLiteral("库管目录按钮"), bar);

  layout.Add(0, QStringLiteral("商品编码："), code_box_);
  layout.Add(0, QStringLiteral("商品名称："), name_box_);
  layout.Add(0, QStringLiteral("规格型号："), model_box_);
  layout.Add(0, QStringLiteral("类别查询："), category_box_);
  layout.Add(0, QStringLiteral("供货商："), supplier_box_);
  layout.Add(1, QStringLiteral("入库日期："), date_from_);
  layout.Add(1, QStringLiteral("-至-"), date_to_);
  // Purchase prices are for 超级管理员 only: no one else is offered the records.
  auto* purchases = NamedButton(QStringLiteral("进货记录"), QStringLiteral("库管进货记录按钮"), bar);
  layout.AddAll(1, {query, all, clear, tree});
  if (ctx_.session.IsSuperAdministrator())
    layout.AddAll(1, {purchases});
  else
    purchases->hide();
  layout.Add(1, QStringLiteral("库存报警数量："), warning_box_);
  layout.Add(1, QString(), zero_box_, 2);

  connect(code_box_, &QLineEdit::textChanged, this, [this](const QString& t) { Search(GoodsSearchField::Code, t); });
  // A barcode scanner types the code and Enter.
  connect(code_box_, &QLineEdit::returnPressed, this, &StockPage::SellScannedCode);
  connect(name_box_, &QLineEdit::textChanged, this,
          [this](const QString& t) { Search(GoodsSearchField::Initials, t); });
  connect(model_box_, &QLineEdit::textChanged, this, [this](const QString& t) { Search(GoodsSearchField::Model, t); });
  // The category list searches when picked and when typed; the supplier list only when typed.
  connect(category_box_, &QComboBox::textActivated, this,
          [this](const QString& t) { Search(GoodsSearchField::Category, t); });
  connect(category_box_->lineEdit(), &QLineEdit::textEdited, this,
          [this](const QString& t) { Search(GoodsSearchField::Category, t); });
  connect(supplier_box_->lineEdit(), &QLineEdit::textEdited, this,
          [this](const QString& t) { Search(GoodsSearchField::Supplier, t); });
  connect(query, &QPushButton::clicked, this,
          [this] { FillStockList(GoodsByDateQuery(date_from_->date(), date_to_->date())); });
  connect(all, &QPushButton::clicked, this, [this] { FillStockList(); });
  connect(clear, &QPushButton::clicked, this, &StockPage::ClearConditions);
  connect(tree, &QPushButton::clicked, this, &StockPage::OpenCategoryTree);
  connect(purchases, &QPushButton::clicked, this, &StockPage::ShowPurchases);
  connect(warning_box_, &QLineEdit::textChanged, this, &StockPage::OnWarningQuantityEdited);
  connect(zero_box_, &QCheckBox::toggled, this, &StockPage::OnZeroStockToggled);
  return bar;
}

void StockPage::ShowPurchases() {
  if (!ctx_.session.IsSuperAdministrator()) return;  // the view refuses too
  views_->setCurrentWidget(purchases_);
  purchases_->RefillPickList();
  purchases_->Refill();
  purchases_->GoodsBox()->setFocus();
}

void StockPage::ShowStock() {
  views_->setCurrentWidget(stock_view_);
  grid_->setFocus();
}

bool StockPage::ShowsPurchases() const { return views_->currentWidget() == purchases_; }

void StockPage::ShowPage(PageIndex page) {
  if (hooks_.show_page) hooks_.show_page(page);
}

void StockPage::ConnectMenu() {
  if (!menu_) return;
  const auto on = [this](StockCommand command, std::function<void()> run) {
    OnCommand(menu_, command, this, std::move(run));
  };
  using enum StockCommand;
  on(NewGoods, [this] { OpenNewGoods(); });
  on(Restock, [this] { OpenRestock(); });
  on(Edit, [this] { OpenEdit(); });
  on(Delete, [this] { DeleteCurrentGoods(); });
  on(ShowHistory, [this] { OpenHistory(); });
  on(ShowSalesRecords, [this] { ShowPage(kSalesPage); });
  on(ShowSummary, [this] { ShowPage(kSummaryPage); });
  on(Refresh, [this] { FillStockList(); });
  on(Export, [this] { this->Export(); });
  on(Print, [this] { this->Print(); });
  on(ShowBuyPrice, [this] { ShowPurchasePrice(); });
  const std::pair<StockCommand, int> toggles[] = {
      {HideBuyPrice, kStockBuyPriceCol}, {HideBuyAmount, kStockBuyAmountCol}, {HideStockAmount, kStockStockAmountCol}};
  for (const auto& [command, col] : toggles) {
    if (QAction* a = CommandItem(command)) {
      a->setCheckable(true);
      connect(a, &QAction::toggled, this, [this, col = col](bool hide) { ToggleColumn(col, hide); });
    }
  }
}

void StockPage::FillStockList(const GoodsQuery& query) {
  const FillResult result = FillStockGrid(ctx_, *grid_, query, warning_quantity_);
  if (result.error) {  // the list shown before stays, and so does what it covers
    ctx_.ReportReadFailure(*result.error);
    return;
  }
  last_query_ = query;
}

void StockPage::RefillInPlace() {
  const GridPlace place = SaveGridPlace(*grid_, kStockIdCol);
  Refill();
  RefillPickLists();
  RestoreGridPlace(*grid_, place, kStockIdCol);
  // The row of the chosen goods may have moved (or gone, when another till deleted it).
  if (!selection_.id.isEmpty()) selection_.row = grid_->FindRow(kStockIdCol, selection_.id);
  // The purchase records read the same goods: shown, they follow.
  if (ShowsPurchases()) purchases_->RefillInPlace();
}

void StockPage::RefillPickLists() {
  FillPickList(ctx_, PickField::Supplier, supplier_box_);
  FillPickList(ctx_, PickField::Category, category_box_);
}

void StockPage::SaveSetting(const QString& key, const QString& value) {
  if (ctx_.settings.WriteSetupValue(key, value)) return;
  // The page goes on with the new value; the user hears once that it will not last.
  std::fprintf(stderr, "hemulu: %s: [setup] %s not written\n", qUtf8Printable(ctx_.settings.Path()),
               qUtf8Printable(key));
  if (setting_failure_shown_) return;
  setting_failure_shown_ = true;
  ctx_.ShowMessage(SettingNotSavedMessage(ctx_.settings.Path()), MessageKind::Exclamation);
}

void StockPage::OnWarningQuantityEdited(const QString& text) {
  SaveSetting(QStringLiteral("beep"), text);
  warning_quantity_ = WarningQuantityOf(text);
  FillStockList();
}

void StockPage::OnZeroStockToggled(bool checked) {
  SaveSetting(QStringLiteral("zero"), checked ? QStringLiteral("ture") : QStringLiteral("false"));
  FillStockList();
}

void StockPage::Search(GoodsSearchField field, const QString& text) { FillStockList(SearchGoodsQuery(field, text)); }

void StockPage::ClearConditions() {
  for (QLineEdit* box : {code_box_, name_box_, model_box_}) {
    const QSignalBlocker block(box);
    box->clear();
  }
  for (QComboBox* box : {category_box_, supplier_box_}) {
    const QSignalBlocker block(box);
    box->setEditText(QString());
  }
  FillStockList();
}

void StockPage::OpenCategoryTree() {
  if (!tree_window_) {
    tree_window_ = new CategoryTreeWindow(ctx_, window());
    connect(tree_window_, &CategoryTreeWindow::CategoryChosen, this,
            [this](const QString& text) { FillStockList(CategoryTreeQuery(text)); });
  } else {
    tree_window_->FillCategoryTree();
  }
  tree_window_->show();
  tree_window_->raise();
}

void StockPage::SellScannedCode() {
  const auto found = GoodsIdsWithCode(ctx_, code_box_->text(), 2);
  if (!found) {
    ShowActionError(ctx_, ReadActionError(found.error()));
    return;
  }
  const std::vector<qint64>& ids = *found;
  if (ids.size() != 1 || !hooks_.open_sale) return;
  selection_.id = QString::number(ids.front());
  selection_.row = grid_->FindRow(kStockIdCol, selection_.id);
  // The next scan replaces this code instead of adding to it.
  code_box_->selectAll();
  hooks_.open_sale(ids.front());
}

void StockPage::ActivateCell(int row, int col) {
  if (row < grid_->FixedRows() || col < kStockNameCol) return;
  selection_.row = row;
  selection_.id = grid_->CellText(row, kStockIdCol);
  if (selection_.HasGoods() && hooks_.open_sale) hooks_.open_sale(selection_.GoodsId());
}

QMenu* StockPage::PrepareMenuFor(int row, int col) {
  selection_.id.clear();
  selection_.row = row;
  if (row >= 0 && col >= 0) grid_->SetFocusCell(row, col);
  if (row >= 0) selection_.id = grid_->CellText(row, kStockIdCol);
  if (!menu_) return nullptr;
  const bool super = ctx_.session.IsSuperAdministrator();
  const auto show = [this](StockCommand command) {
    if (QAction* a = CommandItem(command)) a->setVisible(true);
  };
  const auto hide = [this](StockCommand command) {
    if (QAction* a = CommandItem(command)) a->setVisible(false);
  };
  using enum StockCommand;
  if (row < 0 || col < 0) {
    // Below the last row (or beside the columns) there is no row at all: offer only what
    // needs none, instead of items left visible by an earlier right-click.
    for (StockCommand command : {Restock, Edit, Delete, ShowHistory, ShowBuyPrice}) hide(command);
  } else if (row >= grid_->FixedRows() && col >= kStockNameCol) {
    if (selection_.HasGoods()) {
      show(ShowBuyPrice);
      show(Restock);
      show(ShowHistory);
      if (super) {
        show(Edit);
        show(Delete);
        hide(ShowBuyPrice);
      }
    } else {
      hide(Edit);
      hide(Delete);
      hide(ShowBuyPrice);
      hide(ShowHistory);
      if (!super) hide(Restock);
    }
  }
  return menu_;
}

void StockPage::OpenEntryWindow(int mode, qint64 id) {
  if (entry_window_) entry_window_->close();
  auto* w = new GoodsEntryWindow(ctx_, static_cast<GoodsEntryWindow::Mode>(mode), id, window());
  connect(w, &GoodsEntryWindow::GoodsSaved, this, [this] {
    FillStockList();
    RefillPickLists();
  });
  entry_window_ = w;
  w->show();
  w->raise();
  w->activateWindow();
}

void StockPage::OpenNewGoods() { OpenEntryWindow(static_cast<int>(GoodsEntryWindow::Mode::NewGoods), 0); }

void StockPage::OpenRestock() {
  if (!selection_.HasGoods()) return;
  OpenEntryWindow(static_cast<int>(GoodsEntryWindow::Mode::Restock), selection_.GoodsId());
}

void StockPage::OpenHistory() {
  if (!selection_.HasGoods()) return;
  if (history_window_) history_window_->close();
  auto* w = new GoodsHistoryWindow(ctx_, selection_.GoodsId(), window());
  w->setAttribute(Qt::WA_DeleteOnClose);
  history_window_ = w;
  w->show();
  w->raise();
  w->activateWindow();
}

void StockPage::OpenEdit() {
  if (!selection_.HasGoods()) return;
  if (!ctx_.session.IsSuperAdministrator()) {
    ctx_.ShowMessage(GoodsNotAllowedMessage(), MessageKind::Stop);
    return;
  }
  OpenEntryWindow(static_cast<int>(GoodsEntryWindow::Mode::Edit), selection_.GoodsId());
}

void StockPage::DeleteCurrentGoods() {
  const GoodsSelection chosen = selection_;
  if (!chosen.HasGoods()) return;
  if (!ctx_.session.IsSuperAdministrator()) {
    ctx_.ShowMessage(GoodsNotAllowedMessage(), MessageKind::Stop);
    return;
  }
  if (!ctx_.prompter.Confirm(kDeleteQuestion, kWarningTitle)) return;
  if (auto done = DeleteGoods(ctx_, chosen.GoodsId()); !done) {
    ShowActionError(ctx_, done.error());
    return;
  }
  // The row goes without a refill, so the totals keep their figures until the next fill.
  // The grid may have been refilled since the row was chosen: find the row by its ID.
  int row = chosen.row;
  if (row < grid_->FixedRows() || row >= grid_->Rows() || grid_->CellText(row, kStockIdCol) != chosen.id)
    row = grid_->FindRow(kStockIdCol, chosen.id);
  if (row >= grid_->FixedRows()) grid_->RemoveItem(row);
}

void StockPage::ShowPurchasePrice() {
  if (!SuperAdministratorGate(ctx_, QStringLiteral("请输入超级管理员密码,默认超管密码"), QStringLiteral("超管")))
    return;
  // Read from the goods row itself: an operator's list holds no purchase prices.
  const QString id =
      selection_.row >= 0 && selection_.row < grid_->Rows() ? grid_->CellText(selection_.row, kStockIdCol) : QString();
  const double number = NumberValue(id);
  QString price;
  if (number > kTolerance) {
    const auto record = LoadGoods(ctx_, static_cast<qint64>(number));
    if (!record && record.error().Unavailable()) {
      ctx_.ReportDatabaseUnavailable(record.error().message);
      return;
    }
    if (record && *record) price = NumberText((*record)->buy_price);
  }
  ctx_.ShowMessage(price, MessageKind::Information);
}

void StockPage::Export() {
  if (!selection_.HasGoods()) return;  // exported from a chosen goods row only
  ExportAndNotify(
      ctx_, this, ctx_.FilePath(QStringLiteral("my.xlsx")),
      [this](const QString& path, const Progress& progress) { return ExportStockGrid(*grid_, path, progress); });
}

void StockPage::Print() {
  PrintGrid(*grid_, {QStringLiteral("商品库存"), last_query_.scope, ctx_.clock.Now()}, ctx_.prompter, this);
}

void StockPage::ToggleColumn(int col, bool hide) {
  SetStockColumnHidden(*shares_, ctx_.session.IsSuperAdministrator(), col, hide);
}

}  // namespace hemulu
