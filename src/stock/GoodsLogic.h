#pragma once
// Goods and stock: the queries of the stock page, pick lists, and the writes of stock
// entry, restock, edit and delete. No widgets; errors come back as values.

#include <QDate>
#include <QStringList>
#include <QVariantList>
#include <expected>
#include <optional>
#include <vector>

#include "data/ActionError.h"
#include "data/AppContext.h"
#include "data/RowWriter.h"
#include "data/StockMoves.h"
#include "data/TextFormat.h"

namespace hemulu {

// A query of `buy` with its bound values.
struct GoodsQuery {
  QString sql;
  QVariantList params;
  // What the list covers, for its printed heading.
  QString scope = kAllRecordsScope;
  // The server's own text where it must differ from `sql` (same values); empty: `sql`.
  QString server_sql = {};
};

GoodsQuery AllGoodsQuery();

// The search boxes of the stock page and the field each one searches.
enum class GoodsSearchField { Code, Initials, Model, Category, Supplier };
// Empty text gives every goods row; otherwise the field contains the text as typed
// (quotes, % and _ included).
GoodsQuery SearchGoodsQuery(GoodsSearchField field, const QString& text);
// Goods entered from the first day to the last, both days included.
GoodsQuery GoodsByDateQuery(const QDate& first, const QDate& last);
// The category tree's choice: "全部信息" or nothing gives every goods row.
GoodsQuery CategoryTreeQuery(const QString& item_text);

// The goods rows whose 编码 is exactly the text (a scanned barcode), at most `limit`.
// A failed read comes back for the page to report.
[[nodiscard]] std::expected<std::vector<qint64>, DbError> GoodsIdsWithCode(AppContext& ctx, const QString& code,
                                                                           int limit);

// Values offered by the drop-down lists.
enum class PickField { Category, Name, Model, Code, Supplier };
// Each non-empty value once, in pinyin order.
[[nodiscard]] std::expected<QStringList, DbError> PickListValues(AppContext& ctx, PickField field);
// Orders texts as a Chinese reader expects (pinyin, then the rest).
void SortByPinyin(QStringList& values);

// What the entry and edit windows hold, as typed.
struct GoodsForm {
  QString category, name, model, code, supplier, note;
  QString buy_price, quantity, sell_price;
  QDate date;
};

enum class GoodsFormField { Category, Name, Code, BuyPrice, Quantity, SellPrice, Model, Supplier, Note };

struct FormProblem {
  GoodsFormField field;
  QString message;
};

// The six checks of a save, in their order; the first failing one.
std::optional<FormProblem> ValidateGoodsForm(const GoodsForm& form);

// One goods row as stored.
struct GoodsRecord {
  qint64 id = 0;
  QString name, model, code, category, supplier, note, initials;
  double bought = 0, buy_price = 0, bought_amount = 0, sold = 0, sell_price = 0, sold_amount = 0, stock = 0,
         stock_amount = 0;
  QDateTime date;
};

// The row; nullopt when there is no such row.
[[nodiscard]] std::expected<std::optional<GoodsRecord>, DbError> LoadGoods(AppContext& ctx, qint64 id);

// What an operator is told when editing or deleting goods.
QString GoodsNotAllowedMessage();
// What a command on a goods row that no longer exists is told.
inline const QString kGoodsGoneMessage = QStringLiteral("该商品已不存在，可能已被删除。");
inline const QString kQuantityMissingMessage = QStringLiteral("进货数量必须填写");
// The category tree's root item, which stands for every goods row.
inline const QString kAllGoodsItem = QStringLiteral("全部信息");

// Inserts new goods field by field with the codes [099] … [085].
[[nodiscard]] std::expected<qint64, WriteError> InsertNewGoods(AppContext& ctx, const GoodsForm& form);

// The goods row's 进货单价 after a delivery of `quantity` at `buy_price`: the average
// cost of the stock on hand, (stock × old price + quantity × buy_price) / (stock +
// quantity), to the ten-thousandth; buy_price when the row held no stock; the row's own
// price, exactly, when the delivery costs the same.
double RestockedBuyPrice(const MovedGoods& row, double quantity, double buy_price);

// Adds a delivery of `quantity` at `buy_price` from `supplier` to the row: 进货金额 and
// 存货金额 grow by quantity × buy_price, the quantities by quantity, the row's 进货单价
// becomes RestockedBuyPrice. The row keeps its own 供货商; the
// movement keeps the delivery's price and supplier. The figures are raised where they
// stand, so a sale made while the window was open is kept. Refused (nothing written)
// for a quantity or price that is not a positive finite number, or a supplier over 50
// characters.
[[nodiscard]] std::expected<void, ActionError> RestockGoods(AppContext& ctx, qint64 id, double quantity,
                                                            double buy_price, const QString& supplier);
inline const QString kBuyPriceMissingMessage = QStringLiteral("进货价格必须填写");

// Rewrites the row from the form, recomputing amounts and stock from the sold quantity
// taken when the window opened. Refused to operators; refused when the row was sold
// from or deleted meanwhile.
[[nodiscard]] std::expected<void, ActionError> UpdateGoods(AppContext& ctx, qint64 id, const GoodsForm& form,
                                                           double sold);

// Deletes the row; its sales rows stay. Refused to operators.
[[nodiscard]] std::expected<void, ActionError> DeleteGoods(AppContext& ctx, qint64 id);

}  // namespace hemulu
