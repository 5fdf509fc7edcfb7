#pragma once
// The rounds of the maintenance kill test's child. Each write is one transaction, so
// after any kill the folder holds one whole batch of rows or none.

#include <QString>
#include <QStringList>
#include <expected>

#include "data/Database.h"

namespace hemulu::test {

inline constexpr int kBankRows = 300;
inline constexpr int kReinitGoods = 20;

// The batch number of the bank rows present, 0 when there are none.
qint64 HighestBatch(Database& db);
// One transaction: the bank rows deleted, kBankRows new ones of `batch` entered.
std::expected<void, QString> ReplaceBankRows(Database& db, qint64 batch);
// One transaction: kReinitGoods goods rows entered.
std::expected<void, QString> EnterReinitGoods(Database& db);

// The note of every bank row of a batch.
QString BankNote(qint64 batch);

}  // namespace hemulu::test
