#include "NameInitials.h"

#include <QtGlobal>

#include <array>
#include <cerrno>
#include <cstddef>
#include <iterator>
#include <string_view>

#include <iconv.h>

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
    {0xB0A1, 'A'}, {0xB0C5, 'B'}, {0xB2C1, 'C'}, {0xB4EE, 'D'}, {0xB6EA, 'E'},
    {0xB7A2, 'F'}, {0xB8C1, 'G'}, {0xB9FE, 'H'}, {0xBBF7, 'J'}, {0xBFA6, 'K'},
    {0xC0AC, 'L'}, {0xC2E8, 'M'}, {0xC4C3, 'N'}, {0xC5B6, 'O'}, {0xC5BE, 'P'},
    {0xC6DA, 'Q'}, {0xC8BB, 'R'}, {0xC8F6, 'S'}, {0xCBFA, 'T'}, {0xCDDA, 'W'},
    {0xCEF4, 'X'}, {0xD1B9, 'Y'}, {0xD4D1, 'Z'},
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

constexpr bool level2TableWellFormed() {
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
static_assert(level2TableWellFormed());

// The letter of a two-byte GBK character, or 0 when it is no GB2312 hanzi.
char hanziInitial(unsigned char lead, unsigned char trail) {
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

// One iconv descriptor per thread: opening one costs far more than a short
// name's conversion, and a descriptor must not be used by two threads at once.
class GbkEncoder {
public:
    GbkEncoder() : cd_(iconv_open("GBK", "UTF-8")) {
        if (!valid()) qWarning("NameInitials: iconv cannot convert UTF-8 to GBK; hanzi give no letters");
    }
    ~GbkEncoder() {
        if (valid()) iconv_close(cd_);
    }
    GbkEncoder(const GbkEncoder&) = delete;
    GbkEncoder& operator=(const GbkEncoder&) = delete;

    // Writes the GBK bytes of one code point to out and returns their count;
    // 0 when GBK has no such character.
    std::size_t encode(char32_t cp, std::array<char, 8>& out) {
        if (!valid()) return 0;
        std::array<char, 4> utf8{};
        std::size_t inLeft = toUtf8(cp, utf8);
        char* in = utf8.data();
        char* dst = out.data();
        std::size_t outLeft = out.size();
        const std::size_t rc = iconv(cd_, &in, &inLeft, &dst, &outLeft);
        if (rc != 0 || inLeft != 0) {
            // Not in GBK (EILSEQ), or converted only approximately: no letter,
            // and a clean state for the next character.
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            return 0;
        }
        return out.size() - outLeft;
    }

private:
    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    static std::size_t toUtf8(char32_t cp, std::array<char, 4>& b) {
        if (cp < 0x80) {
            b[0] = static_cast<char>(cp);
            return 1;
        }
        if (cp < 0x800) {
            b[0] = static_cast<char>(0xC0 | (cp >> 6));
            b[1] = static_cast<char>(0x80 | (cp & 0x3F));
            return 2;
        }
        if (cp < 0x10000) {
            b[0] = static_cast<char>(0xE0 | (cp >> 12));
            b[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            b[2] = static_cast<char>(0x80 | (cp & 0x3F));
            return 3;
        }
        b[0] = static_cast<char>(0xF0 | (cp >> 18));
        b[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        b[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        b[3] = static_cast<char>(0x80 | (cp & 0x3F));
        return 4;
    }

    iconv_t cd_;
};

// Applies the byte rules to one character's GBK bytes.
void appendGbk(const char* bytes, std::size_t n, QString& out) {
    std::size_t i = 0;
    while (i < n) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            if (b != 0) out.append(QChar(b));
            ++i;
        } else if (i + 1 < n) {
            if (const char c = hanziInitial(b, static_cast<unsigned char>(bytes[i + 1])))
                out.append(QChar(c));
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
        thread_local GbkEncoder encoder;
        std::array<char, 8> gbk{};
        const std::size_t len = encoder.encode(cp, gbk);
        appendGbk(gbk.data(), len, out);
    }
    return out;
}

}  // namespace hemulu
