#include "sales/SaleEditWindow.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "data/TextFormat.h"
#include "lists/Grid.h"
#include "sales/SaleWindow.h"
#include "sales/SalesFill.h"

namespace hemulu {

SaleEditWindow::SaleEditWindow(AppContext& ctx, const Grid& grid, int row, QWidget* owner) : QDialog(owner), ctx_(ctx) {
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  sale_id_ = static_cast<qint64>(NumberValue(grid.CellText(row, kSaleIdCol)));
  setWindowTitle(QStringLiteral("修改销售单 - ") + grid.CellText(row, kSaleGoodsIdCol));

  auto* form = new QGridLayout(this);
  form->setHorizontalSpacing(6);
  form->setVerticalSpacing(6);
  int line = 0;
  const auto add = [&](const QString& caption, QWidget* w) {
    form->addWidget(new QLabel(caption, this), line, 0, Qt::AlignRight);
    form->addWidget(w, line++, 1);
  };
  const auto label = [&](const char* name, const QString& caption, int col) {
    auto* l = new QLabel(grid.CellText(row, col), this);
    l->setObjectName(QString::fromUtf8(name));
    l->setMinimumWidth(200);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    add(caption, l);
  };
  const auto box = [&](const char* name, const QString& caption, int col) {
    auto* b = new QLineEdit(grid.CellText(row, col), this);
    b->setObjectName(QString::fromUtf8(name));
    add(caption, b);
    return b;
  };
  label("名称标签", QStringLiteral("商品名称："), 3);
  label("型号标签", QStringLiteral("商品型号："), 4);
  label("编码标签", QStringLiteral("商品编码："), 5);
  label("类型标签", QStringLiteral("    类型："), 6);
  label("销售单价标签", QStringLiteral("销售单价："), kSalePriceCol);
  label("销售数量标签", QStringLiteral("销售数量："), kSaleQuantityCol);
  label("销售金额标签", QStringLiteral("销售金额："), kSaleAmountCol);
  label("销售日期标签", QStringLiteral("销售日期："), kSaleDateCol);
  debt_ = box("欠款金额框", QStringLiteral("欠款金额："), kSaleDebtCol);
  label("客户编号标签", QStringLiteral("客户编号："), 13);
  customer_name_ = box("客户名称框", QStringLiteral("客户名称："), 14);
  contact_ = box("联系方式框", QStringLiteral("联系方式："), 15);
  address_ = box("客户地址框", QStringLiteral("客户地址："), 16);
  note_ = box("备注框", QStringLiteral("备注信息："), 17);
  auto* save = new QPushButton(QStringLiteral("修改"), this);
  save->setObjectName(QStringLiteral("按钮1"));
  save->setDefault(true);
  form->addWidget(save, line, 0, 1, 2, Qt::AlignHCenter);
  connect(save, &QPushButton::clicked, this, &SaleEditWindow::Save);
  debt_->setFocus();
  debt_->selectAll();
}

void SaleEditWindow::Save() {
  const SaleEdit edit{debt_->text(), customer_name_->text(), contact_->text(), address_->text(), note_->text()};
  if (auto done = UpdateSale(ctx_, sale_id_, edit); !done) {
    ShowActionError(ctx_, done.error());
    return;
  }
  ctx_.notifier.Notify(kHintTitle, QStringLiteral("修改销售完成"));
  emit SaleSaved(sale_id_);
  close();
}

}  // namespace hemulu
