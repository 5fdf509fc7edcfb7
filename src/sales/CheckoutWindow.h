#pragma once
// The checkout counter "收银台": a basket of goods scanned into one code box, sold on one
// receipt; baskets held aside and recalled, returns against a receipt, the receipt
// printed and printed again. The keyboard does everything; the focus lives in the code box.

#include <QDialog>
#include <QPointer>
#include <functional>
#include <optional>
#include <vector>

#include "sales/CheckoutLogic.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;

namespace hemulu {

inline const QString kCheckoutTitle = QStringLiteral("收银台");
inline const QString kCheckoutCodeBox = QStringLiteral("收银商品编码框");
// config.ini: whether the receipt prints on 结账 without asking.
inline const QString kCheckoutSection = QStringLiteral("checkout");
inline const QString kAutoPrintKey = QStringLiteral("autoprint");

// Columns of the lines table.
enum CheckoutColumn : int {
  kLineNameCol,
  kLineModelCol,
  kLineCodeCol,
  kLineStockCol,
  kLinePriceCol,
  kLineDiscountCol,
  kLineActualCol,
  kLineQuantityCol,
  kLineAmountCol,
  kLineColumnCount
};

// What the counter needs from other subsystems, wired by ProgramParts.
struct CheckoutHooks {
  // The goods history window of one goods row.
  std::function<void(qint64 goods_id, QWidget* owner)> open_history;
  // Shows a receipt for printing; empty: the print preview.
  std::function<void(const BasketReceipt& receipt, QWidget* owner)> print_receipt;
};

// A cell of 数量 or 折扣 as typed: its value, or why it is refused.
struct CellInput {
  std::optional<double> value;
  QString refusal;
};
CellInput ReadQuantityCell(const QString& text);
CellInput ReadDiscountCell(const QString& text);

class CheckoutWindow final : public QDialog {
  Q_OBJECT
 public:
  // The counter of `owner`'s window, made the first time and brought to the front.
  static CheckoutWindow* Open(AppContext& ctx, QWidget* owner, CheckoutHooks hooks = {});
  CheckoutWindow(AppContext& ctx, CheckoutHooks hooks, QWidget* owner);
  // The program ends (or the login) with a basket on the counter: it is held, not lost.
  ~CheckoutWindow() override;

  // Code + Enter: a line for the goods of exactly that code, else a search by name
  // initials, name or code.
  void Scan(const QString& text);
  // Adds the goods as a line of quantity 1, or 1 more on its line.
  void AddGoods(const CounterGoods& goods);
  // "结账": true when the basket was recorded.
  bool CheckOut();
  // F8: the basket put aside in the database, the counter cleared.
  bool HoldCurrent();
  // F9 / "取单": the list of held baskets to choose one from.
  void ChooseHeld();
  // Takes a held basket back into the counter and says what changed since.
  bool RecallHeld(qint64 held_id);
  // "重打小票".
  void ReprintLast();
  // "退货".
  void OpenReturn();
  // The chosen line removed (Delete).
  void RemoveCurrentLine();
  // "商品流水" of the chosen line.
  void OpenCurrentHistory();

  // The data was replaced as a whole: a basket of the old goods rows is dropped without
  // a question and the counter closed. True when there was one.
  bool ForgetBasket();

  const std::vector<BasketLine>& Lines() const { return lines_; }
  Checkout Form() const;
  QLineEdit* CodeBox() const { return code_; }
  QTableWidget* LinesTable() const { return table_; }
  QListWidget* PickList() const { return picks_; }
  QLabel* MessageLabel() const { return message_; }
  const QString& LastReceipt() const { return last_receipt_; }

 signals:
  void BasketRecorded(const QString& receipt_number);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void BuildControls();
  void FillPickLists();
  void ShowLines();
  void ShowTotals();
  void OfferPicks(const std::vector<CounterGoods>& goods);
  void TakePick();
  void ClosePicks();
  void Say(const QString& text, bool fault);
  void OnCellEdited(int row, int col);
  void ClearBasket();
  void SetCheckout(const Checkout& checkout);
  void PrintReceiptOf(const QString& receipt_number);
  void BackToCodeBox();

  AppContext& ctx_;
  CheckoutHooks hooks_;
  std::vector<BasketLine> lines_;
  std::vector<CounterGoods> offered_;
  QString last_receipt_;
  bool filling_ = false;

  QLineEdit* code_ = nullptr;
  QLabel* message_ = nullptr;
  QListWidget* picks_ = nullptr;
  QTableWidget* table_ = nullptr;
  QLabel* pieces_ = nullptr;
  QLabel* total_ = nullptr;
  QLineEdit* paid_ = nullptr;
  QLabel* change_ = nullptr;
  QLabel* debt_ = nullptr;
  QLabel* debt_hint_ = nullptr;
  QComboBox* customer_name_ = nullptr;
  QLineEdit* contact_ = nullptr;
  QComboBox* address_ = nullptr;
  QLineEdit* note_ = nullptr;
  QCheckBox* auto_print_ = nullptr;
  QPushButton* checkout_ = nullptr;
};

// "取单": the held baskets, oldest first; Enter or a double-click takes the chosen one.
class HeldBasketsDialog final : public QDialog {
  Q_OBJECT
 public:
  HeldBasketsDialog(const std::vector<HeldBasket>& held, QWidget* parent);
  // The chosen basket's ID once accepted.
  std::optional<qint64> Chosen() const;
  QTableWidget* Table() const { return table_; }

 private:
  std::vector<qint64> ids_;
  QTableWidget* table_ = nullptr;
};

// "退货": a receipt number, its lines with what was sold and returned, and the quantities
// given back.
class ReturnDialog final : public QDialog {
  Q_OBJECT
 public:
  ReturnDialog(AppContext& ctx, QWidget* parent);
  // Reads the receipt's lines into the table; false (said) when there are none.
  bool LoadReceipt(const QString& receipt_number);
  // "确认退货": true when recorded.
  bool Confirm();
  QLineEdit* NumberBox() const { return number_; }
  QTableWidget* Table() const { return table_; }
  const std::optional<RecordedBasket>& Recorded() const { return recorded_; }

 protected:
  // F12 confirms, as 结账 does at the counter.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  AppContext& ctx_;
  QString loaded_;
  std::vector<ReturnableLine> lines_;
  std::optional<RecordedBasket> recorded_;
  QLineEdit* number_ = nullptr;
  QTableWidget* table_ = nullptr;
  QLabel* message_ = nullptr;
};

}  // namespace hemulu
