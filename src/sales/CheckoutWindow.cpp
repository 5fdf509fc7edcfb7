#include "sales/CheckoutWindow.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "data/TextFormat.h"
#include "sales/ReceiptPrinter.h"
#include "sales/SalesLogic.h"
#include "ui/NamedWidgets.h"
#include "ui/ShowActionError.h"

namespace hemulu {

namespace {

const QColor kOverStockColor(0xFF, 0xC8, 0xC8);
const QString kOverStockTip = QStringLiteral("库存不足");

QString Money(double value) { return NumberText(value) + QStringLiteral("元"); }

bool IsEnter(const QKeyEvent* key) {
  return (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !(key->modifiers() & ~Qt::KeypadModifier);
}

QTableWidgetItem* Cell(const QString& text, bool editable) {
  auto* item = new QTableWidgetItem(text);
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (editable) flags |= Qt::ItemIsEditable;
  item->setFlags(flags);
  return item;
}

QPushButton* Button(const QString& caption, const QString& name, QWidget* parent) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(name);
  // Enter belongs to the code box: no button takes it as the default.
  b->setAutoDefault(false);
  b->setDefault(false);
  return b;
}

}  // namespace

CellInput ReadQuantityCell(const QString& text) {
  const auto v = ParseNumber(text);
  if (!v) return {std::nullopt, QStringLiteral("数量必须是数字，“%1”不是数字，已恢复原来的数量").arg(text)};
  if (*v <= 0) return {std::nullopt, QStringLiteral("数量必须大于0，已恢复原来的数量；不要的商品请按 Delete 删除")};
  return {v, {}};
}

CellInput ReadDiscountCell(const QString& text) {
  const auto v = ParseNumber(text);
  if (!v)
    return {std::nullopt, QStringLiteral("折扣必须是数字（100 为不打折），“%1”不是数字，已恢复原来的折扣").arg(text)};
  if (*v < 0 || *v > 100)
    return {std::nullopt, QStringLiteral("折扣必须在0到100之间（100 为不打折），已恢复原来的折扣")};
  return {v, {}};
}

CheckoutWindow* CheckoutWindow::Open(AppContext& ctx, QWidget* owner, CheckoutHooks hooks) {
  QWidget* top = owner ? owner->window() : nullptr;
  CheckoutWindow* w = top ? top->findChild<CheckoutWindow*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
  if (!w) w = new CheckoutWindow(ctx, std::move(hooks), top);
  w->show();
  w->raise();
  w->activateWindow();
  w->BackToCodeBox();
  return w;
}

CheckoutWindow::CheckoutWindow(AppContext& ctx, CheckoutHooks hooks, QWidget* owner)
    : QDialog(owner), ctx_(ctx), hooks_(std::move(hooks)) {
  setObjectName(kCheckoutTitle);
  setWindowTitle(kCheckoutTitle);
  setWindowFlag(Qt::WindowMaximizeButtonHint);
  BuildControls();
  FillPickLists();
  ShowLines();
  resize(1080, 660);
}

CheckoutWindow::~CheckoutWindow() {
  if (lines_.empty()) return;
  // Nothing to show it on any more: a failure goes to standard error.
  if (const auto held = HoldBasket(ctx_, Form()); !held)
    std::fprintf(stderr, "hemulu: the counter's basket was not held: %s\n", qUtf8Printable(held.error().message));
}

void CheckoutWindow::BuildControls() {
  auto* outer = new QVBoxLayout(this);
  outer->setSpacing(6);

  auto* code_row = new QHBoxLayout;
  auto* code_label = new QLabel(QStringLiteral("商品编码："), this);
  code_ = NamedLineEdit(kCheckoutCodeBox, this);
  code_->setPlaceholderText(QStringLiteral("扫描条码或输入编码后回车；输入名称首拼、名称可查找"));
  QFont big = code_->font();
  big.setPointSizeF(big.pointSizeF() * 1.4);
  code_->setFont(big);
  code_label->setFont(big);
  code_->setMinimumHeight(34);
  code_row->addWidget(code_label);
  code_row->addWidget(code_, 1);
  outer->addLayout(code_row);

  message_ = new QLabel(this);
  message_->setObjectName(QStringLiteral("收银提示"));
  message_->setTextFormat(Qt::PlainText);
  // One line that never widens the window, whatever it says.
  message_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  message_->setMinimumHeight(message_->fontMetrics().height() + 4);
  outer->addWidget(message_);

  picks_ = new QListWidget(this);
  picks_->setObjectName(QStringLiteral("收银选择列表"));
  picks_->setMaximumHeight(170);
  picks_->hide();
  outer->addWidget(picks_);

  table_ = new QTableWidget(0, kLineColumnCount, this);
  table_->setObjectName(QStringLiteral("收银商品列表"));
  table_->setHorizontalHeaderLabels({QStringLiteral("名称"), QStringLiteral("型号"), QStringLiteral("编码"),
                                     QStringLiteral("库存"), QStringLiteral("单价"), QStringLiteral("折扣(%)"),
                                     QStringLiteral("实际单价"), QStringLiteral("数量"), QStringLiteral("金额")});
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed);
  table_->setContextMenuPolicy(Qt::CustomContextMenu);
  table_->verticalHeader()->setDefaultSectionSize(26);
  // Tab leaves the table (for 实收) instead of walking its cells.
  table_->setTabKeyNavigation(false);
  QHeaderView* header = table_->horizontalHeader();
  header->setMinimumSectionSize(72);
  header->setSectionResizeMode(QHeaderView::Interactive);
  header->setSectionResizeMode(kLineNameCol, QHeaderView::Stretch);
  for (int c : {kLineModelCol, kLineCodeCol}) header->resizeSection(c, 150);
  for (int c : {kLineStockCol, kLinePriceCol, kLineDiscountCol, kLineActualCol, kLineQuantityCol, kLineAmountCol})
    header->resizeSection(c, 86);
  outer->addWidget(table_, 1);

