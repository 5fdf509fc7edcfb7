#pragma once
// GBK through glibc iconv: the one wrapper of the program. Each thread keeps its two
// descriptors open, as opening one costs far more than converting a short text.

#include <QByteArray>
#include <QString>
#include <array>
#include <optional>

namespace hemulu {

// Whole texts; nullopt when a byte sequence or character does not convert, a cut-off
// trailing byte included.
std::optional<QString> GbkToUnicode(const QByteArray& bytes);
std::optional<QByteArray> UnicodeToGbk(const QString& text);
bool IsValidUtf8(const QByteArray& bytes);

// One code point's GBK bytes into out; their count, 0 when GBK has no such character.
// Converting character by character keeps one that GBK lacks from ending the rest.
std::size_t GbkBytesOf(char32_t code_point, std::array<char, 8>& out);

}  // namespace hemulu
