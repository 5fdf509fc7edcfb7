#pragma once
// Small builders for the money windows' controls, each named as the window
// definitions name it.

#include <QString>
#include <QStringList>

class QComboBox;
class QDate;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QWidget;

namespace hemulu {

// A drop-down list that also takes typed text (typing adds no item).
QComboBox* EditableList(const QString& name, QWidget* parent);
QLineEdit* NamedLineEdit(const QString& name, QWidget* parent);
QDateEdit* NamedDateEdit(const QString& name, const QDate& date, QWidget* parent);
QPushButton* NamedButton(const QString& caption, const QString& name, QWidget* parent);
// Replaces the items, keeping the typed text and sending no signals.
void FillComboKeepingText(QComboBox* list, const QStringList& items);

}  // namespace hemulu