  // Totals.
  auto* totals = new QGridLayout;
  totals->setHorizontalSpacing(8);
  const auto figure = [this, &big](const QString& name) {
    auto* l = new QLabel(this);
    l->setObjectName(name);
    l->setFont(big);
    l->setMinimumWidth(110);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
  };
  pieces_ = figure(QStringLiteral("收银件数"));
  total_ = figure(QStringLiteral("收银合计金额"));
  total_->setStyleSheet(QStringLiteral("color: #B00000; font-weight: bold;"));
  paid_ = NamedLineEdit(QStringLiteral("收银实收框"), this);
  paid_->setFont(big);
  paid_->setPlaceholderText(QStringLiteral("空为合计金额"));
  paid_->setMinimumWidth(130);
  change_ = figure(QStringLiteral("收银找零"));
  debt_ = figure(QStringLiteral("收银欠款"));
  debt_hint_ = new QLabel(this);
  debt_hint_->setObjectName(QStringLiteral("收银欠款提示"));
  debt_hint_->setStyleSheet(QStringLiteral("color: #C00000;"));
  int col = 0;
  const auto put = [&](const QString& caption, QWidget* w) {
    auto* l = new QLabel(caption, this);
    l->setFont(big);
    totals->addWidget(l, 0, col++, Qt::AlignRight);
    totals->addWidget(w, 0, col++);
  };
  put(QStringLiteral("件数："), pieces_);
  put(QStringLiteral("合计金额："), total_);
  put(QStringLiteral("实收："), paid_);
  put(QStringLiteral("找零："), change_);
  put(QStringLiteral("欠款："), debt_);
  totals->addWidget(debt_hint_, 0, col++);
  totals->setColumnStretch(col, 1);
  outer->addLayout(totals);

  // The customer of the receipt.
  auto* customer = new QGridLayout;
  customer->setHorizontalSpacing(6);
  customer_name_ = EditableList(QStringLiteral("收银客户名称框"), this, 10);
  contact_ = NamedLineEdit(QStringLiteral("收银联系方式框"), this);
  address_ = EditableList(QStringLiteral("收银客户地址框"), this, 14);
  note_ = NamedLineEdit(QStringLiteral("收银备注框"), this);
  customer->addWidget(new QLabel(QStringLiteral("客户名称："), this), 0, 0, Qt::AlignRight);
  customer->addWidget(customer_name_, 0, 1);
  customer->addWidget(new QLabel(QStringLiteral("联系方式："), this), 0, 2, Qt::AlignRight);
  customer->addWidget(contact_, 0, 3);
  customer->addWidget(new QLabel(QStringLiteral("客户地址："), this), 1, 0, Qt::AlignRight);
  customer->addWidget(address_, 1, 1);
  customer->addWidget(new QLabel(QStringLiteral("备注："), this), 1, 2, Qt::AlignRight);
  customer->addWidget(note_, 1, 3);
  customer->setColumnStretch(1, 1);
  customer->setColumnStretch(3, 1);
  outer->addLayout(customer);

  // Buttons, with their keys.
  auto* buttons = new QHBoxLayout;
  auto_print_ = new QCheckBox(QStringLiteral("自动打印小票"), this);
  auto_print_->setObjectName(QStringLiteral("自动打印小票"));
  auto_print_->setChecked(ctx_.settings.Read(kCheckoutSection, kAutoPrintKey) == QStringLiteral("true"));
  checkout_ = Button(QStringLiteral("结账 (F12)"), QStringLiteral("结账按钮"), this);
  checkout_->setMinimumHeight(34);
  checkout_->setFont(big);
  auto* hold = Button(QStringLiteral("挂单 (F8)"), QStringLiteral("挂单按钮"), this);
  auto* recall = Button(QStringLiteral("取单 (F9)"), QStringLiteral("取单按钮"), this);
  auto* give_back = Button(QStringLiteral("退货"), QStringLiteral("退货按钮"), this);
  auto* reprint = Button(QStringLiteral("重打小票"), QStringLiteral("重打小票按钮"), this);
  auto* close_button = Button(QStringLiteral("关闭 (Esc)"), QStringLiteral("关闭按钮"), this);
  buttons->addWidget(auto_print_);
  buttons->addStretch(1);
  for (QPushButton* b : {hold, recall, give_back, reprint, close_button}) buttons->addWidget(b);
  buttons->addSpacing(12);
  buttons->addWidget(checkout_);
  outer->addLayout(buttons);

