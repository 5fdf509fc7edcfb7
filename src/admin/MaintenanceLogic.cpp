#include "admin/MaintenanceLogic.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStorageInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstring>
#include <memory>

#include "data/DatabaseFiles.h"
#include "data/DatabaseKey.h"
#include "data/EmbeddedFiles.h"
#include "data/EngineSql.h"
#include "data/Schema.h"
#include "data/ServerTransfer.h"
#include "data/TextFormat.h"

namespace hemulu {

namespace {

using Kind = MaintenanceError::Kind;

std::unexpected<MaintenanceError> Fail(Kind kind, const QString& reason, const QString& detail = {}) {
  return std::unexpected(MaintenanceError{kind, reason, detail});
}

const QString kNoRoom = QStringLiteral("磁盘空间不足");
const QString kWriteFailed = QStringLiteral("无法写入文件，请检查目录是否存在、是否有写入权限");
const QString kCheckFailed = QStringLiteral("备份文件校验失败：");

struct FailureText {
  int code;
  const char* text;
};

// The system's failure kinds (errno) in the user's words.
constexpr FailureText kSystemFailureTexts[] = {
    {ENOSPC, "磁盘空间不足"},
    {EDQUOT, "磁盘空间不足（超出了磁盘配额）"},
    {EFBIG, "文件超过了目标磁盘允许的最大文件大小"},
    {EACCES, "没有写入权限，请检查目录的权限"},
    {EPERM, "没有写入权限，请检查目录的权限"},
    {EROFS, "磁盘是只读的，无法写入"},
    {EIO, "读写磁盘时出错，请检查磁盘或U盘是否连接正常"},
    {ENOENT, "文件或目录不存在"},
    {ENOTDIR, "路径中有一段不是目录"},
    {EISDIR, "目标是一个目录"},
    {ENAMETOOLONG, "文件路径太长"},
    {EMFILE, "打开的文件太多，请关闭其他程序后再试"},
    {ENFILE, "打开的文件太多，请关闭其他程序后再试"},
    {ENOMEM, "内存不足，请关闭其他程序后再试"},
    {ETXTBSY, "文件正被其他程序使用"},
    {EBUSY, "文件正被其他程序使用"},
};

QString SystemWords(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Why a copy could not be written: the system's failure in words for the user.
MaintenanceError WriteFailure(int error) {
  if (error == 0) return {Kind::Failed, kWriteFailed, {}};
  return {Kind::Failed, SystemFailureText(error), SystemWords(error)};
}

// The same for a copy the engine wrote: what the system said when it said anything.
MaintenanceError CopyFailure(const EngineCopyError& failure) {
  const DbError& e = failure.error;
  if (e.kind == DbError::Kind::Full) return {Kind::Failed, kNoRoom, e.message};
  if (failure.system_error != 0 && e.kind == DbError::Kind::IoError)
    return {Kind::Failed, SystemFailureText(failure.system_error),
            e.message + QStringLiteral(": ") + SystemWords(failure.system_error)};
  return {Kind::Failed, EngineFailureText(e.kind), e.message};
}

// A failure the engine reported through the program's connection.
MaintenanceError EngineFailure(const DbError& error, const QString& before = {}) {
  return {Kind::Failed, before + EngineFailureText(error.kind), error.message};
}

bool SyncFile(const QString& path) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

// Makes a rename in the folder durable.
void SyncFolder(const QString& folder) {
  const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

bool RenameOver(const QString& from, const QString& to) {
  return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

void RemoveWithCompanions(const QString& path) {
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) QFile::remove(path + QString::fromLatin1(suffix));
}

qint64 SizeOf(const QString& path) {
  const QFileInfo info(path);
  return info.exists() ? info.size() : 0;
}

// A new empty part file beside `target` (PartFileTemplate); nullopt when the folder
// cannot be written.
std::optional<QString> NewTemporaryBeside(const QString& target) {
  QTemporaryFile file(PartFileTemplate(target));
  file.setAutoRemove(false);
  if (!file.open()) return std::nullopt;
  file.close();
  return file.fileName();
}

// A new empty part file beside `target` that stays locked (flock) while it exists, so
// that a backup started meanwhile by another program into the same folder does not take
// it for the leftover of a killed one.
class LockedPartFile {
 public:
  explicit LockedPartFile(const QString& target) {
    QByteArray name = QFile::encodeName(PartFileTemplate(target));
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0) return;
    path_ = QFile::decodeName(name);
    ::flock(fd_, LOCK_EX);
  }
  ~LockedPartFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  LockedPartFile(const LockedPartFile&) = delete;
  LockedPartFile& operator=(const LockedPartFile&) = delete;
  bool Created() const { return fd_ >= 0; }
  const QString& Path() const { return path_; }

 private:
  int fd_ = -1;
  QString path_;
};

// Whether a running backup holds the part file (LockedPartFile).
bool PartFileInUse(const QString& path) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  const bool in_use = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return in_use;
}

enum class Check {
  // Page 1 decrypts with the key and the five tables are there: for a byte-exact copy of
  // data.db, whose every byte has been compared already.
  Schema,
  // Every page decrypts and every b-tree is sound: what a page-by-page copy can spoil.
  Pages,
  // The same and every index agrees with its table, and the rows counted: for a file
  // from elsewhere that is to become data.db.
  Full,
};

// Which page sizes a checked file may have: only ours, or the old one too (opening such a
// file as data.db converts it).
enum class PageSizes { OursOnly, OldToo };

// Reads the file as our database: key, integrity, the five tables.
// `busy` is called now and then while the check runs (done and total both 0); false
// stops it as cancelled.
std::expected<BackupContents, MaintenanceError> CheckDatabaseFile(const QString& path, Check check, PageSizes sizes,
                                                                  const CopyProgress& busy = {}) {
  const char* check_sql = check == Check::Full ? FileOnlySql("PRAGMA integrity_check")
                          : check == Check::Pages
                              ? FileOnlySql("PRAGMA quick_check")
                              : FileOnlySql("select 'ok' from (select count(*) from sqlite_master)");
  const QString foreign = QStringLiteral("该文件不是本程序的数据库备份，或者密码不符");
  KeyedFile c;
  if (!c.Open(path)) return Fail(Kind::Refused, foreign);
  if (busy && !busy(0, 0)) return Fail(Kind::Cancelled, QString());
  bool cancelled = false;
  const std::function<bool()> still_wanted = [&] {
    if (!busy(0, 0)) cancelled = true;
    return !cancelled;
  };
  if (busy) c.WhileBusy(&still_wanted);
  auto integrity = c.Value(check_sql);
  if (!integrity && integrity.error().kind == DbError::Kind::NotADatabase && sizes == PageSizes::OldToo) {
    if (!c.Open(path, kLegacyCipherPageSize)) return Fail(Kind::Refused, foreign);
    integrity = c.Value(check_sql);
  }
  if (cancelled) return Fail(Kind::Cancelled, QString());
  if (!integrity) {
    if (integrity.error().kind == DbError::Kind::NotADatabase) return Fail(Kind::Refused, foreign);
    return Fail(Kind::Refused, QStringLiteral("文件已损坏，无法读取"));
  }
  if (*integrity != QStringLiteral("ok")) return Fail(Kind::Refused, QStringLiteral("文件已损坏，完整性检查未通过"));
  // The five tables with every column the program reads.
  for (const schema::Table& t : schema::Tables()) {
    const std::string sql = std::string(FileOnlySql("PRAGMA table_info(\"")) + t.name + "\")";
    const auto names = c.Column(sql.c_str(), 1);
    if (!names) return Fail(Kind::Refused, QStringLiteral("文件无法读取"));
    std::size_t found = 0;
    for (const QString& name : *names)
      if (schema::FindColumn(t, name.toStdString())) ++found;
    if (found != t.columns.size())
      return Fail(Kind::Refused,
                  QStringLiteral("文件中缺少数据表 %1，不是本程序的数据库").arg(QString::fromUtf8(t.name)));
  }
  BackupContents contents;
  // Counting a million sales reads their whole table: only a restore reports them.
  if (check != Check::Full) return contents;
  contents.goods = c.Value("select count(*) from buy").value_or(QString()).toLongLong();
  contents.sales = c.Value("select count(*) from sell").value_or(QString()).toLongLong();
  contents.newest_sale = c.Value("select max(销售日期) from sell").value_or(QString());
  return contents;
}

// Checkpoints and closes the program's connection so that data.db alone holds every
// committed row; its -wal and -shm are then removed. Refuses (and leaves the
// connection open) when committed rows would stay behind in the -wal.
std::expected<void, MaintenanceError> ReleaseDatabase(AppContext& ctx) {
  const QString path = ctx.db.Path();
  if (ctx.db.IsOpen()) {
    const auto complete = WriteBackWholeLog(ctx.db);
    if (!complete || !*complete) return Fail(Kind::Failed, QStringLiteral("数据库正忙，请稍后再试"));
    ctx.db.Close();
  }
  if (SizeOf(path + QStringLiteral("-wal")) > 0) {
    (void)ctx.EnsureDatabaseOpen();
    return Fail(Kind::Failed, QStringLiteral("数据库日志文件无法合并，数据库未作改动"));
  }
  QFile::remove(path + QStringLiteral("-wal"));
  QFile::remove(path + QStringLiteral("-shm"));
  return {};
}

// Reopens data.db after an operation; the error when even that is impossible.
std::expected<void, MaintenanceError> Reopen(AppContext& ctx) {
  ctx.db.Close();
  if (auto r = ctx.EnsureDatabaseOpen(); !r)
    return std::unexpected(EngineFailure(r.error(), QStringLiteral("数据库无法重新打开：")));
  return {};
}

// Starts a read transaction on `c` whose snapshot data.db itself holds whole: the log
// has been written back into the file completely and nothing was committed since.
// Until the transaction ends the file's bytes cannot change, because a checkpoint never
// writes back past the snapshot of a reader and new commits only append to the -wal.
// False, with no transaction open, when a reader of an older snapshot holds the
// write-back up or writers keep committing in between.
bool PinSnapshotInFile(KeyedFile& c) {
  auto write_back = [&c] { return c.WriteBackLog(); };
  // The bulk of the log first, so that the checkpoint between the two reads below has
  // little to do and a sale committed meanwhile is less likely to spoil the attempt.
  (void)write_back();
  for (int attempt = 0; attempt < 5; ++attempt) {
    // data_version moves when a read starts on another snapshot than the last one this
    // connection saw, and also when the checkpoint below found a newer log than that.
    const auto before = c.Value(FileOnlySql("PRAGMA data_version"));
    if (!before) return false;
    if (!write_back()) continue;
    if (!c.Exec("BEGIN")) return false;
    const auto after = c.Value(FileOnlySql("PRAGMA data_version"));
    if (after && *after == *before) return true;
    c.Exec("ROLLBACK");
  }
  return false;
}

bool WriteAll(int fd, const char* data, qint64 size, qint64 offset) {
  while (size > 0) {
    const ssize_t n = ::pwrite(fd, data, static_cast<size_t>(size), offset);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = EIO;
    if (n <= 0) return false;
    data += n, size -= n, offset += n;
  }
  return true;
}

// Reads the bytes just written back from the file (mapped, so nothing is copied) and
// compares them with what was meant to be written.
bool ReadsBackAs(int fd, const char* expected, qint64 size, qint64 offset) {
  void* mapped = ::mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_SHARED, fd, offset);
  if (mapped == MAP_FAILED) return false;
  const bool same = std::memcmp(mapped, expected, static_cast<size_t>(size)) == 0;
  ::munmap(mapped, static_cast<size_t>(size));
  return same;
}

// Copies data.db's bytes as `source`'s pinned snapshot sees them into `temp`, chunk by
// chunk, reading each chunk back from `temp` and comparing it with what was read; then
// syncs. The bytes are read through the connection's own file handle: closing a
// descriptor of our own would drop every lock this process holds on data.db.
std::expected<void, MaintenanceError> CopyFileBytes(KeyedFile& source, const QString& temp,
                                                    const CopyProgress& progress) {
  const std::optional<qint64> source_size = source.FileSize();
  if (!source_size) return Fail(Kind::Failed, kDatabaseUnavailableText);
  const qint64 size = *source_size;
  const int to = ::open(QFile::encodeName(temp).constData(), O_RDWR | O_TRUNC | O_CLOEXEC);
  if (to < 0) return std::unexpected(WriteFailure(errno));
  const auto result = [&]() -> std::expected<void, MaintenanceError> {
    // A multiple of the memory page, as a mapping's offset must be.
    constexpr qint64 kChunk = qint64(4) << 20;
    const auto chunk = std::make_unique_for_overwrite<char[]>(kChunk);
    for (qint64 done = 0; done < size;) {
      if (progress && !progress(done, size)) return Fail(Kind::Cancelled, QString());
      const qint64 n = std::min<qint64>(kChunk, size - done);
      if (!source.ReadBytes(chunk.get(), n, done)) return Fail(Kind::Failed, QStringLiteral("无法读取数据库文件"));
      if (!WriteAll(to, chunk.get(), n, done)) return std::unexpected(WriteFailure(errno));
      // The disk starts writing behind the copy, so that the sync at the end is short.
      ::sync_file_range(to, done, n, SYNC_FILE_RANGE_WRITE);
      if (!ReadsBackAs(to, chunk.get(), n, done))
        return Fail(Kind::Failed, kCheckFailed + QStringLiteral("写入的内容与数据库不一致"));
      done += n;
    }
    if (progress) progress(size, size);
    if (::fsync(to) != 0) return std::unexpected(WriteFailure(errno));
    return {};
  }();
  ::close(to);
  return result;
}

// Copies `source`'s snapshot page by page through the engine into `temp`, keyed first:
// an unkeyed destination would receive a plaintext copy. Not yet synced.
std::expected<void, MaintenanceError> CopyThroughEngine(KeyedFile& source, const QString& temp,
                                                        const CopyProgress& progress) {
  KeyedFile dest;
  if (!dest.Open(temp)) return Fail(Kind::Failed, kWriteFailed);
  if (auto copied = BackupThroughEngine(source, dest, progress); !copied) {
    if (copied.error().cancelled) return Fail(Kind::Cancelled, QString());
    return std::unexpected(CopyFailure(copied.error()));
  }
  if (progress) {
    const qint64 total = SizeOf(temp);
    progress(total, total);
  }
  return {};
}

MaintenanceError FromTransfer(const TransferError& e) {
  switch (e.kind) {
    case TransferError::Kind::Cancelled:
      return {Kind::Cancelled, e.reason, e.detail};
    case TransferError::Kind::Refused:
      return {Kind::Refused, e.reason, e.detail};
    default:
      return {Kind::Failed, e.reason, e.detail, e.wants_password};
  }
}

// The server's shop copied into the new file `temp`, given `permissions`, synced and
// checked as a file of ours (keyed, every page readable); its companions removed, so it
// is ready to be renamed into place. `kind` names the file in a failure ("备份文件").
// On failure `temp` is the caller's to remove.
std::expected<void, MaintenanceError> CopyServerShopInto(const ServerAddress& server, const QString& temp,
                                                         QFileDevice::Permissions permissions, const QString& kind,
                                                         const CopyProgress& progress) {
  if (auto copied = CopyServerToFile(server, temp, progress); !copied)
    return std::unexpected(FromTransfer(copied.error()));
  QFile::setPermissions(temp, permissions);
  if (!SyncFile(temp)) return Fail(Kind::Failed, kWriteFailed);
  QFile head(temp);
  QByteArray first;
  if (head.open(QIODevice::ReadOnly)) first = head.read(16);
  head.close();
  if (first.startsWith("SQLite format 3")) return Fail(Kind::Failed, kind + QStringLiteral("未加密"));
  if (auto check = CheckDatabaseFile(temp, Check::Pages, PageSizes::OursOnly); !check)
    return Fail(Kind::Failed, kCheckFailed + check.error().reason);
  QFile::remove(temp + QStringLiteral("-wal"));
  QFile::remove(temp + QStringLiteral("-shm"));
  QFile::remove(temp + QStringLiteral("-journal"));
  return {};
}

// The backup of a shop on a server: the same keyed file as a local backup, written from
// one read-only snapshot of the server (other tills go on selling), then checked page by
// page and renamed over the target.
std::expected<void, MaintenanceError> BackUpServerShop(AppContext& ctx, const QFileInfo& target,
                                                       const CopyProgress& progress) {
  const LockedPartFile part(target.absoluteFilePath());
  if (!part.Created()) return std::unexpected(WriteFailure(errno));
  const QString& temp = part.Path();
  auto discard = [&](const MaintenanceError& error) {
    RemoveWithCompanions(temp);
    return std::unexpected(error);
  };
  // Only its owner reads a backup of the shop's data.
  if (auto copied = CopyServerShopInto(*ctx.db.Server(), temp, QFileDevice::ReadOwner | QFileDevice::WriteOwner,
                                       QStringLiteral("备份文件"), progress);
      !copied)
    return discard(copied.error());
  if (!RenameOver(temp, target.absoluteFilePath())) return discard({Kind::Failed, kWriteFailed});
  SyncFolder(target.absolutePath());
  return {};
}

// The restore of a shop on a server: the backup copied beside data.db and checked as a
// local restore checks it, the counts confirmed, then loaded into the server in one
// transaction.
std::expected<BackupContents, MaintenanceError> RestoreIntoServer(AppContext& ctx, const QFileInfo& backup,
                                                                  const CopyProgress& busy,
                                                                  const FreeSpaceProbe& free_space,
                                                                  const RestoreConfirmation& confirm) {
  const QString local = LocalDatabasePath(ctx);
  const qint64 free = free_space(QFileInfo(local).absolutePath());
  if (free >= 0 && free < backup.size() + (1 << 20)) return Fail(Kind::Failed, kNoRoom);
  const auto temp = NewTemporaryBeside(local);
  if (!temp) return Fail(Kind::Failed, kWriteFailed);
  struct Remove {
    QString path;
    ~Remove() { RemoveWithCompanions(path); }
  } remove{*temp};
  QFile::remove(*temp);
  if (!QFile::copy(backup.absoluteFilePath(), *temp)) return Fail(Kind::Failed, QStringLiteral("无法读取该备份文件"));
  QFile::setPermissions(*temp, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  auto contents = CheckDatabaseFile(*temp, Check::Full, PageSizes::OldToo, busy);
  if (!contents) return std::unexpected(contents.error());
  if (confirm && !confirm(*contents)) return Fail(Kind::Cancelled, QString());
  // Opened as data.db is opened, a backup of an older program gets the tables added
  // since (and the current page size) before it goes to the server, as a local restore's
  // does at its first open.
  {
    Database copy(*temp);
    if (auto opened = copy.Open(); !opened)
      return Fail(Kind::Failed, kCheckFailed + EngineFailureText(opened.error().kind), opened.error().message);
  }
  // The user has agreed to replace the server's shop: no second question.
  auto loaded = CopyFileToServer(
      *temp, *ctx.db.Server(), [](const ServerShopSize&) { return true; }, busy);
  if (!loaded) return std::unexpected(FromTransfer(loaded.error()));
  return *contents;
}

// The server keeps its own files: compacting a shop there is VACUUM ANALYZE of our
// tables (the room of deleted rows made reusable, the planner's figures brought up to
// date), which the other tills' sales do not wait for.
std::expected<void, MaintenanceError> CompactServerShop(AppContext& ctx) {
  if (auto r = ctx.EnsureDatabaseOpen(); !r)
    return Fail(Kind::Failed, ctx.DatabaseUnavailableText(), r.error().message);
  // A big table takes longer than a statement of ours is otherwise allowed.
  if (auto r = ctx.db.Execute(ServerSql("SET statement_timeout = 0")); !r)
    return std::unexpected(EngineFailure(r.error()));
  std::vector<std::string> tables;
  for (const schema::Table* t : schema::StoredTables()) tables.emplace_back(t->name);
  tables.emplace_back(schema::kDailyTotalsTable);
  std::optional<MaintenanceError> failure;
  for (const std::string& table : tables)
    if (auto r = ctx.db.Execute(std::string(ServerSql("VACUUM ANALYZE \"")) + table + "\""); !r) {
      failure = EngineFailure(r.error());
      break;
    }
  (void)ctx.db.Execute(ServerSql("RESET statement_timeout"));
  if (failure) return std::unexpected(*failure);
  return {};
}

// A server shop made new: the built-in empty database, brought up to date as data.db is
// at its open, loaded into the server in one transaction as a restore is — every till
// sees the old shop or the empty one, and refills.
std::expected<void, MaintenanceError> ReinitialiseServerShop(AppContext& ctx) {
  const auto temp = NewTemporaryBeside(LocalDatabasePath(ctx));
  if (!temp) return Fail(Kind::Failed, kWriteFailed);
  struct Remove {
    QString path;
    ~Remove() { RemoveWithCompanions(path); }
  } remove{*temp};
  if (auto written = WriteTemplateFile(*temp); written != TemplateWrite::Written)
    return Fail(Kind::Failed, TemplateWriteFailureText(written));
  {
    Database empty(*temp);
    if (auto opened = empty.Open(); !opened)
      return Fail(Kind::Failed, EngineFailureText(opened.error().kind), opened.error().message);
  }
  // The super-administrator has confirmed twice: the server's shop is replaced.
  auto loaded = CopyFileToServer(*temp, *ctx.db.Server(), [](const ServerShopSize&) { return true; }, {});
  if (!loaded) return std::unexpected(FromTransfer(loaded.error()));
  return {};
}

}  // namespace

QString SystemFailureText(int error) {
  for (const FailureText& t : kSystemFailureTexts)
    if (t.code == error) return QString::fromUtf8(t.text);
  return QStringLiteral("无法读写文件（系统错误代码 %1）").arg(error);
}

void RemoveAbandonedPartFiles(const QString& target) {
  const QFileInfo part(PartFileTemplate(target));
  const QDir folder = part.absoluteDir();
  // ".BackupData.db.part-" and the six characters the system put for XXXXXX.
  const QString prefix = part.fileName().chopped(6);
  static const QRegularExpression tail(QStringLiteral("^[A-Za-z0-9]{6}(-wal|-shm|-journal)?$"));
  // Compared by hand: the target's own name may hold characters a wildcard reads.
  const QStringList names = folder.entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks);
  for (const QString& name : names) {
    if (!name.startsWith(prefix)) continue;
    const QString rest = name.mid(prefix.size());
    if (!tail.match(rest).hasMatch()) continue;
    if (PartFileInUse(folder.filePath(prefix + rest.left(6)))) continue;
    QFile::remove(folder.filePath(name));
  }
}

