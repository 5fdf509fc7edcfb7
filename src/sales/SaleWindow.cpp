#include "sales/SaleWindow.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "data/TextFormat.h"
#include "ui/NamedWidgets.h"

namespace hemulu {

StepButtons::StepButtons(const QString& name, QWidget* parent) : QWidget(parent) {
  setObjectName(name);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  up_ = new QToolButton(this);
  up_->setArrowType(Qt::UpArrow);
  down_ = new QToolButton(this);
  down_->setArrowType(Qt::DownArrow);
  for (QToolButton* b : {up_, down_}) {
    b->setFixedSize(18, 12);
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoRepeat(true);
    layout->addWidget(b);
  }
  connect(up_, &QToolButton::clicked, this, [this] { emit Stepped(true); });
  connect(down_, &QToolButton::clicked, this, [this] { emit Stepped(false); });
}

SaleWindow* SaleWindow::Open(AppContext& ctx, qint64 goods_id, QWidget* owner) {
  const auto goods = LoadSaleGoods(ctx, goods_id);
  if (!goods) {
    ShowActionError(ctx, goods.error());
    return nullptr;
  }
  auto* w = new SaleWindow(ctx, *goods, owner);
  w->show();
  w->raise();
  w->activateWindow();
  return w;
}

SaleWindow::SaleWindow(AppContext& ctx, const SaleGoods& goods, QWidget* owner)
    : QDialog(owner), ctx_(ctx), goods_id_(goods.id) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowModality(Qt::ApplicationModal);
  setWindowTitle(QStringLiteral("商品销售"));
  BuildControls();
  FillFrom(goods);
  // Watched only now: filling the window is no change of the user's.
  const auto changed = [this] { changed_ = true; };
  for (QLineEdit* box : {price_, discount_, quantity_, amount_, debt_, customer_number_, contact_, note_})
    connect(box, &QLineEdit::textEdited, this, changed);
  for (QComboBox* list : {customer_name_, address_}) {
    connect(list->lineEdit(), &QLineEdit::textEdited, this, changed);
    connect(list, &QComboBox::activated, this, changed);
  }
  connect(date_, &QDateEdit::dateChanged, this, changed);
}

