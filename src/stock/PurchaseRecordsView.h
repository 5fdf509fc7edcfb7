#pragma once
// The stock page's view of purchase records "进货记录": every delivery (new goods and
// restocks) with its price, amount and supplier, searched by goods, supplier and days,
// totalled, printed and exported. For 超级管理员 only: the stock page offers it to no
// one else, and the logic refuses everyone else.

#include <QWidget>

#include "lists/ListFill.h"
#include "stock/PurchaseRecords.h"

class QComboBox;
class QDateEdit;
class QLineEdit;

namespace hemulu {

class ColumnShares;
class Grid;
struct ListHeading;

class PurchaseRecordsView : public QWidget {
  Q_OBJECT

 public:
  explicit PurchaseRecordsView(AppContext& ctx, QWidget* parent = nullptr);

  // Fills the list again with the boxes as they are (the days once 日期查询 chose them);
  // false when the list was refused or its read failed (said once).
  bool Refill();
  // The list kept in place after a change elsewhere: the chosen row and the scroll.
  void RefillInPlace();
  // Every delivery again: the boxes emptied, no days.
  void ShowAll();
  // Bounds the list by the two day boxes.
  void QueryDays();
  void RefillPickList();
  void Export();
  void Print();
  // The printed list's heading: what the list covers now, and today.
  ListHeading PrintHeading() const;

  const PurchaseFilter& Filter() const { return filter_; }
  Grid* PurchaseGrid() const { return grid_; }
  QLineEdit* GoodsBox() const { return goods_box_; }
  QComboBox* SupplierBox() const { return supplier_box_; }
  QDateEdit* FromBox() const { return date_from_; }
  QDateEdit* ToBox() const { return date_to_; }

 signals:
  // Back to the stock list (the button or Esc).
  void BackToStock();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QWidget* BuildToolBar();

  AppContext& ctx_;
  Grid* grid_ = nullptr;
  ColumnShares* shares_ = nullptr;
  PurchaseFilter filter_;
  QLineEdit* goods_box_ = nullptr;
  QComboBox* supplier_box_ = nullptr;
  QDateEdit* date_from_ = nullptr;
  QDateEdit* date_to_ = nullptr;
};

}  // namespace hemulu
