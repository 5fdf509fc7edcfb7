#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace hemulu {

// Conversions through glibc iconv; nullopt when a byte sequence or character does not convert.
std::optional<QString> GbkToUnicode(const QByteArray& bytes);
std::optional<QByteArray> UnicodeToGbk(const QString& text);
bool IsValidUtf8(const QByteArray& bytes);

}  // namespace hemulu