  auto* keys = new QLabel(QStringLiteral("回车：加入商品（编码框为空时结账）　↑↓：选择商品行　F3：改数量　F4：改折扣　"
                                         "Delete：删除商品行　F8：挂单　F9：取单　F12：结账　Esc：关闭"),
                          this);
  keys->setObjectName(QStringLiteral("收银按键说明"));
  keys->setStyleSheet(QStringLiteral("color: #4a5a60;"));
  keys->setWordWrap(true);
  outer->addWidget(keys);

  // From the code box the next stop is 实收, the one thing typed after the scans.
  setTabOrder(code_, paid_);
  setTabOrder(paid_, customer_name_);
  setTabOrder(customer_name_, contact_);
  setTabOrder(contact_, address_);
  setTabOrder(address_, note_);
  setTabOrder(note_, table_);
  setTabOrder(table_, auto_print_);
  setTabOrder(auto_print_, checkout_);

  connect(checkout_, &QPushButton::clicked, this, [this] { CheckOut(); });
  connect(hold, &QPushButton::clicked, this, [this] { HoldCurrent(); });
  connect(recall, &QPushButton::clicked, this, [this] { ChooseHeld(); });
  connect(give_back, &QPushButton::clicked, this, [this] { OpenReturn(); });
  connect(reprint, &QPushButton::clicked, this, [this] { ReprintLast(); });
  connect(close_button, &QPushButton::clicked, this, [this] { close(); });
  connect(auto_print_, &QCheckBox::toggled, this, [this](bool on) {
    if (!ctx_.settings.Write(kCheckoutSection, kAutoPrintKey, on ? QStringLiteral("true") : QStringLiteral("false")))
      ctx_.ShowMessage(SettingNotSavedMessage(ctx_.settings.Path()), MessageKind::Exclamation);
  });
  connect(paid_, &QLineEdit::textChanged, this, [this] { ShowTotals(); });
  connect(customer_name_, &QComboBox::currentTextChanged, this, [this] { ShowTotals(); });
  connect(table_, &QTableWidget::itemChanged, this,
          [this](QTableWidgetItem* item) { OnCellEdited(item->row(), item->column()); });
  connect(picks_, &QListWidget::itemActivated, this, [this] { TakePick(); });
  connect(table_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    const int row = table_->rowAt(at.y());
    if (row < 0) return;
    table_->selectRow(row);
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("收银商品菜单"));
    menu.addAction(QStringLiteral("商品流水"), this, [this] { OpenCurrentHistory(); });
    menu.addAction(QStringLiteral("修改数量 (F3)"), this,
                   [this, row] { table_->editItem(table_->item(row, kLineQuantityCol)); });
    menu.addAction(QStringLiteral("修改折扣 (F4)"), this,
                   [this, row] { table_->editItem(table_->item(row, kLineDiscountCol)); });
    menu.addSeparator();
    menu.addAction(QStringLiteral("删除该行 (Delete)"), this, [this] { RemoveCurrentLine(); });
    menu.exec(table_->viewport()->mapToGlobal(at));
  });
  QWidget* const watched[] = {code_, picks_, table_, paid_, customer_name_->lineEdit(), contact_, address_->lineEdit(),
                              note_};
  for (QWidget* w : watched) w->installEventFilter(this);
}

void CheckoutWindow::FillPickLists() {
  std::optional<DbError> failure;
  for (auto [list, values] :
       {std::pair{customer_name_, CustomerNameValues(ctx_)}, std::pair{address_, CustomerAddressValues(ctx_)}}) {
    if (!values && !failure) failure = values.error();
    FillComboKeepingText(list, values.value_or(QStringList()));
  }
  // The counter still sells with typed names; the user hears once why the lists are empty.
  if (failure) ctx_.ReportReadFailure(*failure);
}

void CheckoutWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  BackToCodeBox();
}

void CheckoutWindow::BackToCodeBox() { code_->setFocus(Qt::OtherFocusReason); }

void CheckoutWindow::Say(const QString& text, bool fault) {
  message_->setStyleSheet(fault ? QStringLiteral("color: #C00000; font-weight: bold;")
                                : QStringLiteral("color: #106030;"));
  message_->setText(text);
}

