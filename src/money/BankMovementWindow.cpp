#include "money/BankMovementWindow.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "money/MoneyLists.h"
#include "ui/NamedWidgets.h"
#include "ui/ShowActionError.h"

namespace hemulu {

namespace {
const QString kTitle = QStringLiteral("新建存取操作");
}

BankMovementWindow::BankMovementWindow(AppContext& ctx, QWidget* owner) : QDialog(owner), ctx_(ctx) {
  BuildControls();
  kind_->setCurrentIndex(0);
  bank_->setFocus();
}

BankMovementWindow::BankMovementWindow(AppContext& ctx, const BankMovement& movement, QWidget* owner)
    : QDialog(owner), ctx_(ctx), id_(movement.id) {
  BuildControls();
  const BankForm shown = ChangeFormOf(movement);
  kind_->setCurrentIndex(shown.kind_index);  // -1: a kind outside the four selects nothing
  bank_->setEditText(shown.bank);
  account_->setEditText(shown.account);
  amount_->setText(shown.amount);
  if (shown.date.isValid()) date_->setDate(shown.date);
  note_->setText(shown.note);
  setWindowTitle(windowTitle() + QLatin1Char(' ') + QString::number(id_));
  amount_->setFocus();
}

void BankMovementWindow::BuildControls() {
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  setWindowTitle(kTitle);
  kind_ = new QComboBox(this);
  kind_->setObjectName(QStringLiteral("类型组合框"));
  for (const QString& kind : MovementKinds()) kind_->addItem(kind);
  bank_ = EditableList(QStringLiteral("名称组合框"), this);
  account_ = EditableList(QStringLiteral("账户组合框"), this);
  // An unreadable database shows when saving; the lists stay empty meanwhile.
  FillComboKeepingText(bank_, BankPickValues(ctx_, BankPick::Bank).value_or(QStringList()));
  FillComboKeepingText(account_, BankPickValues(ctx_, BankPick::Account).value_or(QStringList()));
  amount_ = NamedLineEdit(QStringLiteral("金额框"), this);
  date_ = NamedDateEdit(QStringLiteral("日期框1"), ctx_.clock.Now().date(), this);
  note_ = NamedLineEdit(QStringLiteral("备注框"), this);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("存取类型："), kind_);
  form->addRow(QStringLiteral("银行名称："), bank_);
  form->addRow(QStringLiteral("账    户："), account_);
  form->addRow(QStringLiteral("金    额："), amount_);
  form->addRow(QStringLiteral("入库日期："), date_);
  form->addRow(QStringLiteral("备注信息："), note_);
  save_ = new QPushButton(QStringLiteral("保存"), this);
  save_->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(save_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(buttons);
  setMinimumWidth(320);
  connect(save_, &QPushButton::clicked, this, &BankMovementWindow::Save);
}

BankForm BankMovementWindow::ReadForm() const {
  BankForm f;
  f.kind_index = kind_->currentIndex();
  f.bank = bank_->currentText();
  f.account = account_->currentText();
  f.amount = amount_->text();
  f.date = date_->date();
  f.note = note_->text();
  return f;
}

void BankMovementWindow::Save() {
  const BankForm form = ReadForm();
  if (auto problem = ValidateBankForm(form)) {
    ctx_.prompter.Message(problem->message, kFillInTitle, MessageKind::Information);
    if (problem->field == BankFormField::Bank)
      bank_->setFocus();
    else
      amount_->setFocus();
    return;
  }
  if (id_ == 0) {
    if (auto id = InsertBankMovement(ctx_, form); !id) {
      ctx_.ReportWriteError(id.error());  // the window stays open with what was typed
      return;
    }
    ctx_.notifier.Notify(kHintTitle, QStringLiteral("存取存款完成"));
  } else {
    if (auto done = UpdateBankMovement(ctx_, id_, form); !done) {
      ShowActionError(ctx_, done.error());
      return;
    }
    ctx_.notifier.Notify(kHintTitle, QStringLiteral("修改存款完成"));
  }
  emit MovementSaved();
  close();
}

}  // namespace hemulu
