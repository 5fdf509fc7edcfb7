#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "TestSupport.h"
#include "app/Login.h"
#include "app/LoginWindow.h"
#include "app/Program.h"
#include "data/EmbeddedFiles.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

void AddAccount(AppContext& ctx, const QString& name, const QString& password) {
  ASSERT_TRUE(ctx.db.Execute("insert into UserName (用户名, 密码, 权限) values (?, ?, ?)", name, password,
                             QStringLiteral("操作员")));
}

void PressEnter(QWidget* widget) { QTest::keyClick(widget, Qt::Key_Return); }

}  // namespace

TEST(Login, TrimsTheTypedPasswordButNeverTheStoredOne) {
  TestApp app("");
  AppContext& ctx = app.ctx();
  EXPECT_EQ(AttemptLogin(ctx, kSuperAdministrator, " 735 "), LoginOutcome::Accepted);
  EXPECT_EQ(ctx.session.UserName(), kSuperAdministrator);
  EXPECT_TRUE(app.prompter.Prompts().empty());

  // A stored password with surrounding blanks cannot be typed so that it matches.
  ASSERT_TRUE(ctx.db.Execute("update UserName set 密码=? where 用户名=?", QStringLiteral(" 735"), kSuperAdministrator));
  for (const QString& typed : {QStringLiteral(" 735"), QStringLiteral("735"), QStringLiteral("  735  ")}) {
    EXPECT_EQ(AttemptLogin(ctx, kSuperAdministrator, typed), LoginOutcome::WrongPassword) << typed.toStdString();
  }
  // The rules show nothing themselves: the window tells the user.
  EXPECT_TRUE(app.prompter.Prompts().empty());
}

TEST(Login, RefusesMissingInputAndUnknownAccountsWithOneMessageEach) {
  TestApp app("");
  AppContext& ctx = app.ctx();
  AddAccount(ctx, "O'Neil", "x'1");

  EXPECT_EQ(AttemptLogin(ctx, std::nullopt, "735"), LoginOutcome::NoAccountChosen);
  EXPECT_EQ(AttemptLogin(ctx, kSuperAdministrator, ""), LoginOutcome::NoPassword);
  EXPECT_EQ(AttemptLogin(ctx, "不存在的人", "735"), LoginOutcome::UnknownAccount);
  EXPECT_EQ(LoginRefusalText(LoginOutcome::NoAccountChosen), kChooseAccountMessage);
  EXPECT_EQ(LoginRefusalText(LoginOutcome::NoPassword), kEnterPasswordMessage);
  EXPECT_EQ(LoginRefusalText(LoginOutcome::UnknownAccount), QStringLiteral("账号不存在或打开失败"));
  EXPECT_EQ(LoginRefusalText(LoginOutcome::WrongPassword), kWrongPasswordMessage);
  EXPECT_TRUE(LoginRefusalText(LoginOutcome::Accepted).isEmpty());
  EXPECT_TRUE(app.prompter.Prompts().empty());
  EXPECT_TRUE(ctx.session.UserName().isEmpty());

  // Quotes in names and passwords are plain data.
  EXPECT_EQ(AttemptLogin(ctx, "O'Neil", "x'1"), LoginOutcome::Accepted);
  EXPECT_EQ(ctx.session.UserName(), "O'Neil");
  EXPECT_FALSE(ctx.session.IsSuperAdministrator());
}

TEST(LoginWindow, EachRefusalIsOneStopMessage) {
  TestApp app("");
  AddAccount(app.ctx(), "O'Neil", "x'1");
  LoginWindow window(app.ctx());
  auto* users = window.findChild<QComboBox*>("组合框1");
  auto* password = window.findChild<QLineEdit*>("编辑框2");

  users->setCurrentIndex(-1);
  password->setText("735");
  app.prompter.ExpectMessage(kChooseAccountMessage);
  window.Login();
  users->setCurrentIndex(0);
  password->clear();
  app.prompter.ExpectMessage(kEnterPasswordMessage);
  window.Login();
  // An account deleted after the list was filled.
  ASSERT_TRUE(app.ctx().db.Execute("delete from UserName where 用户名=?", QStringLiteral("O'Neil")));
  password->setText("x'1");
  app.prompter.ExpectMessage(QStringLiteral("账号不存在或打开失败"));
  window.Login();
  ASSERT_EQ(app.prompter.Prompts().size(), 3u);
  for (const Prompt& p : app.prompter.Prompts()) EXPECT_EQ(p.icon, MessageKind::Stop);
  EXPECT_TRUE(app.ctx().session.UserName().isEmpty());
}

TEST(LoginWindow, ListsTheNewestAccountFirstWithFocusOnThePassword) {
  TestApp app("");
  AddAccount(app.ctx(), "张三", "1");
  AddAccount(app.ctx(), "李四", "2");
  LoginWindow window(app.ctx());
  EXPECT_EQ(window.windowTitle(), "禾木鹭商品进销存系统v1.0  - 简单版");
  auto* users = window.findChild<QComboBox*>("组合框1");
  ASSERT_NE(users, nullptr);
  ASSERT_EQ(users->count(), 3);
  EXPECT_EQ(users->currentIndex(), 0);
  EXPECT_EQ(users->itemText(0), "李四");
  EXPECT_EQ(users->itemData(0).toLongLong(), 3);
  EXPECT_EQ(users->itemText(2), kSuperAdministrator);
  EXPECT_EQ(users->itemData(2).toLongLong(), 1);

  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_EQ(window.focusWidget(), window.findChild<QLineEdit*>("编辑框2"));
  EXPECT_TRUE(app.prompter.Prompts().empty());
}

