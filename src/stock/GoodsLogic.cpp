#include "stock/GoodsLogic.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>
#include <cmath>

#include "data/EngineSql.h"
#include "data/StockMoves.h"
#include "data/TextFormat.h"
#include "stock/NameInitials.h"

namespace hemulu {

namespace {

const char* SearchColumn(GoodsSearchField field) {
  switch (field) {
    case GoodsSearchField::Code:
      return "编码";
    case GoodsSearchField::Initials:
      return "首拼";
    case GoodsSearchField::Model:
      return "型号";
    case GoodsSearchField::Category:
      return "类型";
    case GoodsSearchField::Supplier:
      return "供货商";
  }
  return "编码";
}

const char* PickColumn(PickField field) {
  switch (field) {
    case PickField::Category:
      return "类型";
    case PickField::Name:
      return "名称";
    case PickField::Model:
      return "型号";
    case PickField::Code:
      return "编码";
    case PickField::Supplier:
      return "供货商";
  }
  return "类型";
}

GoodsQuery ContainsQuery(const char* column, const QString& text, const char* what) {
  if (text.isEmpty()) return AllGoodsQuery();
  // The server's LIKE minds case; ILIKE under "C" folds ASCII letters only, as the file's LIKE does.
  const QString name = QString::fromUtf8(column);
  return {QString::fromUtf8(FileSql("select * from buy where %1 like ? escape '\\'")).arg(name),
          {ContainsPattern(text)},
          SearchScope(QString::fromUtf8(what), text),
          QString::fromUtf8(ServerSql("select * from buy where %1 COLLATE \"C\" ilike ? escape '\\' order by \"ID\""))
              .arg(name)};
}

const ActionError kNotAllowed{ActionError::Kind::NotAllowed,
                              QStringLiteral("对不起，只有超级管理员才能修改或删除商品。")};
const ActionError kGone{ActionError::Kind::Gone, kGoodsGoneMessage};

}  // namespace

QString GoodsNotAllowedMessage() { return kNotAllowed.message; }

GoodsQuery AllGoodsQuery() { return {QStringLiteral("select * from buy order by \"ID\""), {}}; }

GoodsQuery SearchGoodsQuery(GoodsSearchField field, const QString& text) {
  const char* what = field == GoodsSearchField::Code       ? "商品编码"
                     : field == GoodsSearchField::Initials ? "商品名称首拼"
                     : field == GoodsSearchField::Model    ? "规格型号"
                     : field == GoodsSearchField::Category ? "类别"
                                                           : "供货商";
  return ContainsQuery(SearchColumn(field), text, what);
}

GoodsQuery GoodsByDateQuery(const QDate& first, const QDate& last) {
  return {QStringLiteral("select * from buy where 入库日期>=? and 入库日期<=? order by 入库日期, \"ID\""),
          {DateSqlText(QDateTime(first, QTime(0, 0))), DateSqlText(QDateTime(last, QTime(23, 59, 59)))},
          PeriodText(first, last)};
}

GoodsQuery CategoryTreeQuery(const QString& item_text) {
  if (item_text.isEmpty() || item_text == kAllGoodsItem) return AllGoodsQuery();
  return ContainsQuery("类型", item_text, "类别");
}

std::expected<std::vector<qint64>, DbError> GoodsIdsWithCode(AppContext& ctx, const QString& code, int limit) {
  std::vector<qint64> ids;
  if (code.isEmpty()) return ids;
  auto st = ctx.Query("select \"ID\" from buy where 编码=? order by \"ID\" limit ?", code, limit);
  if (!st) return std::unexpected(st.error());
  for (;;) {
    auto row = st->Step();
    if (!row) return std::unexpected(row.error());
    if (!*row) return ids;
    ids.push_back(st->Int(0));
  }
}

void SortByPinyin(QStringList& values) {
  QCollator collator{QLocale(QLocale::Chinese, QLocale::China)};
  collator.setNumericMode(true);
  std::stable_sort(values.begin(), values.end(),
                   [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
}

std::expected<QStringList, DbError> PickListValues(AppContext& ctx, PickField field) {
  const QString column = QString::fromUtf8(PickColumn(field));
  auto st = ctx.Query(QStringLiteral("select %1 as exp from buy group by %1 order by %1").arg(column).toStdString());
  if (!st) return std::unexpected(st.error());
  QStringList values;
  while (true) {
    auto row = st->Step();
    if (!row) return std::unexpected(row.error());
    if (!*row) break;
    const QString v = st->Text(0);
    if (!v.isEmpty()) values.push_back(v);
  }
  SortByPinyin(values);
  return values;
}

std::optional<FormProblem> ValidateGoodsForm(const GoodsForm& f) {
  using enum GoodsFormField;
  if (f.category.isEmpty()) return FormProblem{Category, QStringLiteral("商品类别必须填写")};
  if (f.name.isEmpty()) return FormProblem{Name, QStringLiteral("商品名称必须填写")};
  if (f.code.isEmpty()) return FormProblem{Code, QStringLiteral("商品编码必须填写")};
  if (NumberValue(f.buy_price) <= kTolerance) return FormProblem{BuyPrice, kBuyPriceMissingMessage};
  if (NumberValue(f.quantity) <= kTolerance) return FormProblem{Quantity, kQuantityMissingMessage};
  if (NumberValue(f.sell_price) <= kTolerance) return FormProblem{SellPrice, QStringLiteral("销售价格必须填写")};
  return std::nullopt;
}

std::expected<std::optional<GoodsRecord>, DbError> LoadGoods(AppContext& ctx, qint64 id) {
  auto st = ctx.Query("select * from buy where \"ID\"=?", id);
  if (!st) return std::unexpected(st.error());
  auto found = st->Step();
  if (!found) return std::unexpected(found.error());
  if (!*found) return std::optional<GoodsRecord>();
  GoodsRecord r;
  r.id = st->Int("ID");
  r.name = st->Text("名称");
  r.model = st->Text("型号");
  r.code = st->Text("编码");
  r.category = st->Text("类型");
  r.bought = st->Double("进货数量");
  r.buy_price = st->Double("进货单价");
  r.bought_amount = st->Double("进货金额");
  r.sold = st->Double("销售数量");
  r.sell_price = st->Double("销售单价");
  r.sold_amount = st->Double("销售金额");
  r.stock = st->Double("存货数量");
  r.stock_amount = st->Double("存货金额");
  r.date = ParseDateSqlText(st->Text("入库日期")).value_or(QDateTime());
  r.supplier = st->Text("供货商");
  r.note = st->Text("备注");
  r.initials = st->Text("首拼");
  return r;
}

namespace {
WriteError DatabaseWriteError(const DbError& e) { return WriteError{QString(), e.message, false, e.kind}; }
}  // namespace

std::expected<qint64, WriteError> InsertNewGoods(AppContext& ctx, const GoodsForm& f) {
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(UnavailableWriteError(open.error()));
  const double q = NumberValue(f.quantity), p = NumberValue(f.buy_price);
  // The goods row and its first movement stand or fall together.
  auto tx = Transaction::Begin(ctx.db);
  if (!tx) return std::unexpected(DatabaseWriteError(tx.error()));
  auto id = RowWriter(ctx.db, "buy")
                .Set("类型", f.category, QStringLiteral("099"))
                .Set("名称", f.name, QStringLiteral("098"))
                .Set("型号", f.model, QStringLiteral("097"))
                .Set("编码", f.code, QStringLiteral("096"))
                .Set("进货数量", q, QStringLiteral("095"))
                .Set("进货单价", p, QStringLiteral("094"))
                .Set("进货金额", q * p, QStringLiteral("093"))
                .Set("销售数量", 0.0, QStringLiteral("093"))
                .Set("销售单价", NumberValue(f.sell_price), QStringLiteral("091"))
                .Set("销售金额", 0.0, QStringLiteral("090"))
                .Set("存货数量", q, QStringLiteral("089"))
                .Set("存货金额", q * p, QStringLiteral("088"))
                .Set("入库日期", QDateTime(f.date, QTime(0, 0)), QStringLiteral("087"))
                .Set("供货商", f.supplier, QStringLiteral("086"))
                .Set("备注", f.note, QStringLiteral("085"))
                .Set("首拼", NameInitials(f.name), QStringLiteral("085"))
                .Insert();
  if (!id) return id;
  const StockMove move{.kind = kMoveNewGoods,
                       .goods = {.id = *id, .name = f.name, .model = f.model, .code = f.code, .stock = q},
                       .change = q,
                       .buy_price = p,
                       .supplier = f.supplier};
  if (auto moved = WriteStockMove(ctx, move); !moved) return std::unexpected(DatabaseWriteError(moved.error()));
  if (auto done = tx->Commit(); !done) return std::unexpected(DatabaseWriteError(done.error()));
  return id;
}

double RestockedBuyPrice(const MovedGoods& row, double q, double p) {
  if (row.buy_price == p) return row.buy_price;
  if (!(row.stock > kTolerance) || !std::isfinite(row.buy_price)) return p;
  const double average = (row.stock * row.buy_price + q * p) / (row.stock + q);
  // A unit cost to the ten-thousandth: 1.2333, not 1.233333333333 in every list.
  const double rounded = std::round(average * 10000.0) / 10000.0;
  return std::isfinite(rounded) ? rounded : average;
}

std::expected<void, ActionError> RestockGoods(AppContext& ctx, qint64 id, double q, double p, const QString& supplier) {
  if (!std::isfinite(q) || q <= kTolerance)
    return std::unexpected(
        ActionError{ActionError::Kind::Invalid, kQuantityMissingMessage, {}, QStringLiteral("数量框")});
  if (!std::isfinite(p) || p <= kTolerance)
    return std::unexpected(
        ActionError{ActionError::Kind::Invalid, kBuyPriceMissingMessage, {}, QStringLiteral("进货单价框")});
  if (CharacterCount(supplier) > schema::kTextLimit)
    return std::unexpected(ActionError{
        ActionError::Kind::Field, QStringLiteral("供货商") + kTooLongSuffix, {}, QStringLiteral("供货商框")});
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(DatabaseActionError(open.error()));
  // The restock and its movement stand or fall together.
  auto tx = Transaction::Begin(ctx.db);
  if (!tx) return std::unexpected(DatabaseActionError(tx.error()));
  // The row as it stands, locked on the server until the commit (the file lets one
  // writer in at a time): the average cost is worked out from the stock it holds.
  auto before = ReadGoodsForMove(ctx, id);
  if (!before) return std::unexpected(DatabaseActionError(before.error()));
  if (!*before) return std::unexpected(kGone);
  const double price = RestockedBuyPrice(**before, q, p);
  auto changed = ctx.db.Execute(
      "update buy set 进货单价=?, 进货数量=进货数量+?, 进货金额=进货金额+?, 存货数量=存货数量+?, 存货金额=存货金额+? "
      "where \"ID\"=?",
      price, q, q * p, q, q * p, id);
  if (!changed) return std::unexpected(DatabaseActionError(changed.error()));
  if (*changed == 0) return std::unexpected(kGone);
  // Read after the update: the stock after it.
  auto goods = ReadGoodsForMove(ctx, id);
  if (!goods) return std::unexpected(DatabaseActionError(goods.error()));
  if (!*goods) return std::unexpected(kGone);
  const StockMove move{.kind = kMoveRestock, .goods = **goods, .change = q, .buy_price = p, .supplier = supplier};
  if (auto moved = WriteStockMove(ctx, move); !moved) return std::unexpected(DatabaseActionError(moved.error()));
  if (auto done = tx->Commit(); !done) return std::unexpected(DatabaseActionError(done.error()));
  return {};
}

std::expected<void, ActionError> UpdateGoods(AppContext& ctx, qint64 id, const GoodsForm& f, double sold) {
  if (!ctx.session.IsSuperAdministrator()) return std::unexpected(kNotAllowed);
  if (auto problem = ValidateGoodsForm(f))
    return std::unexpected(ActionError{ActionError::Kind::Invalid, problem->message});
  const std::pair<const QString*, const char*> texts[] = {{&f.name, "商品名称"},
                                                          {&f.model, "规格型号"},
                                                          {&f.code, "商品编码"},
                                                          {&f.category, "商品类别"},
                                                          {&f.supplier, "供货商"}};
  for (const auto& [text, label] : texts)
    if (CharacterCount(*text) > schema::kTextLimit)
      return std::unexpected(ActionError{ActionError::Kind::Field, QString::fromUtf8(label) + kTooLongSuffix});
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(DatabaseActionError(open.error()));

  auto tx = Transaction::Begin(ctx.db);
  if (!tx) return std::unexpected(DatabaseActionError(tx.error()));
  // The amounts rest on the sold quantity shown when the window opened; if a sale has
  // changed it since, saving would lose that sale. Locked until the commit, so a sale on
  // another till waits for this change or is seen by it.
  auto current = ctx.db.Prepare(RowLockingRead(ctx.db, FileSql("select 销售数量 from buy where \"ID\"=?"),
                                               ServerSql("select 销售数量 from buy where \"ID\"=? for update")));
  if (!current) return std::unexpected(DatabaseActionError(current.error()));
  current->BindAll(id);
  auto found = current->Step();
  if (!found) return std::unexpected(DatabaseActionError(found.error()));
  if (!*found) return std::unexpected(kGone);
  if (std::fabs(current->Double(0) - sold) > kTolerance)
    return std::unexpected(
        ActionError{ActionError::Kind::Changed,
                    QStringLiteral("该商品在窗口打开后又有销售，数据已变化。\n请关闭窗口，重新打开后再修改。")});
  current = Statement();
  auto before = ReadGoodsForMove(ctx, id);
  if (!before) return std::unexpected(DatabaseActionError(before.error()));
  if (!*before) return std::unexpected(kGone);

  const double q = NumberValue(f.quantity), p = NumberValue(f.buy_price), r = NumberValue(f.sell_price);
  auto changed = ctx.db.Execute(
      "update buy set 名称=?,型号=?,编码=?,类型=?,进货数量=?,进货单价=?,进货金额=?,销售数量=?,销售单价=?,销售金额=?,"
      "存货数量=?,存货金额=?,供货商=?,备注=?,首拼=? where \"ID\"=?",
      f.name, f.model, f.code, f.category, q, p, q * p, sold, r, sold * r, q - sold, p * (q - sold), f.supplier, f.note,
      NameInitials(f.name), id);
  if (!changed) return std::unexpected(DatabaseActionError(changed.error()));
  // The edit's difference in stock is its movement, with what it replaced.
  const StockMove move{.kind = kMoveEdit,
                       .goods = {.id = id, .name = f.name, .model = f.model, .code = f.code, .stock = q - sold},
                       .change = (q - sold) - (*before)->stock,
                       .old_quantity = (*before)->bought,
                       .new_quantity = q,
                       .old_price = (*before)->buy_price,
                       .new_price = p};
  if (auto moved = WriteStockMove(ctx, move); !moved) return std::unexpected(DatabaseActionError(moved.error()));
  if (auto c = tx->Commit(); !c) return std::unexpected(DatabaseActionError(c.error()));
  return {};
}

std::expected<void, ActionError> DeleteGoods(AppContext& ctx, qint64 id) {
  if (!ctx.session.IsSuperAdministrator()) return std::unexpected(kNotAllowed);
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(DatabaseActionError(open.error()));
  // The stock that leaves with the row is its movement; both or neither.
  auto tx = Transaction::Begin(ctx.db);
  if (!tx) return std::unexpected(DatabaseActionError(tx.error()));
  auto goods = ReadGoodsForMove(ctx, id);
  if (!goods) return std::unexpected(DatabaseActionError(goods.error()));
  if (!*goods) return {};  // already gone: nothing left to delete
  auto changed = ctx.db.Execute("delete from buy where \"ID\"=?", id);
  if (!changed) return std::unexpected(DatabaseActionError(changed.error()));
  StockMove move{.kind = kMoveDelete, .goods = **goods, .change = -(*goods)->stock};
  move.goods.stock = 0;
  if (auto moved = WriteStockMove(ctx, move); !moved) return std::unexpected(DatabaseActionError(moved.error()));
  if (auto done = tx->Commit(); !done) return std::unexpected(DatabaseActionError(done.error()));
  return {};
}

}  // namespace hemulu
