#pragma once
// The window "新建存取操作", for a new movement or for changing one. Modeless: the
// change window keeps the ID it was opened for, whatever is chosen in the list later.

#include <QDialog>

#include "money/BankLogic.h"

class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;

namespace hemulu {

class BankMovementWindow : public QDialog {
  Q_OBJECT

 public:
  // A new movement.
  BankMovementWindow(AppContext& ctx, QWidget* owner);
  // A change of `movement`, which must exist.
  BankMovementWindow(AppContext& ctx, const BankMovement& movement, QWidget* owner);

  // 0 for a new movement.
  qint64 MovementId() const { return id_; }
  void Save();

 signals:
  // The bank table changed: the page reloads its list.
  void MovementSaved();

 private:
  void BuildControls();
  BankForm ReadForm() const;

  AppContext& ctx_;
  qint64 id_ = 0;
  QComboBox* kind_ = nullptr;
  QComboBox* bank_ = nullptr;
  QComboBox* account_ = nullptr;
  QLineEdit* amount_ = nullptr;
  QDateEdit* date_ = nullptr;
  QLineEdit* note_ = nullptr;
  QPushButton* save_ = nullptr;
};

}  // namespace hemulu