TEST(LoginWindow, HintShowsTheDefaultPasswordUnlessTheFlagIsExactlyTure) {
  TestApp app("");
  auto hint = [&] {
    LoginWindow window(app.ctx());
    return window.findChild<QLabel*>("密码提示标签")->text();
  };
  EXPECT_EQ(hint(), "禾木鹭专用登陆器");  // the default config.ini says "ture"
  ASSERT_TRUE(app.ctx().settings.WriteSetupValue("password", "true"));
  EXPECT_EQ(hint(), "默认超级管理员密码 735");
  ASSERT_TRUE(app.ctx().settings.WriteSetupValue("password", ""));
  EXPECT_EQ(hint(), "默认超级管理员密码 735");
  QFile::remove(app.FilePath("config.ini"));
  EXPECT_EQ(hint(), "默认超级管理员密码 735");
}

TEST(LoginWindow, EnterLogsInAndAWrongPasswordCanBeRetried) {
  TestApp app("");
  LoginWindow window(app.ctx());
  QSignalSpy logged_in(&window, &LoginWindow::LoggedIn);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  auto* password = window.findChild<QLineEdit*>("编辑框2");

  TypeText(password, "736");
  app.prompter.ExpectMessage(kWrongPasswordMessage);
  PressEnter(password);
  EXPECT_EQ(logged_in.count(), 0);
  EXPECT_EQ(app.prompter.Messages(), std::vector<QString>{kWrongPasswordMessage});
  EXPECT_EQ(password->selectedText(), "736");  // the next try replaces it

  TypeText(password, "735");
  PressEnter(password);
  EXPECT_EQ(logged_in.count(), 1);
  EXPECT_EQ(app.ctx().session.UserName(), kSuperAdministrator);

  // Enter logs in from the account list as well.
  PressEnter(window.findChild<QComboBox*>("组合框1"));
  EXPECT_EQ(logged_in.count(), 2);
  EXPECT_EQ(app.prompter.Messages().size(), 1u);
}

TEST(LoginWindow, AnUnreadableDatabaseLeavesAnEmptyListAndNoCrash) {
  QTemporaryDir dir;
  ASSERT_TRUE(WriteWorkingFiles(dir.path(), dir.path()));
  {
    QFile db(dir.filePath("data.db"));
    ASSERT_TRUE(db.open(QIODevice::WriteOnly | QIODevice::Truncate));
    db.write("not a database");
  }
  ScriptedPrompter prompter;
  FixedClock clock;
  RecordingNotifier notifier;
  AppContext ctx(dir.path(), prompter, clock, notifier);
  // Once for the start-up step, once for the account list.
  prompter.ExpectMessage(QStringLiteral("打开数据库失败！"));
  prompter.ExpectMessage(QStringLiteral("打开数据库失败！"));
  LoginWindow window(ctx);
  EXPECT_EQ(window.findChild<QComboBox*>("组合框1")->count(), 0);
  EXPECT_EQ(prompter.Messages(),
            (std::vector<QString>{QStringLiteral("打开数据库失败！"), QStringLiteral("打开数据库失败！")}));

  prompter.Clear();
  window.findChild<QLineEdit*>("编辑框2")->setText("735");
  prompter.ExpectMessage(kChooseAccountMessage);
  window.Login();
  EXPECT_EQ(prompter.Messages(), std::vector<QString>{kChooseAccountMessage});
}

TEST(Program, LoginOpensTheMainWindowOnTheAboutPageAndTheLoginWindowIsGone) {
  TestApp app("");
  Program program(app.ctx(), MainWindowParts{});
  QSignalSpy finished(&program, &Program::Finished);
  program.Start();
  QPointer<LoginWindow> login = program.Login();
  ASSERT_TRUE(login);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(login));
  auto* password = login->findChild<QLineEdit*>("编辑框2");
  TypeText(password, "735");
  PressEnter(password);

  MainWindow* main = program.Main();
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(main->isVisible());
  EXPECT_EQ(main->windowTitle(), "禾木鹭商品进销存系统v1.0  - 简单版");
  EXPECT_EQ(main->CurrentPage(), kAboutPage);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(login);
  EXPECT_EQ(finished.count(), 0);

  main->close();
  EXPECT_EQ(finished.count(), 1);
}

TEST(Program, EscapeAtTheLoginWindowEndsTheProgram) {
  TestApp app("");
  Program program(app.ctx(), MainWindowParts{});
  QSignalSpy finished(&program, &Program::Finished);
  program.Start();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(program.Login()));
  QTest::keyClick(program.Login()->findChild<QLineEdit*>("编辑框2"), Qt::Key_Escape);
  EXPECT_EQ(finished.count(), 1);
  EXPECT_EQ(program.Main(), nullptr);
}
