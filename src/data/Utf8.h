#pragma once
// UTF-8, read and written one code point at a time. Every UTF-8 check and decoder of
// the program goes through NextUtf8, so they all agree on what is malformed.

#include <cstddef>

namespace hemulu {

// What NextUtf8 gives for a malformed sequence (it then moves on by one byte).
inline constexpr char32_t kBadUtf8 = 0xFFFFFFFF;

// The code point at p, p moved past it. Overlong forms, surrogates, values past
// U+10FFFF and cut-off sequences are malformed.
inline char32_t NextUtf8(const unsigned char*& p, const unsigned char* end) {
  const unsigned c = *p;
  if (c < 0x80) {
    ++p;
    return c;
  }
  const int extra = c >= 0xF8 ? -1 : c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
  if (extra < 0 || end - p <= extra) {
    ++p;
    return kBadUtf8;
  }
  char32_t cp = c & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    if ((p[k] & 0xC0) != 0x80) {
      ++p;
      return kBadUtf8;
    }
    cp = (cp << 6) | (p[k] & 0x3F);
  }
  static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};  // shorter forms are not UTF-8
  if (cp < kLeast[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++p;
    return kBadUtf8;
  }
  p += extra + 1;
  return cp;
}

// Writes the UTF-8 bytes of a code point (at most 4) and gives their count.
inline std::size_t EncodeUtf8(char32_t cp, char* out) {
  if (cp < 0x80) {
    out[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<char>(0xC0 | (cp >> 6));
    out[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (cp >> 18));
  out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (cp & 0x3F));
  return 4;
}

// True when every byte belongs to a well-formed sequence.
inline bool IsValidUtf8(const unsigned char* p, const unsigned char* end) {
  while (p < end)
    if (NextUtf8(p, end) == kBadUtf8) return false;
  return true;
}

}  // namespace hemulu
