// The child of the race test: one of two tills selling the same last unit. For every
// goods ID the parent writes on its standard input, it sells one unit of that goods
// through RecordSale at once and answers on standard output: the sale's ID, 0 when the
// sale was refused for want of stock (with the message the sale window shows), -1 on any
// other failure (the reason on standard error). The parent writes the same ID to both
// children together, so both sales run at the same moment.
//
//   hemulu-race-child <program folder> file [no-row-lock]
//   hemulu-race-child <program folder> server <host> <port> <database> <user> [no-row-lock]
//
// no-row-lock turns the sale's row lock off (a test hook): the negative control.

#include <QCoreApplication>
#include <cstdio>
#include <iostream>
#include <string>

#include "ChildSupport.h"
#include "data/AppContext.h"
#include "data/Clock.h"
#include "data/EngineSql.h"
#include "sales/SalesLogic.h"

namespace {

using namespace hemulu;
using namespace hemulu::test;

const QString kStockTooLow = QStringLiteral("库存不足，无法销售");

qint64 SellOne(AppContext& ctx, qint64 goods_id) {
  // What the sale window holds for the last unit: it showed a stock of 1.
  SaleForm form;
  form.name = QStringLiteral("最后一件");
  form.code = QStringLiteral("RACE");
  form.shown_stock = QStringLiteral("1");
  form.actual_price = QStringLiteral("3");
  form.quantity = QStringLiteral("1");
  form.amount = QStringLiteral("3");
  form.debt = QStringLiteral("0");
  form.date = QDate(2026, 12, 9);
  form.customer_number = QStringLiteral("2026129120000");
  auto id = RecordSale(ctx, goods_id, form);
  if (id) return *id;
  if (id.error().kind == ActionError::Kind::Invalid && id.error().message == kStockTooLow) return 0;
  std::fprintf(stderr, "sale of %lld: %s\n", static_cast<long long>(goods_id), id.error().message.toUtf8().constData());
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args.back() == "no-row-lock") {
    test_hook::row_locks_off = true;
    args.pop_back();
  }
  const bool server = args.size() == 6 && args[1] == "server";
  if (!server && !(args.size() == 2 && args[1] == "file")) {
    std::fprintf(stderr,
                 "usage: hemulu-race-child <program folder> file|server <host> <port> <database> <user> "
                 "[no-row-lock]\n");
    return 2;
  }
  const QString dir = QString::fromStdString(args[0]);
  SilentPrompter prompter;
  SystemClock clock;
  SilentNotifier notifier;
  std::unique_ptr<AppContext> ctx;
  if (server) {
    ServerAddress address;
    address.host = QString::fromStdString(args[2]);
    address.port = std::stoi(args[3]);
    address.database = QString::fromStdString(args[4]);
    address.user = QString::fromStdString(args[5]);
    ctx = std::make_unique<AppContext>(dir, address, prompter, clock, notifier);
  } else {
    ctx = std::make_unique<AppContext>(dir, prompter, clock, notifier);
  }
  ctx->session.SetUser(kSuperAdministrator, QStringLiteral("735"));
  if (auto open = ctx->EnsureDatabaseOpen(); !open) {
    std::fprintf(stderr, "open: %s\n", open.error().message.toUtf8().constData());
    return 4;
  }
  // Opened: the parent waits for this before the first round.
  AnswerLine(0);
  std::string line;
  while (std::getline(std::cin, line)) AnswerLine(SellOne(*ctx, std::stoll(line)));
  return 0;
}