std::expected<BackupContents, DbError> CurrentContents(AppContext& ctx) {
  auto st =
      ctx.Query("select (select count(*) from buy), (select count(*) from sell), (select max(销售日期) from sell)");
  if (!st) return std::unexpected(st.error());
  auto row = st->Step();
  if (!row) return std::unexpected(row.error());
  BackupContents contents;
  if (*row) {
    contents.goods = st->Int(0);
    contents.sales = st->Int(1);
    contents.newest_sale = st->Text(2);
  }
  return contents;
}

QString ContentsText(const BackupContents& contents) {
  QString text = QStringLiteral("商品 %1 种，销售 %2 笔").arg(contents.goods).arg(contents.sales);
  if (contents.sales <= 0 || contents.newest_sale.isEmpty()) return text;
  // The day alone: the time of the last sale says nothing about what the file holds.
  const QByteArray stored = contents.newest_sale.toUtf8();
  QString day = contents.newest_sale;
  if (auto parts = ReadStoredDate(reinterpret_cast<const unsigned char*>(stored.constData()),
                                  static_cast<std::size_t>(stored.size()))) {
    parts->hour = parts->minute = parts->second = 0;
    day = DateCellText(*parts);
  }
  return text + QStringLiteral("，最近销售 ") + day;
}

QString RestoreQuestion(const std::optional<BackupContents>& current, const BackupContents& backup) {
  return QStringLiteral("当前数据：") + (current ? ContentsText(*current) : QStringLiteral("无法读取")) +
         QStringLiteral("\n备份文件：") + ContentsText(backup) +
         QStringLiteral("\n\n恢复后当前数据将被备份文件替换，确定要恢复吗？");
}

