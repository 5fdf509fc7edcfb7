#include "sales/CheckoutLogic.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "data/EngineSql.h"
#include "data/Schema.h"
#include "data/TextFormat.h"
#include "sales/DebtsLogic.h"
#include "sales/SalesLogic.h"

namespace hemulu {

QString NoSuchReceiptText(const QString& number) {
  return QStringLiteral("没有找到小票号为 %1 的销售记录").arg(number);
}

// ---- Finding goods ----

namespace {

// The columns read below, in CounterGoods' order.
CounterGoods ReadCounterGoods(const Statement& st) {
  return {.id = st.Int(0),
          .name = st.Text(1),
          .model = st.Text(2),
          .code = st.Text(3),
          .category = st.Text(4),
          .initials = st.Text(5),
          .sell_price = st.Double(6),
          .stock = st.Double(7)};
}

std::expected<std::vector<CounterGoods>, DbError> AllRows(Statement& st) {
  std::vector<CounterGoods> goods;
  for (;;) {
    auto row = st.Step();
    if (!row) return std::unexpected(row.error());
    if (!*row) return goods;
    goods.push_back(ReadCounterGoods(st));
  }
}

}  // namespace

std::expected<std::vector<CounterGoods>, DbError> FindGoodsByCode(AppContext& ctx, const QString& code) {
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(open.error());
  // Read over the code's index: a scanner sends the next code within a few dozen ms.
  auto st =
      ctx.db.Prepare("select \"ID\",名称,型号,编码,类型,首拼,销售单价,存货数量 from buy where 编码=? order by \"ID\"");
  if (!st) return std::unexpected(st.error());
  st->BindAll(code);
  return AllRows(*st);
}

std::expected<std::vector<CounterGoods>, DbError> SearchCounterGoods(AppContext& ctx, const QString& text, int limit) {
  if (text.isEmpty() || limit <= 0) return std::vector<CounterGoods>{};
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(open.error());
  // As the stock page's search boxes: the file's LIKE folds ASCII letters, the server's
  // ILIKE under "C" does the same.
  auto st = ctx.db.Prepare(ForEngine(
      ctx.db,
      FileSql("select \"ID\",名称,型号,编码,类型,首拼,销售单价,存货数量 from buy where 首拼 like ? escape '\\' "
              "or 名称 like ? escape '\\' or 编码 like ? escape '\\' order by 名称, \"ID\" limit ?"),
      ServerSql("select \"ID\",名称,型号,编码,类型,首拼,销售单价,存货数量 from buy where 首拼 COLLATE \"C\" "
                "ilike ? escape '\\' or 名称 COLLATE \"C\" ilike ? escape '\\' or 编码 COLLATE \"C\" "
                "ilike ? escape '\\' order by 名称, \"ID\" limit ?")));
  if (!st) return std::unexpected(st.error());
  const QString pattern = ContainsPattern(text);
  st->BindAll(pattern, pattern, pattern, limit);
  return AllRows(*st);
}

std::expected<std::optional<CounterGoods>, DbError> LoadCounterGoods(AppContext& ctx, qint64 goods_id) {
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(open.error());
  auto st = ctx.db.Prepare("select \"ID\",名称,型号,编码,类型,首拼,销售单价,存货数量 from buy where \"ID\"=?");
  if (!st) return std::unexpected(st.error());
  st->BindAll(goods_id);
  auto row = st->Step();
  if (!row) return std::unexpected(row.error());
  if (!*row) return std::optional<CounterGoods>();
  return ReadCounterGoods(*st);
}

// ---- The basket's arithmetic ----

double LineActualPrice(const BasketLine& line) { return DiscountedPrice(line.goods.sell_price, line.discount); }
double LineAmount(const BasketLine& line) { return LineActualPrice(line) * line.quantity; }
bool LineOverStock(const BasketLine& line) { return line.quantity - line.goods.stock > kTolerance; }

BasketTotals TotalsOf(const std::vector<BasketLine>& lines) {
  BasketTotals t;
  for (const BasketLine& line : lines) {
    t.pieces += line.quantity;
    t.total += LineAmount(line);
  }
  return t;
}

namespace {

// Money in whole cents; a difference below half a cent is none.
qint64 Cents(double amount) { return std::llround(amount * 100); }

}  // namespace

double ChangeDue(double total, double paid) {
  return static_cast<double>(std::max<qint64>(0, Cents(paid - total))) / 100;
}
double DebtLeft(double total, double paid) {
  return static_cast<double>(std::max<qint64>(0, Cents(total - paid))) / 100;
}

std::vector<double> SpreadDebt(double debt, const std::vector<double>& amounts) {
  std::vector<double> parts(amounts.size(), 0.0);
  if (amounts.empty()) return parts;
  const qint64 whole = Cents(debt);
  double sum = 0;
  for (double a : amounts) sum += std::max(0.0, a);
  // The last line that carries a share takes what the rounding of the others left.
  std::size_t last = amounts.size() - 1;
  if (sum > kTolerance)
    while (last > 0 && amounts[last] <= kTolerance) --last;
  qint64 given = 0;
  for (std::size_t i = 0; i < last; ++i) {
    const double share = sum > kTolerance ? std::max(0.0, amounts[i]) / sum : 1.0 / static_cast<double>(amounts.size());
    qint64 cents = std::llround(static_cast<double>(whole) * share);
    // Rounding up line after line must never leave the last line less than nothing.
    cents = whole >= 0 ? std::min(cents, whole - given) : std::max(cents, whole - given);
    parts[i] = static_cast<double>(cents) / 100;
    given += cents;
  }
  parts[last] = static_cast<double>(whole - given) / 100;
  return parts;
}

// ---- Recording ----

namespace {

ActionError Invalid(const QString& text) { return {ActionError::Kind::Invalid, text}; }

ActionError NoSuchReceipt(const QString& number) { return {ActionError::Kind::Gone, NoSuchReceiptText(number)}; }

QString LineLabel(std::size_t index, const QString& name) {
  return QStringLiteral("第%1行（%2）：").arg(index + 1).arg(name);
}

// The error of one line, named; a goods row gone says so in plain words.
ActionError OnLine(std::size_t index, const QString& name, ActionError error, const QString& gone_text) {
  if (error.kind == ActionError::Kind::Gone) error.message = gone_text;
  error.message = LineLabel(index, name) + error.message;
  error.focus.clear();
  return error;
}

std::optional<ActionError> CheckTexts(const Checkout& c) {
  const std::pair<const QString*, const char*> texts[] = {{&c.customer_name, "客户名称"},
                                                          {&c.contact, "联系方式"},
                                                          {&c.address, "客户地址"},
                                                          {&c.note, "备注"},
                                                          {&c.paid, "实收"}};
  for (const auto& [text, what] : texts)
    if (CharacterCount(*text) > schema::kTextLimit) return Invalid(QString::fromUtf8(what) + kTooLongSuffix);
  return std::nullopt;
}

// A receipt number no sale and no receipt has yet: the clock's, else the next second's.
std::expected<QString, DbError> FreeReceiptNumber(AppContext& ctx) {
  QDateTime at = ctx.clock.Now();
  for (;;) {
    const QString number = CustomerNumber(at);
    bool taken = false;
    for (const char* sql :
         {"select count(*) from sell where 客户编号=?", "select count(*) from receipt where 小票号=?"}) {
      auto st = ctx.db.Prepare(sql);
      if (!st) return std::unexpected(st.error());
      st->BindAll(number);
      auto row = st->Step();
      if (!row) return std::unexpected(row.error());
      taken = taken || (*row && st->Int(0) > 0);
    }
    if (!taken) return number;
    at = at.addSecs(1);
  }
}

// Another till took the receipt number between our look and our write.
const QString kReceiptNumberTakenText = QStringLiteral("另一台收银机刚用了同一个小票号，请再结账一次。");

struct Payment {
  double total = 0, paid = 0, change = 0, debt = 0;
};

// The receipt's row, written first: on the server another till taking the same number
// meanwhile waits here and is then refused, before anything else is written.
std::expected<void, ActionError> WriteReceiptRow(AppContext& ctx, const QString& number, const Payment& p,
                                                 const QString& original = {}) {
  auto written = ctx.db.Execute(
      "insert into receipt (小票号,时间,操作员,合计金额,实收,找零,欠款,原小票号) values (?,?,?,?,?,?,?,?)", number,
      DateSqlText(ctx.clock.Now()), ctx.session.UserName(), p.total, p.paid, p.change, p.debt, original);
  if (written) return {};
  ActionError e = DatabaseActionError(written.error());
  if (written.error().kind == DbError::Kind::Constraint) e.message = kReceiptNumberTakenText;
  return std::unexpected(e);
}

std::expected<RecordedBasket, ActionError> RecordBasketOnce(AppContext& ctx, const Checkout& checkout,
                                                            const Payment& payment, const std::vector<double>& amounts,
                                                            const std::vector<double>& debts);

}  // namespace

std::expected<RecordedBasket, ActionError> RecordBasket(AppContext& ctx, const Checkout& checkout) {
  if (checkout.lines.empty()) return std::unexpected(Invalid(QStringLiteral("收银清单中没有商品")));
  for (std::size_t i = 0; i < checkout.lines.size(); ++i) {
    const BasketLine& line = checkout.lines[i];
    const QString label = LineLabel(i, line.goods.name);
    if (!std::isfinite(line.quantity) || !std::isfinite(line.discount) || !std::isfinite(LineAmount(line)))
      return std::unexpected(Invalid(label + QStringLiteral("数量或折扣不是有效的数字")));
    if (line.quantity <= kTolerance) return std::unexpected(Invalid(label + QStringLiteral("销售数量必须大于0")));
  }
  if (auto bad = CheckTexts(checkout)) return std::unexpected(*bad);
  const BasketTotals totals = TotalsOf(checkout.lines);
  double paid = totals.total;
  if (!checkout.paid.trimmed().isEmpty()) {
    const auto typed = ParseNumber(checkout.paid);
    if (!typed || !std::isfinite(*typed)) return std::unexpected(Invalid(QStringLiteral("实收必须是数字，请重新填写")));
    if (*typed < 0) return std::unexpected(Invalid(QStringLiteral("实收不能是负数")));
    paid = *typed;
  }
  const Payment payment{totals.total, paid, ChangeDue(totals.total, paid), DebtLeft(totals.total, paid)};
  // A debt needs a debtor: the debts list and its repayments go by the customer's name.
  if (payment.debt > 0 && checkout.customer_name.trimmed().isEmpty())
    return std::unexpected(Invalid(QStringLiteral("实收少于合计金额，欠款必须填写客户名称")));
  std::vector<double> amounts;
  for (const BasketLine& line : checkout.lines) amounts.push_back(LineAmount(line));
  const std::vector<double> debts = SpreadDebt(payment.debt, amounts);

  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(DatabaseActionError(open.error()));
  // Another till that took the same second's number first has committed by the time
  // ours is refused: the basket, written nowhere, is recorded again under the next free
  // number. A few times at most: a till does not sell that many baskets a second.
  std::expected<RecordedBasket, ActionError> recorded = std::unexpected(ActionError{});
  for (int attempt = 0; attempt < 5; ++attempt) {
    recorded = RecordBasketOnce(ctx, checkout, payment, amounts, debts);
    if (recorded || recorded.error().message != kReceiptNumberTakenText) break;
  }
  return recorded;
}

namespace {

std::expected<RecordedBasket, ActionError> RecordBasketOnce(AppContext& ctx, const Checkout& checkout,
                                                            const Payment& payment, const std::vector<double>& amounts,
                                                            const std::vector<double>& debts) {
  // Every line, the receipt and the movements stand or fall together.
  auto tx = Transaction::Begin(ctx.db);
  if (!tx) return std::unexpected(DatabaseActionError(tx.error()));
  auto number = FreeReceiptNumber(ctx);
  if (!number) return std::unexpected(DatabaseActionError(number.error()));
  if (auto receipt = WriteReceiptRow(ctx, *number, payment); !receipt) return std::unexpected(receipt.error());

  RecordedBasket recorded{.receipt_number = *number,
                          .total = payment.total,
                          .paid = payment.paid,
                          .change = payment.change,
                          .debt = payment.debt};
  const QDate date = ctx.clock.Now().date();
  for (std::size_t i = 0; i < checkout.lines.size(); ++i) {
    const BasketLine& line = checkout.lines[i];
    auto id = WriteSaleLine(ctx, {.goods_id = line.goods.id,
                                  .quantity = line.quantity,
                                  .actual_price = LineActualPrice(line),
                                  .amount = amounts[i],
                                  .debt = debts[i],
                                  .date = date,
                                  .customer_number = *number,
                                  .customer_name = checkout.customer_name,
                                  .contact = checkout.contact,
                                  .address = checkout.address,
                                  .note = checkout.note});
    if (!id)
      return std::unexpected(
          OnLine(i, line.goods.name, id.error(), QStringLiteral("该商品已被删除，请从清单中去掉后再结账")));
    recorded.sale_ids.push_back(*id);
  }
  if (auto done = tx->Commit(); !done) return std::unexpected(DatabaseActionError(done.error()));
  return recorded;
}

}  // namespace

// ---- The receipt ----

std::expected<BasketReceipt, ActionError> LoadBasketReceipt(AppContext& ctx, const QString& receipt_number) {
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(DatabaseActionError(open.error()));
  BasketReceipt r;
  r.shop_name = ctx.settings.ReadSetupValue(QStringLiteral("name"));
  r.shop_address = ctx.settings.ReadSetupValue(QStringLiteral("adress"));
  r.shop_phone = ctx.settings.ReadSetupValue(QStringLiteral("tell"));
  r.receipt_number = receipt_number;
  QString first_date;
  {
    auto st = ctx.db.Prepare(
        "select \"ID\",名称,型号,编码,销售数量,销售单价,销售金额,欠款额,销售日期,客户名称,备注 from sell "
        "where 客户编号=? order by \"ID\"");
    if (!st) return std::unexpected(ReadActionError(st.error()));
    st->BindAll(receipt_number);
    for (;;) {
      auto row = st->Step();
      if (!row) return std::unexpected(ReadActionError(row.error()));
      if (!*row) break;
      BasketReceipt::Line line{.sale_id = st->Int(0),
                               .name = st->Text(1),
                               .model = st->Text(2),
                               .code = st->Text(3),
                               .quantity = st->Double(4),
                               .price = st->Double(5),
                               .amount = st->Double(6),
                               .debt = st->Double(7)};
      if (r.lines.empty()) {
        first_date = st->Text(8);
        r.customer_name = st->Text(9);
        r.note = st->Text(10);
      }
      r.pieces += line.quantity;
      r.total += line.amount;
      r.debt += line.debt;
      r.lines.push_back(line);
    }
  }
  if (r.lines.empty()) return std::unexpected(NoSuchReceipt(receipt_number));

  auto st = ctx.db.Prepare("select 时间,操作员,合计金额,实收,找零,欠款 from receipt where 小票号=? order by \"ID\"");
  if (!st) return std::unexpected(ReadActionError(st.error()));
  st->BindAll(receipt_number);
  auto row = st->Step();
  if (!row) return std::unexpected(ReadActionError(row.error()));
  if (*row) {
    // What was paid and owed when it was sold; the lines' debts may have been repaid since.
    const auto at = ParseDateSqlText(st->Text(0));
    r.date_time = at ? DateCellText(*at) : st->Text(0);
    r.operator_name = st->Text(1);
    r.total = st->Double(2);
    r.paid = st->Double(3);
    r.change = st->Double(4);
    r.debt = st->Double(5);
    r.from_counter = true;
  } else {
    // A sale of the sale window: no payment kept, paid what was not owed.
    const auto at = ParseDateSqlText(first_date);
    r.date_time = at ? DateCellText(QDateTime(at->date(), QTime(0, 0))) : first_date;
    r.paid = r.total - r.debt;
    r.change = 0;
  }
  return r;
}

// ---- Held baskets ----

std::expected<qint64, ActionError> HoldBasket(AppContext& ctx, const Checkout& checkout) {
  if (checkout.lines.empty()) return std::unexpected(Invalid(QStringLiteral("收银清单中没有商品")));
  if (auto bad = CheckTexts(checkout)) return std::unexpected(*bad);
  for (std::size_t i = 0; i < checkout.lines.size(); ++i) {
    const BasketLine& line = checkout.lines[i];
    if (!std::isfinite(line.quantity) || !std::isfinite(line.discount))
      return std::unexpected(Invalid(LineLabel(i, line.goods.name) + QStringLiteral("数量或折扣不是有效的数字")));
  }
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(DatabaseActionError(open.error()));
  auto tx = Transaction::Begin(ctx.db);
  if (!tx) return std::unexpected(DatabaseActionError(tx.error()));
  auto held = ctx.db.Execute(
      "insert into held_basket (时间,操作员,客户名称,联系方式,客户地址,备注,实收) values (?,?,?,?,?,?,?)",
      DateSqlText(ctx.clock.Now()), ctx.session.UserName(), checkout.customer_name, checkout.contact, checkout.address,
      checkout.note, checkout.paid);
  if (!held) return std::unexpected(DatabaseActionError(held.error()));
  const qint64 id = ctx.db.LastInsertId();
  for (std::size_t i = 0; i < checkout.lines.size(); ++i) {
    const BasketLine& line = checkout.lines[i];
    // The goods' texts as held, cut to the column: they only name a line that is gone.
    auto written = ctx.db.Execute(
        "insert into held_basket_line (挂单号,行号,商品号,名称,编码,销售单价,折扣,数量) values (?,?,?,?,?,?,?,?)", id,
        static_cast<qint64>(i + 1), line.goods.id, line.goods.name.left(schema::kTextLimit),
        line.goods.code.left(schema::kTextLimit), line.goods.sell_price, line.discount, line.quantity);
    if (!written) return std::unexpected(DatabaseActionError(written.error()));
  }
  if (auto done = tx->Commit(); !done) return std::unexpected(DatabaseActionError(done.error()));
  return id;
}

namespace {

struct HeldLine {
  qint64 basket = 0;
  BasketLine line;
};

std::expected<std::vector<HeldLine>, DbError> ReadHeldLines(AppContext& ctx, std::optional<qint64> basket) {
  auto st = ctx.db.Prepare(
      basket ? "select 挂单号,商品号,名称,编码,销售单价,折扣,数量 from held_basket_line where 挂单号=? "
               "order by 挂单号, 行号, \"ID\""
             : "select 挂单号,商品号,名称,编码,销售单价,折扣,数量 from held_basket_line order by 挂单号, 行号, \"ID\"");
  if (!st) return std::unexpected(st.error());
  if (basket) st->BindAll(*basket);
  std::vector<HeldLine> lines;
  for (;;) {
    auto row = st->Step();
    if (!row) return std::unexpected(row.error());
    if (!*row) return lines;
    HeldLine h;
    h.basket = st->Int(0);
    h.line.goods.id = st->Int(1);
    h.line.goods.name = st->Text(2);
    h.line.goods.code = st->Text(3);
    h.line.goods.sell_price = st->Double(4);
    h.line.discount = st->Double(5);
    h.line.quantity = st->Double(6);
    lines.push_back(h);
  }
}

HeldBasket ReadHeldHeader(const Statement& st) {
  HeldBasket b;
  b.id = st.Int(0);
  if (auto at = ParseDateSqlText(st.Text(1))) b.held_at = *at;
  b.user = st.Text(2);
  b.checkout.customer_name = st.Text(3);
  b.checkout.contact = st.Text(4);
  b.checkout.address = st.Text(5);
  b.checkout.note = st.Text(6);
  b.checkout.paid = st.Text(7);
  return b;
}

}  // namespace

std::expected<std::vector<HeldBasket>, ActionError> HeldBaskets(AppContext& ctx) {
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(DatabaseActionError(open.error()));
  std::vector<HeldBasket> baskets;
  auto st =
      ctx.db.Prepare("select \"ID\",时间,操作员,客户名称,联系方式,客户地址,备注,实收 from held_basket order by \"ID\"");
  if (!st) return std::unexpected(ReadActionError(st.error()));
  for (;;) {
    auto row = st->Step();
    if (!row) return std::unexpected(ReadActionError(row.error()));
    if (!*row) break;
    baskets.push_back(ReadHeldHeader(*st));
  }
  auto lines = ReadHeldLines(ctx, std::nullopt);
  if (!lines) return std::unexpected(ReadActionError(lines.error()));
  std::map<qint64, HeldBasket*> by_id;
  for (HeldBasket& b : baskets) by_id[b.id] = &b;
  for (const HeldLine& h : *lines)
    if (auto it = by_id.find(h.basket); it != by_id.end()) it->second->checkout.lines.push_back(h.line);
  return baskets;
}

std::expected<RecalledBasket, ActionError> RecallBasket(AppContext& ctx, qint64 held_id) {
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(DatabaseActionError(open.error()));
  const ActionError gone{ActionError::Kind::Gone, QStringLiteral("该挂单已被取走或删除")};
  // Read and removed together: two tills cannot both take the same basket.
  auto tx = Transaction::Begin(ctx.db);
  if (!tx) return std::unexpected(DatabaseActionError(tx.error()));
  HeldBasket basket;
  {
    auto st = ctx.db.Prepare(RowLockingRead(
        ctx.db,
        FileSql("select \"ID\",时间,操作员,客户名称,联系方式,客户地址,备注,实收 from held_basket where \"ID\"=?"),
        ServerSql("select \"ID\",时间,操作员,客户名称,联系方式,客户地址,备注,实收 from held_basket where \"ID\"=? "
                  "for update")));
    if (!st) return std::unexpected(DatabaseActionError(st.error()));
    st->BindAll(held_id);
    auto row = st->Step();
    if (!row) return std::unexpected(DatabaseActionError(row.error()));
    if (!*row) return std::unexpected(gone);
    basket = ReadHeldHeader(*st);
  }
  auto held = ReadHeldLines(ctx, held_id);
  if (!held) return std::unexpected(DatabaseActionError(held.error()));
  for (const char* sql : {"delete from held_basket_line where 挂单号=?", "delete from held_basket where \"ID\"=?"}) {
    auto removed = ctx.db.Execute(sql, held_id);
    if (!removed) return std::unexpected(DatabaseActionError(removed.error()));
  }

  RecalledBasket recalled;
  recalled.checkout = basket.checkout;
  for (const HeldLine& h : *held) {
    auto now = LoadCounterGoods(ctx, h.line.goods.id);
    if (!now) return std::unexpected(DatabaseActionError(now.error()));
    const QString& name = h.line.goods.name;
    if (!*now) {
      recalled.changes.push_back(name + QStringLiteral("：商品已删除，已从清单中去掉"));
      continue;
    }
    BasketLine line = h.line;
    line.goods = **now;
    if (std::fabs(line.goods.sell_price - h.line.goods.sell_price) > kTolerance)
      recalled.changes.push_back(
          QStringLiteral("%1：售价 %2 → %3")
              .arg(line.goods.name, NumberText(h.line.goods.sell_price), NumberText(line.goods.sell_price)));
    if (LineOverStock(line))
      recalled.changes.push_back(
          QStringLiteral("%1：库存不足（剩 %2）").arg(line.goods.name, NumberText(line.goods.stock)));
    recalled.checkout.lines.push_back(line);
  }
  if (auto done = tx->Commit(); !done) return std::unexpected(DatabaseActionError(done.error()));
  return recalled;
}

// ---- Returns ----

namespace {

// What has been given back of one sale.
std::expected<double, DbError> ReturnedOf(AppContext& ctx, qint64 sale_id) {
  auto st = ctx.db.Prepare("select coalesce(sum(数量), 0) from return_line where 原销售号=?");
  if (!st) return std::unexpected(st.error());
  st->BindAll(sale_id);
  auto row = st->Step();
  if (!row) return std::unexpected(row.error());
  return *row ? st->Double(0) : 0.0;
}

}  // namespace

std::expected<std::vector<ReturnableLine>, ActionError> ReturnableLines(AppContext& ctx,
                                                                        const QString& receipt_number) {
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(DatabaseActionError(open.error()));
  auto st = ctx.db.Prepare(
      "select s.\"ID\",s.\"UID\",s.名称,s.型号,s.编码,s.销售数量,s.销售单价,coalesce(r.退回, 0) as 退回 from sell s "
      "left join (select l.原销售号, sum(l.数量) as 退回 from return_line l "
      "group by l.原销售号) r on r.原销售号=s.\"ID\" where s.客户编号=? and s.销售数量>0 order by s.\"ID\"");
  if (!st) return std::unexpected(ReadActionError(st.error()));
  st->BindAll(receipt_number);
  std::vector<ReturnableLine> lines;
  for (;;) {
    auto row = st->Step();
    if (!row) return std::unexpected(ReadActionError(row.error()));
    if (!*row) break;
    lines.push_back({.sale_id = st->Int(0),
                     .goods_id = st->Int(1),
                     .name = st->Text(2),
                     .model = st->Text(3),
                     .code = st->Text(4),
                     .sold = st->Double(5),
                     .returned = st->Double(7),
                     .price = st->Double(6)});
  }
  if (lines.empty()) return std::unexpected(NoSuchReceipt(receipt_number));
  return lines;
}

std::expected<RecordedBasket, ActionError> RecordReturn(AppContext& ctx, const QString& receipt_number,
                                                        const std::vector<ReturnRequest>& lines) {
  // One sale asked for twice is one return of the sum.
  std::vector<ReturnRequest> requests;
  for (const ReturnRequest& r : lines) {
    if (!std::isfinite(r.quantity) || r.quantity < -kTolerance)
      return std::unexpected(Invalid(QStringLiteral("退货数量必须是大于0的数字")));
    if (r.quantity <= kTolerance) continue;
    auto same = std::ranges::find(requests, r.sale_id, &ReturnRequest::sale_id);
    if (same != requests.end())
      same->quantity += r.quantity;
    else
      requests.push_back(r);
  }
  if (requests.empty()) return std::unexpected(Invalid(QStringLiteral("请填写要退货的商品数量")));
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(DatabaseActionError(open.error()));
  auto tx = Transaction::Begin(ctx.db);
  if (!tx) return std::unexpected(DatabaseActionError(tx.error()));

  struct Sold {
    qint64 goods_id = 0;
    QStringList labels;
    double price = 0, quantity = 0, buy_price = 0;
    double debt = 0, debt_off = 0;  // what the sale still owes, and what the return takes off it
    QString customer_name, contact, address;
  };
  std::vector<Sold> sold;
  double total = 0, debt_off = 0;
  for (std::size_t i = 0; i < requests.size(); ++i) {
    // Locked until the commit: two tills returning the same sale must not both see it whole.
    auto st = ctx.db.Prepare(RowLockingRead(
        ctx.db,
        FileSql("select \"UID\",名称,型号,编码,类型,销售单价,销售数量,客户名称,联系方式,客户地址,客户编号,欠款额,"
                "进货单价 from sell where \"ID\"=?"),
        ServerSql("select \"UID\",名称,型号,编码,类型,销售单价,销售数量,客户名称,联系方式,客户地址,客户编号,欠款额,"
                  "进货单价 from sell where \"ID\"=? for update")));
    if (!st) return std::unexpected(DatabaseActionError(st.error()));
    st->BindAll(requests[i].sale_id);
    auto row = st->Step();
    if (!row) return std::unexpected(DatabaseActionError(row.error()));
    if (!*row || st->Text(10) != receipt_number || st->Double(6) <= kTolerance)
      return std::unexpected(NoSuchReceipt(receipt_number));
    Sold s{.goods_id = st->Int(0),
           .labels = {st->Text(1), st->Text(2), st->Text(3), st->Text(4)},
           .price = st->Double(5),
           .quantity = requests[i].quantity,
           .buy_price = st->Double(12),
           .debt = st->Double(11),
           .customer_name = st->Text(7),
           .contact = st->Text(8),
           .address = st->Text(9)};
    const double bought = st->Double(6);
    auto returned = ReturnedOf(ctx, requests[i].sale_id);
    if (!returned) return std::unexpected(DatabaseActionError(returned.error()));
    const double left = bought - *returned;
    if (s.quantity - left > kTolerance)
      return std::unexpected(
          Invalid(s.labels[0] + QStringLiteral("：退货数量超过可退数量（可退 %1）").arg(NumberText(left))));
    // Goods not yet paid for are given back against the debt first: only the rest is
    // paid out.
    const double amount = s.quantity * s.price;
    s.debt_off = s.debt > kTolerance ? std::min(s.debt, amount) : 0.0;
    total -= amount;
    debt_off += s.debt_off;
    sold.push_back(s);
  }

  auto number = FreeReceiptNumber(ctx);
  if (!number) return std::unexpected(DatabaseActionError(number.error()));
  // The return's receipt: its total negative, what was paid out, and the debt it took off
  // (negative: owed less).
  const double refund = std::min(0.0, total + debt_off);
  const Payment payment{.total = total, .paid = refund, .debt = -debt_off};
  if (auto receipt = WriteReceiptRow(ctx, *number, payment, receipt_number); !receipt)
    return std::unexpected(receipt.error());
  RecordedBasket recorded{.receipt_number = *number, .total = total, .paid = refund, .debt = -debt_off};
  const QDate date = ctx.clock.Now().date();
  const QString note = QStringLiteral("退货，原小票 ") + receipt_number;
  for (std::size_t i = 0; i < sold.size(); ++i) {
    const Sold& s = sold[i];
    auto id = WriteSaleLine(ctx, {.goods_id = s.goods_id,
                                  .quantity = -s.quantity,
                                  .actual_price = s.price,
                                  .amount = -s.quantity * s.price,
                                  .date = date,
                                  .labels = s.labels,
                                  .customer_number = *number,
                                  .customer_name = s.customer_name,
                                  .contact = s.contact,
                                  .address = s.address,
                                  .note = note.left(schema::kTextLimit),
                                  .is_return = true,
                                  .buy_price = s.buy_price});
    if (!id) return std::unexpected(OnLine(i, s.labels[0], id.error(), QStringLiteral("该商品已被删除，无法退货")));
    if (s.debt_off > kTolerance) {
      const double left_owed = s.debt - s.debt_off;
      auto lowered = ctx.db.Execute("update sell set 欠款额=? where \"ID\"=?", left_owed, requests[i].sale_id);
      if (!lowered) return std::unexpected(DatabaseActionError(lowered.error()));
      if (auto noted = RecordDebtEdit(ctx, requests[i].sale_id, s.debt, left_owed, {s.customer_name, s.contact},
                                      kReturnDebtNote);
          !noted)
        return std::unexpected(DatabaseActionError(noted.error()));
    }
    auto linked = ctx.db.Execute("insert into return_line (销售号,原销售号,数量) values (?,?,?)", *id,
                                 requests[i].sale_id, s.quantity);
    if (!linked) return std::unexpected(DatabaseActionError(linked.error()));
    recorded.sale_ids.push_back(*id);
  }
  if (auto done = tx->Commit(); !done) return std::unexpected(DatabaseActionError(done.error()));
  return recorded;
}

}  // namespace hemulu