void CheckoutWindow::Scan(const QString& typed) {
  const QString text = typed.trimmed();
  if (text.isEmpty()) return;
  ClosePicks();
  const auto found = FindGoodsByCode(ctx_, text);
  if (!found) {
    ctx_.ReportReadFailure(found.error(), QStringLiteral("读取商品失败："));
    return;
  }
  if (found->size() == 1) {
    AddGoods(found->front());
    return;
  }
  if (found->size() > 1) {
    Say(QStringLiteral("编码为 %1 的商品有 %2 种，请用 ↑↓ 选择后回车，Esc 返回").arg(text).arg(found->size()), false);
    OfferPicks(*found);
    return;
  }
  // Not a code of any goods: what was typed may be a name or its initials.
  const bool digits_only = std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
  if (!digits_only) {
    const auto matches = SearchCounterGoods(ctx_, text);
    if (!matches) {
      ctx_.ReportReadFailure(matches.error(), QStringLiteral("读取商品失败："));
      return;
    }
    if (!matches->empty()) {
      Say(QStringLiteral("与“%1”相符的商品有 %2 种，请用 ↑↓ 选择后回车，Esc 返回").arg(text).arg(matches->size()),
          false);
      OfferPicks(*matches);
      return;
    }
  }
  code_->clear();
  Say(QStringLiteral("没有找到编码为 %1 的商品").arg(text), true);
  QApplication::beep();
  BackToCodeBox();
}

void CheckoutWindow::AddGoods(const CounterGoods& goods) {
  auto line = std::find_if(lines_.begin(), lines_.end(), [&](const BasketLine& l) { return l.goods.id == goods.id; });
  if (line == lines_.end()) {
    lines_.push_back({goods, 100, 1});
    line = lines_.end() - 1;
  } else {
    line->goods = goods;  // the stock and price as they are now
    line->quantity += 1;
  }
  const int row = static_cast<int>(line - lines_.begin());
  ShowLines();
  table_->selectRow(row);
  table_->scrollToItem(table_->item(row, kLineNameCol));
  code_->clear();
  if (LineOverStock(*line))
    Say(QStringLiteral("%1 库存不足：库存 %2，已选 %3")
            .arg(goods.name, NumberText(goods.stock), NumberText(line->quantity)),
        true);
  else
    Say(QStringLiteral("%1  %2 × %3").arg(goods.name, NumberText(LineActualPrice(*line)), NumberText(line->quantity)),
        false);
  BackToCodeBox();
}

void CheckoutWindow::OfferPicks(const std::vector<CounterGoods>& goods) {
  offered_ = goods;
  picks_->clear();
  for (const CounterGoods& g : goods)
    picks_->addItem(QStringLiteral("%1　%2　编码：%3　库存：%4　单价：%5")
                        .arg(g.name, g.model, g.code, NumberText(g.stock), NumberText(g.sell_price)));
  picks_->setCurrentRow(0);
  picks_->show();
  picks_->setFocus(Qt::OtherFocusReason);
}

void CheckoutWindow::TakePick() {
  const int row = picks_->currentRow();
  if (row < 0 || row >= static_cast<int>(offered_.size())) return;
  const CounterGoods goods = offered_[static_cast<std::size_t>(row)];
  ClosePicks();
  AddGoods(goods);
}

void CheckoutWindow::ClosePicks() {
  offered_.clear();
  picks_->clear();
  picks_->hide();
  BackToCodeBox();
}

void CheckoutWindow::ShowLines() {
  filling_ = true;
  table_->setRowCount(static_cast<int>(lines_.size()));
  for (int row = 0; row < static_cast<int>(lines_.size()); ++row) {
    const BasketLine& line = lines_[static_cast<std::size_t>(row)];
    const QString cells[kLineColumnCount] = {line.goods.name,
                                             line.goods.model,
                                             line.goods.code,
                                             NumberText(line.goods.stock),
                                             NumberText(line.goods.sell_price),
                                             NumberText(line.discount),
                                             NumberText(LineActualPrice(line)),
                                             NumberText(line.quantity),
                                             NumberText(LineAmount(line))};
    const bool over = LineOverStock(line);
    for (int c = 0; c < kLineColumnCount; ++c) {
      // The chosen row's highlight hides a background: the stock cell says it in words too.
      auto* item = Cell(over && c == kLineStockCol ? cells[c] + QStringLiteral(" 不足") : cells[c],
                        c == kLineDiscountCol || c == kLineQuantityCol);
      if (c >= kLineStockCol) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      if (over) {
        item->setBackground(kOverStockColor);
        item->setToolTip(kOverStockTip);
      }
      table_->setItem(row, c, item);
    }
  }
  filling_ = false;
  ShowTotals();
}

void CheckoutWindow::ShowTotals() {
  const BasketTotals totals = TotalsOf(lines_);
  pieces_->setText(NumberText(totals.pieces));
  total_->setText(Money(totals.total));
  const QString typed = paid_->text().trimmed();
  const std::optional<double> paid = typed.isEmpty() ? std::optional<double>(totals.total) : ParseNumber(typed);
  if (!paid) {
    change_->setText(QStringLiteral("—"));
    debt_->setText(QStringLiteral("—"));
    debt_hint_->setText(QStringLiteral("实收必须是数字"));
    return;
  }
  change_->setText(Money(ChangeDue(totals.total, *paid)));
  const double debt = DebtLeft(totals.total, *paid);
  debt_->setText(Money(debt));
  debt_hint_->setText(debt > 0 && customer_name_->currentText().trimmed().isEmpty()
                          ? QStringLiteral("有欠款，结账前请填写客户名称")
                          : QString());
}

