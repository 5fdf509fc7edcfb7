#pragma once
// Small builders for the controls of pages and windows, each named as the window
// definitions name it, and the two-row search bar that the list pages share.

#include <QString>
#include <QStringList>
#include <initializer_list>

class QComboBox;
class QDate;
class QDateEdit;
class QGridLayout;
class QLineEdit;
class QPushButton;
class QWidget;

namespace hemulu {

// A drop-down list that also takes typed text (typing adds no item).
QComboBox* NamedComboBox(const QString& name, QWidget* parent);
// NamedComboBox as wide as min_chars characters whatever it holds.
QComboBox* EditableList(const QString& name, QWidget* parent, int min_chars = 6);
// A search bar's pick list: typed text as EditableList, at least eight characters
// wide, wider when its first items are.
QComboBox* SearchList(const QString& name, QWidget* parent);
QLineEdit* NamedLineEdit(const QString& name, QWidget* parent);
// A search bar's text box: a click on its clear button empties it (and so searches).
QLineEdit* SearchLineEdit(const QString& name, QWidget* parent);
// A date with a calendar; Tab and Shift+Tab leave it for the next or previous control, as
// in every other box, while typing a date moves on from year to month to day inside it,
// and the arrow keys move between its year, month and day.
QDateEdit* NamedDateEdit(const QString& name, const QDate& date, QWidget* parent);
// Whether Enter pressed on a focused button presses it (a page of buttons and lists),
// or goes to the window's default button (a dialog's form).
enum class EnterOnButton { ToDefault, Presses };
QPushButton* NamedButton(const QString& caption, const QString& name, QWidget* parent,
                         EnterOnButton enter = EnterOnButton::ToDefault);
// A button named by its own caption, as the administration windows name theirs.
QPushButton* CaptionButton(const QString& caption, QWidget* parent);
// Replaces the items, keeping the typed text and sending no signals.
void FillComboKeepingText(QComboBox* list, const QStringList& items);

// The search bar above a list: rows of "label：" + control pairs, left to right.
class SearchBarLayout {
 public:
  // Lays out `bar` (named `name`) and owns nothing: the widgets belong to the bar.
  SearchBarLayout(QWidget* bar, const QString& name);

  // A label (none when empty) and its control in the next cells of `row`.
  void Add(int row, const QString& label, QWidget* control, int column_span = 1);
  // Controls without labels, one cell each.
  void AddAll(int row, std::initializer_list<QWidget*> controls);
  // Everything after the last control takes the spare width.
  void StretchAfterLast();

 private:
  int& ColumnOf(int row);

  QWidget* bar_;
  QGridLayout* grid_;
  int columns_[2] = {0, 0};
};

}  // namespace hemulu
