#include "MaintenanceRounds.h"

namespace hemulu::test {

QString BankNote(qint64 batch) { return QStringLiteral("第%1批").arg(batch).repeated(100); }

namespace {

qint64 Single(Database& db, std::string_view sql) {
  auto st = db.Prepare(sql);
  return st && st->Step().value_or(false) ? st->Int(0) : -1;
}

}  // namespace

qint64 HighestBatch(Database& db) {
  return std::max<qint64>(0, Single(db, "select coalesce(max(cast(substr(银行,2) as integer)),0) from bank"));
}

std::expected<void, QString> ReplaceBankRows(Database& db, qint64 batch) {
  auto tx = Transaction::Begin(db);
  if (!tx) return std::unexpected(tx.error().message);
  if (auto d = db.Execute("delete from bank"); !d) return std::unexpected(d.error().message);
  const QString bank = QStringLiteral("B%1").arg(batch), note = BankNote(batch);
  for (int i = 0; i < kBankRows; ++i)
    if (auto r =
            db.Execute("insert into bank (银行,账户,方式,金额,日期,备注) values (?,?,'存入',?,'2026-12-08 10:30:00',?)",
                       bank, QString::number(i), i, note);
        !r)
      return std::unexpected(r.error().message);
  if (auto c = tx->Commit(); !c) return std::unexpected(c.error().message);
  return {};
}

std::expected<void, QString> EnterReinitGoods(Database& db) {
  auto tx = Transaction::Begin(db);
  if (!tx) return std::unexpected(tx.error().message);
  for (int i = 0; i < kReinitGoods; ++i) {
    if (auto r = db.Execute(
            "insert into buy (名称,编码,进货数量,存货数量,入库日期) values (?,?,10,10,'2026-12-08 10:30:00')",
            QStringLiteral("初始化后%1").arg(i), QStringLiteral("CSH%1").arg(i));
        !r)
      return std::unexpected(r.error().message);
  }
  if (auto c = tx->Commit(); !c) return std::unexpected(c.error().message);
  return {};
}

}  // namespace hemulu::test
