#pragma once
// The reading of config.ini's bytes, as IniFile::Read does it on the file.

#include <QByteArray>
#include <QString>

namespace hemulu {

// The value of `key` in `section`; names compare without regard to case and
// surrounding blanks. Empty when absent.
QString ReadIniText(const QByteArray& contents, const QString& section, const QString& key);

}  // namespace hemulu
