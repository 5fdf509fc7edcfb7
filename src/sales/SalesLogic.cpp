#include "sales/SalesLogic.h"

#include <cmath>

#include "data/EngineSql.h"
#include "data/RowWriter.h"
#include "data/StockMoves.h"
#include "data/TextFormat.h"
#include "sales/DebtsLogic.h"

namespace hemulu {

// ---- The sale window's rules ----

QString CustomerNumber(const QDateTime& now) {
  const QDate d = now.date();
  const QTime t = now.time();
  QString s;
  for (int part : {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()}) s += QString::number(part);
  return s;
}

double ClampToStock(double quantity, double stock) { return quantity - stock > kTolerance ? stock : quantity; }

double DiscountStep(double discount, bool up) {
  if (up) return discount - 100 < -kTolerance ? discount + 5 : discount;
  return discount - 5;
}

double QuantityStep(double quantity, double stock, bool up) {
  double q = ClampToStock(quantity, stock);
  if (up) {
    if (q - stock < -kTolerance) q += 1;
  } else if (q > kTolerance) {
    q -= 1;
  }
  return q;
}

double DiscountedPrice(double suggested, double discount) { return suggested * discount / 100; }

double NetProfit(double actual_price, double buy_price, double quantity) {
  return (actual_price - buy_price) * quantity;
}

const QString kSaleGoneText = QStringLiteral("该销售记录已不存在，可能已被删除。");
const QString kStockTooLowText = QStringLiteral("库存不足，无法销售");

namespace {

// The debt a sale has now; nullopt when there is no such sale. Read inside the edit's
// transaction and locked until it ends: the record of the change rests on it.
std::expected<std::optional<double>, DbError> SaleDebt(AppContext& ctx, qint64 sale_id) {
  auto st = ctx.db.Prepare(RowLockingRead(ctx.db, FileSql("select 欠款额 from sell where \"ID\"=?"),
                                          ServerSql("select 欠款额 from sell where \"ID\"=? for update")));
  if (!st) return std::unexpected(st.error());
  st->BindAll(sale_id);
  auto row = st->Step();
  if (!row) return std::unexpected(row.error());
  if (!*row) return std::nullopt;
  return st->Double(0);
}

const QString kNoSuchGoodsText = QStringLiteral("错误代码 [083]");
}  // namespace

std::expected<SaleGoods, ActionError> LoadSaleGoods(AppContext& ctx, qint64 goods_id) {
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(DatabaseActionError(open.error()));
  auto st = ctx.db.Prepare("select \"ID\",名称,型号,编码,类型,首拼,销售单价,进货单价,存货数量 from buy where \"ID\"=?");
  if (!st) return std::unexpected(DatabaseActionError(st.error()));
  st->BindAll(goods_id);
  const auto row = st->Step();
  if (!row) return std::unexpected(DatabaseActionError(row.error()));
  if (!*row) return std::unexpected(ActionError{ActionError::Kind::Gone, kNoSuchGoodsText});
  SaleGoods g;
  g.id = st->Int(0);
  g.name = st->Text(1);
  g.model = st->Text(2);
  g.code = st->Text(3);
  g.category = st->Text(4);
  g.initials = st->Text(5);
  g.sell_price = st->Double(6);
  g.buy_price = st->Double(7);
  g.stock = st->Double(8);
  return g;
}

namespace {

ActionError Refused(const QString& text) { return {ActionError::Kind::Invalid, text}; }
// A quantity the sale cannot take: the quantity box takes the focus.
ActionError QuantityRefused(const QString& text) {
  return {.kind = ActionError::Kind::Invalid, .message = text, .focus = kSaleQuantityBox};
}
ActionError DatabaseFailure(const DbError& e) { return DatabaseActionError(e); }

// A typed figure that is not empty must read as a number: a slip of the finger must not
// record a price or a debt of 0.
std::optional<ActionError> CheckFigure(const QString& text, const char* what) {
  if (text.trimmed().isEmpty() || ParseNumber(text)) return std::nullopt;
  return Refused(QString::fromUtf8(what) + QStringLiteral("必须是数字，请重新填写"));
}

}  // namespace

namespace {

// A deleted sale's movement (no change), read in the delete's transaction: the stock as
// it is. A goods row that is gone is named by the sale's own texts, with no stock. The
// deleted sale's quantity goes in 原数量.
std::expected<void, DbError> WriteSaleMove(AppContext& ctx, qint64 goods_id, double change, qint64 sale_id,
                                           const MovedGoods* sale_texts = nullptr, double deleted_quantity = 0) {
  auto goods = ReadGoodsForMove(ctx, goods_id);
  if (!goods) return std::unexpected(goods.error());
  StockMove move{.kind = sale_texts ? kMoveSaleDeleted : kMoveSale, .change = change, .sale_id = sale_id};
  if (*goods)
    move.goods = **goods;
  else if (sale_texts)
    move.goods = *sale_texts;
  move.goods.id = goods_id;
  if (!*goods) move.goods.stock = 0;
  if (sale_texts) move.old_quantity = deleted_quantity;
  return WriteStockMove(ctx, move);
}

}  // namespace

std::expected<qint64, ActionError> WriteSaleLine(AppContext& ctx, const SaleLine& line) {
  // Locked until the commit: two tills selling the last unit must not both see it. The
  // movement is written from this read too: no second read of the row.
  auto st = ctx.db.Prepare(RowLockingRead(
      ctx.db,
      FileSql("select \"ID\",进货单价,销售数量,销售金额,存货数量,首拼,名称,型号,编码,类型 from buy where \"ID\"=?"),
      ServerSql("select \"ID\",进货单价,销售数量,销售金额,存货数量,首拼,名称,型号,编码,类型 from buy where \"ID\"=? "
                "for update")));
  if (!st) return std::unexpected(DatabaseFailure(st.error()));
  st->BindAll(line.goods_id);
  const auto found = st->Step();
  if (!found) return std::unexpected(DatabaseFailure(found.error()));
  if (!*found) return std::unexpected(ActionError{ActionError::Kind::Gone, kNoSuchGoodsText});
  if (std::fabs(static_cast<double>(st->Int(0) - line.goods_id)) > kTolerance)
    return std::unexpected(Refused(QStringLiteral("未知错误,错误代码[000]")));
  const double buy_price = st->Double(1);
  const double sold = st->Double(2);
  const double sold_amount = st->Double(3);
  const double stock = st->Double(4);
  const QString initials = st->Text(5);
  const QStringList stored = {st->Text(6), st->Text(7), st->Text(8), st->Text(9)};
  const QStringList& labels = line.labels && line.labels->size() == 4 ? *line.labels : stored;

  // The stored stock decides, not the figure the window showed: another window or a
  // stale list may have sold from it meanwhile.
  if (line.quantity - stock > kTolerance) return std::unexpected(QuantityRefused(kStockTooLowText));

  const double new_stock = stock - line.quantity;
  auto updated =
      ctx.db.Execute("update buy set 销售数量=?,销售金额=?,存货数量=?,存货金额=? where \"ID\"=?", sold + line.quantity,
                     sold_amount + line.amount, new_stock, new_stock * buy_price, line.goods_id);
  if (!updated) return std::unexpected(DatabaseFailure(updated.error()));

  RowWriter row(ctx.db, "sell");
  row.Set("名称", labels[0], QStringLiteral("084"))
      .Set("型号", labels[1], QStringLiteral("083"))
      .Set("编码", labels[2], QStringLiteral("082"))
      .Set("类型", labels[3], QStringLiteral("081"))
      .Set("进货单价", line.buy_price.value_or(buy_price), QStringLiteral("0801"))
      .Set("存货数量", new_stock, QStringLiteral("0802"))
      .Set("销售单价", line.actual_price, QStringLiteral("0803"))
      .Set("销售数量", line.quantity, QStringLiteral("079"))
      .Set("销售金额", line.amount, QStringLiteral("078"))
      .Set("销售日期", line.date, QStringLiteral("077"))
      .Set("欠款额", line.debt, QStringLiteral("076"))
      .Set("净利润", NetProfit(line.actual_price, line.buy_price.value_or(buy_price), line.quantity),
           QStringLiteral("075"))
      .Set("客户编号", line.customer_number, QStringLiteral("0755"))
      .Set("客户名称", line.customer_name, QStringLiteral("074"))
      .Set("联系方式", line.contact, QStringLiteral("073"))
      .Set("客户地址", line.address, QStringLiteral("072"))
      .Set("备注", line.note, QStringLiteral("071"))
      .Set("首拼", initials, QStringLiteral("0701"))
      .Set("UID", line.goods_id, QStringLiteral("07010"));
  auto id = row.Insert();
  if (!id) {
    const WriteError& e = id.error();
    return std::unexpected(
        ActionError{e.code.isEmpty() ? ActionError::Kind::Database : ActionError::Kind::Field, e.Message(), e.detail});
  }
  StockMove move{.kind = line.is_return ? kMoveReturn : kMoveSale, .change = -line.quantity, .sale_id = *id};
  move.goods = {.id = line.goods_id, .name = stored[0], .model = stored[1], .code = stored[2], .stock = new_stock};
  if (auto moved = WriteStockMove(ctx, move); !moved) return std::unexpected(DatabaseFailure(moved.error()));
  return *id;
}

std::expected<qint64, ActionError> RecordSale(AppContext& ctx, qint64 goods_id, const SaleForm& form) {
  const double quantity = NumberValue(form.quantity);
  if (std::fabs(quantity) <= kTolerance) return std::unexpected(QuantityRefused(QStringLiteral("销售数量不能是0")));
  if (quantity - NumberValue(form.shown_stock) > kTolerance) return std::unexpected(QuantityRefused(kStockTooLowText));
  for (const auto& [text, what] : {std::pair{&form.actual_price, "实际零售价"}, std::pair{&form.amount, "销售金额"},
                                   std::pair{&form.debt, "欠款金额"}})
    if (auto bad = CheckFigure(*text, what)) return std::unexpected(*bad);
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(DatabaseActionError(open.error()));

  // The goods update and the sale row stand or fall together.
  auto tx = Transaction::Begin(ctx.db);
  if (!tx) return std::unexpected(DatabaseFailure(tx.error()));
  auto id = WriteSaleLine(ctx, {.goods_id = goods_id,
                                .quantity = quantity,
                                .actual_price = NumberValue(form.actual_price),
                                .amount = NumberValue(form.amount),
                                .debt = NumberValue(form.debt),
                                .date = form.date,
                                .labels = QStringList{form.name, form.model, form.code, form.category},
                                .customer_number = form.customer_number,
                                .customer_name = form.customer_name,
                                .contact = form.contact,
                                .address = form.address,
                                .note = form.note});
  if (!id) return std::unexpected(id.error());
  if (auto done = tx->Commit(); !done) return std::unexpected(DatabaseFailure(done.error()));
  return *id;
}

namespace {

std::expected<QStringList, DbError> PickValues(AppContext& ctx, const char* sql) {
  auto st = ctx.Query(sql);
  if (!st) return std::unexpected(st.error());
  QStringList values;
  for (;;) {
    auto row = st->Step();
    if (!row) return std::unexpected(row.error());
    if (!*row) return values;
    const QString v = st->Text(0);
    if (!v.isEmpty() && !values.contains(v)) values.push_back(v);
  }
}

}  // namespace

// The groupings read the (客户名称, 客户地址) and 类型 indexes, not the whole table.
std::expected<QStringList, DbError> CustomerNameValues(AppContext& ctx) {
  return PickValues(ctx, "select max(客户名称) as exp from sell group by 客户名称 order by 客户名称");
}
std::expected<QStringList, DbError> CustomerAddressValues(AppContext& ctx) {
  return PickValues(ctx, "select max(客户地址) as exp from sell group by 客户名称 order by 客户名称");
}
std::expected<QStringList, DbError> SaleCategoryValues(AppContext& ctx) {
  return PickValues(ctx, "select max(类型) as exp from sell group by 类型 order by 类型");
}

// ---- Queries ----

namespace {

QString DayStart(const QDate& d) { return DateSqlText(QDateTime(d, QTime(0, 0))); }

}  // namespace

SalesQuery AllSalesQuery() { return {QStringLiteral("select * from sell order by \"ID\""), {}}; }

namespace {

// The server's LIKE minds case; ILIKE under "C" folds ASCII letters only, as the file's
// LIKE does. The file is told which index to read; the server's planner picks its own.
SalesQuery ContainsQuery(const char* file_sql, const char* column, const QString& text,
                         const char* file_keys_sql = nullptr) {
  SalesQuery q{QString::fromUtf8(file_sql), {ContainsPattern(text)}};
  if (file_keys_sql) q.keys_sql = QString::fromUtf8(file_keys_sql);
  q.server_sql =
      QString::fromUtf8(ServerSql("select * from sell where %1 COLLATE \"C\" ilike ? escape '\\' order by \"ID\""))
          .arg(QString::fromUtf8(column));
  return q;
}

SalesQuery SearchSalesRows(SalesSearchField field, const QString& text) {
  switch (field) {
    // The two busiest searches find their IDs in an index that also holds the four
    // totalled figures, so the list's keys and totals never touch the table.
    case SalesSearchField::Initials:
      return ContainsQuery(
          FileSql("select * from sell where \"ID\" in (select \"ID\" from sell indexed by "
                  "\"sell_首拼_合计\" where 首拼 like ? escape '\\')"),
          "首拼", text,
          FileSql("select \"ID\",销售数量,销售金额,欠款额,净利润 from sell indexed by \"sell_首拼_合计\" "
                  "where 首拼 like ? escape '\\' order by \"ID\""));
    case SalesSearchField::Customer:
      return ContainsQuery(FileSql("select * from sell where \"ID\" in (select \"ID\" from sell indexed by "
                                   "\"sell_客户名称_合计\" where 客户名称 like ? escape '\\')"),
                           "客户名称", text,
                           FileSql("select \"ID\",销售数量,销售金额,欠款额,净利润 from sell indexed by "
                                   "\"sell_客户名称_合计\" where 客户名称 like ? escape '\\' order by \"ID\""));
    case SalesSearchField::Code:
      return ContainsQuery(FileSql("select * from sell where 编码 like ? escape '\\'"), "编码", text);
    case SalesSearchField::Model:
      return ContainsQuery(FileSql("select * from sell where 型号 like ? escape '\\'"), "型号", text);
    case SalesSearchField::Category:
      return ContainsQuery(FileSql("select * from sell where 类型 like ? escape '\\'"), "类型", text);
    case SalesSearchField::Note:
      return ContainsQuery(FileSql("select * from sell where 备注 like ? escape '\\'"), "备注", text);
  }
  return AllSalesQuery();
}

const char* SearchedWhat(SalesSearchField field) {
  switch (field) {
    case SalesSearchField::Initials:
      return "商品名称首拼";
    case SalesSearchField::Code:
      return "商品编码";
    case SalesSearchField::Model:
      return "规格型号";
    case SalesSearchField::Category:
      return "类别";
    case SalesSearchField::Customer:
      return "客户名称";
    case SalesSearchField::Note:
      return "备注";
  }
  return "";
}

}  // namespace

SalesQuery SearchSalesQuery(SalesSearchField field, const QString& text) {
  if (text.isEmpty()) return AllSalesQuery();
  SalesQuery query = SearchSalesRows(field, text);
  query.scope = SearchScope(QString::fromUtf8(SearchedWhat(field)), text);
  return query;
}

// Day ranges rather than equality with midnight: a stored time of day still counts.
SalesQuery SalesOfDayQuery(const QDate& day) { return SalesBetweenQuery(day, day); }

SalesQuery SalesBetweenQuery(const QDate& first, const QDate& last) {
  return {QStringLiteral("select * from sell where 销售日期>=? and 销售日期<? order by 销售日期, \"ID\""),
          {DayStart(first), DayStart(last.addDays(1))},
          {},
          PeriodText(first, last)};
}

SalesQuery SalesOfMonthQuery(const QDate& today) {
  const QDate first(today.year(), today.month(), 1);
  return SalesBetweenQuery(first, first.addMonths(1).addDays(-1));
}

SalesQuery DebtSalesQuery() {
  return {QStringLiteral("select * from sell where 欠款额>0 order by \"ID\""), {}, {}, QStringLiteral("有欠款的销售")};
}

// ---- Edit and delete ----

std::expected<void, ActionError> UpdateSale(AppContext& ctx, qint64 sale_id, const SaleEdit& edit) {
  // A debt typed wrongly must not quietly become 0: that would wipe out what is owed.
  if (auto bad = CheckFigure(edit.debt, "欠款金额")) return std::unexpected(*bad);
  const std::pair<const QString*, const char*> texts[] = {{&edit.customer_name, "客户名称"},
                                                          {&edit.contact, "联系方式"},
                                                          {&edit.address, "客户地址"},
                                                          {&edit.note, "备注信息"}};
  for (const auto& [text, what] : texts)
    if (CharacterCount(*text) > schema::kTextLimit)
      return std::unexpected(Refused(QString::fromUtf8(what) + QStringLiteral("最多%1个字符").arg(schema::kTextLimit)));
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(DatabaseActionError(open.error()));
  // The sale and the record of its debt's change stand or fall together.
  auto tx = Transaction::Begin(ctx.db);
  if (!tx) return std::unexpected(DatabaseFailure(tx.error()));
  auto old_debt = SaleDebt(ctx, sale_id);
  if (!old_debt) return std::unexpected(DatabaseFailure(old_debt.error()));
  auto changed =
      ctx.db.Execute("update sell set 欠款额=?,客户名称=?,联系方式=?,客户地址=?,备注=? where \"ID\"=?",
                     NumberValue(edit.debt), edit.customer_name, edit.contact, edit.address, edit.note, sale_id);
  if (!changed) return std::unexpected(DatabaseFailure(changed.error()));
  if (*changed == 0) return std::unexpected(ActionError{ActionError::Kind::Gone, kSaleGoneText});
  if (auto recorded = RecordDebtEdit(ctx, sale_id, old_debt->value_or(0.0), NumberValue(edit.debt),
                                     {edit.customer_name, edit.contact});
      !recorded)
    return std::unexpected(DatabaseFailure(recorded.error()));
  if (auto done = tx->Commit(); !done) return std::unexpected(DatabaseFailure(done.error()));
  return {};
}

std::expected<void, ActionError> DeleteSale(AppContext& ctx, qint64 sale_id) {
  if (!ctx.session.IsSuperAdministrator())
    return std::unexpected(
        ActionError{ActionError::Kind::NotAllowed, QStringLiteral("对不起，只有超级管理员才能删除销售记录。")});
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(DatabaseActionError(open.error()));
  // The stock stays as it is; the journal still records the deleted sale, with it.
  auto tx = Transaction::Begin(ctx.db);
  if (!tx) return std::unexpected(DatabaseFailure(tx.error()));
  MovedGoods sold;
  double quantity = 0;
  {
    auto st = ctx.db.Prepare("select \"UID\",名称,型号,编码,销售数量 from sell where \"ID\"=?");
    if (!st) return std::unexpected(DatabaseFailure(st.error()));
    st->BindAll(sale_id);
    auto row = st->Step();
    if (!row) return std::unexpected(DatabaseFailure(row.error()));
    if (!*row) return std::unexpected(ActionError{ActionError::Kind::Gone, kSaleGoneText});
    sold = {.id = st->Int(0), .name = st->Text(1), .model = st->Text(2), .code = st->Text(3)};
    quantity = st->Double(4);
  }
  auto changed = ctx.db.Execute("delete from sell where \"ID\"=?", sale_id);
  if (!changed) return std::unexpected(DatabaseFailure(changed.error()));
  if (*changed == 0) return std::unexpected(ActionError{ActionError::Kind::Gone, kSaleGoneText});
  if (auto moved = WriteSaleMove(ctx, sold.id, 0.0, sale_id, &sold, quantity); !moved)
    return std::unexpected(DatabaseFailure(moved.error()));
  if (auto done = tx->Commit(); !done) return std::unexpected(DatabaseFailure(done.error()));
  return {};
}

std::expected<Receipt, ActionError> LoadReceipt(AppContext& ctx, qint64 sale_id) {
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(DatabaseActionError(open.error()));
  auto st =
      ctx.db.Prepare("select 客户编号,销售日期,名称,型号,销售数量,销售单价,销售金额,欠款额 from sell where \"ID\"=?");
  if (!st) return std::unexpected(DatabaseActionError(st.error()));
  st->BindAll(sale_id);
  const auto row = st->Step();
  if (!row) return std::unexpected(DatabaseActionError(row.error()));
  if (!*row) return std::unexpected(ActionError{ActionError::Kind::Gone, kSaleGoneText});
  Receipt r;
  r.shop_name = ctx.settings.ReadSetupValue(QStringLiteral("name"));
  r.shop_address = ctx.settings.ReadSetupValue(QStringLiteral("adress"));
  r.shop_phone = ctx.settings.ReadSetupValue(QStringLiteral("tell"));
  r.customer_number = st->Text(0);
  if (auto d = ParseDateSqlText(st->Text(1)))
    r.date = DateCellText(QDateTime(d->date(), QTime(0, 0)));
  else
    r.date = st->Text(1);
  r.name = st->Text(2);
  r.model = st->Text(3);
  r.quantity = st->Double(4);
  r.price = st->Double(5);
  r.amount = st->Double(6);
  r.debt = st->Double(7);
  return r;
}

}  // namespace hemulu