void CheckoutWindow::OnCellEdited(int row, int col) {
  if (filling_ || row < 0 || row >= static_cast<int>(lines_.size())) return;
  if (col != kLineQuantityCol && col != kLineDiscountCol) return;
  BasketLine& line = lines_[static_cast<std::size_t>(row)];
  const CellInput input = col == kLineQuantityCol ? ReadQuantityCell(table_->item(row, col)->text())
                                                  : ReadDiscountCell(table_->item(row, col)->text());
  if (!input.value) {
    Say(input.refusal, true);
    QApplication::beep();
  } else if (col == kLineQuantityCol) {
    line.quantity = *input.value;
    Say(QString(), false);
  } else {
    line.discount = *input.value;
    Say(QString(), false);
  }
  // Rebuilt after the editor has let go of the item; the old value comes back when refused.
  QMetaObject::invokeMethod(
      this,
      [this, row] {
        ShowLines();
        if (row < table_->rowCount()) table_->selectRow(row);
        if (row < static_cast<int>(lines_.size()) && LineOverStock(lines_[static_cast<std::size_t>(row)]))
          Say(QStringLiteral("第%1行 %2 库存不足").arg(row + 1).arg(lines_[static_cast<std::size_t>(row)].goods.name),
              true);
        BackToCodeBox();
      },
      Qt::QueuedConnection);
}

void CheckoutWindow::RemoveCurrentLine() {
  const int row = table_->currentRow();
  if (row < 0 || row >= static_cast<int>(lines_.size())) return;
  const QString name = lines_[static_cast<std::size_t>(row)].goods.name;
  lines_.erase(lines_.begin() + row);
  ShowLines();
  if (!lines_.empty()) table_->selectRow(std::min(row, static_cast<int>(lines_.size()) - 1));
  Say(QStringLiteral("已删除：%1").arg(name), false);
  BackToCodeBox();
}

void CheckoutWindow::OpenCurrentHistory() {
  const int row = table_->currentRow();
  if (row < 0 || row >= static_cast<int>(lines_.size()) || !hooks_.open_history) return;
  hooks_.open_history(lines_[static_cast<std::size_t>(row)].goods.id, this);
}

Checkout CheckoutWindow::Form() const {
  Checkout c;
  c.lines = lines_;
  c.paid = paid_->text().trimmed();
  c.customer_name = customer_name_->currentText().trimmed();
  c.contact = contact_->text().trimmed();
  c.address = address_->currentText().trimmed();
  c.note = note_->text().trimmed();
  return c;
}

void CheckoutWindow::ClearBasket() {
  lines_.clear();
  paid_->clear();
  customer_name_->setCurrentIndex(-1);
  customer_name_->setEditText(QString());
  contact_->clear();
  address_->setCurrentIndex(-1);
  address_->setEditText(QString());
  note_->clear();
  code_->clear();
  ClosePicks();
  ShowLines();
}

bool CheckoutWindow::ForgetBasket() {
  const bool had = !lines_.empty();
  ClearBasket();
  last_receipt_.clear();
  Say(QString(), false);
  if (had) hide();
  return had;
}

void CheckoutWindow::SetCheckout(const Checkout& checkout) {
  lines_ = checkout.lines;
  paid_->setText(checkout.paid);
  customer_name_->setEditText(checkout.customer_name);
  contact_->setText(checkout.contact);
  address_->setEditText(checkout.address);
  note_->setText(checkout.note);
  ShowLines();
}

bool CheckoutWindow::CheckOut() {
  ClosePicks();
  if (lines_.empty()) {
    Say(QStringLiteral("还没有商品：请先扫描或输入商品编码"), true);
    QApplication::beep();
    return false;
  }
  // Refused here already, so that the user sees which line before anything is tried.
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (!LineOverStock(lines_[i])) continue;
    table_->selectRow(static_cast<int>(i));
    ctx_.ShowMessage(QStringLiteral("第%1行 %2 库存不足：库存 %3，数量 %4。\n请修改数量或删除该行后再结账。")
                         .arg(i + 1)
                         .arg(lines_[i].goods.name, NumberText(lines_[i].goods.stock), NumberText(lines_[i].quantity)),
                     MessageKind::Exclamation);
    BackToCodeBox();
    return false;
  }
  const auto recorded = RecordBasket(ctx_, Form());
  if (!recorded) {
    // Nothing was written: the basket stays for another try.
    ShowActionError(ctx_, recorded.error(), this);
    if (recorded.error().focus.isEmpty() || !findChild<QWidget*>(recorded.error().focus)) BackToCodeBox();
    return false;
  }
  last_receipt_ = recorded->receipt_number;
  ClearBasket();
  FillPickLists();
  QString done = QStringLiteral("结账完成：小票号 %1，合计 %2，找零 %3")
                     .arg(recorded->receipt_number, Money(recorded->total), Money(recorded->change));
  if (recorded->debt > 0) done += QStringLiteral("，欠款 %1").arg(Money(recorded->debt));
  Say(done, false);
  ctx_.notifier.Notify(kHintTitle, done);
  emit BasketRecorded(recorded->receipt_number);
  if (auto_print_->isChecked() ||
      ctx_.prompter.Confirm(QStringLiteral("结账完成，找零 %1。\n\n是否打印小票？").arg(Money(recorded->change)),
                            kHintTitle))
    PrintReceiptOf(recorded->receipt_number);
  BackToCodeBox();
  return true;
}