qint64 FreeSpaceIn(const QString& folder) {
  const QStorageInfo storage(folder);
  return storage.isValid() ? storage.bytesAvailable() : -1;
}

QString ProposedBackupPath(const QString& folder) {
  QString f = folder;
  while (f.size() > 1 && f.endsWith(QLatin1Char('/'))) f.chop(1);
  if (f == QStringLiteral("/")) f.clear();
  return f + QStringLiteral("/BackupData.db");
}

bool IsDatabaseFile(const AppContext& ctx, const QString& path) {
  const QFileInfo target(path);
  const QFileInfo db(ctx.db.Path());
  // By name: a companion that does not exist yet must not be created by a backup.
  const QString folder = target.absoluteDir().canonicalPath();
  const QString db_folder = db.absoluteDir().canonicalPath();
  if (!folder.isEmpty() && folder == db_folder) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
      if (target.fileName() == db.fileName() + QString::fromLatin1(suffix)) return true;
  }
  // By identity: a link or another path to the same file.
  struct stat a {
  }, b{};
  if (::stat(QFile::encodeName(target.absoluteFilePath()).constData(), &a) != 0) return false;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    const QByteArray p = QFile::encodeName(db.absoluteFilePath() + QString::fromLatin1(suffix));
    if (::stat(p.constData(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino) return true;
  }
  return false;
}

