#pragma once
// The stock movements journal (`stock_move`): every change of a goods row's stock is one
// row, written by the logic function that makes the change, inside its transaction, so
// the two stand or fall together. Here, in data, because both the goods logic and the
// sales logic write it, and neither subsystem's logic may include the other's; the
// opening movements are made at open, by the database itself.
//
// The invariant: for every goods row the movements add up to its 存货数量.

#include <QString>
#include <expected>
#include <optional>
#include <vector>

#include "data/AppContext.h"

namespace hemulu {

// The kinds of movement, as stored in 业务.
inline const QString kMoveNewGoods = QStringLiteral("入库");
inline const QString kMoveRestock = QStringLiteral("续存");
inline const QString kMoveEdit = QStringLiteral("修改");
inline const QString kMoveDelete = QStringLiteral("删除");
inline const QString kMoveSale = QStringLiteral("销售");
inline const QString kMoveSaleDeleted = QStringLiteral("删除销售");
inline const QString kMoveReturn = QStringLiteral("退货");
inline const QString kMoveOpening = QStringLiteral("期初");

// A goods row as a movement records it: its texts then and its stock.
struct MovedGoods {
  qint64 id = 0;
  QString name = {}, model = {}, code = {}, supplier = {};
  double stock = 0, buy_price = 0, bought = 0;
};

// Reads the goods row inside the caller's transaction; nullopt when it is gone. On the
// server the row stays locked until the transaction ends, so the stock read is the one
// the change that follows works on.
[[nodiscard]] std::expected<std::optional<MovedGoods>, DbError> ReadGoodsForMove(AppContext& ctx, qint64 goods_id);

struct StockMove {
  QString kind = {};
  MovedGoods goods = {};  // id, texts; `stock` is the stock after the movement
  double change = 0;
  std::optional<double> buy_price = std::nullopt;
  std::optional<QString> supplier = std::nullopt;
  // A goods edit's purchase quantity and price before and after.
  std::optional<double> old_quantity = std::nullopt, new_quantity = std::nullopt, old_price = std::nullopt,
                        new_price = std::nullopt;
  std::optional<qint64> sale_id = std::nullopt;
};

// Writes one movement, dated now by ctx.clock, by the logged-in user. Call it inside the
// transaction of the change it records.
[[nodiscard]] std::expected<void, DbError> WriteStockMove(AppContext& ctx, const StockMove& move);

// A goods row whose movements do not add up to its stock; a goods row that is gone has a
// stock of 0.
struct StockMismatch {
  qint64 goods_id = 0;
  QString name, model, code;
  double stock = 0, moves_sum = 0;
};

// Largest difference taken as equal: 1e-7, and beyond that the rounding a sum of
// doubles may carry, a millionth of a millionth of the goods' largest movement (a
// quantity of 1e50 typed in a box adds and takes away 5 units unseen).
inline constexpr double kMoveTolerance = 1e-7;
inline constexpr double kMoveRelativeTolerance = 1e-12;

// Every goods row (and every goods that is gone but still has movements) whose movements'
// sum differs from its 存货数量 by more than kMoveTolerance, by goods ID.
[[nodiscard]] std::expected<std::vector<StockMismatch>, DbError> FindStockMismatches(AppContext& ctx);
// The same for the goods that have a movement after `after_move_id` only: the goods
// changed since then. A movement ID past the journal's end (data replaced meanwhile)
// checks every goods row.
[[nodiscard]] std::expected<std::vector<StockMismatch>, DbError> FindStockMismatchesSince(AppContext& ctx,
                                                                                          qint64 after_move_id);
// The journal's last movement ID (0 when empty).
[[nodiscard]] std::expected<qint64, DbError> LastStockMoveId(AppContext& ctx);
// What the user is told: the goods named, at most a few, with their figures.
QString StockMismatchMessage(const std::vector<StockMismatch>& mismatches);

// At start-up: the goods changed since the last clean exit (every goods row when there
// is no mark) whose movements do not add up, as the message naming them; empty when
// they all add up.
[[nodiscard]] std::expected<QString, DbError> StartupStockCheck(AppContext& ctx);
// At a clean exit: keeps the mark (the journal's last movement ID, in stock_check).
// False when the database could not keep it.
bool MarkCleanExit(AppContext& ctx);

}  // namespace hemulu