void CheckoutWindow::PrintReceiptOf(const QString& receipt_number) {
  const auto receipt = LoadBasketReceipt(ctx_, receipt_number);
  if (!receipt) {
    ShowActionError(ctx_, receipt.error(), this);
    return;
  }
  if (hooks_.print_receipt)
    hooks_.print_receipt(*receipt, this);
  else
    PrintBasketReceipt(*receipt, ctx_.prompter, this);
}

void CheckoutWindow::ReprintLast() {
  QString number = last_receipt_;
  if (number.isEmpty()) {
    const auto typed = ctx_.prompter.AskText(QStringLiteral("请输入要重打的小票号："), QStringLiteral("重打小票"));
    if (!typed || typed->trimmed().isEmpty()) {
      BackToCodeBox();
      return;
    }
    number = typed->trimmed();
  }
  PrintReceiptOf(number);
  BackToCodeBox();
}

bool CheckoutWindow::HoldCurrent() {
  ClosePicks();
  if (lines_.empty()) {
    Say(QStringLiteral("收银台中没有商品，无需挂单"), true);
    return false;
  }
  const auto held = HoldBasket(ctx_, Form());
  if (!held) {
    ShowActionError(ctx_, held.error(), this);
    BackToCodeBox();
    return false;
  }
  ClearBasket();
  Say(QStringLiteral("已挂单，取单请按 F9"), false);
  ctx_.notifier.Notify(kHintTitle, QStringLiteral("已挂单，取单请按 F9"));
  return true;
}

void CheckoutWindow::ChooseHeld() {
  ClosePicks();
  if (!lines_.empty()) {
    ctx_.ShowMessage(QStringLiteral("收银台中还有商品：请先结账，或按 F8 挂单，再取单。"), MessageKind::Information);
    BackToCodeBox();
    return;
  }
  const auto held = HeldBaskets(ctx_);
  if (!held) {
    ShowActionError(ctx_, held.error(), this);
    return;
  }
  if (held->empty()) {
    Say(QStringLiteral("没有挂起的单"), true);
    return;
  }
  HeldBasketsDialog dialog(*held, this);
  if (dialog.exec() == QDialog::Accepted)
    if (const auto id = dialog.Chosen()) RecallHeld(*id);
  BackToCodeBox();
}

bool CheckoutWindow::RecallHeld(qint64 held_id) {
  const auto recalled = RecallBasket(ctx_, held_id);
  if (!recalled) {
    ShowActionError(ctx_, recalled.error(), this);
    return false;
  }
  SetCheckout(recalled->checkout);
  Say(QStringLiteral("已取单：%1 种商品").arg(lines_.size()), false);
  if (!recalled->changes.isEmpty())
    ctx_.ShowMessage(
        QStringLiteral("挂单以后有变化，已按现在的价格和库存显示：\n\n") + recalled->changes.join(QLatin1Char('\n')),
        MessageKind::Information);
  BackToCodeBox();
  return true;
}

void CheckoutWindow::OpenReturn() {
  ClosePicks();
  ReturnDialog dialog(ctx_, this);
  if (dialog.exec() == QDialog::Accepted && dialog.Recorded()) {
    const RecordedBasket& r = *dialog.Recorded();
    const QString done =
        QStringLiteral("退货完成：退货单号 %1，退款 %2").arg(r.receipt_number, Money(std::abs(r.paid))) +
        (r.debt < -kTolerance ? QStringLiteral("，抵扣欠款 %1").arg(Money(-r.debt)) : QString());
    Say(done, false);
    ctx_.notifier.Notify(kHintTitle, done);
  }
  BackToCodeBox();
}