std::expected<void, MaintenanceError> BackUpDatabase(AppContext& ctx, const QString& target_text,
                                                     const CopyProgress& progress, const FreeSpaceProbe& free_space) {
  const QString target_path = target_text.trimmed();
  if (target_path.isEmpty()) return Fail(Kind::Refused, QStringLiteral("请填写备份文件的位置"));
  // The system cuts a file name short at a NUL: the backup would go to another file
  // than the one named, and be reported done.
  if (target_path.contains(QChar(0)))
    return Fail(Kind::Refused, QStringLiteral("备份文件的位置含有无效字符，请重新填写"));
  const QFileInfo target(target_path);
  if (target.isDir()) return Fail(Kind::Refused, QStringLiteral("备份位置是一个目录，请在目录后加上文件名"));
  if (!target.absoluteDir().exists()) return Fail(Kind::Refused, QStringLiteral("备份目录不存在"));
  if (IsDatabaseFile(ctx, target_path))
    return Fail(Kind::Refused, QStringLiteral("不能备份到数据库文件本身，请选择其他位置"));
  // What a backup killed mid-copy left here would otherwise stay for good, and take
  // the room this copy needs.
  RemoveAbandonedPartFiles(target.absoluteFilePath());
  if (ctx.db.IsServer()) return BackUpServerShop(ctx, target, progress);
  const QString source_path = ctx.db.Path();
  const qint64 needed = SizeOf(source_path) + SizeOf(source_path + QStringLiteral("-wal"));
  const qint64 free = free_space(target.absolutePath());
  if (free >= 0 && free < needed + (1 << 20)) return Fail(Kind::Failed, kNoRoom);

  // A connection of its own, so that a transaction open on the program's connection
  // stays out of the copy. Its read transaction pins one snapshot for the whole copy.
  KeyedFile source;
  if (!source.Open(source_path)) return Fail(Kind::Failed, kDatabaseUnavailableText);
  const bool exact = PinSnapshotInFile(source);
  if (!exact && (!source.Exec("BEGIN") || !source.Value(FileOnlySql("select count(*) from sqlite_master"))))
    return Fail(Kind::Failed, kDatabaseUnavailableText);

  const LockedPartFile part(target.absoluteFilePath());
  if (!part.Created()) return std::unexpected(WriteFailure(errno));
  const QString* const temp = &part.Path();
  auto discard = [&](const MaintenanceError& error) {
    RemoveWithCompanions(*temp);
    return std::unexpected(error);
  };
  const auto copied = exact ? CopyFileBytes(source, *temp, progress) : CopyThroughEngine(source, *temp, progress);
  source.Exec("COMMIT");
  source.Close();
  if (!copied) return discard(copied.error());

  QFile::setPermissions(*temp, QFile::permissions(source_path));
  if (!exact && !SyncFile(*temp)) return discard({Kind::Failed, kWriteFailed});
  // The copy must open with the key alone and never be plaintext. A byte-exact copy is
  // as sound as data.db itself; one the engine wrote page by page is read whole.
  QFile head(*temp);
  QByteArray first;
  if (head.open(QIODevice::ReadOnly)) first = head.read(16);
  head.close();
  if (first.startsWith("SQLite format 3")) return discard({Kind::Failed, QStringLiteral("备份文件未加密")});
  if (auto check = CheckDatabaseFile(*temp, exact ? Check::Schema : Check::Pages, PageSizes::OursOnly); !check)
    return discard({Kind::Failed, kCheckFailed + check.error().reason});
  QFile::remove(*temp + QStringLiteral("-wal"));
  QFile::remove(*temp + QStringLiteral("-shm"));
  if (!RenameOver(*temp, target.absoluteFilePath())) return discard({Kind::Failed, kWriteFailed});
  SyncFolder(target.absolutePath());
  return {};
}

