#pragma once
// Customer debts: who owes how much (the debtors list), repayments kept as records and
// allocated to the customer's open sales oldest first, their undo, the record a debt
// changed in the sale edit window leaves, and a customer's statement. No widgets;
// errors come back as values.

#include <QDate>
#include <QDateTime>
#include <QStringList>
#include <expected>
#include <functional>
#include <vector>

#include "data/ActionError.h"
#include "data/AppContext.h"
#include "lists/ListPlan.h"

namespace hemulu {

// A customer is the name and the contact as typed on the sales.
struct DebtCustomer {
  QString name, contact;
  bool operator==(const DebtCustomer&) const = default;
};

// How a customer without a name is listed.
inline const QString kNoCustomerName = QStringLiteral("（未填客户）");
// The list's text of a name, and back.
QString ShownCustomerName(const QString& name);
QString StoredCustomerName(const QString& shown);

// The methods of a repayment, in the window's order; the second may go into the bank.
const QStringList& RepaymentMethods();
inline const QString kBankMethod = QStringLiteral("银行");
// The note of the record a debt changed in the sale edit window leaves.
inline const QString kSaleEditNote = QStringLiteral("在销售单中修改");

// ---- The debtors list ----
// Columns of the debtors grid (field i of the plan lands in column i + 1).
inline constexpr int kDebtorCols = 7;
inline constexpr int kDebtorNameCol = 1;
inline constexpr int kDebtorContactCol = 2;
inline constexpr int kDebtorSalesCol = 3;
inline constexpr int kDebtorOwedCol = 4;
inline constexpr int kDebtorOldestCol = 5;
inline constexpr int kDebtorLastRepaymentCol = 6;

// One row per customer with a sale that owes (or is owed) anything: the open sales, the
// total owed, the oldest open sale's day and the last repayment's day; most owed first.
// A non-empty search keeps the customers whose name, or its initials by `initials_of`,
// contain it (letters in either case).
ListPlan DebtorsListPlan(const QString& search = {}, std::function<QString(const QString&)> initials_of = {});

struct Debtor {
  DebtCustomer customer;
  int open_sales = 0;
  double owed = 0;
};
// The same customers as the list, for the repayment window's check and the tests.
[[nodiscard]] std::expected<std::vector<Debtor>, DbError> LoadDebtors(AppContext& ctx);
// What the customer owes on their open sales (those whose debt is above 0).
[[nodiscard]] std::expected<double, DbError> OwedBy(AppContext& ctx, const DebtCustomer& customer);

// ---- Repayments ----

// The repayment window as typed.
struct RepaymentForm {
  DebtCustomer customer;
  QString amount;
  QDate date;
  QString method;  // one of RepaymentMethods()
  QString note;
  bool to_bank = false;  // only with the bank method: also a deposit in the bank page
  QString bank, account;
};

// Focus names of the repayment window's boxes, which take the focus after a refusal.
inline const QString kRepaymentAmountBox = QStringLiteral("收款金额框");
inline const QString kRepaymentBankBox = QStringLiteral("收款银行框");

// Takes the amount off the customer's open sales, oldest first (the last one perhaps
// partly), records the repayment and its parts, and with `to_bank` the bank deposit,
// all in one transaction. More than is owed is refused with what is owed. Returns the
// repayment's ID.
[[nodiscard]] std::expected<qint64, ActionError> RecordRepayment(AppContext& ctx, const RepaymentForm& form);
// A sale's debt changed between the read and the write (another till): nothing was kept.
inline const QString kDebtChangedText = QStringLiteral("该客户的欠款刚被其他操作修改，收款没有保存，请重新收款。");

// Puts back what the repayment took off each sale (a sale deleted since is passed
// over), marks it undone and records the undo as a repayment of the opposite amount
// with the same parts negated; a bank deposit made with it is taken out by a
// withdrawal. 超级管理员 only. Returns the undo record's ID.
[[nodiscard]] std::expected<qint64, ActionError> UndoRepayment(AppContext& ctx, qint64 repayment_id);
inline const QString kRepaymentGoneText = QStringLiteral("该收款记录已不存在。");

// The record of a debt changed in the sale edit window: `old_debt - new_debt` as a
// repayment of that sale (negative when the debt was raised), noted kSaleEditNote.
// Nothing when the debt did not change. Runs inside the caller's transaction.
[[nodiscard]] std::expected<void, DbError> RecordDebtEdit(AppContext& ctx, qint64 sale_id, double old_debt,
                                                          double new_debt, const DebtCustomer& customer,
                                                          const QString& note = kSaleEditNote);
// The note of the debt a return at the counter took off its sale.
inline const QString kReturnDebtNote = QStringLiteral("退货抵扣欠款");

// The banks and the accounts already used in the bank page, for the repayment window's
// lists.
[[nodiscard]] std::expected<QStringList, DbError> DepositBankValues(AppContext& ctx, bool accounts);

// ---- The statement ----

struct StatementLine {
  enum class Kind { Sale, Repayment };
  Kind kind = Kind::Sale;
  qint64 id = 0;  // the sale's or the repayment's
  QDateTime date;
  QString what;         // "销售" / "收款" / "撤销收款" and their details
  QString detail;       // the goods of a sale; the method and note of a repayment
  double charged = 0;   // what a sale put on the account
  double paid = 0;      // what a repayment took off it
  double balance = 0;   // owed after this line
  bool undone = false;  // a repayment undone since
  bool is_undo = false;
};

// Every sale of the customer that was ever on credit, with what it first owed, and every
// repayment as far as it touched this customer's sales, in date order (sales before
// repayments of the same day), with the running balance. The last balance is what
// the customer owes in the debtors list.
[[nodiscard]] std::expected<std::vector<StatementLine>, DbError> LoadStatement(AppContext& ctx,
                                                                               const DebtCustomer& customer);
// The statement's spreadsheet name: "对账单-<客户名称>.xlsx", characters a file name
// cannot hold replaced.
QString StatementFileName(const DebtCustomer& customer);

}  // namespace hemulu
