// config.ini as any bytes: reading never fails and keeps to the value limit; a value
// written is read back as written, and a second write changes nothing.
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>

#include "FuzzCheck.h"
#include "data/IniFile.h"
#include "data/IniText.h"

namespace {

QString FuzzFile() {
  // In memory where there is a tmpfs: the reader works on a file.
  const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return QStringLiteral("%1/hemulu-ini-fuzz-%2.ini").arg(QString::fromLatin1(dir)).arg(getpid());
}

QByteArray ReadBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  // One key per input: each reading decodes the whole file.
  static const char* const keys[] = {"name", "password", "backpath", "a"};
  const QString read = hemulu::ReadIniText(bytes, QStringLiteral("setup"), QString::fromLatin1(keys[size % 4]));
  FUZZ_CHECK(read.toUtf8().size() <= hemulu::IniFile::kMaxValueBytes);
  // Writing replaces the file on disk, a hundred times slower than reading: one input
  // in sixteen takes the round trip.
  if (size == 0 || data[0] % 16 != 0) return 0;
  static const QString path = FuzzFile();
  {
    QFile f(path);
    FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(f.write(bytes) == bytes.size());
  }
  hemulu::IniFile ini(path);
  FUZZ_CHECK(ini.ReadSetupValue(QStringLiteral("name")) ==
             hemulu::ReadIniText(bytes, QStringLiteral("setup"), QStringLiteral("name")));
  const QString value = QStringLiteral("禾木鹭 12'\"");
  FUZZ_CHECK(ini.WriteSetupValue(QStringLiteral("name"), value));
  FUZZ_CHECK(ini.ReadSetupValue(QStringLiteral(" NAME ")) == value);
  const QByteArray once = ReadBytes(path);
  FUZZ_CHECK(ini.WriteSetupValue(QStringLiteral("name"), value));
  FUZZ_CHECK(ReadBytes(path) == once);
  return 0;
}
