#pragma once
// The edit window "修改销售单": shows one sale read-only and lets the user change the
// debt and the customer's texts. Modeless: it keeps the ID of the sale it was opened
// for, whatever the lists choose meanwhile.

#include <QDialog>

#include "sales/SalesLogic.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace hemulu {

class Grid;

class SaleEditWindow final : public QDialog {
  Q_OBJECT
 public:
  // Filled from a row of the sales grid.
  SaleEditWindow(AppContext& ctx, const Grid& grid, int row, QWidget* owner);

  qint64 SaleId() const { return sale_id_; }
  // "修改".
  void Save();

 signals:
  void SaleSaved(qint64 sale_id);

 private:
  AppContext& ctx_;
  qint64 sale_id_ = 0;
  QLineEdit* debt_ = nullptr;
  QLineEdit* customer_name_ = nullptr;
  QLineEdit* contact_ = nullptr;
  QLineEdit* address_ = nullptr;
  QLineEdit* note_ = nullptr;
};

}  // namespace hemulu
