// The child of the maintenance kill test: runs compaction or re-initialisation of a
// program folder in a loop, through the functions the data maintenance window calls.
// In round r it writes 2r-1 on standard output as the maintenance starts and 2r once it
// has returned, so that the parent can aim its kill into the maintenance itself. It
// runs until it is killed.
//
//   hemulu-maintenance-child <program folder> compact
//       each round replaces the bank rows (kBankRows of them, one batch number, in one
//       transaction) so that pages fall free, then compacts
//   hemulu-maintenance-child <program folder> reinit
//       each round re-initialises, then enters kReinitGoods goods rows in one transaction
//   hemulu-maintenance-child <program folder> backup <target>
//       starts a backup to <target>, writes 0 once the copy has begun (its part file is
//       there) and waits in the middle of it to be killed

#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>
#include <string>

#include "ChildSupport.h"
#include "MaintenanceRounds.h"
#include "admin/MaintenanceLogic.h"
#include "data/AppContext.h"
#include "data/Clock.h"
#include "data/Prompter.h"

namespace {

using namespace hemulu;
using namespace hemulu::test;

int Fail(const char* what, const QString& why) {
  std::fprintf(stderr, "%s: %s\n", what, why.toUtf8().constData());
  return 6;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 3 && !(argc == 4 && std::string(argv[2]) == "backup")) {
    std::fprintf(stderr, "usage: hemulu-maintenance-child <program folder> compact|reinit|backup <target>\n");
    return 2;
  }
  const QString dir = QString::fromLocal8Bit(argv[1]);
  const bool compact = std::string(argv[2]) == "compact";
  SilentPrompter prompter;
  SystemClock clock;
  SilentNotifier notifier;
  AppContext ctx(dir, prompter, clock, notifier);
  ctx.session.SetUser(kSuperAdministrator, QStringLiteral("735"));
  if (auto open = ctx.EnsureDatabaseOpen(); !open) return Fail("open", open.error().message);
  if (argc == 4) {
    auto r = BackUpDatabase(ctx, QString::fromLocal8Bit(argv[3]), [](qint64, qint64) {
      AnswerLine(0);
      for (;;) pause();
      return true;
    });
    return r ? 0 : Fail("backup", r.error().reason);
  }
  qint64 batch = test::HighestBatch(ctx.db);
  for (qint64 round = 1;; ++round) {
    if (compact) {
      if (auto r = test::ReplaceBankRows(ctx.db, ++batch); !r) return Fail("bank rows", r.error());
      AnswerLine(2 * round - 1);
      if (auto r = CompactDatabase(ctx); !r) return Fail("compact", r.error().reason);
      AnswerLine(2 * round);
    } else {
      // The goods go in after the re-initialisation: a kill before them leaves the empty
      // database, which the next round re-initialises again, so there is never more
      // than one batch.
      AnswerLine(2 * round - 1);
      if (auto r = ReinitialiseDatabase(ctx); !r) return Fail("reinitialise", r.error().reason);
      AnswerLine(2 * round);
      if (auto r = test::EnterReinitGoods(ctx.db); !r) return Fail("goods", r.error());
    }
  }
}
