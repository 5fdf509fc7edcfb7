#include "stock/GoodsHistory.h"

#include <QStringList>
#include <algorithm>
#include <iterator>

#include "data/StockMoves.h"
#include "data/TextFormat.h"

namespace hemulu {

namespace {

// A goods edit keeps the price it wrote in 新单价: shown as its purchase price.
// Ordered by ID, not by date: the stock after each movement follows the order the
// journal was written in, whatever the clock said meanwhile.
constexpr std::string_view kHistorySql =
    "select \"ID\", \"日期\", \"业务\", \"数量\", \"结存数量\", coalesce(\"进货单价\", \"新单价\"), \"供货商\", "
    "\"操作员\", \"销售号\" "
    "from \"stock_move\" where \"商品号\" = ? order by \"ID\" desc";
constexpr std::string_view kHistoryPeriodSql =
    "select \"ID\", \"日期\", \"业务\", \"数量\", \"结存数量\", coalesce(\"进货单价\", \"新单价\"), \"供货商\", "
    "\"操作员\", \"销售号\" "
    "from \"stock_move\" where \"商品号\" = ? and \"日期\" >= ? and \"日期\" < ? order by \"ID\" desc";
constexpr std::string_view kNewestTextsSql =
    "select \"名称\", \"型号\", \"编码\" from \"stock_move\" where \"商品号\" = ? order by \"ID\" desc limit 1";

int KindRank(const QString& kind) {
  const QString order[] = {kMoveOpening, kMoveNewGoods, kMoveRestock,     kMoveEdit,
                           kMoveSale,    kMoveReturn,   kMoveSaleDeleted, kMoveDelete};
  const auto* at = std::find(std::begin(order), std::end(order), kind);
  return static_cast<int>(at - std::begin(order));  // an unknown kind goes last
}

}  // namespace

std::expected<GoodsHistory, DbError> LoadGoodsHistory(AppContext& ctx, qint64 goods_id,
                                                      std::optional<HistoryPeriod> period) {
  GoodsHistory history;
  history.with_prices = ctx.session.IsSuperAdministrator();
  {
    auto st = ctx.Query(kNewestTextsSql, goods_id);
    if (!st) return std::unexpected(st.error());
    auto row = st->Step();
    if (!row) return std::unexpected(row.error());
    if (*row) {
      history.name = st->Text(0);
      history.model = st->Text(1);
      history.code = st->Text(2);
    }
  }
  auto st = period ? ctx.Query(kHistoryPeriodSql, goods_id, DateSqlText(QDateTime(period->first, QTime(0, 0))),
                               DateSqlText(QDateTime(period->last.addDays(1), QTime(0, 0))))
                   : ctx.Query(kHistorySql, goods_id);
  if (!st) return std::unexpected(st.error());
  for (;;) {
    auto row = st->Step();
    if (!row) return std::unexpected(row.error());
    if (!*row) break;
    HistoryLine l;
    l.id = st->Int(0);
    l.date = ParseDateSqlText(st->Text(1)).value_or(QDateTime());
    l.kind = st->Text(2);
    l.change = st->Double(3);
    l.stock_after = st->Double(4);
    if (history.with_prices && !st->IsNull(5)) l.buy_price = st->Double(5);
    l.supplier = st->Text(6);
    l.user = st->Text(7);
    if (!st->IsNull(8)) l.sale_id = st->Int(8);
    auto total = std::find_if(history.totals.begin(), history.totals.end(),
                              [&](const HistoryTotal& t) { return t.kind == l.kind; });
    if (total == history.totals.end()) total = history.totals.insert(history.totals.end(), HistoryTotal{l.kind});
    total->change += l.change;
    ++total->count;
    history.lines.push_back(std::move(l));
  }
  std::stable_sort(history.totals.begin(), history.totals.end(),
                   [](const HistoryTotal& a, const HistoryTotal& b) { return KindRank(a.kind) < KindRank(b.kind); });
  return history;
}

QString GoodsHistoryTitle(const GoodsHistory& history) {
  QStringList parts;
  for (const QString& part : {history.name, history.model, history.code})
    if (!part.isEmpty()) parts << part;
  return parts.join(QLatin1Char(' '));
}

}  // namespace hemulu
