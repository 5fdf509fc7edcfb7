#pragma once
// The checkout counter: a basket of goods sold on one receipt in one transaction, baskets
// held aside in the database, returns against a receipt, and the receipt found again by
// its number. No widgets; errors come back as values. Each basket line is written as the
// sale window writes one sale (its sell row, its goods row's figures, its movement).

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <expected>
#include <optional>
#include <vector>

#include "data/ActionError.h"
#include "data/AppContext.h"

namespace hemulu {

// ---- Finding goods ----

// A goods row as the counter shows it. No purchase price: the counter never shows one,
// and recording re-reads it from the goods row.
struct CounterGoods {
  qint64 id = 0;
  QString name = {}, model = {}, code = {}, category = {}, initials = {};
  double sell_price = 0, stock = 0;
};

// The goods whose 编码 is exactly `code` (several goods may share one), by ID.
[[nodiscard]] std::expected<std::vector<CounterGoods>, DbError> FindGoodsByCode(AppContext& ctx, const QString& code);
// The goods whose name initials, name or code contain `text` as typed (quotes, % and _
// taken literally), at most `limit`, by name then ID.
[[nodiscard]] std::expected<std::vector<CounterGoods>, DbError> SearchCounterGoods(AppContext& ctx, const QString& text,
                                                                                   int limit = 50);
// One goods row as it is now; nullopt when it is gone.
[[nodiscard]] std::expected<std::optional<CounterGoods>, DbError> LoadCounterGoods(AppContext& ctx, qint64 goods_id);

// ---- The basket's arithmetic ----

struct BasketLine {
  CounterGoods goods = {};
  double discount = 100;  // percentage of the selling price
  double quantity = 1;
};

// The sale window's rules, per line: the actual price is the selling price × discount /
// 100; the amount is the actual price × quantity.
double LineActualPrice(const BasketLine& line);
double LineAmount(const BasketLine& line);
// More than the line's stock (beyond the tolerance of 1e-7): the line is marked, never
// clamped.
bool LineOverStock(const BasketLine& line);

struct BasketTotals {
  double pieces = 0;  // 件数: the quantities added up
  double total = 0;   // 合计金额: the amounts added up
};
BasketTotals TotalsOf(const std::vector<BasketLine>& lines);
// 找零: what is paid above the total, never negative. 欠款: what the paid amount leaves
// of the total, 0 when it covers it.
double ChangeDue(double total, double paid);
double DebtLeft(double total, double paid);
// The receipt's debt spread over the lines in proportion to their amounts, each rounded
// to 0.01, the remainder on the last line: the parts add up to `debt` exactly (as
// figures rounded to 0.01). Lines of amount 0 carry none unless every amount is 0.
std::vector<double> SpreadDebt(double debt, const std::vector<double>& amounts);

// ---- Recording ----

// The counter's form when "结账" is pressed; the paid amount as typed.
struct Checkout {
  std::vector<BasketLine> lines = {};
  QString paid = {};  // 实收; empty: exactly the total
  QString customer_name = {}, contact = {}, address = {}, note = {};
};

struct RecordedBasket {
  QString receipt_number = {};
  std::vector<qint64> sale_ids = {};  // in line order
  double total = 0, paid = 0, change = 0, debt = 0;
};

// Checks the basket (no lines, a quantity of 0, a letter in a number, a debt without a
// customer name), then in one transaction: a receipt number in the clock form of the
// sale window's customer number (from ctx.clock; when a receipt of that number exists,
// the next second's), and per line the goods row re-read (locked on the server), its
// stock re-checked, its figures updated, its sell row and its movement written. Any
// failure writes nothing and names the line ("第3行 …").
[[nodiscard]] std::expected<RecordedBasket, ActionError> RecordBasket(AppContext& ctx, const Checkout& checkout);

// ---- The receipt ----

struct BasketReceipt {
  QString shop_name = {}, shop_address = {}, shop_phone = {};  // from config.ini; empty ones left out
  QString receipt_number = {}, date_time = {}, operator_name = {};
  struct Line {
    qint64 sale_id = 0;
    QString name = {}, model = {}, code = {};
    double quantity = 0, price = 0, amount = 0, debt = 0;
  };
  std::vector<Line> lines = {};
  double pieces = 0, total = 0, paid = 0, change = 0, debt = 0;
  QString customer_name = {}, note = {};
  // Recorded at the counter, with its payment kept (a sale of the sale window has none).
  bool from_counter = false;
};
// Every sale row of one receipt number, by ID, with its payment; "没有找到小票号为 … 的
// 销售记录" when there is none.
// "没有找到小票号为 … 的销售记录".
QString NoSuchReceiptText(const QString& number);
[[nodiscard]] std::expected<BasketReceipt, ActionError> LoadBasketReceipt(AppContext& ctx,
                                                                          const QString& receipt_number);

// ---- Held baskets (挂单 / 取单) ----

struct HeldBasket {
  qint64 id = 0;
  QDateTime held_at = {};
  QString user = {};
  Checkout checkout = {};
};
// Keeps the basket in the database (it survives a crash) and returns its ID.
[[nodiscard]] std::expected<qint64, ActionError> HoldBasket(AppContext& ctx, const Checkout& checkout);
// Every held basket, oldest first.
[[nodiscard]] std::expected<std::vector<HeldBasket>, ActionError> HeldBaskets(AppContext& ctx);
struct RecalledBasket {
  Checkout checkout = {};    // the lines with the goods as they are now
  QStringList changes = {};  // what changed since it was held: prices, stock, goods gone
};
// Takes a held basket back out of the database, its lines re-read against the goods rows.
[[nodiscard]] std::expected<RecalledBasket, ActionError> RecallBasket(AppContext& ctx, qint64 held_id);

// ---- Returns (退货) ----

struct ReturnableLine {
  qint64 sale_id = 0, goods_id = 0;
  QString name = {}, model = {}, code = {};
  double sold = 0, returned = 0, price = 0;  // price: the actual price it was sold at
};
// The lines of a receipt with what has already been returned of each.
[[nodiscard]] std::expected<std::vector<ReturnableLine>, ActionError> ReturnableLines(AppContext& ctx,
                                                                                      const QString& receipt_number);
struct ReturnRequest {
  qint64 sale_id = 0;
  double quantity = 0;  // given back, positive
};
// One sale row per returned line, with negative quantity and amount at the price it was
// sold at, linked to the original receipt in 备注, under a receipt number of its own; the
// stock goes back and the goods' sales figures go down, each with its movement (退货).
// Refused, writing nothing, when a line would return more than was sold less what was
// already returned.
[[nodiscard]] std::expected<RecordedBasket, ActionError> RecordReturn(AppContext& ctx, const QString& receipt_number,
                                                                      const std::vector<ReturnRequest>& lines);

}  // namespace hemulu
