#pragma once
// The sales page's view of customer debts "客户欠款": one row per customer who owes,
// most owed first, with the repayment window, the statement, print and export.

#include <QWidget>
#include <functional>

#include "lists/ListFill.h"
#include "sales/DebtsLogic.h"

class QLineEdit;

namespace hemulu {

class ColumnShares;
class Grid;

class DebtorsView : public QWidget {
  Q_OBJECT

 public:
  // `initials_of` gives a name's initials for the search (the goods' rule).
  DebtorsView(AppContext& ctx, std::function<QString(const QString&)> initials_of, QWidget* parent = nullptr);

  // Fills the list again with the search as typed; false when the read failed.
  bool Refill();
  // The customer of the chosen row; nullopt when no customer row is chosen.
  std::optional<DebtCustomer> ChosenCustomer() const;
  void OpenRepayment();
  void OpenStatement();
  void Export();
  void Print();

  Grid* DebtorsGrid() const { return grid_; }
  QLineEdit* SearchBox() const { return search_; }

 signals:
  // Back to the sales list.
  void BackToSales();
  // Debts changed (a repayment or an undo): the sales list and perhaps the bank follow.
  void DebtsChanged(bool bank_changed);

 private:
  QWidget* BuildToolBar();

  AppContext& ctx_;
  std::function<QString(const QString&)> initials_of_;
  Grid* grid_ = nullptr;
  ColumnShares* shares_ = nullptr;
  QLineEdit* search_ = nullptr;
};

}  // namespace hemulu
