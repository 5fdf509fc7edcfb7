#include "sales/RepaymentWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "data/TextFormat.h"
#include "ui/NamedWidgets.h"
#include "ui/ShowActionError.h"

namespace hemulu {

RepaymentWindow::RepaymentWindow(AppContext& ctx, const DebtCustomer& customer, QWidget* owner)
    : QDialog(owner), ctx_(ctx), customer_(customer) {
  setWindowTitle(QStringLiteral("收款 - ") + ShownCustomerName(customer.name));
  setObjectName(QStringLiteral("收款窗口"));
  auto* name = new QLabel(ShownCustomerName(customer.name) +
                              (customer.contact.isEmpty() ? QString() : QStringLiteral("  ") + customer.contact),
                          this);
  name->setObjectName(QStringLiteral("收款客户标签"));
  owed_ = new QLabel(this);
  owed_->setObjectName(QStringLiteral("收款欠款标签"));
  if (auto owed = OwedBy(ctx_, customer_))
    owed_->setText(NumberText(*owed) + QStringLiteral(" 元"));
  else
    owed_->setText(QStringLiteral("读取失败"));
  amount_ = NamedLineEdit(kRepaymentAmountBox, this);
  date_ = NamedDateEdit(QStringLiteral("收款日期框"), ctx_.clock.Now().date(), this);
  // One of the three methods, never typed.
  method_ = new QComboBox(this);
  method_->setObjectName(QStringLiteral("收款方式框"));
  method_->addItems(RepaymentMethods());
  note_ = NamedLineEdit(QStringLiteral("收款备注框"), this);
  to_bank_ = new QCheckBox(QStringLiteral("同时记入存款管理（存款）"), this);
  to_bank_->setObjectName(QStringLiteral("收款存入银行框"));
  bank_ = EditableList(kRepaymentBankBox, this);
  account_ = EditableList(QStringLiteral("收款账户框"), this);
  // An unreadable database shows when saving; the lists stay empty meanwhile.
  FillComboKeepingText(bank_, DepositBankValues(ctx_, false).value_or(QStringList()));
  FillComboKeepingText(account_, DepositBankValues(ctx_, true).value_or(QStringList()));
  bank_->setEditText(QString());
  account_->setEditText(QString());

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("客户名称："), name);
  form->addRow(QStringLiteral("共欠款："), owed_);
  form->addRow(QStringLiteral("收款金额："), amount_);
  form->addRow(QStringLiteral("收款日期："), date_);
  form->addRow(QStringLiteral("收款方式："), method_);
  form->addRow(QStringLiteral("备注信息："), note_);
  form->addRow(QString(), to_bank_);
  form->addRow(QStringLiteral("银行名称："), bank_);
  form->addRow(QStringLiteral("账    户："), account_);
  auto* save = new QPushButton(QStringLiteral("确定收款"), this);
  save->setObjectName(QStringLiteral("收款确定按钮"));
  save->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("取消"), this);
  cancel->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(save);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(buttons);
  setMinimumWidth(360);
  connect(save, &QPushButton::clicked, this, &RepaymentWindow::Save);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(method_, &QComboBox::currentIndexChanged, this, &RepaymentWindow::FollowMethod);
  connect(to_bank_, &QCheckBox::toggled, this, &RepaymentWindow::FollowMethod);
  FollowMethod();
  amount_->setFocus();
}

void RepaymentWindow::FollowMethod() {
  // Only money paid into the bank can go into the bank page.
  const bool bank = method_->currentText() == kBankMethod;
  to_bank_->setEnabled(bank);
  if (!bank) to_bank_->setChecked(false);
  bank_->setEnabled(to_bank_->isChecked());
  account_->setEnabled(to_bank_->isChecked());
}

RepaymentForm RepaymentWindow::ReadForm() const {
  RepaymentForm f;
  f.customer = customer_;
  f.amount = amount_->text();
  f.date = date_->date();
  f.method = method_->currentText();
  f.note = note_->text();
  f.to_bank = to_bank_->isChecked();
  f.bank = bank_->currentText();
  f.account = account_->currentText();
  return f;
}

void RepaymentWindow::Save() {
  const RepaymentForm form = ReadForm();
  auto id = RecordRepayment(ctx_, form);
  if (!id) {
    // The window stays open with what was typed.
    ShowActionError(ctx_, id.error(), this);
    return;
  }
  recorded_ = *id;
  deposited_ = form.to_bank && form.method == kBankMethod;
  ctx_.notifier.Notify(kHintTitle, QStringLiteral("收款完成"));
  accept();
}

}  // namespace hemulu
