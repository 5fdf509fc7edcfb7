#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "data/EmbeddedFiles.h"
#include "data/Gbk.h"
#include "data/IniFile.h"

using namespace hemulu;

namespace {
QByteArray ReadBytes(const QString& path) {
  QFile f(path);
  f.open(QIODevice::ReadOnly);
  return f.readAll();
}
void WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  f.open(QIODevice::WriteOnly | QIODevice::Truncate);
  f.write(bytes);
}
}  // namespace

TEST(IniFile, DefaultTextIsWrittenOnceWithCrLf) {
  QTemporaryDir dir;
  ASSERT_TRUE(WriteWorkingFiles(dir.path(), QStringLiteral("/home/shop")));
  const QByteArray text = ReadBytes(dir.filePath("config.ini"));
  EXPECT_EQ(text,
            "[setup]\r\npassword=ture\r\nbeep=2\r\nbeepview=ture\r\nbeepcolor=255\r\nline=2\r\nbgtwo=16777215\r\n"
            "bgone=15527148\r\nlastcolor=33023\r\nzero=false\r\nzerocolor=8421504\r\nrmbcolor=16711824\r\n"
            "outcolor=255\r\nbackpath=/home/shop/BackupData.db\r\nname=\r\nadress=\r\ntell=\r\n[System]\r\n"
            "Version=1.0\r\n");
  IniFile ini(dir.filePath("config.ini"));
  EXPECT_EQ(ini.ReadSetupValue("beepcolor"), "255");
  EXPECT_TRUE(ini.SetupFlag("beepview"));
  EXPECT_EQ(ini.ReadSetupValue("name"), "");
  EXPECT_EQ(ini.ReadSetupValue("selectcolor"), "");
  EXPECT_EQ(ini.Read("System", "Version"), "1.0");

  // An existing file, even an empty one, is never rewritten.
  WriteBytes(dir.filePath("config.ini"), QByteArray());
  ASSERT_TRUE(WriteWorkingFiles(dir.path(), QStringLiteral("/home/shop")));
  EXPECT_TRUE(ReadBytes(dir.filePath("config.ini")).isEmpty());
  EXPECT_EQ(ini.ReadSetupValue("beep"), "");
}

TEST(IniFile, StartUpThatCannotWriteAWorkingFileSaysWhich) {
  QTemporaryDir dir;
  // A program folder that is not a folder: config.ini cannot be written.
  WriteBytes(dir.filePath("plain-file"), "x");
  const auto no_config = WriteWorkingFiles(dir.filePath("plain-file"), dir.path());
  ASSERT_FALSE(no_config);
  EXPECT_TRUE(no_config.error().endsWith("plain-file/config.ini"));
  EXPECT_TRUE(WorkingFileFailureText(no_config.error()).contains(no_config.error()));

  // data.db pointing into a folder that does not exist: config.ini is written, data.db
  // is reported and nothing half-written is left.
  QDir(dir.path()).mkdir("program");
  const QString program = dir.filePath("program");
  ASSERT_TRUE(QFile::link(dir.filePath("missing/data.db"), QDir(program).filePath("data.db")));
  const auto no_database = WriteWorkingFiles(program, dir.path());
  ASSERT_FALSE(no_database);
  EXPECT_EQ(no_database.error(), QDir(program).filePath("data.db"));
  EXPECT_TRUE(QFile::exists(QDir(program).filePath("config.ini")));
  EXPECT_FALSE(QFile::exists(dir.filePath("missing/data.db")));
}

TEST(IniFile, WriteKeepsEveryOtherLineAndLineEnd) {
  QTemporaryDir dir;
  const QString path = dir.filePath("config.ini");
  WriteBytes(path, "; shop settings\r\n[setup]\r\nbeep=2\r\n\r\nzero=false\r\n\r\n[System]\r\nVersion=1.0\n");
  IniFile ini(path);
  ASSERT_TRUE(ini.WriteSetupValue("beep", "2.9"));
  ASSERT_TRUE(ini.WriteSetupValue("name", "老王's 小店"));
  ASSERT_TRUE(ini.Write("Skin", "style", "1"));
  EXPECT_EQ(ReadBytes(path), QByteArray("; shop settings\r\n[setup]\r\nbeep=2.9\r\n\r\nzero=false\r\nname=") +
                                 QString("老王's 小店").toUtf8() +
                                 "\r\n\r\n[System]\r\nVersion=1.0\n[Skin]\r\nstyle=1\r\n");
  EXPECT_EQ(ini.ReadSetupValue("BEEP"), "2.9");  // names compare without case
  EXPECT_EQ(ini.ReadSetupValue("name"), "老王's 小店");
  EXPECT_EQ(ini.Read("skin", "style"), "1");
  // A value never breaks its line.
  ASSERT_TRUE(ini.WriteSetupValue("tell", "1\r\n[evil]"));
  EXPECT_EQ(ini.ReadSetupValue("tell"), "1  [evil]");
}

TEST(IniFile, MissingFileIsCreatedAndFlagsNeedTure) {
  QTemporaryDir dir;
  IniFile ini(dir.filePath("config.ini"));
  EXPECT_EQ(ini.ReadSetupValue("beepview"), "");
  ASSERT_TRUE(ini.WriteSetupValue("beepview", "true"));
  EXPECT_EQ(ReadBytes(ini.Path()), "[setup]\r\nbeepview=true\r\n");
  EXPECT_FALSE(ini.SetupFlag("beepview"));
  ASSERT_TRUE(ini.WriteSetupValue("beepview", "ture"));
  EXPECT_TRUE(ini.SetupFlag("beepview"));
  EXPECT_FALSE(ini.WriteSetupValue("  ", "x"));
  EXPECT_EQ(ini.ReadSetupValue(""), "");
}

TEST(IniFile, GbkFileFromTheOldVersionIsRead) {
  QTemporaryDir dir;
  const QString path = dir.filePath("config.ini");
  const QByteArray gbk_name = *UnicodeToGbk(QStringLiteral("禾木杂货店"));
  WriteBytes(path, "[setup]\r\nname=" + gbk_name + "\r\nline=1\r\n");
  IniFile ini(path);
  EXPECT_EQ(ini.ReadSetupValue("name"), "禾木杂货店");
  // Writing converts the whole file to UTF-8, so the shop name stays readable.
  ASSERT_TRUE(ini.WriteSetupValue("line", "2"));
  EXPECT_EQ(ReadBytes(path), QByteArray("[setup]\r\nname=") + QString("禾木杂货店").toUtf8() + "\r\nline=2\r\n");
  EXPECT_EQ(ini.ReadSetupValue("name"), "禾木杂货店");
}

TEST(IniFile, LongValuesAreCutAtTheBufferSize) {
  QTemporaryDir dir;
  IniFile ini(dir.filePath("config.ini"));
  ASSERT_TRUE(ini.WriteSetupValue("name", QString(5000, QChar(0x5E97))));  // 3 bytes each in UTF-8
  const QString v = ini.ReadSetupValue("name");
  EXPECT_EQ(v.toUtf8().size(), 10239 / 3 * 3);
  EXPECT_EQ(v, QString(10239 / 3, QChar(0x5E97)));
}
