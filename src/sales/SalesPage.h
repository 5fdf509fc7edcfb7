#pragma once
// The sales page ("销售明细"): the sales list with its search bar and buttons, and the
// commands of its pop-up menu 销售快捷菜单.

#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

#include "sales/SaleEditWindow.h"
#include "sales/SalesLogic.h"
#include "sales/SalesMenus.h"

class QComboBox;
class QDateEdit;
class QFrame;
class QLineEdit;
class QMenu;
class QStackedWidget;

namespace hemulu {

class ColumnShares;
class DebtorsView;
class Grid;
struct ListHeading;

// The items of "设置显示信息" that hide columns.
enum class SalesDisplayItem { Price, Date, Debt, Profit, Customer };

// What the page needs from other subsystems, wired by ProgramParts.
struct SalesPageHooks {
  // A name's initials, for the debtors view's search.
  std::function<QString(const QString&)> initials_of;
  // A repayment went into the bank, or an undo took it out.
  std::function<void()> bank_changed;
};

class SalesPage : public QWidget {
  Q_OBJECT
 public:
  // `menu` is the main window's 销售快捷菜单; the page connects its items.
  SalesPage(AppContext& ctx, QMenu* menu, QWidget* parent = nullptr) : SalesPage(ctx, menu, {}, parent) {}
  SalesPage(AppContext& ctx, QMenu* menu, SalesPageHooks hooks, QWidget* parent = nullptr);
  ~SalesPage() override;

  // False when the read failed (reported; the list shown before stays).
  bool FillSalesList(const SalesQuery& query);
  // Refills with the query last shown, so a search stays in place.
  void Refill();
  void RefillPickLists();
  // After a change made elsewhere: the list and the pick lists again, with the search in
  // force, the chosen sale and the scroll kept.
  void RefillInPlace();

  Grid* SalesGrid() const { return grid_; }
  QFrame* Host() const { return host_; }
  int CurrentRow() const { return current_row_; }
  const QString& CurrentSaleId() const { return current_id_; }

  // A double-click (or Enter) on a cell: opens the edit window for a sale row.
  void ActivateCell(int row, int col);
  // Chooses a cell as a right-click does; the menu when it is a sale row, else nullptr.
  // Below the rows (row or column -1) the menu comes without the commands of a sale.
  QMenu* PrepareMenuFor(int row, int col);

  // The pop-up menu's commands.
  void OpenEdit();
  void DeleteCurrentSale();
  // The receipt of the chosen sale; nullopt when no sale is chosen, an error when it
  // cannot be read.
  std::optional<std::expected<Receipt, ActionError>> CurrentReceipt();
  // The whole receipt the chosen sale belongs to (every row of its 客户编号); a sale
  // alone on its number prints as the single sale's receipt.
  void PrintCurrentReceipt();
  // "按小票号查询": asks a receipt number and lists that receipt's rows.
  void FindReceipt();
  // The statement of the chosen sale's customer (where a repayment is undone).
  void OpenCustomerStatement();
  // Writes the list as shown to sales.xlsx in the shop's folder; the path written.
  std::optional<QString> Export();
  void Print();
  // The printed list's heading: what the list shows now, and today.
  ListHeading PrintHeading() const;
  void ToggleDisplay(SalesDisplayItem item);
  void ShowAllColumns();
  bool IsHidden(SalesDisplayItem item) const { return hidden_[static_cast<int>(item)]; }

  SaleEditWindow* EditWindow() const { return edit_window_; }

  // The customer debts view "客户欠款", filled afresh, in place of the sales list; and
  // the sales list again.
  void ShowDebtors();
  void ShowSales();
  bool ShowsDebtors() const;
  DebtorsView* Debtors() const { return debtors_; }

 private:
  QWidget* BuildSearchBar();
  void ConnectMenu();
  void ApplyDisplay();
  void SyncTicks();
  void Search(SalesSearchField field, const QString& text, QWidget* keep_focus);

  AppContext& ctx_;
  QMenu* menu_;
  QFrame* host_ = nullptr;
  Grid* grid_ = nullptr;
  ColumnShares* shares_ = nullptr;
  SalesQuery last_query_;
  int current_row_ = -1;
  QString current_id_;
  bool hidden_[5] = {};

  QLineEdit* name_box_ = nullptr;
  QLineEdit* code_box_ = nullptr;
  QLineEdit* model_box_ = nullptr;
  QComboBox* category_box_ = nullptr;
  QComboBox* customer_box_ = nullptr;
  QLineEdit* note_box_ = nullptr;
  QDateEdit* date_from_ = nullptr;
  QDateEdit* date_to_ = nullptr;
  QPointer<SaleEditWindow> edit_window_;
  SalesPageHooks hooks_;
  QStackedWidget* views_ = nullptr;
  QWidget* sales_view_ = nullptr;
  DebtorsView* debtors_ = nullptr;
};

}  // namespace hemulu
