#include "money/MoneyWidgets.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>

namespace hemulu {

QComboBox* EditableList(const QString& name, QWidget* parent) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->setMinimumContentsLength(6);
  box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  return box;
}

QLineEdit* NamedLineEdit(const QString& name, QWidget* parent) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(name);
  return box;
}

QDateEdit* NamedDateEdit(const QString& name, const QDate& date, QWidget* parent) {
  auto* box = new QDateEdit(date, parent);
  box->setObjectName(name);
  box->setCalendarPopup(true);
  box->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
  return box;
}

QPushButton* NamedButton(const QString& caption, const QString& name, QWidget* parent) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

void FillComboKeepingText(QComboBox* list, const QStringList& items) {
  const QString typed = list->currentText();
  const QSignalBlocker block(list);
  list->clear();
  list->addItems(items);
  list->setCurrentIndex(-1);
  list->setEditText(typed);
}

}  // namespace hemulu
