#include <gtest/gtest.h>

#include <QFile>

#include "TestSupport.h"
#include "admin/SettingsLogic.h"

namespace hemulu {
namespace {

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(SettingsLogic, DefaultsRoundTripUnchanged) {
  test::TestApp app;
  const QByteArray before = ReadAll(app.ctx().settings.Path());
  const DisplaySettings s = LoadDisplaySettings(app.ctx().settings);
  EXPECT_EQ(s.line, 2);
  EXPECT_TRUE(s.beepview);
  EXPECT_FALSE(s.zero);
  EXPECT_EQ(s.beepcolor, 255);
  EXPECT_EQ(s.bgone, 15527148);
  EXPECT_EQ(s.rmbcolor, 16711824);
  ASSERT_TRUE(SaveDisplaySettings(app.ctx().settings, s));
  EXPECT_EQ(ReadAll(app.ctx().settings.Path()), before);
}

TEST(SettingsLogic, OddValuesAreWrittenBackAsTheControlsReportThem) {
  test::TestApp app;
  IniFile& ini = app.ctx().settings;
  ASSERT_TRUE(ini.WriteSetupValue(QStringLiteral("line"), QStringLiteral("7")));
  ASSERT_TRUE(ini.WriteSetupValue(QStringLiteral("beepview"), QStringLiteral("true")));
  ASSERT_TRUE(ini.WriteSetupValue(QStringLiteral("zero"), QStringLiteral("ture")));
  ASSERT_TRUE(ini.WriteSetupValue(QStringLiteral("bgtwo"), QStringLiteral("abc")));
  ASSERT_TRUE(ini.WriteSetupValue(QStringLiteral("name"), QStringLiteral("禾木;=\"店\"")));
  DisplaySettings s = LoadDisplaySettings(ini);
  EXPECT_EQ(s.line, -1);
  EXPECT_FALSE(s.beepview);
  EXPECT_TRUE(s.zero);
  EXPECT_EQ(s.bgtwo, 0);
  s.outcolor = 0x123456;
  ASSERT_TRUE(SaveDisplaySettings(ini, s));
  EXPECT_EQ(ini.ReadSetupValue(QStringLiteral("line")), QStringLiteral("-1"));
  EXPECT_EQ(ini.ReadSetupValue(QStringLiteral("beepview")), QStringLiteral("false"));
  EXPECT_EQ(ini.ReadSetupValue(QStringLiteral("zero")), QStringLiteral("ture"));
  EXPECT_EQ(ini.ReadSetupValue(QStringLiteral("bgtwo")), QStringLiteral("0"));
  EXPECT_EQ(ini.ReadSetupValue(QStringLiteral("outcolor")), QString::number(0x123456));
  EXPECT_EQ(ini.ReadSetupValue(QStringLiteral("name")), QStringLiteral("禾木;=\"店\""));
  // Keys the window does not edit stay as they were.
  EXPECT_EQ(ini.ReadSetupValue(QStringLiteral("beep")), QStringLiteral("2"));
  EXPECT_EQ(ini.ReadSetupValue(QStringLiteral("password")), QStringLiteral("ture"));
}

// A config.ini made by hand without the colours: the window shows, and saves back, the
// default colours, not black.
TEST(SettingsLogic, AHandMadeFileWithoutColoursShowsTheDefaultColours) {
  test::TestApp app;
  QFile hand_made(app.ctx().FilePath("config.ini"));
  ASSERT_TRUE(hand_made.open(QIODevice::WriteOnly | QIODevice::Truncate));
  hand_made.write("[setup]\r\nline=2\r\nzerocolor=\r\n[server]\r\nhost=till\r\n");
  hand_made.close();
  const DisplaySettings s = LoadDisplaySettings(app.ctx().settings);
  EXPECT_EQ(s.bgone, 15527148);
  EXPECT_EQ(s.lastcolor, 33023);
  EXPECT_EQ(s.zerocolor, 8421504);
  EXPECT_EQ(s.rmbcolor, 16711824);
}

}  // namespace
}  // namespace hemulu