void SaleWindow::BuildControls() {
  auto* form = new QGridLayout(this);
  form->setHorizontalSpacing(6);
  form->setVerticalSpacing(6);
  int row = 0;
  const auto label = [this](const QString& name) {
    auto* l = new QLabel(this);
    l->setObjectName(name);
    l->setMinimumWidth(160);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
  };
  const auto box = [this](const QString& name) {
    auto* b = new QLineEdit(this);
    b->setObjectName(name);
    // White boxes, whatever the skin paints around them.
    b->setStyleSheet(QStringLiteral("QLineEdit { background: #FFFFFF; }"));
    return b;
  };
  const auto combo = [this](const QString& name) { return NamedComboBox(name, this); };
  const auto add = [&](const QString& caption, QWidget* w, QWidget* extra = nullptr) {
    form->addWidget(new QLabel(caption, this), row, 0, Qt::AlignRight);
    if (extra) {
      auto* line = new QHBoxLayout;
      line->setSpacing(3);
      line->addWidget(w, 1);
      line->addWidget(extra);
      form->addLayout(line, row, 1);
    } else {
      form->addWidget(w, row, 1);
    }
    ++row;
  };

  name_ = label(QStringLiteral("名称标签"));
  model_ = label(QStringLiteral("型号标签"));
  code_ = label(QStringLiteral("编码标签"));
  category_ = label(QStringLiteral("类型标签"));
  suggested_ = label(QStringLiteral("销售单价标签"));
  price_ = box(QStringLiteral("实际零售价框"));
  discount_ = box(QStringLiteral("打折框"));
  discount_->setText(QStringLiteral("100"));
  discount_steps_ = new StepButtons(QStringLiteral("调节器1"), this);
  stock_ = box(QStringLiteral("库存框"));
  stock_->setReadOnly(true);
  stock_->setFocusPolicy(Qt::ClickFocus);
  quantity_ = box(kSaleQuantityBox);
  quantity_->setText(QStringLiteral("1"));
  quantity_steps_ = new StepButtons(QStringLiteral("调节器2"), this);
  amount_ = box(QStringLiteral("销售金额框"));
  debt_ = box(QStringLiteral("欠款金额框"));
  date_ = NamedDateEdit(QStringLiteral("日期框1"), QDate(), this);
  customer_number_ = box(QStringLiteral("客户编号框"));
  customer_name_ = combo(QStringLiteral("客户姓名框"));
  contact_ = box(QStringLiteral("联系方式框"));
  address_ = combo(QStringLiteral("客户地址框"));
  note_ = box(QStringLiteral("备注框"));
  confirm_ = new QPushButton(QStringLiteral("确认销售"), this);
  confirm_->setObjectName(QStringLiteral("按钮1"));
  confirm_->setDefault(true);

  auto* discount_line = new QWidget(this);
  {
    auto* l = new QHBoxLayout(discount_line);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(3);
    l->addWidget(discount_steps_);
    l->addWidget(new QLabel(QStringLiteral("折"), discount_line));
  }
  add(QStringLiteral("商品名称："), name_);
  add(QStringLiteral("商品型号："), model_);
  add(QStringLiteral("商品编码："), code_);
  add(QStringLiteral("    类型："), category_);
  add(QStringLiteral("建议售价："), suggested_);
  add(QStringLiteral("实际零售价："), price_);
  add(QStringLiteral("打折："), discount_, discount_line);
  add(QStringLiteral("库存数量："), stock_);
  add(QStringLiteral("销售数量："), quantity_, quantity_steps_);
  add(QStringLiteral("销售金额："), amount_);
  add(QStringLiteral("欠款金额："), debt_);
  add(QStringLiteral("销售日期："), date_);
  auto* hint = new QLabel(QStringLiteral("打印单据必须"), this);
  hint->setStyleSheet(QStringLiteral("color: #C00000;"));
  add(QStringLiteral("客户编号："), customer_number_, hint);
  add(QStringLiteral("客户姓名："), customer_name_);
  add(QStringLiteral("联系方式："), contact_);
  add(QStringLiteral("客户地址："), address_);
  add(QStringLiteral("    备注："), note_);
  form->addWidget(confirm_, row, 0, 1, 2, Qt::AlignHCenter);
  form->setColumnMinimumWidth(1, 220);

  connect(price_, &QLineEdit::textChanged, this, &SaleWindow::OnPriceChanged);
  connect(quantity_, &QLineEdit::textChanged, this, &SaleWindow::OnQuantityChanged);
  connect(discount_, &QLineEdit::textChanged, this, &SaleWindow::OnDiscountChanged);
  connect(discount_steps_, &StepButtons::Stepped, this, &SaleWindow::StepDiscount);
  connect(quantity_steps_, &StepButtons::Stepped, this, &SaleWindow::StepQuantity);
  connect(confirm_, &QPushButton::clicked, this, &SaleWindow::ConfirmSale);
  // The arrow keys in the two boxes work their arrows.
  discount_->installEventFilter(this);
  quantity_->installEventFilter(this);
}

void SaleWindow::FillFrom(const SaleGoods& goods) {
  name_->setText(goods.name);
  model_->setText(goods.model);
  code_->setText(goods.code);
  category_->setText(goods.category);
  suggested_->setText(NumberText(goods.sell_price));
  price_->setText(NumberText(goods.sell_price));
  // The stored stock, not the list's: the list may be older than the last sale.
  stock_->setText(NumberText(goods.stock));

  const QDateTime now = ctx_.clock.Now();
  date_->setDate(now.date());
  customer_number_->setText(CustomerNumber(now));
  std::optional<DbError> failure;
  for (auto [list, values] :
       {std::pair{customer_name_, CustomerNameValues(ctx_)}, std::pair{address_, CustomerAddressValues(ctx_)}}) {
    if (!values && !failure) failure = values.error();
    const QSignalBlocker block(list);
    list->clear();
    list->addItems(values.value_or(QStringList()));
    list->setCurrentIndex(-1);
    list->setEditText(QString());
  }
  // The sale can still be made with typed names; the user hears once why the lists are empty.
  if (failure) ctx_.ReportReadFailure(*failure);
  if (NumberValue(quantity_->text()) - NumberValue(stock_->text()) > kTolerance) quantity_->setText(stock_->text());
  price_->setFocus();
}

