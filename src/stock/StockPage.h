#pragma once
// The goods stock page ("商品库"): the stock list with its search bar, warning
// quantity and zero-stock switch, and the commands of its pop-up menu.

#include <QPointer>
#include <QWidget>
#include <functional>

#include "stock/CategoryTreeWindow.h"
#include "stock/GoodsHistoryWindow.h"
#include "stock/StockList.h"
#include "stock/StockMenus.h"
#include "ui/Pages.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QMenu;
class QStackedWidget;

namespace hemulu {

class CategoryTreeWindow;
class ColumnShares;
class PurchaseRecordsView;
class Grid;

// What the page asks of the rest of the program.
struct StockPageHooks {
  // Switches the main window to another page (sales records, summary).
  std::function<void(PageIndex page)> show_page;
  // Opens the sale window for a goods row (modal).
  std::function<void(qint64 goods_id)> open_sale;
};

class StockPage : public QWidget {
  Q_OBJECT

 public:
  // `menu` is the main window's 库管快捷菜单; the page connects its items.
  // `selection` is shared with the summary page.
  StockPage(AppContext& ctx, QMenu* menu, GoodsSelection& selection, StockPageHooks hooks, QWidget* parent = nullptr);
  ~StockPage() override;

  // Refills the list from the query (every goods row for "select * from buy").
  void FillStockList(const GoodsQuery& query);
  void FillStockList() { FillStockList(AllGoodsQuery()); }
  // Refills with the query last shown, so a search stays in place.
  void Refill() { FillStockList(last_query_); }
  // The stock page's supplier and category lists.
  void RefillPickLists();
  // After a change made elsewhere: the list and the pick lists again, with the search in
  // force, the chosen goods and the scroll kept.
  void RefillInPlace();

  Grid* StockGrid() const { return grid_; }
  const GoodsSelection& Selection() const { return selection_; }
  // Truncated toward zero from the box's text.
  int WarningQuantity() const { return warning_quantity_; }

  // The pop-up menu's commands.
  void OpenNewGoods();
  void OpenRestock();
  void OpenEdit();
  // The goods history "商品流水" of the chosen goods row.
  void OpenHistory();
  void DeleteCurrentGoods();
  void ShowPurchasePrice();
  void Export();
  void Print();
  void ToggleColumn(int col, bool hide);
  // The menu's action of a command (nullptr without a menu).
  QAction* CommandItem(StockCommand command) const { return CommandAction(menu_, command); }

  // Chooses a row as a right-click does, then updates the menu's items; returns the
  // menu for showing (tests check it without showing it).
  QMenu* PrepareMenuFor(int row, int col);
  // Enter in the code box: sells the goods whose code is exactly the box's text, when
  // exactly one goods row has it.
  void SellScannedCode();
  // A double-click on a cell.
  void ActivateCell(int row, int col);
  // The open entry, restock or edit window, if any.
  QWidget* EntryWindow() const { return entry_window_; }
  CategoryTreeWindow* TreeWindow() const { return tree_window_; }
  GoodsHistoryWindow* HistoryWindow() const { return history_window_; }

  // The purchase records "进货记录", filled afresh, in place of the stock list (for
  // 超级管理员 only); and the stock list again.
  void ShowPurchases();
  void ShowStock();
  bool ShowsPurchases() const;
  PurchaseRecordsView* Purchases() const { return purchases_; }

 private:
  QWidget* BuildToolBar();
  void ConnectMenu();
  void OnWarningQuantityEdited(const QString& text);
  void OnZeroStockToggled(bool checked);
  void Search(GoodsSearchField field, const QString& text);
  void ClearConditions();
  void OpenCategoryTree();
  void OpenEntryWindow(int mode, qint64 id);
  void ShowPage(PageIndex page);
  void SaveSetting(const QString& key, const QString& value);

  AppContext& ctx_;
  QMenu* menu_;
  StockPageHooks hooks_;
  Grid* grid_ = nullptr;
  ColumnShares* shares_ = nullptr;
  GoodsSelection& selection_;
  int warning_quantity_ = 0;
  GoodsQuery last_query_ = AllGoodsQuery();
  bool setting_failure_shown_ = false;

  QLineEdit* code_box_ = nullptr;
  QLineEdit* name_box_ = nullptr;
  QLineEdit* model_box_ = nullptr;
  QComboBox* category_box_ = nullptr;
  QComboBox* supplier_box_ = nullptr;
  QDateEdit* date_from_ = nullptr;
  QDateEdit* date_to_ = nullptr;
  QLineEdit* warning_box_ = nullptr;
  QCheckBox* zero_box_ = nullptr;
  QPointer<QWidget> entry_window_;
  QPointer<CategoryTreeWindow> tree_window_;
  QPointer<GoodsHistoryWindow> history_window_;
  QStackedWidget* views_ = nullptr;
  QWidget* stock_view_ = nullptr;
  PurchaseRecordsView* purchases_ = nullptr;
};

}  // namespace hemulu
