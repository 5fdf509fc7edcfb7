// The set-up window of the database server: the boxes checked, a look at a server that
// changes nothing on it, the choice kept in config.ini, the password in libpq's file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <memory>

#include "EngineSupport.h"
#include "TestSupport.h"
#include "admin/MaintenanceLogic.h"
#include "admin/ServerSetupWindow.h"

namespace hemulu::test {
namespace {

ServerAddress Address(const QString& host, int port, const QString& database, const QString& user) {
  ServerAddress a;
  a.host = host;
  a.port = port;
  a.database = database;
  a.user = user;
  return a;
}

TEST(ServerForm, EachBadBoxIsRefusedWithItsReasonAndAGoodOneGivesTheAddress) {
  const ServerForm good{QStringLiteral(" 192.168.1.10 "), QString(), QStringLiteral("shop"), QStringLiteral("till"),
                        QStringLiteral("p:w\\d")};
  auto a = ReadServerForm(good);
  ASSERT_TRUE(a) << a.error().toStdString();
  EXPECT_EQ(a->host, "192.168.1.10");
  EXPECT_EQ(a->port, 5432);
  EXPECT_EQ(a->password, "p:w\\d");

  const std::pair<ServerForm, const char*> bad[] = {
      {{"", "5432", "shop", "u", ""}, "请填写服务器地址"},
      {{"h", "5432", " ", "u", ""}, "请填写数据库名称"},
      {{"h", "abc", "shop", "u", ""}, "端口必须是1到65535之间的整数"},
      {{"h", "70000", "shop", "u", ""}, "端口必须是1到65535之间的整数"},
      {{"h", "1e309", "shop", "u", ""}, "端口必须是1到65535之间的整数"},
      {{"h", "0", "shop", "u", ""}, "端口必须是1到65535之间的整数"},
      {{"h", "5432", "sh\nop", "u", ""}, "数据库名称不能包含换行或控制字符"},
      {{"h", "5432", "shop", "u", "a\nb"}, "密码不能包含换行"},
      {{QString(254, QLatin1Char('h')), "5432", "shop", "u", ""}, "服务器地址太长，最多253个字符"},
  };
  for (const auto& [form, reason] : bad) {
    auto refused = ReadServerForm(form);
    ASSERT_FALSE(refused) << reason;
    EXPECT_EQ(refused.error(), QString::fromUtf8(reason));
  }
}

TEST(ServerChoiceFile, SavedChoiceIsTheOneTheStartReadsAndClearingItLeavesTheRestForNextTime) {
  TestApp app;
  IniFile& ini = app.ctx().settings;
  ServerAddress a = Address(QStringLiteral("192.168.1.10"), 6543, QStringLiteral("店"), QStringLiteral("till"));
  ASSERT_TRUE(SaveServerChoice(ini, a));
  auto read = ServerChoice(ini);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->host, a.host);
  EXPECT_EQ(read->port, 6543);
  EXPECT_EQ(read->database, a.database);
  EXPECT_EQ(read->user, a.user);
  // The display settings beside it are kept.
  EXPECT_FALSE(ini.ReadSetupValue(QStringLiteral("name")).isNull());

  // Encryption asked for: "require", or the stronger mode already kept; unticked: none.
  ServerForm form_ssl{a.host, QStringLiteral("6543"), a.database, a.user, QString(), true, QString()};
  ASSERT_TRUE(SaveServerChoice(ini, *ReadServerForm(form_ssl)));
  EXPECT_EQ(ServerChoice(ini)->sslmode, "require");
  EXPECT_TRUE(LoadServerForm(ini).encrypted);
  ASSERT_TRUE(ini.Write(kServerSection, QStringLiteral("sslmode"), QStringLiteral("verify-full")));
  ASSERT_TRUE(SaveServerChoice(ini, *ReadServerForm(LoadServerForm(ini))));
  EXPECT_EQ(ServerChoice(ini)->sslmode, "verify-full");
  form_ssl.encrypted = false;
  ASSERT_TRUE(SaveServerChoice(ini, *ReadServerForm(form_ssl)));
  EXPECT_EQ(ServerChoice(ini)->sslmode, "");

