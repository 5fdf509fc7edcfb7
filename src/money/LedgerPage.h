#pragma once
// The ledger page ("其他收支"): the list of other income and expenses with its totals,
// the search bar below it, and the income and expense forms in the side panel.

#include <QWidget>

#include "money/MoneyLists.h"

class QComboBox;
class QDateEdit;
class QLineEdit;
class QMenu;
class QPushButton;

namespace hemulu {

class ColumnShares;
class Grid;

class LedgerPage : public QWidget {
  Q_OBJECT

 public:
  // `menu` is the main window's 其他快捷菜单; the page connects its items.
  LedgerPage(AppContext& ctx, QMenu* menu, QWidget* parent = nullptr);
  ~LedgerPage() override;

  void FillLedgerList(const MoneyQuery& query);
  void FillLedgerList() { FillLedgerList(AllLedgerQuery()); }
  void FillLedgerPickLists();
  // After a change made elsewhere: the list (the search or dates in force) and the pick
  // lists again, the chosen entry and the scroll kept; the entry forms are not touched.
  void RefillInPlace();

  void RecordIncome() { Record(LedgerKind::Income); }
  void RecordExpense() { Record(LedgerKind::Expense); }
  // The menu's commands.
  void DeleteSelectedEntry();
  void Export();
  void Print();
  // Chooses the row as a right-click does; returns the menu to pop up, or nullptr when
  // the row holds no entry. Below the rows (row or column -1) the menu comes without
  // the delete command.
  QMenu* PrepareMenuFor(int row, int col);

  Grid* LedgerGrid() const { return grid_; }
  const LedgerSums& Sums() const { return sums_; }
  QString SelectedId() const { return selected_id_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct EntryForm {
    QComboBox* item = nullptr;
    QLineEdit* number = nullptr;
    QLineEdit* quantity = nullptr;
    QLineEdit* price = nullptr;
    QLineEdit* amount = nullptr;
    QDateEdit* date = nullptr;
    QComboBox* note = nullptr;
    QPushButton* record = nullptr;
  };

  QWidget* BuildEntryForm(LedgerKind kind, EntryForm& form);
  QWidget* BuildSearchBar();
  void ConnectMenu();
  void Record(LedgerKind kind);
  void ClearConditions();
  void Search(LedgerSearchField field, const QString& text);
  EntryForm& FormOf(LedgerKind kind) { return kind == LedgerKind::Income ? income_ : expense_; }

  AppContext& ctx_;
  QMenu* menu_;
  Grid* grid_ = nullptr;
  ColumnShares* shares_ = nullptr;
  bool shown_ = false;  // the set-up widths hold until the page has been shown once
  bool resize_shares_ = false;
  LedgerSums sums_;
  QString print_scope_ = kAllRecordsScope;
  MoneyQuery last_query_ = AllLedgerQuery();  // what the list shows  // what the list shows, for its printed heading
  int selected_row_ = -1;
  QString selected_id_;

  EntryForm income_, expense_;
  QComboBox* type_search_ = nullptr;
  QLineEdit* number_search_ = nullptr;
  QComboBox* item_search_ = nullptr;
  QComboBox* note_search_ = nullptr;
  QDateEdit* date_from_ = nullptr;
  QDateEdit* date_to_ = nullptr;
};

}  // namespace hemulu