std::expected<void, MaintenanceError> CompactDatabase(AppContext& ctx, const FreeSpaceProbe& free_space) {
  if (ctx.db.IsServer()) return CompactServerShop(ctx);
  const QString path = ctx.db.Path();
  if (auto r = ctx.EnsureDatabaseOpen(); !r) return Fail(Kind::Failed, kDatabaseUnavailableText, r.error().message);
  // VACUUM builds the new content beside the old one and passes it through the -wal:
  // room for the file twice over.
  const qint64 size = SizeOf(path) + SizeOf(path + QStringLiteral("-wal"));
  const qint64 free = free_space(QFileInfo(path).absolutePath());
  if (free >= 0 && free < 2 * size + (1 << 20)) {
    (void)Reopen(ctx);
    return Fail(Kind::Failed, kNoRoom);
  }
  std::optional<MaintenanceError> failure;
  if (auto r = Compact(ctx.db); !r) {
    failure = EngineFailure(r.error());
  } else if (auto c = WriteBackWholeLog(ctx.db); !c) {
    // The compacted content is committed in the -wal; the file shrinks at a later checkpoint.
    failure = EngineFailure(c.error());
  }
  // Open again in every case, as the file now stands.
  if (auto r = Reopen(ctx); !r && !failure) failure = r.error();
  if (failure) return std::unexpected(*failure);
  return {};
}

