// Random byte flips in a copy of data.db: each is found, by the open or by the first
// read of the damaged page, and never read as other data; the failed open leaves the
// file's bytes as they were. HEMULU_TAMPER_FLIPS sets the number of copies (100).

#include <gtest/gtest.h>

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

#include "TestSupport.h"
#include "data/EmbeddedFiles.h"

namespace hemulu::test {
namespace {

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Every row of every table as text; nullopt when a read fails.
std::optional<QString> Dump(Database& db) {
  QString out;
  for (const char* table : {"buy", "sell", "other", "bank", "sqlite_master"}) {
    auto st = db.Prepare(std::string("select * from ") + table);
    if (!st) return std::nullopt;
    while (true) {
      auto row = st->Step();
      if (!row) return std::nullopt;
      if (!*row) break;
      for (int i = 0; i < st->ColumnCount(); ++i) out += st->Text(i) + QChar(0x1f);
      out += QChar('\n');
    }
  }
  return out;
}

struct Opened {
  ScriptedPrompter prompter;
  FixedClock clock;
  RecordingNotifier notifier;
  AppContext ctx;
  explicit Opened(const QString& dir) : ctx(dir, prompter, clock, notifier) {}
};

TEST(Tamper, EveryFlippedByteIsFoundAndTheFileIsLeftAsItWas) {
  QTemporaryDir source;
  ASSERT_TRUE(WriteWorkingFiles(source.path(), source.path()).has_value());
  QString pristine_dump;
  {
    Opened o(source.path());
    ASSERT_TRUE(o.ctx.EnsureDatabaseOpen().has_value());
    for (int i = 0; i < 40; ++i) {
      GoodsRow row;
      row.name = QStringLiteral("商品%1").arg(i);
      const qint64 id = InsertGoods(o.ctx.db, row);
      ASSERT_TRUE(o.ctx.db.Execute("insert into sell (名称,销售数量,UID) values (?,?,?)", row.name, 1, id).has_value());
      ASSERT_TRUE(o.ctx.db.Execute("insert into other (类型,项目,金额) values ('支出',?,?)", row.name, i).has_value());
    }
    // No free pages: a flip in one would never be read, by anyone.
    ASSERT_TRUE(o.ctx.db.ExecScript("VACUUM; PRAGMA wal_checkpoint(TRUNCATE);").has_value());
    auto dump = Dump(o.ctx.db);
    ASSERT_TRUE(dump.has_value());
    pristine_dump = *dump;
  }
  const QByteArray pristine = ReadAll(source.path() + "/data.db");
  const QByteArray config = ReadAll(source.path() + "/config.ini");
  ASSERT_GT(pristine.size(), 4096);

  const char* env = std::getenv("HEMULU_TAMPER_FLIPS");
  const int flips = env && *env ? std::atoi(env) : 100;
  const quint32 seed = QRandomGenerator::system()->generate();
  QRandomGenerator random(seed);
  // Each page ends in the cipher's reserve: a 16-byte IV and a 20-byte HMAC padded to
  // 48 bytes. The last 12 bytes are padding that nothing reads or authenticates; a
  // flip there changes no data, and must still read back as the same data.
  constexpr qsizetype kReservePadding = 12;
  int at_open = 0, at_read = 0, in_padding = 0;
  for (int i = 0; i < flips; ++i) {
    QByteArray bytes = pristine;
    const qsizetype offset = random.bounded(static_cast<int>(bytes.size()));
    bytes[offset] = static_cast<char>(bytes[offset] ^ static_cast<char>(1 + random.bounded(255)));
    QTemporaryDir dir;
    ASSERT_TRUE(WriteAll(dir.path() + "/config.ini", config));
    ASSERT_TRUE(WriteAll(dir.path() + "/data.db", bytes));
    SCOPED_TRACE(QStringLiteral("offset %1, seed %2").arg(offset).arg(seed).toStdString());
    {
      Opened o(dir.path());
      auto open = o.ctx.EnsureDatabaseOpen();
      if (!open) {
        ++at_open;
        EXPECT_TRUE(open.error().Unavailable());
      } else {
        auto check = o.ctx.db.Prepare("PRAGMA integrity_check");
        const bool checked_ok = check && check->Step().value_or(false) && check->Text(0) == QStringLiteral("ok");
        const auto dump = Dump(o.ctx.db);
        if (!checked_ok || !dump) {
          ++at_read;
        } else if (offset % kCipherPageSize >= kCipherPageSize - kReservePadding) {
          ++in_padding;
        } else {
          ADD_FAILURE() << "a flipped byte went unnoticed";
        }
        if (dump) {
          EXPECT_TRUE(*dump == pristine_dump) << "a flipped byte was read as other data";
        }
      }
    }
    EXPECT_TRUE(ReadAll(dir.path() + "/data.db") == bytes) << "the failed open changed the file";
  }
  std::printf(
      "tamper: %d flips, %d refused by the open, %d found by the first read, %d in page padding read "
      "back unchanged (seed %u)\n",
      flips, at_open, at_read, in_padding, seed);
  EXPECT_EQ(flips, at_open + at_read + in_padding);
}

}  // namespace
}  // namespace hemulu::test
