#pragma once
// The sale window "商品销售": shows one goods row, proposes a price and an amount, keeps
// the quantity within the stock, and records the sale on "确认销售".

#include <QDialog>

#include "sales/SalesLogic.h"
#include "ui/ShowActionError.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace hemulu {

// The up and down arrows beside a box (调节器1, 调节器2).
class StepButtons final : public QWidget {
  Q_OBJECT
 public:
  StepButtons(const QString& name, QWidget* parent);
  QToolButton* Up() const { return up_; }
  QToolButton* Down() const { return down_; }

 signals:
  void Stepped(bool up);

 private:
  QToolButton* up_;
  QToolButton* down_;
};

class SaleWindow final : public QDialog {
  Q_OBJECT
 public:
  // Opens the window for a goods row, modal and placed against the inside of the
  // owner's right edge; tells the user and returns nullptr when the row is gone.
  static SaleWindow* Open(AppContext& ctx, qint64 goods_id, QWidget* owner);
  SaleWindow(AppContext& ctx, const SaleGoods& goods, QWidget* owner);

  qint64 GoodsId() const { return goods_id_; }
  // "确认销售".
  void ConfirmSale();
  // The arrows of 调节器1 and 调节器2.
  void StepDiscount(bool up);
  void StepQuantity(bool up);

 signals:
  // A sale has been written; the lists that show its figures refill.
  void SaleRecorded(qint64 sale_id, qint64 goods_id);

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildControls();
  void FillFrom(const SaleGoods& goods);
  void PlaceAgainstOwner();
  void OnPriceChanged();
  void OnQuantityChanged();
  void OnDiscountChanged();
  void SetAmount();
  SaleForm Form() const;

  AppContext& ctx_;
  qint64 goods_id_;
  bool placed_ = false;
  // The user has changed a box since the window opened: Enter then walks on to the next
  // box instead of selling at once.
  bool changed_ = false;
  QLabel* name_ = nullptr;
  QLabel* model_ = nullptr;
  QLabel* code_ = nullptr;
  QLabel* category_ = nullptr;
  QLabel* suggested_ = nullptr;
  QLineEdit* price_ = nullptr;
  QLineEdit* discount_ = nullptr;
  StepButtons* discount_steps_ = nullptr;
  QLineEdit* stock_ = nullptr;
  QLineEdit* quantity_ = nullptr;
  StepButtons* quantity_steps_ = nullptr;
  QLineEdit* amount_ = nullptr;
  QLineEdit* debt_ = nullptr;
  QDateEdit* date_ = nullptr;
  QLineEdit* customer_number_ = nullptr;
  QComboBox* customer_name_ = nullptr;
  QLineEdit* contact_ = nullptr;
  QComboBox* address_ = nullptr;
  QLineEdit* note_ = nullptr;
  QPushButton* confirm_ = nullptr;
};

}  // namespace hemulu
