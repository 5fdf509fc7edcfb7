// The child of the read-only test: opens a program folder as the program does and, for
// each command read from standard input, writes one code on standard output.
//
//   s  sell one unit of the first goods row        g  enter a new goods row
//   r  close data.db and open it again             q  quit
//
// Codes: 1 done; 2 refused with the message the user is shown (the write-failure text,
// or the database-unavailable one); 9 failed without such a message. Run by root, it
// first becomes the unprivileged user 65534, whom file permissions do stop, and ends with
// code 4 where it cannot.

#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>
#include <string>

#include "ChildSupport.h"
#include "data/AppContext.h"
#include "data/Clock.h"
#include "data/Prompter.h"
#include "data/RowWriter.h"
#include "sales/SalesLogic.h"
#include "stock/GoodsLogic.h"

namespace {

using namespace hemulu;
using namespace hemulu::test;

void Answer(int code, const QString& message = QString()) {
  if (!message.isEmpty()) std::fprintf(stderr, "read-only child: %d %s\n", code, message.toUtf8().constData());
  AnswerLine(code);
}

// The message the user would be shown: the write-failure text or the unavailable one.
int Refusal(const QString& message, bool unavailable) {
  return unavailable || message.startsWith(WriteFailureText(DbError::Kind::Other).section(QLatin1Char('\n'), 0, 0)) ? 2
                                                                                                                    : 9;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: hemulu-readonly-child <program folder>\n");
    return 2;
  }
  if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 4;
  const QString dir = QString::fromLocal8Bit(argv[1]);
  SilentPrompter prompter;
  SystemClock clock;
  SilentNotifier notifier;
  AppContext ctx(dir, prompter, clock, notifier);
  ctx.session.SetUser(kSuperAdministrator, QStringLiteral("735"));
  if (!ctx.EnsureDatabaseOpen()) return 5;
  qint64 goods_id = 0;
  if (auto st = ctx.db.Prepare("select min(ID) from buy"); st && st->Step().value_or(false)) goods_id = st->Int(0);
  int entered = 0;
  for (int c; (c = std::getchar()) != EOF;) {
    if (c == 'q') return 0;
    if (c == 's') {
      SaleForm form;
      form.name = QStringLiteral("商品0");
      form.shown_stock = QStringLiteral("1");
      form.actual_price = QStringLiteral("3");
      form.quantity = QStringLiteral("1");
      form.amount = QStringLiteral("3");
      form.debt = QStringLiteral("0");
      form.date = QDate(2026, 12, 8);
      auto id = RecordSale(ctx, goods_id, form);
      if (id)
        Answer(1);
      else
        Answer(Refusal(id.error().message, id.error().kind == ActionError::Kind::Unavailable), id.error().message);
    } else if (c == 'g') {
      GoodsForm form{QStringLiteral("饮料"),
                     QStringLiteral("只读后%1").arg(++entered),
                     QStringLiteral("330ml"),
                     QStringLiteral("ZDH%1").arg(entered),
                     QString(),
                     QString(),
                     QStringLiteral("2"),
                     QStringLiteral("5"),
                     QStringLiteral("3"),
                     QDate(2026, 12, 8)};
      auto id = InsertNewGoods(ctx, form);
      if (id)
        Answer(1);
      else
        Answer(Refusal(id.error().Message(), id.error().unavailable), id.error().Message());
    } else if (c == 'r') {
      ctx.db.Close();
      auto open = ctx.EnsureDatabaseOpen();
      if (open)
        Answer(1);
      else
        Answer(2, open.error().message);
    }
  }
  return 0;
}
