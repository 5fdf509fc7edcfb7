#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "EngineSupport.h"
#include "app/Login.h"
#include "app/ServerStart.h"
#include "data/EmbeddedFiles.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

QByteArray FileBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ServerStart : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(WriteWorkingFiles(dir_.path(), dir_.path())); }
  QString ConfigPath() const { return QDir(dir_.path()).filePath(kConfigFileName); }
  void ChooseServer(const ServerAddress& a) {
    IniFile ini(ConfigPath());
    ASSERT_TRUE(ini.Write(kServerSection, "host", a.host));
    ASSERT_TRUE(ini.Write(kServerSection, "port", QString::number(a.port)));
    ASSERT_TRUE(ini.Write(kServerSection, "dbname", a.database));
    ASSERT_TRUE(ini.Write(kServerSection, "user", a.user));
  }
  std::unique_ptr<AppContext> Start() { return MakeShopContext(dir_.path(), prompter, clock, notifier); }

  QTemporaryDir dir_;
  ScriptedPrompter prompter;
  FixedClock clock;
  RecordingNotifier notifier;
};

}  // namespace

TEST_F(ServerStart, AShopWithoutAServerOpensItsFileAndItsSettingsStayAsTheyWere) {
  const QByteArray before = FileBytes(ConfigPath());
  ASSERT_FALSE(before.isEmpty());
  auto ctx = Start();
  EXPECT_FALSE(ctx->db.IsServer());
  EXPECT_TRUE(ctx->EnsureDatabaseOpen());
  EXPECT_TRUE(prompter.Prompts().empty());
  EXPECT_EQ(FileBytes(ConfigPath()), before);
}

TEST_F(ServerStart, AnUnreachableServerOffersToRetryThenTheLocalFile) {
  ServerAddress nowhere;
  nowhere.host = QDir(dir_.path()).filePath("no-server-here");  // a socket folder with no server
  nowhere.port = 5999;
  nowhere.database = "shop";
  nowhere.user = "till";
  ChooseServer(nowhere);
  const QByteArray chosen = FileBytes(ConfigPath());
  prompter.AnswerConfirm(true);   // 重试
  prompter.AnswerConfirm(false);  // 打开本机数据文件
  auto ctx = Start();
  ASSERT_EQ(prompter.Prompts().size(), 2u);
  for (const Prompt& p : prompter.Prompts()) {
    EXPECT_EQ(p.kind, Prompt::Kind::Confirm);
    EXPECT_TRUE(p.text.startsWith(kServerUnavailableText + QStringLiteral("：服务器没有响应"))) << p.text.toStdString();
    EXPECT_FALSE(p.text.contains(kDatabaseUnavailableText));
  }
  // The local file, as chosen; the server stays chosen for the next start.
  EXPECT_FALSE(ctx->db.IsServer());
  EXPECT_TRUE(ctx->EnsureDatabaseOpen());
  EXPECT_EQ(ReadUserList(*ctx).value_or(std::vector<UserListItem>{}).size(), 1u);
  EXPECT_EQ(FileBytes(ConfigPath()), chosen);
}

TEST_F(ServerStart, AChosenServerIsOpenedAtStartAndItsAccountLogsIn) {
  QString why_not;
  const auto scratch = ScratchDatabase(&why_not);
  if (!scratch) GTEST_SKIP() << why_not.toStdString();
  ChooseServer(*scratch->Address());
  {
    auto ctx = Start();
    EXPECT_TRUE(prompter.Prompts().empty());
    ASSERT_TRUE(ctx->db.IsServer());
    EXPECT_TRUE(ctx->db.IsOpen());
    EXPECT_EQ(AttemptLogin(*ctx, kSuperAdministrator, "735"), LoginOutcome::Accepted);
    auto users = ReadUserList(*ctx);
    ASSERT_TRUE(users) << users.error().message.toStdString();
    ASSERT_EQ(users->size(), 1u);
    EXPECT_EQ(users->front().name, kSuperAdministrator);
  }
}

TEST_F(ServerStart, TheServerSectionIsReadAsWrittenAndABadPortReachesNoServer) {
  IniFile ini(ConfigPath());
  EXPECT_FALSE(ServerChoice(ini));
  ASSERT_TRUE(ini.Write("Server", "Host", " 192.168.1.20 "));
  ASSERT_TRUE(ini.Write("server", "dbname", "shop"));
  ASSERT_TRUE(ini.Write("server", "user", "till1"));
  ASSERT_TRUE(ini.Write("server", "sslmode", "require"));
  auto a = ServerChoice(ini);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->host, "192.168.1.20");
  EXPECT_EQ(a->port, 5432);
  EXPECT_EQ(a->database, "shop");
  EXPECT_EQ(a->user, "till1");
  EXPECT_EQ(a->sslmode, "require");
  EXPECT_TRUE(a->password.isEmpty());
  for (const char* bad : {"54x32", "0", "70000"}) {
    ASSERT_TRUE(ini.Write("server", "port", bad));
    EXPECT_EQ(ServerChoice(ini)->port, -1) << bad;
  }
  ASSERT_TRUE(ini.Write("server", "port", "6432"));
  EXPECT_EQ(ServerChoice(ini)->port, 6432);
}
