#pragma once
// The working files the program carries inside itself and writes out when missing.

#include <QByteArray>
#include <QString>
#include <expected>
#include <optional>

namespace hemulu {

// The bytes of an embedded block (4-byte value 1, 4-byte length, the bytes); nullopt
// when the block is malformed.
std::optional<QByteArray> BlockBytes(const unsigned char* block, std::size_t block_size);

// The empty template database: the five tables and the built-in account.
QByteArray TemplateDatabaseBytes();
// Writes the template database's bytes over `path` (not synced).
enum class TemplateWrite { Written, TemplateDamaged, NotWritten };
[[nodiscard]] TemplateWrite WriteTemplateFile(const QString& path);
// What the user is told when it was not written.
QString TemplateWriteFailureText(TemplateWrite failure);
// The default config.ini text with CR LF line ends, the backup path pointing into `home`.
QByteArray DefaultConfigBytes(const QString& home);
class IniFile;
// A colour of config.ini's [setup] section as text; missing or empty (a hand-made file),
// the default file's colour: read as 0 it would paint rows black under black text.
QString SetupColourText(const IniFile& settings, const QString& key);

inline const QString kConfigFileName = QStringLiteral("config.ini");
inline const QString kDatabaseFileName = QStringLiteral("data.db");

// Writes config.ini, then data.db, into the shop's folder when missing. An existing
// file, even empty or damaged, is never replaced. Each file appears whole or not at all.
// Copies of data.db that a crash left unfinished beside it (PartFileTemplate) are removed
// first; call it only once the folder's lock is held.
// On failure gives the path of the file that could not be written.
// Where a file that a rename will put in the place of `target` is written first, as a
// QTemporaryFile template: ".<name>.part-XXXXXX" in the same folder.
QString PartFileTemplate(const QString& target);

[[nodiscard]] std::expected<void, QString> WriteWorkingFiles(const QString& shop_dir, const QString& home);
// What the user is told when a working file cannot be written.
QString WorkingFileFailureText(const QString& path);

// Writes bytes to path through a temporary file in the same folder, synced, then renamed.
[[nodiscard]] bool WriteFileAtomically(const QString& path, const QByteArray& bytes);

}  // namespace hemulu
