#pragma once
// The window "新建入库": new goods, restocking the chosen goods, or editing it.
// Modeless: it keeps the goods ID (and, when editing, the sold quantity) it took when
// it opened, so a different row chosen meanwhile is never written.

#include <QDialog>

#include "stock/GoodsLogic.h"
#include "ui/ShowActionError.h"

class QComboBox;
class QDateEdit;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace hemulu {

class GoodsEntryWindow : public QDialog {
  Q_OBJECT

 public:
  enum class Mode { NewGoods, Restock, Edit };

  // goods_id is ignored for new goods. The caption of the restock window is the menu
  // item's caption.
  GoodsEntryWindow(AppContext& ctx, Mode mode, qint64 goods_id, QWidget* owner);

  Mode EntryMode() const { return mode_; }
  qint64 GoodsId() const { return goods_id_; }

  void Save();
  void ClearBoxes();

 signals:
  // The goods table changed: the stock list and its pick lists need refilling.
  void GoodsSaved();

 private:
  // A restock or edit done: the list refills, the notice shows, the window closes; or
  // the refusal is shown and the window stays.
  void FinishChange(const std::expected<void, ActionError>& done, const QString& notice);
  void BuildControls();
  void FillPickLists();
  void LoadRecord(const GoodsRecord& record);
  void UpdateCodeFromName();
  GoodsForm ReadForm() const;
  QWidget* ControlFor(GoodsFormField field) const;
  void ShowProblem(const QString& message, QWidget* focus);

  AppContext& ctx_;
  Mode mode_;
  qint64 goods_id_ = 0;
  double sold_at_open_ = 0;

  QComboBox* category_ = nullptr;
  QComboBox* name_ = nullptr;
  QComboBox* model_ = nullptr;
  QComboBox* code_ = nullptr;
  QDateEdit* date_ = nullptr;
  QLineEdit* buy_price_ = nullptr;
  QLineEdit* quantity_ = nullptr;
  QLineEdit* sell_price_ = nullptr;
  QComboBox* supplier_ = nullptr;
  QPlainTextEdit* note_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* clear_ = nullptr;
};

// Fills a drop-down list with the pick values of a field, keeping its typed text. A
// database that cannot be read leaves the list empty; the command that needs the
// database tells the user.
void FillPickList(AppContext& ctx, PickField field, QComboBox* list);

}  // namespace hemulu
