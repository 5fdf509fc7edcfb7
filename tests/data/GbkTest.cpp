#include <gtest/gtest.h>

#include "data/Gbk.h"
#include "data/Utf8.h"

using namespace hemulu;

TEST(Gbk, WholeTextsAndSingleCharactersThroughTheOneWrapper) {
  const QByteArray gbk = *UnicodeToGbk(QStringLiteral("可乐a"));
  EXPECT_EQ(gbk, QByteArray("\xBF\xC9\xC0\xD6"
                            "a"));
  EXPECT_EQ(GbkToUnicode(gbk), QStringLiteral("可乐a"));
  EXPECT_FALSE(GbkToUnicode(QByteArray("\xBF")));         // a cut-off trailing byte
  EXPECT_FALSE(UnicodeToGbk(QStringLiteral("😀")));        // not in GBK
  EXPECT_EQ(GbkToUnicode(gbk), QStringLiteral("可乐a"));  // a failure leaves no state behind

  std::array<char, 8> out{};
  ASSERT_EQ(GbkBytesOf(U'可', out), 2u);
  EXPECT_EQ(static_cast<unsigned char>(out[0]), 0xBF);
  EXPECT_EQ(GbkBytesOf(U'😀', out), 0u);
  EXPECT_EQ(GbkBytesOf(U'A', out), 1u);
}

TEST(Gbk, OneUtf8CheckForEveryReader) {
  EXPECT_TRUE(IsValidUtf8(QByteArray("abc")));
  EXPECT_TRUE(IsValidUtf8(QStringLiteral("可乐😀").toUtf8()));
  for (const char* bad :
       {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE5\x8F", "\x80", "\xF8\x88\x80\x80\x80"})
    EXPECT_FALSE(IsValidUtf8(QByteArray(bad))) << bad;
  // The decoder steps over a bad byte and goes on.
  const unsigned char text[] = {'a', 0xC0, 0xE5, 0x8F, 0xAF};
  const unsigned char* p = text;
  EXPECT_EQ(NextUtf8(p, text + 5), U'a');
  EXPECT_EQ(NextUtf8(p, text + 5), kBadUtf8);
  EXPECT_EQ(NextUtf8(p, text + 5), U'可');
  EXPECT_EQ(p, text + 5);
  char bytes[4];
  EXPECT_EQ(EncodeUtf8(U'😀', bytes), 4u);
}
