#include "data/StockMoves.h"

#include <cmath>

#include "data/EngineSql.h"
#include "data/TextFormat.h"

namespace hemulu {

std::expected<std::optional<MovedGoods>, DbError> ReadGoodsForMove(AppContext& ctx, qint64 goods_id) {
  auto st = ctx.db.Prepare(RowLockingRead(
      ctx.db, FileSql("select \"ID\",名称,型号,编码,供货商,存货数量,进货单价,进货数量 from buy where \"ID\"=?"),
      ServerSql("select \"ID\",名称,型号,编码,供货商,存货数量,进货单价,进货数量 from buy where \"ID\"=? for update")));
  if (!st) return std::unexpected(st.error());
  st->BindAll(goods_id);
  auto row = st->Step();
  if (!row) return std::unexpected(row.error());
  if (!*row) return std::optional<MovedGoods>();
  MovedGoods g;
  g.id = st->Int(0);
  g.name = st->Text(1);
  g.model = st->Text(2);
  g.code = st->Text(3);
  g.supplier = st->Text(4);
  g.stock = st->Double(5);
  g.buy_price = st->Double(6);
  g.bought = st->Double(7);
  return g;
}

namespace {

template <class T>
void BindOptional(Statement& st, int index, const std::optional<T>& value) {
  if (value)
    st.Bind(index, *value);
  else
    st.BindNull(index);
}

}  // namespace

std::expected<void, DbError> WriteStockMove(AppContext& ctx, const StockMove& m) {
  auto st = ctx.db.Prepare(
      "insert into stock_move (日期,操作员,商品号,名称,型号,编码,业务,数量,结存数量,进货单价,供货商,原数量,新数量,"
      "原单价,新单价,销售号) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
  if (!st) return std::unexpected(st.error());
  st->BindAll(DateSqlText(ctx.clock.Now()), ctx.session.UserName(), m.goods.id, m.goods.name, m.goods.model,
              m.goods.code, m.kind, m.change, m.goods.stock);
  BindOptional(*st, 10, m.buy_price);
  BindOptional(*st, 11, m.supplier);
  BindOptional(*st, 12, m.old_quantity);
  BindOptional(*st, 13, m.new_quantity);
  BindOptional(*st, 14, m.old_price);
  BindOptional(*st, 15, m.new_price);
  BindOptional(*st, 16, m.sale_id);
  return st->Run();
}

namespace {

// The sums of the goods' movements against their stock; `changed` (our own text) limits
// it to some goods. The second part finds goods that are gone whose movements do not
// come back to 0, named by their last movement.
std::expected<std::vector<StockMismatch>, DbError> Mismatches(AppContext& ctx, const char* changed,
                                                              std::optional<qint64> after) {
  const QString filter = changed ? QString::fromUtf8(changed) : QString();
  const QString rows =
      QStringLiteral(
          "select g.\"ID\",g.名称,g.型号,g.编码,coalesce(g.存货数量,0) as 存货,coalesce(m.合计,0) as 合计 from buy g "
          "left join (select 商品号,sum(数量) as 合计,max(abs(数量)) as 最大 from stock_move %1 group by 商品号) m "
          "on m.商品号=g.\"ID\" where abs(coalesce(g.存货数量,0)-coalesce(m.合计,0))>?+?*coalesce(m.最大,0) %2 "
          "order by g.\"ID\"")
          .arg(filter.isEmpty() ? QString() : QStringLiteral("where ") + filter.arg(QStringLiteral("商品号")),
               filter.isEmpty() ? QString() : QStringLiteral("and ") + filter.arg(QStringLiteral("g.\"ID\"")));
  const QString gone =
      QStringLiteral(
          "select m.商品号,(select s.名称 from stock_move s where s.商品号=m.商品号 order by s.\"ID\" desc limit 1) as "
          "名称,"
          "(select s.型号 from stock_move s where s.商品号=m.商品号 order by s.\"ID\" desc limit 1) as 型号,"
          "(select s.编码 from stock_move s where s.商品号=m.商品号 order by s.\"ID\" desc limit 1) as 编码,m.合计 "
          "from (select 商品号,sum(数量) as 合计,max(abs(数量)) as 最大 from stock_move %1 group by 商品号) m "
          "where abs(m.合计)>?+?*m.最大 and not exists (select 1 from buy g where g.\"ID\"=m.商品号) order by m.商品号")
          .arg(filter.isEmpty() ? QString() : QStringLiteral("where ") + filter.arg(QStringLiteral("商品号")));
  std::vector<StockMismatch> found;
  for (const QString* part : {&rows, &gone}) {
    const QString& sql = *part;
    auto st = ctx.db.Prepare(sql.toStdString());
    if (!st) return std::unexpected(st.error());
    if (!after)
      st->BindAll(kMoveTolerance, kMoveRelativeTolerance);
    else if (&sql == &rows)
      st->BindAll(*after, kMoveTolerance, kMoveRelativeTolerance, *after);
    else
      st->BindAll(*after, kMoveTolerance, kMoveRelativeTolerance);
    for (;;) {
      auto row = st->Step();
      if (!row) return std::unexpected(row.error());
      if (!*row) break;
      StockMismatch m;
      m.goods_id = st->Int(0);
      m.name = st->Text(1);
      m.model = st->Text(2);
      m.code = st->Text(3);
      if (&sql == &rows) {
        m.stock = st->Double(4);
        m.moves_sum = st->Double(5);
      } else {
        m.moves_sum = st->Double(4);
      }
      found.push_back(std::move(m));
    }
  }
  return found;
}

}  // namespace

std::expected<std::vector<StockMismatch>, DbError> FindStockMismatches(AppContext& ctx) {
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(open.error());
  return Mismatches(ctx, nullptr, std::nullopt);
}

std::expected<qint64, DbError> LastStockMoveId(AppContext& ctx) {
  auto st = ctx.Query("select coalesce(max(\"ID\"),0) from stock_move");
  if (!st) return std::unexpected(st.error());
  auto row = st->Step();
  if (!row) return std::unexpected(row.error());
  return *row ? st->Int(0) : 0;
}

std::expected<std::vector<StockMismatch>, DbError> FindStockMismatchesSince(AppContext& ctx, qint64 after_move_id) {
  auto last = LastStockMoveId(ctx);
  if (!last) return std::unexpected(last.error());
  if (after_move_id > *last) return Mismatches(ctx, nullptr, std::nullopt);
  return Mismatches(ctx, "%1 in (select c.商品号 from stock_move c where c.\"ID\">?)", after_move_id);
}

QString StockMismatchMessage(const std::vector<StockMismatch>& mismatches) {
  constexpr std::size_t kNamed = 10;
  QString text = QStringLiteral("以下商品的出入库流水合计与库存数量不符，请核对：");
  for (std::size_t i = 0; i < mismatches.size() && i < kNamed; ++i) {
    const StockMismatch& m = mismatches[i];
    text += QStringLiteral("\n%1 %2 %3（编号%4）：库存 %5，流水合计 %6")
                .arg(m.name, m.model, m.code)
                .arg(m.goods_id)
                .arg(NumberText(m.stock), NumberText(m.moves_sum));
  }
  if (mismatches.size() > kNamed) text += QStringLiteral("\n……共%1种商品").arg(mismatches.size());
  return text;
}

namespace {

// The mark of the last clean exit; 0 when there is none.
std::expected<qint64, DbError> CleanExitMark(AppContext& ctx) {
  auto st = ctx.Query("select coalesce(max(流水号),0) from stock_check");
  if (!st) return std::unexpected(st.error());
  auto row = st->Step();
  if (!row) return std::unexpected(row.error());
  return *row ? st->Int(0) : 0;
}

}  // namespace

std::expected<QString, DbError> StartupStockCheck(AppContext& ctx) {
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(open.error());
  auto mark = CleanExitMark(ctx);
  if (!mark) return std::unexpected(mark.error());
  auto mismatches = FindStockMismatchesSince(ctx, *mark);
  if (!mismatches) return std::unexpected(mismatches.error());
  return mismatches->empty() ? QString() : StockMismatchMessage(*mismatches);
}

// Kept in the database, beside the journal it marks: a restored or copied data.db takes
// its own mark along, and config.ini stays the user's settings alone.
bool MarkCleanExit(AppContext& ctx) {
  if (!ctx.db.IsOpen()) return false;
  auto last = LastStockMoveId(ctx);
  if (!last) return false;
  auto tx = Transaction::Begin(ctx.db);
  if (!tx) return false;
  if (!ctx.db.Execute("delete from stock_check")) return false;
  if (!ctx.db.Execute("insert into stock_check (流水号) values (?)", *last)) return false;
  return tx->Commit().has_value();
}

}  // namespace hemulu
