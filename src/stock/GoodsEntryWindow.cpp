#include "stock/GoodsEntryWindow.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "data/TextFormat.h"
#include "stock/NameInitials.h"
#include "ui/NamedWidgets.h"

namespace hemulu {

namespace {

// A number box with its up/down control ("调节器"), which steps the value by one.
QWidget* NumberBox(const QString& box_name, const QString& spin_name, QLineEdit** box, QWidget* parent) {
  auto* row = new QWidget(parent);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(1);
  *box = new QLineEdit(row);
  (*box)->setObjectName(box_name);
  auto* spin = new QWidget(row);
  spin->setObjectName(spin_name);
  auto* spin_layout = new QVBoxLayout(spin);
  spin_layout->setContentsMargins(0, 0, 0, 0);
  spin_layout->setSpacing(0);
  QLineEdit* edit = *box;
  for (int step : {1, -1}) {
    auto* button = new QToolButton(spin);
    button->setArrowType(step > 0 ? Qt::UpArrow : Qt::DownArrow);
    button->setFixedSize(18, 11);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRepeat(true);
    QObject::connect(button, &QToolButton::clicked, edit, [edit, step] {
      const double v = std::max(0.0, NumberValue(edit->text()) + step);
      edit->setText(NumberText(v));
    });
    spin_layout->addWidget(button);
  }
  layout->addWidget(*box, 1);
  layout->addWidget(spin);
  return row;
}

}  // namespace

void FillPickList(AppContext& ctx, PickField field, QComboBox* list) {
  const QString typed = list->currentText();
  const QSignalBlocker block(list);
  list->clear();
  list->addItems(PickListValues(ctx, field).value_or(QStringList()));
  list->setCurrentIndex(-1);
  list->setEditText(typed);
}

GoodsEntryWindow::GoodsEntryWindow(AppContext& ctx, Mode mode, qint64 goods_id, QWidget* owner)
    : QDialog(owner), ctx_(ctx), mode_(mode), goods_id_(mode == Mode::NewGoods ? 0 : goods_id) {
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  setWindowTitle(mode == Mode::Restock ? QStringLiteral("商品续存") : QStringLiteral("新建入库"));
  BuildControls();
  FillPickLists();
  date_->setDate(ctx_.clock.Now().date());

  if (mode_ != Mode::NewGoods) {
    const auto record = LoadGoods(ctx_, goods_id_);
    if (record && *record) {
      LoadRecord(**record);
    } else {
      if (!record && record.error().Unavailable()) ctx_.ReportDatabaseUnavailable(record.error().message);
      goods_id_ = 0;  // nothing to restock or edit; Save reports it
    }
  }
  if (mode_ == Mode::Restock) {
    // A restock takes this delivery's quantity, price and supplier (offered as the
    // row's own); the goods themselves are not changed here.
    for (QWidget* w : std::initializer_list<QWidget*>{category_, name_, model_, code_, sell_price_, note_, date_})
      w->setEnabled(false);
    findChild<QWidget*>(QStringLiteral("销售单价调节器"))->setEnabled(false);
    clear_->setEnabled(false);
    quantity_->setFocus();
  } else {
    category_->setFocus();
  }
}

void GoodsEntryWindow::BuildControls() {
  auto* form = new QFormLayout;
  category_ = NamedComboBox(QStringLiteral("类别组合框"), this);
  name_ = NamedComboBox(QStringLiteral("名称组合框"), this);
  model_ = NamedComboBox(QStringLiteral("型号组合框"), this);
  code_ = NamedComboBox(QStringLiteral("编码组合框"), this);
  date_ = NamedDateEdit(QStringLiteral("日期框1"), QDate(), this);
  supplier_ = NamedComboBox(QStringLiteral("供货商框"), this);
  note_ = new QPlainTextEdit(this);
  note_->setObjectName(QStringLiteral("备注框"));
  note_->setTabChangesFocus(true);
  note_->setFixedHeight(60);

  form->addRow(QStringLiteral("类    别："), category_);
  form->addRow(QStringLiteral("商品名称："), name_);
  form->addRow(QStringLiteral("规格型号："), model_);
  form->addRow(QStringLiteral("商品编码："), code_);
  form->addRow(QStringLiteral("入库日期："), date_);
  form->addRow(QStringLiteral("进货单价："),
               NumberBox(QStringLiteral("进货单价框"), QStringLiteral("进货单价调节器"), &buy_price_, this));
  form->addRow(QStringLiteral("数    量："),
               NumberBox(QStringLiteral("数量框"), QStringLiteral("数量调节器"), &quantity_, this));
  form->addRow(QStringLiteral("销售单价："),
               NumberBox(QStringLiteral("销售单价框"), QStringLiteral("销售单价调节器"), &sell_price_, this));
  form->addRow(QStringLiteral("供 货 商："), supplier_);
  form->addRow(QStringLiteral("备注信息："), note_);

  save_ = new QPushButton(mode_ == Mode::Edit ? QStringLiteral("确认修改") : QStringLiteral("确认入库"), this);
  save_->setDefault(true);
  clear_ = new QPushButton(QStringLiteral("清空"), this);
  clear_->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  if (mode_ == Mode::Edit) {
    auto* warning = new QLabel(QStringLiteral("数据修改需谨慎"), this);
    warning->setStyleSheet(QStringLiteral("color: #c00000;"));
    buttons->addWidget(warning);
  }
  buttons->addStretch();
  buttons->addWidget(save_);
  buttons->addWidget(clear_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(buttons);
  // Tab goes down the form as it reads; the number boxes were made after the supplier
  // and the note, and Tab from the date jumped to the supplier.
  QWidget* const order[] = {category_, name_,       model_,    code_, date_, buy_price_,
                            quantity_, sell_price_, supplier_, note_, save_, clear_};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

  connect(save_, &QPushButton::clicked, this, &GoodsEntryWindow::Save);
  connect(clear_, &QPushButton::clicked, this, &GoodsEntryWindow::ClearBoxes);
  // Typing (not picking) a name or model proposes the code from their initials.
  connect(name_->lineEdit(), &QLineEdit::textEdited, this, &GoodsEntryWindow::UpdateCodeFromName);
  connect(model_->lineEdit(), &QLineEdit::textEdited, this, &GoodsEntryWindow::UpdateCodeFromName);
}

void GoodsEntryWindow::FillPickLists() {
  FillPickList(ctx_, PickField::Category, category_);
  FillPickList(ctx_, PickField::Name, name_);
  FillPickList(ctx_, PickField::Model, model_);
  FillPickList(ctx_, PickField::Code, code_);
  FillPickList(ctx_, PickField::Supplier, supplier_);
}

void GoodsEntryWindow::LoadRecord(const GoodsRecord& r) {
  category_->setEditText(r.category);
  name_->setEditText(r.name);
  model_->setEditText(r.model);
  code_->setEditText(r.code);
  buy_price_->setText(NumberText(r.buy_price));
  sell_price_->setText(NumberText(r.sell_price));
  supplier_->setEditText(r.supplier);
  if (r.date.isValid()) date_->setDate(r.date.date());
  sold_at_open_ = r.sold;
  if (mode_ == Mode::Edit) {
    quantity_->setText(NumberText(r.bought));
    note_->setPlainText(r.note);
  }
}

void GoodsEntryWindow::UpdateCodeFromName() {
  code_->setEditText(NameInitials(name_->currentText()) + NameInitials(model_->currentText()));
}

GoodsForm GoodsEntryWindow::ReadForm() const {
  GoodsForm f;
  f.category = category_->currentText();
  f.name = name_->currentText();
  f.model = model_->currentText();
  f.code = code_->currentText();
  f.supplier = supplier_->currentText();
  f.note = note_->toPlainText();
  f.buy_price = buy_price_->text();
  f.quantity = quantity_->text();
  f.sell_price = sell_price_->text();
  f.date = date_->date();
  return f;
}

QWidget* GoodsEntryWindow::ControlFor(GoodsFormField field) const {
  switch (field) {
    case GoodsFormField::Category:
      return category_;
    case GoodsFormField::Name:
      return name_;
    case GoodsFormField::Code:
      return code_;
    case GoodsFormField::BuyPrice:
      return buy_price_;
    case GoodsFormField::Quantity:
      return quantity_;
    case GoodsFormField::SellPrice:
      return sell_price_;
    case GoodsFormField::Model:
      return model_;
    case GoodsFormField::Supplier:
      return supplier_;
    case GoodsFormField::Note:
      return note_;
  }
  return category_;
}

void GoodsEntryWindow::ShowProblem(const QString& message, QWidget* focus) {
  ctx_.prompter.Message(message, kFillInTitle, MessageKind::Information);
  if (focus) focus->setFocus();
}

void GoodsEntryWindow::ClearBoxes() {
  for (QComboBox* box : {category_, name_, model_, code_, supplier_}) box->setEditText(QString());
  for (QLineEdit* box : {buy_price_, quantity_, sell_price_}) box->clear();
  note_->clear();
}

void GoodsEntryWindow::FinishChange(const std::expected<void, ActionError>& done, const QString& notice) {
  if (!done) {
    ShowActionError(ctx_, done.error(), this);
    return;
  }
  emit GoodsSaved();
  ctx_.notifier.Notify(kHintTitle, notice);
  close();
}

void GoodsEntryWindow::Save() {
  const GoodsForm form = ReadForm();
  if (auto problem = ValidateGoodsForm(form)) {
    ShowProblem(problem->message, ControlFor(problem->field));
    return;
  }
  if (mode_ != Mode::NewGoods && goods_id_ <= 0) {
    ctx_.ShowMessage(kGoodsGoneMessage, MessageKind::Stop);
    return;
  }

  switch (mode_) {
    case Mode::NewGoods: {
      auto id = InsertNewGoods(ctx_, form);
      if (!id) {
        ctx_.ReportWriteError(id.error());
        return;
      }
      ClearBoxes();
      emit GoodsSaved();
      FillPickLists();
      ctx_.notifier.Notify(kHintTitle, QStringLiteral("新建入库完成"));
      category_->setFocus();
      return;
    }
    case Mode::Restock:
      FinishChange(
          RestockGoods(ctx_, goods_id_, NumberValue(form.quantity), NumberValue(form.buy_price), form.supplier),
          QStringLiteral("续存商品完成"));
      return;
    case Mode::Edit:
      FinishChange(UpdateGoods(ctx_, goods_id_, form, sold_at_open_), QStringLiteral("修改商品完成"));
      return;
  }
}

}  // namespace hemulu