  ASSERT_TRUE(ClearServerChoice(ini));
  EXPECT_FALSE(ServerChoice(ini));
  const ServerForm form = LoadServerForm(ini);
  EXPECT_EQ(form.host, QString());
  EXPECT_EQ(form.port, "6543");
  EXPECT_EQ(form.database, a.database);
  EXPECT_EQ(CurrentChoiceText(ini, nullptr), "现在使用：本机数据库文件");
  // Chosen but not yet started on: both said.
  ASSERT_TRUE(SaveServerChoice(ini, a));
  EXPECT_EQ(CurrentChoiceText(ini, nullptr),
            "现在使用：本机数据库文件\n重新启动程序后使用：数据库服务器 192.168.1.10，端口 6543，数据库 店");
  EXPECT_EQ(CurrentChoiceText(ini, &a), "现在使用：数据库服务器 192.168.1.10，端口 6543，数据库 店");
  ASSERT_TRUE(ClearServerChoice(ini));
  EXPECT_EQ(CurrentChoiceText(ini, &a),
            "现在使用：数据库服务器 192.168.1.10，端口 6543，数据库 店\n"
            "重新启动程序后使用：本机数据库文件");
}

TEST(PasswordFile, KeptForTheUserAloneReplacingTheSameServersLineAndEscaped) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("pgpass"));
  qputenv("PGPASSFILE", QFile::encodeName(path));
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("*:*:*:*:wildcard\n/run/pg\\:x:5432:shop:till:old\n");
  }
  ::chmod(QFile::encodeName(path).constData(), 0644);
  const ServerAddress a = Address(QStringLiteral("/run/pg:x"), 5432, QStringLiteral("shop"), QStringLiteral("till"));
  ASSERT_TRUE(RememberServerPassword(a, QStringLiteral("n:e\\w")));
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  // First, so libpq takes it before the line that fits every server.
  EXPECT_EQ(f.readAll(), QByteArray("/run/pg\\:x:5432:shop:till:n\\:e\\\\w\n*:*:*:*:wildcard\n"));
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_FALSE(QFile::exists(path + QStringLiteral(".part")));
  auto refused = RememberServerPassword(a, QStringLiteral("a\nb"));
  ASSERT_FALSE(refused);
  EXPECT_TRUE(refused.error().line_break);
  // A folder that is not there: the system's reason, for the window to put in words.
  qputenv("PGPASSFILE", QFile::encodeName(dir.filePath(QStringLiteral("missing/pgpass"))));
  auto unwritable = RememberServerPassword(a, QStringLiteral("pw"));
  ASSERT_FALSE(unwritable);
  EXPECT_FALSE(unwritable.error().line_break);
  EXPECT_EQ(unwritable.error().system_error, ENOENT);
  qunsetenv("PGPASSFILE");
}

class ServerSetupWindowTest : public testing::Test {
 protected:
  TestApp app;
  int restarts = 0;
  ServerSetupWindow window{app.ctx(), [this] { ++restarts; }};

  void Type(const char* box, const QString& text) {
    auto* edit = window.findChild<QLineEdit*>(QString::fromUtf8(box));
    ASSERT_TRUE(edit) << box;
    edit->setText(text);
  }
  void TypeAddress(const ServerAddress& a) {
    Type("服务器地址框", a.host);
    Type("端口框", QString::number(a.port));
    Type("数据库框", a.database);
    Type("用户框", a.user);
  }
  QString Result() { return window.findChild<QLabel*>(QStringLiteral("测试结果标签"))->text(); }
  // A database of the test's own on the test cluster; null, the reason in why_not_,
  // when there is none.
  const ServerAddress* Scratch() {
    scratch_ = ScratchDatabase(&why_not_);
    return scratch_ ? &*scratch_->Address() : nullptr;
  }
  QString why_not_;
  std::unique_ptr<ScratchServerDatabase> scratch_;
};

TEST_F(ServerSetupWindowTest, ALetterInThePortIsToldAndNothingIsKept) {
  const QByteArray config = [&] {
    QFile f(app.ctx().settings.Path());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }();
  TypeAddress(Address(QStringLiteral("h"), 1, QStringLiteral("shop"), QStringLiteral("u")));
  Type("端口框", QStringLiteral("54a"));
  app.prompter.ExpectMessage(QStringLiteral("端口必须是1到65535之间的整数"));
  window.UseServer();
  QFile f(app.ctx().settings.Path());
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), config);
  EXPECT_EQ(restarts, 0);
}

TEST_F(ServerSetupWindowTest, TestingAnEmptyServerMakesNoTableAndUsingItAsksToStartAgain) {
  const ServerAddress* scratch = Scratch();
  if (!scratch) GTEST_SKIP() << why_not_.toStdString();
  const ServerAddress& a = *scratch;
  TypeAddress(a);

  window.TestConnection();
  EXPECT_TRUE(Result().startsWith(QStringLiteral("连接成功。服务器版本 "))) << Result().toStdString();
  EXPECT_TRUE(Result().contains(QStringLiteral("还没有本店的数据表"))) << Result().toStdString();
  window.TestConnection();  // the first only looked: still none
  EXPECT_TRUE(Result().contains(QStringLiteral("还没有本店的数据表"))) << Result().toStdString();

  // Once the shop is there, the test counts it.
  {
    Database shop(a);
    ASSERT_TRUE(shop.Open());
    InsertGoods(shop, GoodsRow{});
  }
  window.TestConnection();
  EXPECT_TRUE(Result().endsWith(QStringLiteral("数据库里已有本店的数据：商品 1 种，销售 0 笔。")))
      << Result().toStdString();
  // The shop's own records beyond goods and sales are counted too; the goods' movements
  // go with the goods.
  {
    Database shop(a);
    ASSERT_TRUE(shop.Open());
    ASSERT_TRUE(shop.Execute("insert into \"bank\" (\"银行\", \"金额\") values ('工商银行', 800)"));
  }
  window.TestConnection();
  EXPECT_TRUE(
      Result().endsWith(QStringLiteral("数据库里已有本店的数据：商品 1 种，销售 0 笔，其他记录（账目、用户等）1 条。")))
      << Result().toStdString();

  app.prompter.AnswerConfirm(true);  // start again now
  window.UseServer();
  EXPECT_EQ(restarts, 1);
  auto chosen = ServerChoice(app.ctx().settings);
  ASSERT_TRUE(chosen);
  EXPECT_EQ(chosen->host, a.host);
  EXPECT_EQ(chosen->port, a.port);
  EXPECT_EQ(chosen->database, a.database);

  app.prompter.AnswerConfirm(false);  // later
  window.UseLocalFile();
  EXPECT_FALSE(ServerChoice(app.ctx().settings));
  EXPECT_EQ(restarts, 1);
}

