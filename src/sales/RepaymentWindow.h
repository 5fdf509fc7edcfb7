#pragma once
// The repayment window "收款": a customer's repayment (amount, date, method, note), by
// bank perhaps also a deposit in the bank page. Modal; closes once it is recorded.

#include <QDialog>

#include "sales/DebtsLogic.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;

namespace hemulu {

class RepaymentWindow : public QDialog {
  Q_OBJECT

 public:
  RepaymentWindow(AppContext& ctx, const DebtCustomer& customer, QWidget* owner);

  // The repayment recorded, or 0.
  qint64 RecordedId() const { return recorded_; }
  // Whether it went into the bank as well.
  bool Deposited() const { return deposited_; }

  RepaymentForm ReadForm() const;
  void Save();

 private:
  void FollowMethod();

  AppContext& ctx_;
  DebtCustomer customer_;
  QLabel* owed_ = nullptr;
  QLineEdit* amount_ = nullptr;
  QDateEdit* date_ = nullptr;
  QComboBox* method_ = nullptr;
  QLineEdit* note_ = nullptr;
  QCheckBox* to_bank_ = nullptr;
  QComboBox* bank_ = nullptr;
  QComboBox* account_ = nullptr;
  qint64 recorded_ = 0;
  bool deposited_ = false;
};

}  // namespace hemulu
