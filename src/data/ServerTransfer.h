#pragma once
// A whole shop copied between the encrypted file and a database server, in either
// direction: one transaction on the side written, one snapshot on the side read, and the
// rows and money sums of every table compared between the two before anything is kept.
// Only the copying is here; where the files go and what the user is told is the
// caller's (admin/MaintenanceLogic).

#include <QString>
#include <expected>
#include <functional>

#include "data/Database.h"

namespace hemulu {

struct TransferError {
  enum class Kind {
    Cancelled,  // the user stopped it, or would not replace the server's shop; nothing changed
    Refused,    // the source is not a shop of ours
    Failed,     // the disk, the network or an engine failed; nothing changed
    Mismatch,   // the copy did not hold what the source holds; nothing kept
  } kind = Kind::Failed;
  QString reason;       // plain words for the user, in Chinese
  QString detail = {};  // the engine's own words, for standard error only
  // The server wants a password, or refused the one given.
  bool wants_password = false;
};

// What a server's shop holds, asked before it is replaced: goods, sales, the records of
// their own (ledger, bank, accounts beyond the built-in one, customers' repayments), and
// the rows that go with goods and sales (movements, receipts, returns, held baskets).
struct ServerShopSize {
  qint64 goods = 0;
  qint64 sales = 0;
  qint64 other = 0;
  qint64 history = 0;
  bool operator==(const ServerShopSize&) const = default;
};
// Asked when the server's database holds anything but an empty shop, before the copy
// takes its lock (other tills go on meanwhile); asked again, under the lock, only when
// the shop changed in between. False keeps it and stops the copy.
using ReplaceServerShop = std::function<bool(const ServerShopSize& on_server)>;
struct PgConnection;
// What the server's shop holds; nullopt when the database has none of our tables.
[[nodiscard]] std::expected<std::optional<ServerShopSize>, DbError> ServerShopSizeOf(PgConnection& c);
// Rows copied so far and in all; false cancels.
using TransferProgress = std::function<bool(qint64 done, qint64 total)>;

// Copies the keyed file `file` (read in one snapshot, never written) into the server's
// database in one transaction: our tables made when it has none, the old rows replaced
// (only once `replace` agrees, when the shop was not empty), every table's rows with
// their IDs, the ID sequences set past the largest ID, the per-day totals rebuilt from
// the sales, then every table's rows and money sums compared. Any failure or difference
// leaves the server as it was. Every program on the database hears that every table
// changed.
[[nodiscard]] std::expected<void, TransferError> CopyFileToServer(const QString& file, const ServerAddress& server,
                                                                  const ReplaceServerShop& replace,
                                                                  const TransferProgress& progress = {});

// Copies the server's shop, read in one read-only snapshot (other tills go on selling),
// into `file`, which must be empty or missing: written here as a new keyed database from
// the template (its page size), filled in one transaction and compared the same way.
// Not synced. On failure the file is the caller's to remove.
[[nodiscard]] std::expected<void, TransferError> CopyServerToFile(const ServerAddress& server, const QString& file,
                                                                  const TransferProgress& progress = {});

}  // namespace hemulu
