#include "data/EmbeddedFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "data/IniFile.h"
#include "data/IniText.h"

namespace hemulu {

namespace embedded {
extern const unsigned char kTemplateDatabaseBlock[];
extern const unsigned char kDefaultConfigBlock[];
extern const std::size_t kTemplateDatabaseBlockSize;
extern const std::size_t kDefaultConfigBlockSize;
}  // namespace embedded

namespace {
quint32 ReadLe32(const unsigned char* p) {
  return static_cast<quint32>(p[0]) | static_cast<quint32>(p[1]) << 8 | static_cast<quint32>(p[2]) << 16 |
         static_cast<quint32>(p[3]) << 24;
}
}  // namespace

std::optional<QByteArray> BlockBytes(const unsigned char* block, std::size_t block_size) {
  if (block_size < 8 || ReadLe32(block) != 1) return std::nullopt;
  const quint32 n = ReadLe32(block + 4);
  if (n > block_size - 8) return std::nullopt;
  return QByteArray(reinterpret_cast<const char*>(block + 8), static_cast<qsizetype>(n));
}

QByteArray TemplateDatabaseBytes() {
  return BlockBytes(embedded::kTemplateDatabaseBlock, embedded::kTemplateDatabaseBlockSize).value_or(QByteArray());
}

TemplateWrite WriteTemplateFile(const QString& path) {
  const QByteArray bytes = TemplateDatabaseBytes();
  if (bytes.isEmpty()) return TemplateWrite::TemplateDamaged;
  QFile out(path);
  if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(bytes) != bytes.size() || !out.flush())
    return TemplateWrite::NotWritten;
  return TemplateWrite::Written;
}

QString TemplateWriteFailureText(TemplateWrite failure) {
  return failure == TemplateWrite::TemplateDamaged ? QStringLiteral("程序内置的空数据库已损坏")
                                                   : QStringLiteral("无法写入文件，请检查目录是否存在、是否有写入权限");
}

QByteArray DefaultConfigBytes(const QString& home) {
  QByteArray text = BlockBytes(embedded::kDefaultConfigBlock, embedded::kDefaultConfigBlockSize).value_or(QByteArray());
  QString dir = home;
  while (dir.size() > 1 && dir.endsWith(QLatin1Char('/'))) dir.chop(1);
  if (dir == QStringLiteral("/")) dir.clear();
  text.replace("@HOME@", dir.toUtf8());
  return text;
}

bool WriteFileAtomically(const QString& path, const QByteArray& bytes) {
  QSaveFile out(path);
  if (!out.open(QIODevice::WriteOnly)) return false;
  if (out.write(bytes) != bytes.size()) {
    out.cancelWriting();
    return false;
  }
  return out.commit();
}

namespace {

// A re-initialisation or a restore writes its new data.db beside it as a part file and
// renames it into place; one cut short by a crash leaves the part file, as large as a
// whole database, and nothing else would ever remove it. At start-up no other program
// of this folder runs, so none of them is still being written.
void RemoveCutShortDatabaseCopies(const QDir& dir) {
  const QString pattern = QFileInfo(PartFileTemplate(dir.filePath(kDatabaseFileName))).fileName();
  const QStringList names =
      dir.entryList({QString(pattern).replace(QStringLiteral("XXXXXX"), QStringLiteral("??????"))},
                    QDir::Files | QDir::Hidden | QDir::NoSymLinks);
  for (const QString& name : names) QFile::remove(dir.filePath(name));
}

}  // namespace

QString PartFileTemplate(const QString& target) {
  const QFileInfo info(target);
  return info.absoluteDir().filePath(QStringLiteral(".") + info.fileName() + QStringLiteral(".part-XXXXXX"));
}

std::expected<void, QString> WriteWorkingFiles(const QString& shop_dir, const QString& home) {
  const QDir dir(shop_dir);
  RemoveCutShortDatabaseCopies(dir);
  const QString config = dir.filePath(kConfigFileName);
  if (!QFileInfo::exists(config) && !WriteFileAtomically(config, DefaultConfigBytes(home)))
    return std::unexpected(config);
  const QString database = dir.filePath(kDatabaseFileName);
  if (!QFileInfo::exists(database) && !WriteFileAtomically(database, TemplateDatabaseBytes()))
    return std::unexpected(database);
  return {};
}

QString WorkingFileFailureText(const QString& path) {
  return QStringLiteral("无法写入程序的工作文件，程序不能继续运行。\n") + path +
         QStringLiteral("\n请确认这个文件所在的文件夹可以写入，磁盘也有剩余空间。");
}

QString SetupColourText(const IniFile& settings, const QString& key) {
  const QString text = settings.ReadSetupValue(key);
  if (!text.trimmed().isEmpty()) return text;
  return ReadIniText(DefaultConfigBytes(QString()), QStringLiteral("setup"), key.trimmed());
}

}  // namespace hemulu