std::expected<void, MaintenanceError> ReinitialiseDatabase(AppContext& ctx) {
  if (ctx.db.IsServer()) return ReinitialiseServerShop(ctx);
  const QString path = ctx.db.Path();
  const auto temp = NewTemporaryBeside(path);
  if (!temp) return Fail(Kind::Failed, kWriteFailed);
  if (auto written = WriteTemplateFile(*temp); written != TemplateWrite::Written) {
    QFile::remove(*temp);
    return Fail(Kind::Failed, TemplateWriteFailureText(written));
  }
  // The new file is accessed as the old one was.
  QFile::setPermissions(*temp, QFile::permissions(path));
  if (!SyncFile(*temp)) {
    QFile::remove(*temp);
    return Fail(Kind::Failed, kWriteFailed);
  }
  if (auto r = ReleaseDatabase(ctx); !r) {
    QFile::remove(*temp);
    (void)ctx.EnsureDatabaseOpen();
    return r;
  }
  if (!RenameOver(*temp, path)) {
    QFile::remove(*temp);
    (void)Reopen(ctx);
    return Fail(Kind::Failed, kWriteFailed);
  }
  SyncFolder(QFileInfo(path).absolutePath());
  return Reopen(ctx);
}

std::expected<BackupContents, MaintenanceError> RestoreDatabase(AppContext& ctx, const QString& backup_path,
                                                                const CopyProgress& busy,
                                                                const FreeSpaceProbe& free_space,
                                                                const RestoreConfirmation& confirm) {
  const QFileInfo info(backup_path);
  if (backup_path.trimmed().isEmpty() || !info.isFile()) return Fail(Kind::Refused, QStringLiteral("找不到该备份文件"));
  if (IsDatabaseFile(ctx, backup_path)) return Fail(Kind::Refused, QStringLiteral("该文件就是正在使用的数据库"));
  if (ctx.db.IsServer()) return RestoreIntoServer(ctx, info, busy, free_space, confirm);
  const QString path = ctx.db.Path();
  const QString folder = QFileInfo(path).absolutePath();
  const qint64 free = free_space(folder);
  if (free >= 0 && free < info.size() + (1 << 20)) return Fail(Kind::Failed, kNoRoom);

  // The copy that will become data.db is made and checked first, beside data.db.
  const auto temp = NewTemporaryBeside(path);
  if (!temp) return Fail(Kind::Failed, kWriteFailed);
  auto discard = [&](Kind kind, const QString& reason) {
    RemoveWithCompanions(*temp);
    return Fail(kind, reason);
  };
  QFile::remove(*temp);
  if (!QFile::copy(info.absoluteFilePath(), *temp)) return discard(Kind::Failed, QStringLiteral("无法读取该备份文件"));
  QFile::setPermissions(*temp, QFile::permissions(path) | QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  auto contents = CheckDatabaseFile(*temp, Check::Full, PageSizes::OldToo, busy);
  if (!contents) return discard(contents.error().kind, contents.error().reason);
  if (confirm && !confirm(*contents)) return discard(Kind::Cancelled, QString());
  QFile::remove(*temp + QStringLiteral("-wal"));
  QFile::remove(*temp + QStringLiteral("-shm"));
  if (!SyncFile(*temp)) return discard(Kind::Failed, kWriteFailed);

  if (auto r = ReleaseDatabase(ctx); !r) {
    RemoveWithCompanions(*temp);
    return std::unexpected(r.error());
  }
  // The database being replaced stays as data.db.before-restore: a second name for the
  // same file, so data.db exists at every moment.
  const QString kept = path + kBeforeRestoreSuffix;
  RemoveWithCompanions(kept);
  const QByteArray path_bytes = QFile::encodeName(path), kept_bytes = QFile::encodeName(kept);
  if (::link(path_bytes.constData(), kept_bytes.constData()) != 0) {
    // A file system without hard links: a synced copy instead.
    if (!QFile::copy(path, kept) || !SyncFile(kept)) {
      QFile::remove(kept);
      (void)Reopen(ctx);
      return discard(Kind::Failed, QStringLiteral("无法保存当前数据库的副本，数据库未作改动"));
    }
  }
  if (!RenameOver(*temp, path)) {
    (void)Reopen(ctx);
    return discard(Kind::Failed, kWriteFailed);
  }
  SyncFolder(folder);
  if (auto r = Reopen(ctx); !r) {
    // Should the copy not open after all, the previous database goes back.
    if (RenameOver(kept, path)) SyncFolder(folder);
    (void)Reopen(ctx);
    return std::unexpected(r.error());
  }
  return *contents;
}

}  // namespace hemulu

