#include "ui/NamedWidgets.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

namespace hemulu {

namespace {

class FormDateEdit final : public QDateEdit {
 public:
  using QDateEdit::QDateEdit;

 protected:
  // QDateEdit spends Tab on moving from year to month to day, so a user tabbing
  // through a form typed the next box's figures into the date. Only the Tab keys leave
  // the box: QDateEdit also moves on to the next section through focusNextPrevChild
  // while the user types a date, and that must stay inside the box.
  bool event(QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (!(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) &&
          (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)) {
        const bool back = key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier);
        QWidget::focusNextPrevChild(!back);
        event->accept();
        return true;
      }
    }
    return QDateEdit::event(event);
  }

  // A full section moves the cursor on by itself ("2026" goes on to the month), and
  // QDateEdit takes the separator typed next as one more move, past the month. The user
  // typing "2026-12-05" means one move: the separator after a section typed full is
  // swallowed.
  void keyPressEvent(QKeyEvent* event) override {
    const QString text = event->text();
    const bool separator =
        text.size() == 1 && !text[0].isLetterOrNumber() && !text[0].isSpace() && displayFormat().contains(text[0]);
    if (separator && moved_on_by_typing_) {
      moved_on_by_typing_ = false;
      event->accept();
      return;
    }
    const Section before = currentSection();
    QDateEdit::keyPressEvent(event);
    moved_on_by_typing_ = !separator && text.size() == 1 && text[0].isDigit() && currentSection() != before;
  }

  void focusInEvent(QFocusEvent* event) override {
    moved_on_by_typing_ = false;
    QDateEdit::focusInEvent(event);
  }

 private:
  bool moved_on_by_typing_ = false;
};

// A search box whose clear button takes its room whether it shows or not: the button
// comes with the first typed character and goes when the box is emptied, and a box that
// grew and shrank with it pushed every control to its right to and fro.
class SearchBox final : public QLineEdit {
 public:
  explicit SearchBox(QWidget* parent) : QLineEdit(parent) {
    setClearButtonEnabled(true);
    // The button's room, measured once: the style's metrics, whatever the font. (Signals
    // stay on: the button follows the box's own textChanged; nothing else is connected yet.)
    const int without = QLineEdit::sizeHint().width();
    setText(QStringLiteral("x"));
    button_room_ = std::max(0, QLineEdit::sizeHint().width() - without);
    clear();
  }

  QSize sizeHint() const override { return WithButtonRoom(QLineEdit::sizeHint()); }
  QSize minimumSizeHint() const override { return WithButtonRoom(QLineEdit::minimumSizeHint()); }

 private:
  // An empty box leaves the button out of its own size.
  QSize WithButtonRoom(QSize size) const {
    if (text().isEmpty()) size.rwidth() += button_room_;
    return size;
  }

  int button_room_ = 0;
};

}  // namespace

QComboBox* NamedComboBox(const QString& name, QWidget* parent) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  return box;
}

QComboBox* EditableList(const QString& name, QWidget* parent, int min_chars) {
  QComboBox* box = NamedComboBox(name, parent);
  box->setMinimumContentsLength(min_chars);
  box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  return box;
}

QComboBox* SearchList(const QString& name, QWidget* parent) {
  QComboBox* box = NamedComboBox(name, parent);
  box->setMinimumContentsLength(8);
  return box;
}

QLineEdit* NamedLineEdit(const QString& name, QWidget* parent) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(name);
  return box;
}

QLineEdit* SearchLineEdit(const QString& name, QWidget* parent) {
  auto* box = new SearchBox(parent);
  box->setObjectName(name);
  return box;
}

QDateEdit* NamedDateEdit(const QString& name, const QDate& date, QWidget* parent) {
  auto* box = new FormDateEdit(date, parent);
  box->setObjectName(name);
  box->setCalendarPopup(true);
  box->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
  return box;
}

QPushButton* NamedButton(const QString& caption, const QString& name, QWidget* parent, EnterOnButton enter) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(name);
  b->setAutoDefault(enter == EnterOnButton::Presses);
  return b;
}

QPushButton* CaptionButton(const QString& caption, QWidget* parent) { return NamedButton(caption, caption, parent); }

void FillComboKeepingText(QComboBox* list, const QStringList& items) {
  const QString typed = list->currentText();
  const QSignalBlocker block(list);
  list->clear();
  list->addItems(items);
  list->setCurrentIndex(-1);
  list->setEditText(typed);
}

SearchBarLayout::SearchBarLayout(QWidget* bar, const QString& name) : bar_(bar), grid_(new QGridLayout(bar)) {
  bar->setObjectName(name);
  grid_->setContentsMargins(3, 0, 3, 2);
  grid_->setHorizontalSpacing(4);
  grid_->setVerticalSpacing(2);
}

int& SearchBarLayout::ColumnOf(int row) { return columns_[row > 0 ? 1 : 0]; }

void SearchBarLayout::Add(int row, const QString& label, QWidget* control, int column_span) {
  int& col = ColumnOf(row);
  if (!label.isEmpty()) grid_->addWidget(new QLabel(label, bar_), row, col++);
  grid_->addWidget(control, row, col, 1, column_span);
  col += column_span;
}

void SearchBarLayout::AddAll(int row, std::initializer_list<QWidget*> controls) {
  for (QWidget* control : controls) Add(row, QString(), control);
}

void SearchBarLayout::StretchAfterLast() { grid_->setColumnStretch(std::max(columns_[0], columns_[1]), 1); }

}  // namespace hemulu
