// The child of the transfer kill test: moves whole shops between files and a server in a
// loop, through the functions the data maintenance window calls, until it is killed. In
// round r it writes 2r-1 on standard output as the transfer starts and 2r once it has
// returned.
//
//   hemulu-transfer-child upload <folder A> <folder B> <host> <port> <user> <database>
//       uploads folder A's data.db, then B's, and so on, each replacing the other
//   hemulu-transfer-child restore <folder A> <folder B> <host> <port> <user> <database>
//       restores A's BackupData.db into the server, then B's, and so on
//   hemulu-transfer-child download <folder A> <folder B> <host> <port> <user> <database>
//       downloads the server's shop into folder A's data.db, again and again

#include <QCoreApplication>
#include <cstdio>
#include <memory>
#include <string>

#include "ChildSupport.h"
#include "admin/MaintenanceLogic.h"
#include "data/AppContext.h"
#include "data/Clock.h"

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
  if (argc != 8) {
    std::fprintf(stderr, "usage: hemulu-transfer-child upload|restore|download <A> <B> <host> <port> <user> <db>\n");
    return 2;
  }
  const std::string mode = argv[1];
  const QString folders[] = {QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3])};
  ServerAddress server;
  server.host = QString::fromLocal8Bit(argv[4]);
  server.port = std::stoi(argv[5]);
  server.user = QString::fromLocal8Bit(argv[6]);
  server.database = QString::fromLocal8Bit(argv[7]);
  SilentPrompter prompter;
  SystemClock clock;
  SilentNotifier notifier;
  std::unique_ptr<AppContext> shops[2];
  for (int i = 0; i < 2; ++i) {
    if (mode == "restore")
      shops[i] = std::make_unique<AppContext>(folders[i], server, prompter, clock, notifier);
    else
      shops[i] = std::make_unique<AppContext>(folders[i], prompter, clock, notifier);
    if (auto open = shops[i]->EnsureDatabaseOpen(); !open) return Fail("open", open.error().message);
  }
  const auto always = [](const ServerShopSize&) { return true; };
  for (qint64 round = 1;; ++round) {
    AppContext& shop = *shops[round % 2];
    AnswerLine(2 * round - 1);
    if (mode == "upload") {
      if (auto r = UploadToServer(shop, server, always); !r) return Fail("upload", r.error().reason);
    } else if (mode == "restore") {
      const QString backup = folders[round % 2] + QStringLiteral("/BackupData.db");
      if (auto r = RestoreDatabase(*shops[0], backup, {}, FreeSpaceIn, [](const BackupContents&) { return true; }); !r)
        return Fail("restore", r.error().reason);
    } else {
      if (auto r = DownloadFromServer(*shops[0], server); !r) return Fail("download", r.error().reason);
    }
    AnswerLine(2 * round);
  }
}
