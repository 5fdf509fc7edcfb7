#include "data/Gbk.h"

#include <cerrno>
#include <iconv.h>

namespace hemulu {

namespace {

std::optional<QByteArray> Convert(const char* to, const char* from, const QByteArray& in) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  QByteArray out(in.size() * 4 + 16, Qt::Uninitialized);
  char* src = const_cast<char*>(in.constData());
  size_t src_left = static_cast<size_t>(in.size());
  char* dst = out.data();
  size_t dst_left = static_cast<size_t>(out.size());
  // Any stop, a truncated trailing byte included, is a failure rather than a shorter result.
  const size_t rc = iconv(cd, &src, &src_left, &dst, &dst_left);
  const bool ok = rc != static_cast<size_t>(-1) && src_left == 0 &&
                  iconv(cd, nullptr, nullptr, &dst, &dst_left) != static_cast<size_t>(-1);
  iconv_close(cd);
  if (!ok) return std::nullopt;
  out.truncate(out.size() - static_cast<qsizetype>(dst_left));
  return out;
}

}  // namespace

std::optional<QString> GbkToUnicode(const QByteArray& bytes) {
  auto utf8 = Convert("UTF-8", "GBK", bytes);
  if (!utf8) return std::nullopt;
  return QString::fromUtf8(*utf8);
}

std::optional<QByteArray> UnicodeToGbk(const QString& text) { return Convert("GBK", "UTF-8", text.toUtf8()); }

bool IsValidUtf8(const QByteArray& bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
  const auto* end = p + bytes.size();
  while (p < end) {
    const unsigned char c = *p;
    int extra = 0;
    quint32 cp = 0;
    if (c < 0x80) {
      ++p;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1, cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2, cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3, cp = c & 0x07;
    } else {
      return false;
    }
    if (end - p <= extra) return false;
    for (int i = 1; i <= extra; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[i] & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    static constexpr quint32 kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    p += extra + 1;
  }
  return true;
}

}  // namespace hemulu