namespace hemulu {

QString LocalDatabasePath(const AppContext& ctx) {
  return ctx.db.IsServer() ? QFileInfo(ctx.FilePath(kDatabaseFileName)).absoluteFilePath() : ctx.db.Path();
}

std::optional<ServerAddress> TransferServer(const AppContext& ctx) {
  if (const ServerAddress* server = ctx.db.Server()) return *server;
  return ServerChoice(ctx.settings);
}

QString ServerShopSizeText(const ServerShopSize& shop, ShopRows rows) {
  QString text = QStringLiteral("商品 %1 种，销售 %2 笔").arg(shop.goods).arg(shop.sales);
  if (shop.other > 0) text += QStringLiteral("，其他记录（账目、用户等）%1 条").arg(shop.other);
  if (rows == ShopRows::WithHistory && shop.history > 0)
    text += QStringLiteral("，流水和小票等明细 %1 条").arg(shop.history);
  return text;
}

QString ReplaceServerQuestion(const ServerShopSize& on_server) {
  // Everything that goes is named, the goods' history too (it outlives deleted goods).
  return QStringLiteral("服务器上已有数据：%1。\n\n上传后服务器上的这些数据将被本机数据替换，确定要上传吗？")
      .arg(ServerShopSizeText(on_server, ShopRows::WithHistory));
}

std::expected<void, MaintenanceError> UploadToServer(AppContext& ctx, const ServerAddress& server,
                                                     const ReplaceServerShop& replace, const CopyProgress& progress) {
  const QString local = LocalDatabasePath(ctx);
  if (!QFileInfo(local).isFile()) return Fail(Kind::Refused, QStringLiteral("找不到本机数据文件 %1").arg(local));
  // A file an older program wrote gets the tables added since, as data.db does at its
  // first open. A shop running on the file has it open and current already: its bytes
  // stay as they are.
  if (ctx.db.IsServer()) {
    Database file(local);
    if (auto opened = file.Open(); !opened)
      return Fail(Kind::Failed, QStringLiteral("本机数据文件无法打开：") + EngineFailureText(opened.error().kind),
                  opened.error().message);
  }
  if (auto copied = CopyFileToServer(local, server, replace, progress); !copied)
    return std::unexpected(FromTransfer(copied.error()));
  return {};
}

std::expected<void, MaintenanceError> DownloadFromServer(AppContext& ctx, const ServerAddress& server,
                                                         const CopyProgress& progress) {
  const QString path = LocalDatabasePath(ctx);
  const QString folder = QFileInfo(path).absolutePath();
  const auto temp = NewTemporaryBeside(path);
  if (!temp) return Fail(Kind::Failed, kWriteFailed);
  auto discard = [&](const MaintenanceError& error) {
    RemoveWithCompanions(*temp);
    return std::unexpected(error);
  };
  // The new data.db is accessed as the old one was.
  const QFileDevice::Permissions permissions =
      QFileInfo(path).exists() ? QFile::permissions(path) : QFile::permissions(*temp);
  if (auto copied = CopyServerShopInto(server, *temp, permissions, QStringLiteral("数据文件"), progress); !copied)
    return discard(copied.error());

  const bool in_use = !ctx.db.IsServer();
  if (in_use) {
    if (auto r = ReleaseDatabase(ctx); !r) return discard(r.error());
  }
  auto reopen = [&] {
    if (in_use) (void)Reopen(ctx);
  };
  // The file being replaced stays as data.db.before-download: a second name for it, so
  // data.db exists at every moment.
  const QString kept = path + kBeforeDownloadSuffix;
  if (QFileInfo(path).exists()) {
    RemoveWithCompanions(kept);
    const QByteArray path_bytes = QFile::encodeName(path), kept_bytes = QFile::encodeName(kept);
    if (::link(path_bytes.constData(), kept_bytes.constData()) != 0 && (!QFile::copy(path, kept) || !SyncFile(kept))) {
      QFile::remove(kept);
      reopen();
      return discard({Kind::Failed, QStringLiteral("无法保存本机原有数据文件的副本，数据文件未作改动")});
    }
  }
  if (!RenameOver(*temp, path)) {
    reopen();
    return discard({Kind::Failed, kWriteFailed});
  }
  SyncFolder(folder);
  if (in_use) return Reopen(ctx);
  return {};
}

}  // namespace hemulu
