#pragma once
// A customer's statement "对账单": every sale on credit and every repayment in date
// order with the running balance; printed, exported, and (for 超级管理员) the place
// where a repayment is undone.

#include <QDialog>

#include "sales/DebtsLogic.h"

class QLabel;
class QPushButton;

namespace hemulu {

class ColumnShares;
class Grid;

// Columns of the statement grid.
inline constexpr int kStatementIdCol = 1;  // hidden: the sale's or repayment's ID
inline constexpr int kStatementDateCol = 2;
inline constexpr int kStatementKindCol = 3;
inline constexpr int kStatementDetailCol = 4;
inline constexpr int kStatementChargedCol = 5;
inline constexpr int kStatementPaidCol = 6;
inline constexpr int kStatementBalanceCol = 7;

class StatementWindow : public QDialog {
  Q_OBJECT

 public:
  StatementWindow(AppContext& ctx, const DebtCustomer& customer, QWidget* owner);

  // Reads the statement again; false when the read failed (reported, the rows stay).
  bool Refill();
  // Undoes the repayment of the chosen row, after asking.
  void UndoChosen();
  void Export();
  void Print();

  Grid* StatementGrid() const { return grid_; }
  // The balance the statement ends with.
  double Balance() const { return balance_; }

 signals:
  // A repayment was undone: the sales and perhaps the bank changed.
  void RepaymentUndone();

 private:
  AppContext& ctx_;
  DebtCustomer customer_;
  Grid* grid_ = nullptr;
  ColumnShares* shares_ = nullptr;
  QLabel* balance_label_ = nullptr;
  QPushButton* undo_ = nullptr;
  std::vector<StatementLine> lines_;
  double balance_ = 0;
};

}  // namespace hemulu
