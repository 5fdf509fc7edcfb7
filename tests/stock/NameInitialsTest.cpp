#include <gtest/gtest.h>
#include <iconv.h>

#include <QString>
#include <string>
#include <thread>
#include <vector>

#include "stock/NameInitials.h"

namespace hemulu {
namespace {

std::string initials(const QString& text) { return NameInitials(text).toStdString(); }
std::string initials(const char16_t* text) { return initials(QString::fromUtf16(text)); }

// Decodes GBK bytes with the system's own converter, so the test checks the
// round trip through the same code page the function encodes to.
QString fromGbk(const std::string& gbk) {
  iconv_t cd = iconv_open("UTF-8", "GBK");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    ADD_FAILURE() << "iconv cannot convert GBK";
    return {};
  }
  std::string utf8(gbk.size() * 2, '\0');
  char* in = const_cast<char*>(gbk.data());
  std::size_t inLeft = gbk.size();
  char* out = utf8.data();
  std::size_t outLeft = utf8.size();
  const std::size_t rc = iconv(cd, &in, &inLeft, &out, &outLeft);
  iconv_close(cd);
  EXPECT_EQ(rc, 0u);
  EXPECT_EQ(inLeft, 0u);
  utf8.resize(utf8.size() - outLeft);
  return QString::fromUtf8(utf8);
}

// Every GB2312 hanzi in code order; level 1 ends at 0xD7F9.
QString allGb2312Hanzi(unsigned char firstLead, unsigned char lastLead) {
  std::string gbk;
  for (unsigned lead = firstLead; lead <= lastLead; ++lead) {
    for (unsigned trail = 0xA1; trail <= 0xFE; ++trail) {
      if (lead == 0xD7 && trail > 0xF9) break;
      gbk += static_cast<char>(lead);
      gbk += static_cast<char>(trail);
    }
  }
  return fromGbk(gbk);
}

TEST(NameInitialsTest, HanziGiveInitialsAndAsciiIsKeptAsTyped) {
  EXPECT_EQ(initials(u"可口可乐500ml"), "KKKL500ml");
  EXPECT_EQ(initials(u"可乐") + initials(u"大瓶"), "KLDP");
  EXPECT_EQ(initials(u"Abc"), "Abc");
  EXPECT_EQ(initials(u"a-B_c 1"), "a-B_c 1");
  EXPECT_EQ(initials(u""), "");
  EXPECT_EQ(initials(QString()), "");
  // Polyphone placed by the code page under its other reading: 曾 (zēng).
  EXPECT_EQ(initials(u"曾"), "Z");
  EXPECT_EQ(initials(u"长"), "C");
}

TEST(NameInitialsTest, DropsWhatIsNoGb2312Hanzi) {
  EXPECT_EQ(initials(u"，。！（）"), "");
  EXPECT_EQ(initials(u"ＡＢ１"), "");  // full-width forms are two-byte, not ASCII
  // 乂 and 丂 exist only in GBK (0x8156, 0x8140), the emoji and 𠀀 not at all;
  // none of them may swallow or shift what follows.
  EXPECT_EQ(initials(u"乂可丂乐"), "KL");
  EXPECT_EQ(initials(u"可😀乐"), "KL");
  EXPECT_EQ(initials(u"😀😀A"), "A");
  EXPECT_EQ(initials(u"𠀀大"), "D");
  EXPECT_EQ(initials(u"大€"), "D");
  // Lone surrogates and NUL are no characters: dropped, the rest kept.
  QString broken = QString::fromUtf16(u"可") + QChar(0xD800) + QString::fromUtf16(u"A乐") + QChar(0xDC00) +
                   QChar(u'\0') + QString::fromUtf16(u"b") + QChar(0xD83D);
  EXPECT_EQ(initials(broken), "KALb");
}

TEST(NameInitialsTest, Level1BoundariesMatchReadings) {
  // At each letter boundary: the last hanzi of one letter, then the first of the next.
  EXPECT_EQ(initials(u"啊澳芭怖擦错搭堕蛾贰发咐噶过哈祸击骏喀阔垃络妈穆拿诺哦沤啪瀑期群然弱撒所塌唾挖误昔迅压孕匝座"),
            "AABBCCDDEEFFGGHHJJKKLLMMNNOOPPQQRRSSTTWWXXYYZZ");
}

TEST(NameInitialsTest, Level2ReadingsFromTable) {
  // 亍 chù, 丌 jī, 兀 wù, 芈 mǐ, 蔺 lìn, 呒 wǔ, 嗯 ń, 噻 sāi, 琪 qí, 鑫 xīn, 齄 zhā (last code).
  EXPECT_EQ(initials(u"亍丌兀芈蔺呒嗯噻琪鑫齄"), "CJWMLWNSQXZ");
}

TEST(NameInitialsTest, EveryGb2312HanziGivesOneLetter) {
  const QString level1 = allGb2312Hanzi(0xB0, 0xD7);
  const QString level2 = allGb2312Hanzi(0xD8, 0xF7);
  ASSERT_EQ(level1.size(), 3755);
  ASSERT_EQ(level2.size(), 3008);
  for (const QString& level : {level1, level2}) {
    const QString letters = NameInitials(level);
    ASSERT_EQ(letters.size(), level.size());
    for (qsizetype i = 0; i < letters.size(); ++i) {
      const char16_t c = letters[i].unicode();
      EXPECT_TRUE(c >= u'A' && c <= u'Z' && c != u'I' && c != u'U' && c != u'V')
          << "hanzi U+" << std::hex << unsigned(level[i].unicode()) << " gave " << QString(letters[i]).toStdString();
    }
  }
  // Level 1 is ordered by reading, so its letters never go back.
  const QString letters1 = NameInitials(level1);
  for (qsizetype i = 1; i < letters1.size(); ++i)
    ASSERT_LE(letters1[i - 1].unicode(), letters1[i].unicode()) << "at index " << i;
}

TEST(NameInitialsTest, ThreadsGetTheSameResult) {
  const QString text = allGb2312Hanzi(0xB0, 0xF7) + QString::fromUtf16(u"😀abc乂");
  const QString expected = NameInitials(text);
  std::vector<QString> results(4);
  std::vector<std::thread> threads;
  for (QString& result : results)
    threads.emplace_back([&text, &result] {
      for (int round = 0; round < 5; ++round) result = NameInitials(text);
    });
  for (std::thread& t : threads) t.join();
  for (const QString& result : results) EXPECT_EQ(result, expected);
}

}  // namespace
}  // namespace hemulu