TEST_F(ServerSetupWindowTest, ADatabaseWithOnlySomeOfTheShopsTablesIsToldAsSuchAndNotOfferedForUse) {
  const ServerAddress* scratch = Scratch();
  if (!scratch) GTEST_SKIP() << why_not_.toStdString();
  const ServerAddress& a = *scratch;
  {
    Database shop(a);
    ASSERT_TRUE(shop.Open());
    ASSERT_TRUE(shop.Execute("DROP TABLE bank"));
  }
  TypeAddress(a);
  window.TestConnection();
  EXPECT_EQ(Result(), QStringLiteral("连接失败：数据库缺少数据表"));

  // Not the question for a server switched off: the reason, and nothing kept.
  app.prompter.ExpectMessage(QStringLiteral("不能使用这个数据库：数据库缺少数据表"));
  window.UseServer();
  EXPECT_FALSE(ServerChoice(app.ctx().settings));
  EXPECT_EQ(restarts, 0);
}

// A server shop an older program made, before the later tables: the look counts it (the
// first till to connect adds them), and it may be used.
TEST_F(ServerSetupWindowTest, AnOlderProgramsShopIsCountedAndOfferedForUse) {
  const ServerAddress* scratch = Scratch();
  if (!scratch) GTEST_SKIP() << why_not_.toStdString();
  const ServerAddress& a = *scratch;
  {
    Database shop(a);
    ASSERT_TRUE(shop.Open());
    InsertGoods(shop, GoodsRow{});
    ASSERT_TRUE(
        shop.Execute("DROP TABLE repayment_part, repayment, stock_move, stock_check, return_line, receipt, "
                     "held_basket_line, held_basket"));
  }
  TypeAddress(a);
  window.TestConnection();
  EXPECT_TRUE(Result().endsWith(QStringLiteral("数据库里已有本店的数据：商品 1 种，销售 0 笔。")))
      << Result().toStdString();
  app.prompter.AnswerConfirm(false);  // not started again now
  window.UseServer();
  ASSERT_TRUE(ServerChoice(app.ctx().settings));
  EXPECT_EQ(ServerChoice(app.ctx().settings)->database, a.database);
}

TEST_F(ServerSetupWindowTest, ARememberedPasswordNeedsAUserAndItsFileFailureIsToldInChinese) {
  QTemporaryDir nowhere;
  TypeAddress(Address(nowhere.path(), 5432, QStringLiteral("shop"), QString()));
  Type("密码框", QStringLiteral("secret"));
  auto* remember = window.findChild<QCheckBox*>(QStringLiteral("记住密码"));
  ASSERT_TRUE(remember);
  remember->setChecked(true);
  app.prompter.ExpectMessage(QStringLiteral("记住密码时请填写用户名"));
  window.UseServer();
  EXPECT_FALSE(ServerChoice(app.ctx().settings));

  Type("用户框", QStringLiteral("till"));
  const QString file = nowhere.filePath(QStringLiteral("missing/pgpass"));
  qputenv("PGPASSFILE", QFile::encodeName(file));
  app.prompter.AnswerConfirm(true);  // use the server though it does not answer now
  app.prompter.ExpectMessage(
      QStringLiteral("密码没有保存到 %1：%2").arg(QDir::toNativeSeparators(file), SystemFailureText(ENOENT)));
  window.UseServer();
  qunsetenv("PGPASSFILE");
  EXPECT_FALSE(ServerChoice(app.ctx().settings));
}

TEST_F(ServerSetupWindowTest, AServerThatDoesNotAnswerIsKeptOnlyWhenTheUserInsists) {
  QTemporaryDir nowhere;  // a socket folder with no server in it
  TypeAddress(Address(nowhere.path(), 5432, QStringLiteral("shop"), QStringLiteral("u")));
  app.prompter.AnswerConfirm(false);
  window.UseServer();
  EXPECT_TRUE(Result().startsWith(QStringLiteral("连接失败："))) << Result().toStdString();
  EXPECT_FALSE(ServerChoice(app.ctx().settings));

  app.prompter.AnswerConfirm(true);   // use it anyway
  app.prompter.AnswerConfirm(false);  // start again later
  window.UseServer();
  ASSERT_TRUE(ServerChoice(app.ctx().settings));
  EXPECT_EQ(ServerChoice(app.ctx().settings)->host, nowhere.path());
  EXPECT_EQ(restarts, 0);
}

}  // namespace
}  // namespace hemulu::test
