#pragma once
// Whole-file operations on data.db: backup, compaction, re-initialisation and restore.
// Each one either completes or leaves data.db as it was, open again: new files are
// written beside their target, synced and checked before a rename puts them in place.
// No widgets; the windows turn the results into messages.

#include <QString>
#include <expected>
#include <functional>

#include "data/AppContext.h"
#include "data/ServerTransfer.h"

namespace hemulu {

struct MaintenanceError {
  enum class Kind {
    Cancelled,  // the user stopped it; nothing changed
    Refused,    // the request itself cannot be done (a target that is the database, a foreign file)
    Failed,     // the disk or the engine failed; nothing changed
  } kind = Kind::Failed;
  QString reason;       // plain words for the user, in Chinese; empty when cancelled
  QString detail = {};  // the engine's or the system's own words, for standard error only
  // The server wants a password (none was given) or refused the one given: asking for
  // one and trying again may succeed.
  bool wants_password = false;
};

// What the user is told for a failure of the system, by its errno (the database's own
// failures: EngineFailureText in data/Database.h).
QString SystemFailureText(int error);

// Work done so far and in all (bytes, or pages where the engine copies page by page);
// returning false cancels the copy.
using CopyProgress = std::function<bool(qint64 done, qint64 total)>;
// Bytes free in a folder; tests replace it to stand for a full disk.
using FreeSpaceProbe = std::function<qint64(const QString& folder)>;
qint64 FreeSpaceIn(const QString& folder);

// The file a chosen folder proposes: folder + "/BackupData.db".
QString ProposedBackupPath(const QString& folder);

// True when `path` is data.db or one of its companion files (-wal, -shm, -journal),
// under any name that leads to them.
bool IsDatabaseFile(const AppContext& ctx, const QString& path);

// Part files (PartFileTemplate) of `target` that a backup killed mid-copy left in its
// folder, with their -wal, -shm and -journal; a part file another backup is still
// writing (it holds a lock on it) is left alone. Nothing else is ever removed.
void RemoveAbandonedPartFiles(const QString& target);

// A consistent copy of data.db as of the moment it starts (a sale still open is not in
// it), keyed like data.db, written to a temporary file beside `target`, synced,
// checked and renamed over `target`. On any failure or cancel no file is left behind
// and an existing target is untouched; part files that earlier backups to `target` were
// killed in are removed first.
// Once the -wal is written back into data.db the copy is data.db's bytes, each chunk
// compared after writing, and its check is that it opens with the key and holds the
// five tables. When a reader of an older snapshot keeps the -wal from being written
// back, the engine copies page by page instead and the copy is read whole afterwards.
[[nodiscard]] std::expected<void, MaintenanceError> BackUpDatabase(AppContext& ctx, const QString& target,
                                                                   const CopyProgress& progress = {},
                                                                   const FreeSpaceProbe& free_space = FreeSpaceIn);

// VACUUM of the keyed database after a check that the disk has room for it. In every
// case data.db is open again afterwards, with its old content when it failed.
// On a server: VACUUM ANALYZE of our tables, while the other tills go on.
[[nodiscard]] std::expected<void, MaintenanceError> CompactDatabase(AppContext& ctx,
                                                                    const FreeSpaceProbe& free_space = FreeSpaceIn);

// Replaces data.db by the built-in empty database (the caller has asked for the
// super-administrator password). A crash leaves the old or the new file, never none.
// On a server: the built-in empty database's rows replace the shop in one transaction
// (every till sees the old shop or the empty one).
[[nodiscard]] std::expected<void, MaintenanceError> ReinitialiseDatabase(AppContext& ctx);

// What a database file holds.
struct BackupContents {
  qint64 goods = 0;
  qint64 sales = 0;
  QString newest_sale;  // the latest 销售日期 as stored; empty without sales
};

// What data.db holds now.
[[nodiscard]] std::expected<BackupContents, DbError> CurrentContents(AppContext& ctx);
// "商品 N 种，销售 M 笔，最近销售 2026年12月5日" (the date left out without sales).
QString ContentsText(const BackupContents& contents);
// The question asked before a restore replaces data.db; `current` is nullopt when
// data.db cannot be read.
QString RestoreQuestion(const std::optional<BackupContents>& current, const BackupContents& backup);
// Asked with what the checked backup holds, before anything is replaced; false
// cancels the restore.
using RestoreConfirmation = std::function<bool(const BackupContents& backup)>;

// The name under which a restore keeps the database it replaces (one generation).
inline const QString kBeforeRestoreSuffix = QStringLiteral(".before-restore");

// Puts the backup in the place of data.db: the file is copied beside data.db and
// checked, the current database is kept as data.db.before-restore, and the copy is
// renamed into place. A file that does not pass the checks changes nothing. The full
// check of a big file takes a while: `busy` is called now and then (with 0, 0), and
// false cancels the restore. `confirm`, when given, is asked once the copy has passed
// its checks; false cancels the restore.
[[nodiscard]] std::expected<BackupContents, MaintenanceError> RestoreDatabase(
    AppContext& ctx, const QString& backup_path, const CopyProgress& busy = {},
    const FreeSpaceProbe& free_space = FreeSpaceIn, const RestoreConfirmation& confirm = {});

// ---- A shop on a database server ----
// A shop moves to the server and back whole: the server is written in one transaction,
// a local file is written beside data.db and renamed into place. On a server shop the
// backup and the restore above read and write the server instead of data.db.

// The shop's own file beside the program, whichever database the program runs on.
QString LocalDatabasePath(const AppContext& ctx);
// The server to move the shop to or from: the one the program runs on, else config.ini's
// [server] section; nullopt when neither.
std::optional<ServerAddress> TransferServer(const AppContext& ctx);
// The question asked before the server's shop is replaced by an upload.
// What a server's shop holds, in words: "商品 3 种，销售 5 笔[，其他记录（账目、用户等）2 条]"
// [+ "，流水和小票等明细 7 条" with the rows that go with goods and sales].
enum class ShopRows { OwnRecords, WithHistory };
QString ServerShopSizeText(const ServerShopSize& shop, ShopRows rows = ShopRows::OwnRecords);
QString ReplaceServerQuestion(const ServerShopSize& on_server);

// Copies the local data.db (left as it was) into the server's database; a shop already
// there is replaced only when `replace` agrees.
[[nodiscard]] std::expected<void, MaintenanceError> UploadToServer(AppContext& ctx, const ServerAddress& server,
                                                                   const ReplaceServerShop& replace,
                                                                   const CopyProgress& progress = {});

// The name under which a download keeps the data.db it replaces.
inline const QString kBeforeDownloadSuffix = QStringLiteral(".before-download");
// Copies the server's shop into a new data.db: written and checked beside it, the old
// one kept as data.db.before-download, then renamed into place (old or new, never
// none). When the program runs on data.db it is open again afterwards.
[[nodiscard]] std::expected<void, MaintenanceError> DownloadFromServer(AppContext& ctx, const ServerAddress& server,
                                                                       const CopyProgress& progress = {});

}  // namespace hemulu