bool CheckoutWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  if (watched == code_) {
    if (IsEnter(key)) {
      if (code_->text().trimmed().isEmpty())
        CheckOut();
      else
        Scan(code_->text());
      return true;
    }
    const int rows = table_->rowCount();
    if ((key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) && rows > 0) {
      const int row = table_->currentRow() < 0 ? rows - 1 : table_->currentRow();
      table_->selectRow(std::clamp(row + (key->key() == Qt::Key_Up ? -1 : 1), 0, rows - 1));
      return true;
    }
    if (key->key() == Qt::Key_Delete && code_->text().isEmpty()) {
      RemoveCurrentLine();
      return true;
    }
    if ((key->key() == Qt::Key_F3 || key->key() == Qt::Key_F4) && table_->currentRow() >= 0) {
      table_->setFocus();
      table_->editItem(
          table_->item(table_->currentRow(), key->key() == Qt::Key_F3 ? kLineQuantityCol : kLineDiscountCol));
      return true;
    }
  } else if (watched == picks_) {
    if (IsEnter(key)) {
      TakePick();
      return true;
    }
    if (key->key() == Qt::Key_Escape) {
      ClosePicks();
      Say(QString(), false);
      return true;
    }
  } else if (watched == table_) {
    // An open editor takes its own keys: these reach the table only between edits.
    if (key->key() == Qt::Key_Delete) {
      RemoveCurrentLine();
      return true;
    }
    if ((key->key() == Qt::Key_F3 || key->key() == Qt::Key_F4) && table_->currentRow() >= 0) {
      table_->editItem(
          table_->item(table_->currentRow(), key->key() == Qt::Key_F3 ? kLineQuantityCol : kLineDiscountCol));
      return true;
    }
  } else if (watched == paid_) {
    // The paid amount is the last thing typed at a counter: Enter records.
    if (IsEnter(key)) {
      CheckOut();
      return true;
    }
  } else if (IsEnter(key)) {
    // From a customer box, back to scanning.
    BackToCodeBox();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void CheckoutWindow::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_F12:
      CheckOut();
      return;
    case Qt::Key_F8:
      HoldCurrent();
      return;
    case Qt::Key_F9:
      ChooseHeld();
      return;
    case Qt::Key_Escape:
      if (picks_->isVisible()) {
        ClosePicks();
        return;
      }
      close();
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // Never the dialog's default: Enter elsewhere goes back to the code box.
      BackToCodeBox();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

void CheckoutWindow::closeEvent(QCloseEvent* event) {
  if (!lines_.empty() &&
      !ctx_.prompter.Confirm(
          QStringLiteral("收银台中还有 %1 种未结账的商品，关闭后将被清空（如需保留请先按 F8 挂单）。\n\n"
                         "确定要关闭收银台吗？")
              .arg(lines_.size()),
          kWarningTitle, ConfirmDefault::Cancel)) {
    event->ignore();
    BackToCodeBox();
    return;
  }
  ClearBasket();
  Say(QString(), false);
  event->accept();
}

// ---- 取单 ----

HeldBasketsDialog::HeldBasketsDialog(const std::vector<HeldBasket>& held, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("取单窗口"));
  setWindowTitle(QStringLiteral("取单"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("选择要取回的挂单（↑↓ 选择，回车取单，Esc 返回）："), this));
  table_ = new QTableWidget(static_cast<int>(held.size()), 5, this);
  table_->setObjectName(QStringLiteral("挂单列表"));
  table_->setHorizontalHeaderLabels({QStringLiteral("挂单时间"), QStringLiteral("收银员"), QStringLiteral("商品"),
                                     QStringLiteral("件数"), QStringLiteral("合计金额")});
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
  for (int row = 0; row < static_cast<int>(held.size()); ++row) {
    const HeldBasket& h = held[static_cast<std::size_t>(row)];
    ids_.push_back(h.id);
    QStringList names;
    for (const BasketLine& line : h.checkout.lines) names << line.goods.name;
    const BasketTotals totals = TotalsOf(h.checkout.lines);
    const QString cells[] = {h.held_at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), h.user,
                             QStringLiteral("%1种：").arg(h.checkout.lines.size()) + names.join(QStringLiteral("、")),
                             NumberText(totals.pieces), Money(totals.total)};
    for (int c = 0; c < 5; ++c) table_->setItem(row, c, Cell(cells[c], false));
  }
  if (!held.empty()) table_->selectRow(0);
  layout->addWidget(table_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  auto* take = new QPushButton(QStringLiteral("取单"), this);
  take->setObjectName(QStringLiteral("取单确定按钮"));
  take->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("返回"), this);
  cancel->setAutoDefault(false);
  buttons->addWidget(take);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  connect(take, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(table_, &QTableWidget::cellDoubleClicked, this, &QDialog::accept);
  resize(640, 320);
  table_->setFocus();
}

std::optional<qint64> HeldBasketsDialog::Chosen() const {
  const int row = table_->currentRow();
  if (row < 0 || row >= static_cast<int>(ids_.size())) return std::nullopt;
  return ids_[static_cast<std::size_t>(row)];
}

// ---- 退货 ----

namespace {
enum ReturnColumn : int { kRetName, kRetModel, kRetCode, kRetSold, kRetReturned, kRetPrice, kRetQuantity, kRetCount };
}

