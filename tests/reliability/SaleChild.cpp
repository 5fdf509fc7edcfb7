// The child of the crash test: sells in a loop from the goods of a program folder and
// writes each sale's ID on standard output once the sale has returned. It runs until
// it is killed.
//
//   hemulu-sale-child <program folder> whole   one transaction per sale (RecordSale)
//   hemulu-sale-child <program folder> split   the goods update and the sale row in two
//                                               transactions: the fault the checker must catch
//   hemulu-sale-child <program folder> whole server <host> <port> <database> <user> [keep-going]
//                                               a till of a server shop; with keep-going a
//                                               failed sale is reported on standard error and
//                                               the next one is tried, as a cashier would

#include <unistd.h>

#include <QCoreApplication>
#include <QRandomGenerator>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "ChildSupport.h"
#include "data/AppContext.h"
#include "data/Clock.h"
#include "data/Prompter.h"
#include "sales/SalesLogic.h"

namespace {

using namespace hemulu;
using namespace hemulu::test;

std::vector<qint64> GoodsIds(Database& db) {
  std::vector<qint64> ids;
  auto st = db.Prepare("select \"ID\" from buy order by \"ID\"");
  while (st && st->Step().value_or(false)) ids.push_back(st->Int(0));
  return ids;
}

// The broken way: two commits, so a kill between them loses the sale row.
std::expected<qint64, DbError> SplitSale(Database& db, qint64 goods_id, double quantity) {
  {
    auto tx = Transaction::Begin(db);
    if (!tx) return std::unexpected(tx.error());
    auto done =
        db.Execute("update buy set 存货数量=存货数量-?,销售数量=销售数量+? where ID=?", quantity, quantity, goods_id);
    if (!done) return std::unexpected(done.error());
    // Its movement goes with the stock change, so only the sale row can be lost.
    auto moved = db.Execute(
        "insert into stock_move (商品号,业务,数量,结存数量) values (?,'销售',?,(select 存货数量 from buy where ID=?))",
        goods_id, -quantity, goods_id);
    if (!moved) return std::unexpected(moved.error());
    if (auto c = tx->Commit(); !c) return std::unexpected(c.error());
  }
  auto tx = Transaction::Begin(db);
  if (!tx) return std::unexpected(tx.error());
  auto done = db.Execute("insert into sell (名称,销售数量,UID) values ('x',?,?)", quantity, goods_id);
  if (!done) return std::unexpected(done.error());
  const qint64 id = db.LastInsertId();
  if (auto c = tx->Commit(); !c) return std::unexpected(c.error());
  return id;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::vector<std::string> args(argv + 1, argv + argc);
  const bool keep_going = !args.empty() && args.back() == "keep-going";
  if (keep_going) args.pop_back();
  const bool server = args.size() == 7 && args[2] == "server";
  if (args.size() != 2 && !server) {
    std::fprintf(stderr,
                 "usage: hemulu-sale-child <program folder> whole|split [server <host> <port> <database> <user> "
                 "[keep-going]]\n");
    return 2;
  }
  const QString dir = QString::fromLocal8Bit(args[0].c_str());
  const bool split = args[1] == "split";
  SilentPrompter prompter;
  SystemClock clock;
  SilentNotifier notifier;
  std::unique_ptr<AppContext> owned;
  if (server) {
    ServerAddress address;
    address.host = QString::fromStdString(args[3]);
    address.port = std::stoi(args[4]);
    address.database = QString::fromStdString(args[5]);
    address.user = QString::fromStdString(args[6]);
    owned = std::make_unique<AppContext>(dir, address, prompter, clock, notifier);
  } else {
    owned = std::make_unique<AppContext>(dir, prompter, clock, notifier);
  }
  AppContext& ctx = *owned;
  ctx.session.SetUser(kSuperAdministrator, QStringLiteral("735"));
  if (auto open = ctx.EnsureDatabaseOpen(); !open) {
    std::fprintf(stderr, "open: %s\n", open.error().message.toUtf8().constData());
    return 4;
  }
  const std::vector<qint64> goods = GoodsIds(ctx.db);
  if (goods.empty()) return 5;
  QRandomGenerator random(static_cast<quint32>(getpid()));
  for (;;) {
    const qint64 goods_id = goods[random.bounded(static_cast<int>(goods.size()))];
    const int quantity = 1 + random.bounded(3);
    if (split) {
      auto id = SplitSale(ctx.db, goods_id, quantity);
      if (!id) {
        std::fprintf(stderr, "sale: %s\n", id.error().message.toUtf8().constData());
        return 6;
      }
      AnswerLine(*id);
      continue;
    }
    auto loaded = LoadSaleGoods(ctx, goods_id);
    if (!loaded && keep_going) {
      // The server is away: the till tries again a moment later, over a new connection.
      std::fprintf(stderr, "load: %s\n", loaded.error().message.toUtf8().constData());
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      continue;
    }
    if (!loaded) return 7;
    SaleForm form;
    form.name = loaded->name;
    form.model = loaded->model;
    form.code = loaded->code;
    form.category = loaded->category;
    form.shown_stock = QString::number(loaded->stock);
    form.actual_price = QStringLiteral("3");
    form.quantity = QString::number(quantity);
    form.amount = QString::number(3 * quantity);
    form.debt = QStringLiteral("0");
    form.date = QDate(2026, 12, 8);
    form.customer_number = QStringLiteral("202612810300");
    auto id = RecordSale(ctx, goods_id, form);
    if (!id) {
      std::fprintf(stderr, "sale: %s\n", id.error().message.toUtf8().constData());
      if (!keep_going) return 6;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      continue;
    }
    AnswerLine(*id);
  }
}
