#include "sales/DebtsLogic.h"

#include <cmath>

#include "data/RowWriter.h"
#include "data/Schema.h"
#include "data/TextFormat.h"

namespace hemulu {

QString ShownCustomerName(const QString& name) { return name.isEmpty() ? kNoCustomerName : name; }
QString StoredCustomerName(const QString& shown) { return shown == kNoCustomerName ? QString() : shown; }

const QStringList& RepaymentMethods() {
  static const QStringList methods = {QStringLiteral("现金"), kBankMethod, QStringLiteral("其他")};
  return methods;
}

namespace {

ActionError Refused(const QString& text, const QString& focus = {}) {
  return {.kind = ActionError::Kind::Invalid, .message = text, .focus = focus};
}

// Sales with a debt either way, read from the debt index alone (two ranges, no OR, so
// neither engine falls back to the table). Texts stored as NULL by older files count
// as empty ones.
constexpr const char* kDebtSalesSql =
    "select coalesce(客户名称,'') as 客户名称,coalesce(联系方式,'') as 联系方式,欠款额,销售日期 from sell "
    "where 欠款额>0.0000001 "
    "union all "
    "select coalesce(客户名称,'') as 客户名称,coalesce(联系方式,'') as 联系方式,欠款额,销售日期 from sell "
    "where 欠款额<-0.0000001";

std::string DebtorsSql() {
  return std::string("select case when d.客户名称='' then '") + kNoCustomerName.toStdString() +
         "' else d.客户名称 end as 客户名称,d.联系方式,d.笔数,d.欠款,d.最早欠款,r.最近收款 from "
         "(select 客户名称,联系方式,sum(case when 欠款额>0.0000001 then 1 else 0 end) as 笔数,sum(欠款额) as 欠款,"
         "min(case when 欠款额>0.0000001 then 销售日期 end) as 最早欠款 from (" +
         kDebtSalesSql +
         ") as s group by 客户名称,联系方式) as d "
         "left join (select 客户名称,联系方式,max(日期) as 最近收款 from repayment "
         "where 金额>0 and 撤销号=0 and 撤销记录=0 group by 客户名称,联系方式) as r "
         "on r.客户名称=d.客户名称 and r.联系方式=d.联系方式 "
         "order by d.欠款 desc,d.客户名称,d.联系方式";
}

// The customer's sales, by the name's index; an empty name matches NULL too.
QString CustomerWhere(const DebtCustomer& c, const char* table) {
  const QString t = QString::fromUtf8(table);
  return (c.name.isEmpty() ? QStringLiteral("(%1.客户名称='' or %1.客户名称 is null)").arg(t)
                           : QStringLiteral("%1.客户名称=?").arg(t)) +
         QStringLiteral(" and coalesce(%1.联系方式,'')=?").arg(t);
}

QVariantList CustomerValues(const DebtCustomer& c) {
  QVariantList v;
  if (!c.name.isEmpty()) v << c.name;
  v << c.contact;
  return v;
}

template <class... Extra>
std::expected<Statement, DbError> PrepareFor(AppContext& ctx, const QString& sql, const QVariantList& values,
                                             const Extra&... extra) {
  auto st = ctx.db.Prepare(sql.toStdString());
  if (!st) return st;
  int i = 1;
  for (const QVariant& v : values) st->Bind(i++, v);
  (st->Bind(i++, QVariant::fromValue(extra)), ...);
  return st;
}

// Rounds a sum of money to the cent's thousandth, so that 0.1 + 0.2 owed is not refused
// a repayment of 0.3.
bool Above(double a, double b) { return a - b > 0.000001; }

struct OpenSale {
  qint64 id = 0;
  double debt = 0;
};

std::expected<std::vector<OpenSale>, DbError> OpenSales(AppContext& ctx, const DebtCustomer& c) {
  auto st = PrepareFor(ctx,
                       QStringLiteral("select s.\"ID\",s.欠款额 from sell s where ") + CustomerWhere(c, "s") +
                           QStringLiteral(" and s.欠款额>0.0000001 order by s.销售日期,s.\"ID\""),
                       CustomerValues(c));
  if (!st) return std::unexpected(st.error());
  std::vector<OpenSale> out;
  for (;;) {
    auto row = st->Step();
    if (!row) return std::unexpected(row.error());
    if (!*row) break;
    out.push_back({st->Int(0), st->Double(1)});
  }
  return out;
}

std::expected<qint64, WriteError> InsertRepayment(AppContext& ctx, const DebtCustomer& c, double amount,
                                                  const QDateTime& when, const QString& method, const QString& note,
                                                  qint64 undoes, qint64 bank_id) {
  const QString code = QStringLiteral("120");
  return RowWriter(ctx.db, "repayment")
      .Set("客户名称", c.name, code)
      .Set("联系方式", c.contact, code)
      .Set("金额", amount, code)
      .Set("日期", when, code)
      .Set("方式", method, code)
      .Set("备注", note, code)
      .Set("操作员", ctx.session.UserName(), code)
      .Set("撤销号", undoes, code)
      .Set("撤销记录", qint64{0}, code)
      .Set("存款号", bank_id, code)
      .Insert();
}

std::expected<void, DbError> InsertPart(AppContext& ctx, qint64 repayment_id, qint64 sale_id, double amount) {
  auto done =
      ctx.db.Execute("insert into repayment_part (收款号,销售号,金额) values (?,?,?)", repayment_id, sale_id, amount);
  if (!done) return std::unexpected(done.error());
  return {};
}

ActionError WriteFailure(const WriteError& e) {
  if (e.unavailable) return DatabaseActionError(DbError{e.kind, e.detail, 0});
  return {e.code.isEmpty() ? ActionError::Kind::Database : ActionError::Kind::Field, e.Message(), e.detail};
}

// A repayment's time: the chosen day at the time of entry, so that it follows the day's
// earlier sales in the statement.
QDateTime RepaymentTime(const QDate& day, const QDateTime& now) {
  return QDateTime(day, day == now.date() ? now.time() : QTime(23, 59, 59));
}

}  // namespace

ListPlan DebtorsListPlan(const QString& search, std::function<QString(const QString&)> initials_of) {
  ListPlan plan;
  plan.sql = DebtorsSql();
  plan.fields = {{"客户名称"},
                 {"联系方式"},
                 {"笔数", FieldKind::Number},
                 {"欠款", FieldKind::Number},
                 {"最早欠款", FieldKind::Day},
                 {"最近收款", FieldKind::Day}};
  if (!search.isEmpty()) {
    plan.row_filter = TextTest(0, [search, initials_of = std::move(initials_of)](QStringView name) {
      if (name.contains(search, Qt::CaseInsensitive)) return true;
      return initials_of && initials_of(name.toString()).contains(search, Qt::CaseInsensitive);
    });
  }
  plan.totals = {{2, kDebtorSalesCol}, {3, kDebtorOwedCol}};
  plan.label_column = kDebtorContactCol;
  plan.totals_first_col = 1;
  plan.line_first_col = 1;
  return plan;
}

std::expected<std::vector<Debtor>, DbError> LoadDebtors(AppContext& ctx) {
  auto st = ctx.Query(DebtorsSql());
  if (!st) return std::unexpected(st.error());
  std::vector<Debtor> out;
  for (;;) {
    auto row = st->Step();
    if (!row) return std::unexpected(row.error());
    if (!*row) break;
    out.push_back({{StoredCustomerName(st->Text(0)), st->Text(1)}, static_cast<int>(st->Int(2)), st->Double(3)});
  }
  return out;
}

std::expected<double, DbError> OwedBy(AppContext& ctx, const DebtCustomer& customer) {
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(open.error());
  auto sales = OpenSales(ctx, customer);
  if (!sales) return std::unexpected(sales.error());
  double owed = 0;
  for (const OpenSale& s : *sales) owed += s.debt;
  return owed;
}

std::expected<qint64, ActionError> RecordRepayment(AppContext& ctx, const RepaymentForm& f) {
  if (f.amount.trimmed().isEmpty())
    return std::unexpected(Refused(QStringLiteral("收款金额必须填写"), kRepaymentAmountBox));
  const auto amount = ParseNumber(f.amount);
  if (!amount || !std::isfinite(*amount))
    return std::unexpected(Refused(QStringLiteral("收款金额必须是数字，请重新填写"), kRepaymentAmountBox));
  if (*amount <= kTolerance) return std::unexpected(Refused(QStringLiteral("收款金额必须大于0"), kRepaymentAmountBox));
  if (!f.date.isValid()) return std::unexpected(Refused(QStringLiteral("收款日期不正确")));
  if (!RepaymentMethods().contains(f.method)) return std::unexpected(Refused(QStringLiteral("请选择收款方式")));
  const bool to_bank = f.to_bank && f.method == kBankMethod;
  if (to_bank && f.bank.trimmed().isEmpty())
    return std::unexpected(Refused(QStringLiteral("存入银行时银行名称必须填写"), kRepaymentBankBox));
  const std::pair<const QString*, const char*> texts[] = {{&f.note, "备注"}, {&f.bank, "银行"}, {&f.account, "账户"}};
  for (const auto& [text, what] : texts)
    if (CharacterCount(*text) > schema::kTextLimit)
      return std::unexpected(Refused(QString::fromUtf8(what) + kTooLongSuffix));
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(DatabaseActionError(open.error()));

  // The sales, the repayment, its parts and the deposit stand or fall together.
  auto tx = Transaction::Begin(ctx.db);
  if (!tx) return std::unexpected(DatabaseActionError(tx.error()));
  // The debts are read inside the transaction: another till may have taken a
  // repayment meanwhile.
  auto sales = OpenSales(ctx, f.customer);
  if (!sales) return std::unexpected(DatabaseActionError(sales.error()));
  double owed = 0;
  for (const OpenSale& s : *sales) owed += s.debt;
  if (Above(*amount, owed))
    return std::unexpected(Refused(owed > kTolerance
                                       ? QStringLiteral("收款金额超过了欠款：%1共欠款%2元。")
                                             .arg(ShownCustomerName(f.customer.name), NumberText(owed))
                                       : QStringLiteral("%1没有欠款。").arg(ShownCustomerName(f.customer.name)),
                                   kRepaymentAmountBox));

  const QDateTime when = RepaymentTime(f.date, ctx.clock.Now());
  qint64 bank_id = 0;
  if (to_bank) {
    const QString code = QStringLiteral("099");
    auto deposit = RowWriter(ctx.db, "bank")
                       .Set("银行", f.bank, code)
                       .Set("账户", f.account, code)
                       .Set("方式", QStringLiteral("存款"), code)
                       .Set("金额", *amount, code)
                       .Set("日期", f.date, code)
                       .Set("备注", QStringLiteral("收款：") + ShownCustomerName(f.customer.name), code)
                       .Insert();
    if (!deposit) return std::unexpected(WriteFailure(deposit.error()));
    bank_id = *deposit;
  }
  auto id = InsertRepayment(ctx, f.customer, *amount, when, f.method, f.note, 0, bank_id);
  if (!id) return std::unexpected(WriteFailure(id.error()));

  double left = *amount;
  for (const OpenSale& s : *sales) {
    if (left <= kTolerance) break;
    // The last sale reached may be settled in part; what is left of a sale fully
    // settled is exactly 0, not a rounding remainder.
    const bool whole = !Above(s.debt, left);
    const double part = whole ? s.debt : left;
    // Only while the debt is still what was read: on a server another till may have
    // changed it since (its update waits for ours, or ours for its, and then sees it).
    auto updated = ctx.db.Execute("update sell set 欠款额=? where \"ID\"=? and 欠款额>?-0.000001 and 欠款额<?+0.000001",
                                  whole ? 0.0 : s.debt - part, s.id, s.debt, s.debt);
    if (!updated) return std::unexpected(DatabaseActionError(updated.error()));
    if (*updated == 0) return std::unexpected(ActionError{ActionError::Kind::Changed, kDebtChangedText});
    if (auto p = InsertPart(ctx, *id, s.id, part); !p) return std::unexpected(DatabaseActionError(p.error()));
    left -= part;
  }
  if (auto done = tx->Commit(); !done) return std::unexpected(DatabaseActionError(done.error()));
  return *id;
}

std::expected<qint64, ActionError> UndoRepayment(AppContext& ctx, qint64 repayment_id) {
  if (!ctx.session.IsSuperAdministrator())
    return std::unexpected(
        ActionError{ActionError::Kind::NotAllowed, QStringLiteral("对不起，只有超级管理员才能撤销收款。")});
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(DatabaseActionError(open.error()));
  auto tx = Transaction::Begin(ctx.db);
  if (!tx) return std::unexpected(DatabaseActionError(tx.error()));

  DebtCustomer customer;
  double amount = 0;
  QString method;
  qint64 undoes = 0, undone_by = 0, bank_id = 0;
  {
    auto st = ctx.db.Prepare("select 客户名称,联系方式,金额,方式,撤销号,撤销记录,存款号 from repayment where \"ID\"=?");
    if (!st) return std::unexpected(DatabaseActionError(st.error()));
    st->BindAll(repayment_id);
    auto row = st->Step();
    if (!row) return std::unexpected(DatabaseActionError(row.error()));
    if (!*row) return std::unexpected(ActionError{ActionError::Kind::Gone, kRepaymentGoneText});
    customer = {st->Text(0), st->Text(1)};
    amount = st->Double(2);
    method = st->Text(3);
    undoes = st->Int(4);
    undone_by = st->Int(5);
    bank_id = st->Int(6);
  }
  if (undoes != 0) return std::unexpected(Refused(QStringLiteral("这是一条撤销记录，不能再撤销。")));
  if (undone_by != 0) return std::unexpected(Refused(QStringLiteral("这笔收款已经撤销过了。")));

  std::vector<OpenSale> parts;
  {
    auto st = ctx.db.Prepare("select 销售号,金额 from repayment_part where 收款号=? order by \"ID\"");
    if (!st) return std::unexpected(DatabaseActionError(st.error()));
    st->BindAll(repayment_id);
    for (;;) {
      auto row = st->Step();
      if (!row) return std::unexpected(DatabaseActionError(row.error()));
      if (!*row) break;
      parts.push_back({st->Int(0), st->Double(1)});
    }
  }

  const QDateTime now = ctx.clock.Now();
  qint64 withdrawal = 0;
  if (bank_id != 0) {
    // The deposit stays in the bank's history; a withdrawal of the same account takes
    // it out. A deposit deleted since by hand is not taken out twice.
    auto st = ctx.db.Prepare("select 银行,账户,金额 from bank where \"ID\"=?");
    if (!st) return std::unexpected(DatabaseActionError(st.error()));
    st->BindAll(bank_id);
    auto row = st->Step();
    if (!row) return std::unexpected(DatabaseActionError(row.error()));
    if (*row) {
      const QString code = QStringLiteral("099");
      auto out = RowWriter(ctx.db, "bank")
                     .Set("银行", st->Text(0), code)
                     .Set("账户", st->Text(1), code)
                     .Set("方式", QStringLiteral("取款"), code)
                     .Set("金额", -std::fabs(st->Double(2)), code)
                     .Set("日期", now.date(), code)
                     .Set("备注", QStringLiteral("撤销收款：") + ShownCustomerName(customer.name), code)
                     .Insert();
      if (!out) return std::unexpected(WriteFailure(out.error()));
      withdrawal = *out;
    }
  }
  auto undo = InsertRepayment(ctx, customer, -amount, now, method, QStringLiteral("撤销第%1号收款").arg(repayment_id),
                              repayment_id, withdrawal);
  if (!undo) return std::unexpected(WriteFailure(undo.error()));
  for (const OpenSale& p : parts) {
    // A sale deleted since has no debt to put back; its part stays with the record.
    auto updated = ctx.db.Execute("update sell set 欠款额=欠款额+? where \"ID\"=?", p.debt, p.id);
    if (!updated) return std::unexpected(DatabaseActionError(updated.error()));
    if (*updated == 0) continue;
    if (auto r = InsertPart(ctx, *undo, p.id, -p.debt); !r) return std::unexpected(DatabaseActionError(r.error()));
  }
  // Marked only while it stands: two tills undoing it at once undo it once.
  auto marked = ctx.db.Execute("update repayment set 撤销记录=? where \"ID\"=? and 撤销记录=0", *undo, repayment_id);
  if (!marked) return std::unexpected(DatabaseActionError(marked.error()));
  if (*marked == 0) return std::unexpected(Refused(QStringLiteral("这笔收款已经撤销过了。")));
  if (auto done = tx->Commit(); !done) return std::unexpected(DatabaseActionError(done.error()));
  return *undo;
}

std::expected<void, DbError> RecordDebtEdit(AppContext& ctx, qint64 sale_id, double old_debt, double new_debt,
                                            const DebtCustomer& customer, const QString& note) {
  const double change = old_debt - new_debt;
  if (std::fabs(change) <= kTolerance) return {};
  auto id = InsertRepayment(ctx, customer, change, ctx.clock.Now(), QStringLiteral("其他"), note, 0, 0);
  if (!id) return std::unexpected(DbError{id.error().kind, id.error().detail, 0});
  return InsertPart(ctx, *id, sale_id, change);
}

std::expected<std::vector<StatementLine>, DbError> LoadStatement(AppContext& ctx, const DebtCustomer& c) {
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return std::unexpected(open.error());
  std::vector<StatementLine> lines;
  // What a sale first owed is what it owes now and what every repayment took off it.
  {
    auto st = PrepareFor(
        ctx,
        QStringLiteral(
            "select s.\"ID\",s.销售日期,s.名称,s.型号,s.销售数量,s.销售金额,"
            "s.欠款额+coalesce(p.已收,0) from sell s left join "
            "(select 销售号,sum(金额) as 已收 from repayment_part group by 销售号) as p on p.销售号=s.\"ID\" "
            "where ") +
            CustomerWhere(c, "s") +
            QStringLiteral(" and (s.欠款额>0.0000001 or s.欠款额<-0.0000001 or p.销售号 is not null) "
                           "order by s.销售日期,s.\"ID\""),
        CustomerValues(c));
    if (!st) return std::unexpected(st.error());
    for (;;) {
      auto row = st->Step();
      if (!row) return std::unexpected(row.error());
      if (!*row) break;
      StatementLine l;
      l.kind = StatementLine::Kind::Sale;
      l.id = st->Int(0);
      l.date = ParseDateSqlText(st->Text(1)).value_or(QDateTime());
      l.what = QStringLiteral("销售");
      l.detail = st->Text(2) + (st->Text(3).isEmpty() ? QString() : QStringLiteral(" ") + st->Text(3)) +
                 QStringLiteral(" ×") + NumberText(st->Double(4)) + QStringLiteral("，金额") +
                 NumberText(st->Double(5));
      l.charged = st->Double(6);
      lines.push_back(std::move(l));
    }
  }
  // A repayment counts here by what it took off this customer's sales: a sale moved to
  // another name or deleted since takes its part with it, so the balance stays the sum
  // of the sales' debts.
  {
    auto st = PrepareFor(
        ctx,
        QStringLiteral("select r.\"ID\",r.日期,r.方式,r.备注,r.撤销号,r.撤销记录,x.已收 from repayment r join "
                       "(select p.收款号,sum(p.金额) as 已收 from repayment_part p join sell s on s.\"ID\"=p.销售号 "
                       "where ") +
            CustomerWhere(c, "s") +
            QStringLiteral(" group by p.收款号) as x on x.收款号=r.\"ID\" order by r.日期,r.\"ID\""),
        CustomerValues(c));
    if (!st) return std::unexpected(st.error());
    for (;;) {
      auto row = st->Step();
      if (!row) return std::unexpected(row.error());
      if (!*row) break;
      StatementLine l;
      l.kind = StatementLine::Kind::Repayment;
      l.id = st->Int(0);
      l.date = ParseDateSqlText(st->Text(1)).value_or(QDateTime());
      l.is_undo = st->Int(4) != 0;
      l.undone = st->Int(5) != 0;
      l.what = l.is_undo ? QStringLiteral("撤销收款") : QStringLiteral("收款");
      l.detail = st->Text(2);
      if (!st->Text(3).isEmpty()) l.detail += (l.detail.isEmpty() ? QString() : QStringLiteral("，")) + st->Text(3);
      if (l.undone) l.detail += QStringLiteral("（已撤销）");
      l.paid = st->Double(6);
      lines.push_back(std::move(l));
    }
  }
  // Date order by day; on one day the sales come first, then the repayments in order.
  std::stable_sort(lines.begin(), lines.end(), [](const StatementLine& a, const StatementLine& b) {
    const QDate da = a.date.date(), db = b.date.date();
    if (da != db) return da < db;
    if (a.kind != b.kind) return a.kind == StatementLine::Kind::Sale;
    if (a.date != b.date) return a.date < b.date;
    return a.id < b.id;
  });
  double balance = 0;
  for (StatementLine& l : lines) {
    balance += l.charged - l.paid;
    l.balance = balance;
  }
  return lines;
}

std::expected<QStringList, DbError> DepositBankValues(AppContext& ctx, bool accounts) {
  auto st = ctx.Query(accounts ? "select 账户 from bank where 账户<>'' group by 账户 order by 账户"
                               : "select 银行 from bank where 银行<>'' group by 银行 order by 银行");
  if (!st) return std::unexpected(st.error());
  QStringList out;
  for (;;) {
    auto row = st->Step();
    if (!row) return std::unexpected(row.error());
    if (!*row) break;
    out << st->Text(0);
  }
  return out;
}

QString StatementFileName(const DebtCustomer& customer) {
  QString name = ShownCustomerName(customer.name);
  for (QChar& ch : name)
    if (QStringLiteral("/\\:*?\"<>|").contains(ch) || ch.unicode() < 0x20) ch = QLatin1Char('_');
  return QStringLiteral("对账单-") + name + QStringLiteral(".xlsx");
}

}  // namespace hemulu