ReturnDialog::ReturnDialog(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  setObjectName(QStringLiteral("退货窗口"));
  setWindowTitle(QStringLiteral("退货"));
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(QStringLiteral("小票号："), this));
  number_ = NamedLineEdit(QStringLiteral("退货小票号框"), this);
  number_->setPlaceholderText(QStringLiteral("输入或扫描小票号后回车"));
  top->addWidget(number_, 1);
  auto* find = new QPushButton(QStringLiteral("查询"), this);
  find->setObjectName(QStringLiteral("退货查询按钮"));
  find->setAutoDefault(false);
  top->addWidget(find);
  layout->addLayout(top);
  message_ = new QLabel(this);
  message_->setObjectName(QStringLiteral("退货提示"));
  message_->setWordWrap(true);
  layout->addWidget(message_);
  table_ = new QTableWidget(0, kRetCount, this);
  table_->setObjectName(QStringLiteral("退货商品列表"));
  table_->setHorizontalHeaderLabels({QStringLiteral("名称"), QStringLiteral("型号"), QStringLiteral("编码"),
                                     QStringLiteral("已售数量"), QStringLiteral("已退数量"), QStringLiteral("单价"),
                                     QStringLiteral("本次退货数量")});
  table_->setSelectionBehavior(QAbstractItemView::SelectItems);
  table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setSectionResizeMode(kRetName, QHeaderView::Stretch);
  // The figures get room to be read, not only their digits.
  table_->horizontalHeader()->setMinimumSectionSize(72);
  layout->addWidget(table_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  auto* confirm = new QPushButton(QStringLiteral("确认退货 (F12)"), this);
  confirm->setObjectName(QStringLiteral("确认退货按钮"));
  confirm->setAutoDefault(false);
  auto* cancel = new QPushButton(QStringLiteral("取消"), this);
  cancel->setAutoDefault(false);
  buttons->addWidget(confirm);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  connect(find, &QPushButton::clicked, this, [this] { LoadReceipt(number_->text()); });
  connect(number_, &QLineEdit::returnPressed, this, [this] { LoadReceipt(number_->text()); });
  connect(confirm, &QPushButton::clicked, this, [this] { Confirm(); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  resize(760, 380);
}

bool ReturnDialog::LoadReceipt(const QString& typed) {
  const QString number = typed.trimmed();
  table_->setRowCount(0);
  lines_.clear();
  loaded_.clear();
  if (number.isEmpty()) {
    message_->setText(QStringLiteral("请输入小票号"));
    return false;
  }
  const auto lines = ReturnableLines(ctx_, number);
  if (!lines) {
    ShowActionError(ctx_, lines.error(), this);
    number_->setFocus();
    return false;
  }
  lines_ = *lines;
  loaded_ = number;
  table_->setRowCount(static_cast<int>(lines_.size()));
  for (int row = 0; row < static_cast<int>(lines_.size()); ++row) {
    const ReturnableLine& l = lines_[static_cast<std::size_t>(row)];
    const QString cells[kRetCount] = {
        l.name, l.model, l.code, NumberText(l.sold), NumberText(l.returned), NumberText(l.price), QString()};
    for (int c = 0; c < kRetCount; ++c) table_->setItem(row, c, Cell(cells[c], c == kRetQuantity));
  }
  message_->setText(QStringLiteral("小票 %1 共 %2 行：在“本次退货数量”一栏填写退回的数量，再按“确认退货”")
                        .arg(number)
                        .arg(lines_.size()));
  if (!lines_.empty()) {
    table_->setCurrentCell(0, kRetQuantity);
    table_->setFocus();
  }
  return true;
}

void ReturnDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F12) {
    Confirm();
    return;
  }
  QDialog::keyPressEvent(event);
}

bool ReturnDialog::Confirm() {
  // A quantity still being typed in its cell (F12 pressed in the editor) is taken as
  // shown: the editor hands its text to the cell as it loses the focus.
  table_->setFocus();
  if (loaded_.isEmpty()) {
    ctx_.ShowMessage(QStringLiteral("请先输入小票号并查询"), MessageKind::Information);
    number_->setFocus();
    return false;
  }
  std::vector<ReturnRequest> requests;
  for (int row = 0; row < static_cast<int>(lines_.size()); ++row) {
    const QString text = table_->item(row, kRetQuantity)->text().trimmed();
    if (text.isEmpty()) continue;
    const auto q = ParseNumber(text);
    if (!q || *q <= 0) {
      ctx_.ShowMessage(QStringLiteral("第%1行 %2 的退货数量必须是大于0的数字")
                           .arg(row + 1)
                           .arg(lines_[static_cast<std::size_t>(row)].name),
                       MessageKind::Exclamation);
      table_->setCurrentCell(row, kRetQuantity);
      return false;
    }
    requests.push_back({lines_[static_cast<std::size_t>(row)].sale_id, *q});
  }
  if (requests.empty()) {
    ctx_.ShowMessage(QStringLiteral("请在“本次退货数量”一栏填写要退回的数量"), MessageKind::Information);
    return false;
  }
  const auto recorded = RecordReturn(ctx_, loaded_, requests);
  if (!recorded) {
    ShowActionError(ctx_, recorded.error(), this);
    return false;
  }
  recorded_ = *recorded;
  accept();
  return true;
}

}  // namespace hemulu