void SaleWindow::SetAmount() {
  amount_->setText(NumberText(NumberValue(price_->text()) * NumberValue(quantity_->text())));
}

void SaleWindow::OnPriceChanged() { SetAmount(); }

void SaleWindow::OnQuantityChanged() {
  const double q = NumberValue(quantity_->text());
  const double clamped = ClampToStock(q, NumberValue(stock_->text()));
  if (clamped != q) {
    quantity_->setText(stock_->text());  // runs this rule again with the stock figure
    return;
  }
  SetAmount();
}

void SaleWindow::OnDiscountChanged() {
  price_->setText(NumberText(DiscountedPrice(NumberValue(suggested_->text()), NumberValue(discount_->text()))));
}

void SaleWindow::StepDiscount(bool up) {
  changed_ = true;
  const double d = DiscountStep(NumberValue(discount_->text()), up);
  const QSignalBlocker block(discount_);  // the price is set once, below
  discount_->setText(NumberText(d));
  OnDiscountChanged();
}

void SaleWindow::StepQuantity(bool up) {
  changed_ = true;
  const double q = QuantityStep(NumberValue(quantity_->text()), NumberValue(stock_->text()), up);
  const QSignalBlocker block(quantity_);
  quantity_->setText(NumberText(q));
  SetAmount();
}

bool SaleWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && (watched == discount_ || watched == quantity_)) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
      if (watched == discount_)
        StepDiscount(key == Qt::Key_Up);
      else
        StepQuantity(key == Qt::Key_Up);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

// A scanner's Enter right after the window opens sells at once, as "确认销售" does. Once
// the user has changed a box, Enter moves on to the next box so that the sale is looked
// over first; on "确认销售" (which clicks itself) and on the last box it sells.
void SaleWindow::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (!enter || (event->modifiers() & ~Qt::KeypadModifier)) {
    QDialog::keyPressEvent(event);
    return;
  }
  event->accept();
  if (!changed_ || focusWidget() == note_ || focusWidget() == confirm_)
    ConfirmSale();
  else
    focusNextChild();
}

void SaleWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Where no window manager places it, start level with the owner's middle.
  if (QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr; owner && !placed_) {
    const QRect main = owner->geometry();
    move(x(), std::max(main.y(), main.y() + (main.height() - height()) / 2));
  }
  placed_ = true;
  PlaceAgainstOwner();
}

void SaleWindow::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  PlaceAgainstOwner();
}

void SaleWindow::PlaceAgainstOwner() {
  QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
  if (!owner) return;
  const QRect main = owner->geometry();
  move(main.x() + main.width() - width() - 6, y());
}

SaleForm SaleWindow::Form() const {
  SaleForm f;
  f.name = name_->text();
  f.model = model_->text();
  f.code = code_->text();
  f.category = category_->text();
  f.shown_stock = stock_->text();
  f.actual_price = price_->text();
  f.quantity = quantity_->text();
  f.amount = amount_->text();
  f.debt = debt_->text();
  f.date = date_->date();
  f.customer_number = customer_number_->text();
  f.customer_name = customer_name_->currentText();
  f.contact = contact_->text();
  f.address = address_->currentText();
  f.note = note_->text();
  return f;
}

void SaleWindow::ConfirmSale() {
  const auto sale = RecordSale(ctx_, goods_id_, Form());
  if (!sale) {
    // Nothing was written: the window stays open with its values for another try.
    ShowActionError(ctx_, sale.error(), this);
    return;
  }
  ctx_.notifier.Notify(kHintTitle, QStringLiteral("销售商品完成"));
  emit SaleRecorded(*sale, goods_id_);
  close();
}

}  // namespace hemulu
