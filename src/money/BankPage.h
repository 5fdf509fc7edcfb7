#pragma once
// The bank page ("存款管理"): the movements in one grid, either one row per movement
// (the detail view) or one row per bank and account with its balance (the summary
// view), the search bar, and the commands of its pop-up menu.

#include <QPointer>
#include <QWidget>

#include "lists/ListFill.h"
#include "money/BankMovementWindow.h"

class QComboBox;
class QDateEdit;
class QMenu;

namespace hemulu {

class BankMovementWindow;
class ColumnShares;
class Grid;

class BankPage : public QWidget {
  Q_OBJECT

 public:
  enum class View { Detail, Summary };

  // `menu` is the main window's 存款快捷菜单; the page connects its items.
  BankPage(AppContext& ctx, QMenu* menu, QWidget* parent = nullptr);
  ~BankPage() override;

  // The detail view with every movement, and the bank names of the search list.
  void SetUpBankDetail();
  // Loads detail rows; the summary view, if it shows, gives way to the detail view first.
  void FillBankList(const MoneyQuery& query);
  void FillBankList() { FillBankList(AllBankQuery()); }
  void ShowBankSummary();

  // The menu's commands.
  void NewBankMovement();
  void ChangeBankMovement();
  void DeleteBankMovement();
  void Export();
  void Print();

  // Chooses the row as a right-click does and sets the menu's items; nullptr when no
  // menu is offered (the header row). Beside or below the rows (row or column -1) the
  // menu offers no movement to change or delete; in the summary view only the items that
  // are not about one movement are enabled.
  QMenu* PrepareMenuFor(int row, int col);
  // A double-click on a cell.
  void ActivateCell(int row, int col);

  View CurrentView() const { return view_; }
  // "细节" or "汇总".
  QString ViewFlag() const;
  Grid* BankGrid() const { return grid_; }
  QString SelectedId() const { return selected_id_; }
  BankMovementWindow* NewWindow() const { return new_window_; }
  BankMovementWindow* ChangeWindow() const { return change_window_; }

 private:
  QWidget* BuildToolBar();
  void ConnectMenu();
  void ShowDetailLayout();
  void RefillBankNames();
  // After a change made elsewhere: the view that shows (the search or dates in force, or
  // the balances) and the bank names again, the chosen row and the scroll kept.
  void RefillInPlace();
  void Refill();
  bool ReportFill(const FillResult& result);  // false: the fill failed and was reported

  AppContext& ctx_;
  QMenu* menu_;
  Grid* grid_ = nullptr;
  ColumnShares* shares_ = nullptr;
  View view_ = View::Detail;
  QString print_scope_ = kAllRecordsScope;
  MoneyQuery last_query_ =
      AllBankQuery();  // what the detail view shows  // what the list shows, for its printed heading
  int selected_row_ = -1;
  QString selected_id_;
  QComboBox* bank_search_ = nullptr;
  QDateEdit* date_from_ = nullptr;
  QDateEdit* date_to_ = nullptr;
  QPointer<BankMovementWindow> new_window_;
  QPointer<BankMovementWindow> change_window_;
};

}  // namespace hemulu
