#include "stock/NameInitials.h"

#include <array>
#include <cstddef>
#include <iterator>
#include <string_view>

#include "data/Gbk.h"

namespace hemulu {

namespace {

// Level 1 (lead bytes 0xB0-0xD7) is sorted by reading, so a hanzi's letter is
// that of the last of these start codes at or below its code. The order follows
// one reading per hanzi; for these polyphones it is not the most customary one,
// and the position decides: 辟 泊 B, 长 匙 C, 脯 F, 蛤 G, 槛 J, 咯 咳 傀 K, 埔 P,
// 茄 炔 Q, 伺 S, 厦 畜 X, 吁 Y, 曾 轧 辗 椎 Z.
struct Level1Start {
  unsigned code;
  char letter;
};
constexpr std::array<Level1Start, 23> kLevel1Starts{{
    {0xB0A1, 'A'}, {0xB0C5, 'B'}, {0xB2C1, 'C'}, {0xB4EE, 'D'}, {0xB6EA, 'E'}, {0xB7A2, 'F'},
    {0xB8C1, 'G'}, {0xB9FE, 'H'}, {0xBBF7, 'J'}, {0xBFA6, 'K'}, {0xC0AC, 'L'}, {0xC2E8, 'M'},
    {0xC4C3, 'N'}, {0xC5B6, 'O'}, {0xC5BE, 'P'}, {0xC6DA, 'Q'}, {0xC8BB, 'R'}, {0xC8F6, 'S'},
    {0xCBFA, 'T'}, {0xCDDA, 'W'}, {0xCEF4, 'X'}, {0xD1B9, 'Y'}, {0xD4D1, 'Z'},
}};
constexpr unsigned kLevel1Last = 0xD7F9;  // 0xD7FA-0xD7FE are unassigned

// Level 2 (lead bytes 0xD8-0xF7) is sorted by radical, so it needs a table.
constexpr std::string_view kLevel2Rows[] = {
#include "Gb2312Level2Initials.inc"
};
constexpr unsigned char kLevel2FirstLead = 0xD8;
constexpr unsigned char kLevel2LastLead = 0xF7;
constexpr unsigned char kFirstTrail = 0xA1;
constexpr unsigned char kLastTrail = 0xFE;

constexpr bool Level2TableWellFormed() {
  for (std::string_view row : kLevel2Rows) {
    if (row.size() != kLastTrail - kFirstTrail + 1) return false;
    for (char c : row) {
      const bool letter = c >= 'A' && c <= 'Z' && c != 'I' && c != 'U' && c != 'V';
      if (!letter && c != ' ') return false;
    }
  }
  return true;
}
static_assert(std::size(kLevel2Rows) == kLevel2LastLead - kLevel2FirstLead + 1);
static_assert(Level2TableWellFormed());

// The letter of a two-byte GBK character, or 0 when it is no GB2312 hanzi.
char HanziInitial(unsigned char lead, unsigned char trail) {
  if (trail < kFirstTrail || trail > kLastTrail) return 0;
  if (lead >= kLevel2FirstLead && lead <= kLevel2LastLead) {
    const char c = kLevel2Rows[lead - kLevel2FirstLead][trail - kFirstTrail];
    return c == ' ' ? 0 : c;
  }
  const unsigned code = (unsigned{lead} << 8) | trail;
  if (code < kLevel1Starts.front().code || code > kLevel1Last) return 0;
  char letter = 0;
  for (const Level1Start& start : kLevel1Starts) {
    if (code < start.code) break;
    letter = start.letter;
  }
  return letter;
}

// Applies the byte rules to one character's GBK bytes.
void AppendGbk(const char* bytes, std::size_t n, QString& out) {
  std::size_t i = 0;
  while (i < n) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      if (b != 0) out.append(QChar(b));
      ++i;
    } else if (i + 1 < n) {
      if (const char c = HanziInitial(b, static_cast<unsigned char>(bytes[i + 1]))) out.append(QChar(c));
      i += 2;
    } else {
      ++i;  // a lead byte without its trail byte is no character
    }
  }
}

}  // namespace

QString NameInitials(const QString& text) {
  QString out;
  out.reserve(text.size());
  const QChar* units = text.constData();
  const qsizetype n = text.size();
  qsizetype i = 0;
  while (i < n) {
    const char16_t u = units[i].unicode();
    if (u < 0x80) {
      // ASCII is copied as typed; a NUL would end the name in C code, so it is dropped.
      if (u != 0) out.append(QChar(u));
      ++i;
      continue;
    }
    char32_t cp = u;
    if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(units[i + 1].unicode())) {
      cp = QChar::surrogateToUcs4(u, units[i + 1].unicode());
      i += 2;
    } else if (QChar::isSurrogate(u)) {
      ++i;  // a lone surrogate is no character
      continue;
    } else {
      ++i;
    }
    // Converting one character at a time keeps one that GBK lacks from
    // ending or shifting the conversion of the rest.
    std::array<char, 8> gbk{};
    const std::size_t len = GbkBytesOf(cp, gbk);
    AppendGbk(gbk.data(), len, out);
  }
  return out;
}

}  // namespace hemulu
