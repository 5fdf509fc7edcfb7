#pragma once
// Sales: the sale window's arithmetic, recording a sale, the sales list's queries, and
// the edit and delete of a sale. No widgets; errors come back as values.

#include <QDate>
#include <QDateTime>
#include <QStringList>
#include <QVariantList>
#include <expected>
#include <optional>

#include "data/ActionError.h"
#include "data/AppContext.h"
#include "data/TextFormat.h"

namespace hemulu {

// ---- The sale window's rules ----

// Year, month, day, hour, minute and second run together without leading zeros:
// 6 April 2012 08:15:30 gives "20124681530".
QString CustomerNumber(const QDateTime& now);
// A quantity above the stock (beyond the tolerance) becomes the stock.
double ClampToStock(double quantity, double stock);
// The discount arrow: up adds 5 only while below 100 (so 98 gives 103); down has no floor.
double DiscountStep(double discount, bool up);
// The quantity arrow: clamps to the stock first; up stops at the stock, down at 0.
double QuantityStep(double quantity, double stock, bool up);
// The actual price from the suggested price and the discount percentage.
double DiscountedPrice(double suggested, double discount);
// Profit is earned on the actual price, whatever amount was typed.
double NetProfit(double actual_price, double buy_price, double quantity);

// The goods row a sale is made from, as stored.
struct SaleGoods {
  qint64 id = 0;
  QString name, model, code, category, initials;
  double sell_price = 0, buy_price = 0, stock = 0;
};
// "错误代码 [083]" when there is no such goods row.
[[nodiscard]] std::expected<SaleGoods, ActionError> LoadSaleGoods(AppContext& ctx, qint64 goods_id);

// What the sale window holds when "确认销售" is pressed; number boxes as typed.
struct SaleForm {
  QString name, model, code, category;  // the labels
  QString shown_stock;                  // 库存框
  QString actual_price, quantity, amount, debt;
  QDate date;
  QString customer_number, customer_name, contact, address, note;
};

// The sale window's quantity box, which takes the focus when the quantity is refused.
inline const QString kSaleQuantityBox = QStringLiteral("销售数量框");

// Checks the form as the window does, then in one transaction re-reads the goods row,
// re-checks the quantity against the stored stock, updates the goods figures and adds
// the sale row. Returns the new sale's ID; on any failure both tables are unchanged.
[[nodiscard]] std::expected<qint64, ActionError> RecordSale(AppContext& ctx, qint64 goods_id, const SaleForm& form);

// One sale row's writes, inside the caller's transaction: the goods row read (locked on
// the server until the transaction ends), the quantity checked against its stored stock,
// its figures updated, the sell row and its movement written. The sale window's sale and
// every line of a counter basket or return go through it. A negative quantity (a return)
// puts the stock back and takes the sale's figures off the goods row.
struct SaleLine {
  qint64 goods_id = 0;
  double quantity = 0, actual_price = 0, amount = 0, debt = 0;
  QDate date = {};
  // The sell row's 名称, 型号, 编码, 类型: as the sale window shows them; nullopt: the goods
  // row's own, as read.
  std::optional<QStringList> labels = std::nullopt;
  QString customer_number = {}, customer_name = {}, contact = {}, address = {}, note = {};
  bool is_return = false;  // the movement's kind: 退货 rather than 销售
  // The purchase price the row's 进货单价 and 净利润 are worked from; nullopt: the goods
  // row's own. A return gives the price of the sale it takes back, so that the two
  // profits cancel whatever the goods have cost since.
  std::optional<double> buy_price = std::nullopt;
};
[[nodiscard]] std::expected<qint64, ActionError> WriteSaleLine(AppContext& ctx, const SaleLine& line);
// What WriteSaleLine says when the stored stock is below the quantity.
extern const QString kStockTooLowText;

// The customer pick lists of the sale window and the sales page: each non-empty value
// once, or the read's failure for the window to report.
[[nodiscard]] std::expected<QStringList, DbError> CustomerNameValues(AppContext& ctx);
[[nodiscard]] std::expected<QStringList, DbError> CustomerAddressValues(AppContext& ctx);
[[nodiscard]] std::expected<QStringList, DbError> SaleCategoryValues(AppContext& ctx);

// ---- The sales list's queries ----

struct SalesQuery {
  QString sql;
  QVariantList params;
  // When not empty: the same rows' ID, 销售数量, 销售金额, 欠款额 and 净利润, in the same
  // order, from a narrower path than `sql` (same parameters).
  QString keys_sql = {};
  // What the list covers, for its printed heading.
  QString scope = kAllRecordsScope;
  // The server's own texts where they must differ from `sql` and `keys_sql` (same
  // values); empty: `sql`, and the keys read from it.
  QString server_sql = {};
  QString server_keys_sql = {};
};

SalesQuery AllSalesQuery();
enum class SalesSearchField { Initials, Code, Model, Category, Customer, Note };
// Empty text gives every sale; otherwise the field contains the text as typed (quotes,
// % and _ taken literally).
SalesQuery SearchSalesQuery(SalesSearchField field, const QString& text);
// Sales of one day, of a range of days (both ends included), of the month of `today`.
SalesQuery SalesOfDayQuery(const QDate& day);
SalesQuery SalesBetweenQuery(const QDate& first, const QDate& last);
SalesQuery SalesOfMonthQuery(const QDate& today);
SalesQuery DebtSalesQuery();

// ---- Edit and delete ----

// The editable part of a sale, as typed.
struct SaleEdit {
  QString debt, customer_name, contact, address, note;
};
// Writes the debt and the four customer texts of one sale and nothing else.
[[nodiscard]] std::expected<void, ActionError> UpdateSale(AppContext& ctx, qint64 sale_id, const SaleEdit& edit);
// Removes the sale row; the goods row keeps what the sale did. Refused to operators.
[[nodiscard]] std::expected<void, ActionError> DeleteSale(AppContext& ctx, qint64 sale_id);

// ---- Receipt ----

struct Receipt {
  QString shop_name, shop_address, shop_phone;  // from config.ini; empty ones are left out
  QString customer_number, date, name, model;
  double quantity = 0, price = 0, amount = 0, debt = 0;
};
// "该销售记录已不存在" when the sale is gone.
[[nodiscard]] std::expected<Receipt, ActionError> LoadReceipt(AppContext& ctx, qint64 sale_id);
// The text of a sale that is no longer there.
extern const QString kSaleGoneText;

}  // namespace hemulu
