#include <gtest/gtest.h>

#include "EngineSupport.h"
#include "TestSupport.h"
#include "admin/AccountsLogic.h"
#include "app/Login.h"

namespace hemulu {
namespace {

using test::TestApp;

QString AccountName(AppContext& ctx, qint64 id) {
  auto st = ctx.db.Prepare("select 用户名 || '|' || 密码 || '|' || 权限 from \"UserName\" where \"ID\"=?");
  st->BindAll(id);
  auto row = st->Step();
  return row && *row ? st->Text(0) : QString();
}

namespace {
class AccountsLogicOn : public test::EngineTest {};
HEMULU_ON_BOTH_ENGINES(AccountsLogicOn);
}  // namespace

TEST_P(AccountsLogicOn, AddRefusesEachBadInputAndStoresNothing) {
  struct Case {
    QString name, password, message;
    QString focus;
  };
  const QString long_text(51, QChar(0x5F20));  // 51 × 张
  const Case cases[] = {
      {QString(), QStringLiteral("1"), QStringLiteral("请输入用户名！"), kNewNameBox},
      {QStringLiteral("   "), QStringLiteral("1"), QStringLiteral("请输入用户名！"), kNewNameBox},
      {QStringLiteral(" 超级管理员 "), QStringLiteral("1"), QStringLiteral("不允许这么做"), kNewNameBox},
      {QStringLiteral("张三"), QStringLiteral("  "), QStringLiteral("请输入用户密码！"), kNewPasswordBox},
      {long_text, QStringLiteral("1"), QStringLiteral("错误代码 [050]"), {}},
      {QStringLiteral("张三"), long_text, QStringLiteral("错误代码 [051]"), {}},
  };
  for (const Case& c : cases) {
    auto r = AddAccount(ctx(), c.name, c.password);
    ASSERT_FALSE(r.has_value()) << c.name.toStdString();
    EXPECT_EQ(r.error().message, c.message);
    EXPECT_EQ(r.error().focus, c.focus);
  }
  EXPECT_EQ(test::CountRows(ctx().db, "UserName"), 1);

  auto id = AddAccount(ctx(), QStringLiteral("  O'Brien  "), QStringLiteral(" pa'ss "));
  ASSERT_TRUE(id.has_value());
  EXPECT_EQ(AccountName(ctx(), *id), QStringLiteral("O'Brien|pa'ss|操作员"));
  auto dup = AddAccount(ctx(), QStringLiteral("O'Brien"), QStringLiteral("x"));
  ASSERT_FALSE(dup.has_value());
  EXPECT_EQ(dup.error().message, QStringLiteral("发现重复用户名，请重新输入"));
  EXPECT_EQ(dup.error().icon, MessageKind::Stop);
  EXPECT_EQ(test::CountRows(ctx().db, "UserName"), 2);
}

TEST_P(AccountsLogicOn, ListNeverShowsTheSuperAdministrator) {
  ASSERT_TRUE(AddAccount(ctx(), QStringLiteral("张三"), QStringLiteral("1")));
  ASSERT_TRUE(AddAccount(ctx(), QStringLiteral("李四"), QStringLiteral("2")));
  auto rows = ListOperatorAccounts(ctx());
  ASSERT_TRUE(rows.has_value());
  ASSERT_EQ(rows->size(), 2u);
  EXPECT_EQ((*rows)[0].name, QStringLiteral("张三"));
  EXPECT_EQ((*rows)[1].password, QStringLiteral("2"));
  EXPECT_EQ((*rows)[1].role, QStringLiteral("操作员"));
}

TEST_P(AccountsLogicOn, ChangeRefusesEmptyValuesTheSuperAdministratorNameAndAnotherAccountsName) {
  const qint64 zhang = *AddAccount(ctx(), QStringLiteral("张三"), QStringLiteral("1"));
  ASSERT_TRUE(AddAccount(ctx(), QStringLiteral("李四"), QStringLiteral("2")));
  struct Case {
    QString name, password, message;
    QString focus;
  };
  const Case cases[] = {
      {QStringLiteral(" "), QStringLiteral("1"), QStringLiteral("请从上方表格选择要修改的用户名！"), kChangeNameBox},
      {QStringLiteral("张三"), QString(), QStringLiteral("请输入用户密码！"), kChangePasswordBox},
      {QStringLiteral("超级管理员"), QStringLiteral("1"), QStringLiteral("不允许这么做"), kChangeNameBox},
      {QStringLiteral(" 李四"), QStringLiteral("1"), QStringLiteral("发现重复用户名，请重新输入"), kChangeNameBox},
      {QString(51, QLatin1Char('a')), QStringLiteral("1"), QStringLiteral("用户名最多50个字，请重新输入"),
       kChangeNameBox},
  };
  for (const Case& c : cases) {
    auto r = ChangeAccount(ctx(), zhang, c.name, c.password);
    ASSERT_FALSE(r.has_value()) << c.name.toStdString();
    EXPECT_EQ(r.error().message, c.message);
    EXPECT_EQ(r.error().focus, c.focus);
  }
  EXPECT_EQ(AccountName(ctx(), zhang), QStringLiteral("张三|1|操作员"));

  // Keeping its own name is no duplicate; the super-administrator's row is never rewritten.
  ASSERT_TRUE(ChangeAccount(ctx(), zhang, QStringLiteral(" 张三 "), QStringLiteral(" 9 ")));
  EXPECT_EQ(AccountName(ctx(), zhang), QStringLiteral("张三|9|操作员"));
  EXPECT_FALSE(ChangeAccount(ctx(), 1, QStringLiteral("王五"), QStringLiteral("9")));
  EXPECT_EQ(AccountName(ctx(), 1), QStringLiteral("超级管理员|735|超级管理员"));
}

TEST_P(AccountsLogicOn, DeleteNeverRemovesTheSuperAdministrator) {
  const qint64 zhang = *AddAccount(ctx(), QStringLiteral("张三"), QStringLiteral("1"));
  ASSERT_TRUE(DeleteAccount(ctx(), 1));
  ASSERT_TRUE(DeleteAccount(ctx(), zhang));
  EXPECT_EQ(test::CountRows(ctx().db, "UserName"), 1);
  EXPECT_EQ(AccountName(ctx(), 1), QStringLiteral("超级管理员|735|超级管理员"));
}

TEST_P(AccountsLogicOn, OperatorsAreRefusedInTheLogicToo) {
  ASSERT_TRUE(AddAccount(ctx(), QStringLiteral("张三"), QStringLiteral("1")));
  ctx().session.SetUser(QStringLiteral("张三"), QStringLiteral("1"));
  EXPECT_FALSE(AddAccount(ctx(), QStringLiteral("李四"), QStringLiteral("2")));
  EXPECT_FALSE(ChangeAccount(ctx(), 2, QStringLiteral("李四"), QStringLiteral("2")));
  EXPECT_FALSE(DeleteAccount(ctx(), 2));
  auto r = SetSuperAdministratorPassword(ctx(), QStringLiteral("999"));
  ASSERT_FALSE(r.has_value());
  EXPECT_EQ(r.error().message, QStringLiteral(" 对不起，您不能这么做!\n\n请使用超级管理员账号登陆"));
  EXPECT_EQ(AccountName(ctx(), 2), QStringLiteral("张三|1|操作员"));
  EXPECT_EQ(**SuperAdministratorPassword(ctx()), QStringLiteral("735"));
}

// The login list shows the newest account first, also after an older one was changed,
// and a login finds the account by its name.
TEST_P(AccountsLogicOn, LoginListIsNewestFirstAndLoginFindsTheAccount) {
  ASSERT_TRUE(AddAccount(ctx(), QStringLiteral("张三"), QStringLiteral("1")));
  ASSERT_TRUE(AddAccount(ctx(), QStringLiteral("李四"), QStringLiteral("2")));
  ASSERT_TRUE(ChangeAccount(ctx(), 2, QStringLiteral("张三"), QStringLiteral("9")));
  auto list = ReadUserList(ctx());
  ASSERT_TRUE(list);
  QStringList names;
  for (const UserListItem& item : *list) names << item.name;
  EXPECT_EQ(names, (QStringList{"李四", "张三", "超级管理员"}));
  EXPECT_EQ(AttemptLogin(ctx(), QStringLiteral("张三"), QStringLiteral("1")), LoginOutcome::WrongPassword);
  EXPECT_EQ(AttemptLogin(ctx(), QStringLiteral("张三"), QStringLiteral("9")), LoginOutcome::Accepted);
  EXPECT_EQ(AttemptLogin(ctx(), QStringLiteral("王五"), QStringLiteral("9")), LoginOutcome::UnknownAccount);
}

TEST_P(AccountsLogicOn, SuperAdministratorPasswordRefusesWhatTheLoginCouldNeverMatch) {
  ASSERT_TRUE(ctx().settings.WriteSetupValue(QStringLiteral("password"), QStringLiteral("false")));
  for (const QString& bad : {QString(), QStringLiteral("   "), QStringLiteral(" 12"), QString(51, QLatin1Char('1'))})
    EXPECT_FALSE(SetSuperAdministratorPassword(ctx(), bad)) << bad.toStdString();
  EXPECT_EQ(ctx().settings.ReadSetupValue(QStringLiteral("password")), QStringLiteral("false"));
  EXPECT_EQ(**SuperAdministratorPassword(ctx()), QStringLiteral("735"));

  ASSERT_TRUE(SetSuperAdministratorPassword(ctx(), QStringLiteral("a'1")));
  EXPECT_EQ(**SuperAdministratorPassword(ctx()), QStringLiteral("a'1"));
  EXPECT_EQ(ctx().settings.ReadSetupValue(QStringLiteral("password")), QStringLiteral("ture"));

  ASSERT_TRUE(ctx().db.Execute("delete from \"UserName\""));
  auto missing = SetSuperAdministratorPassword(ctx(), QStringLiteral("1"));
  ASSERT_FALSE(missing.has_value());
  EXPECT_EQ(missing.error().message, QStringLiteral("没有发现超级管理员账号的存在"));
}

// A file written by an older program may hold two accounts of one name. It must still
// open and work (the file has no unique index that would refuse it), and no third one of
// that name is added.
TEST(AccountsOfAnOlderFile, DuplicateNamesStillOpenAndNoMoreAreAdded) {
  TestApp app;
  const char* add = "insert into \"UserName\" (用户名, 密码, 权限) values ('张三', ?, '操作员')";
  ASSERT_TRUE(app.ctx().db.Execute(add, QStringLiteral("1")));
  ASSERT_TRUE(app.ctx().db.Execute(add, QStringLiteral("2")));
  app.ctx().db.Close();
  ASSERT_TRUE(app.ctx().EnsureDatabaseOpen());
  auto listed = ListOperatorAccounts(app.ctx());
  ASSERT_TRUE(listed);
  EXPECT_EQ(listed->size(), 2u);
  auto added = AddAccount(app.ctx(), QStringLiteral("张三"), QStringLiteral("3"));
  ASSERT_FALSE(added);
  EXPECT_EQ(added.error().message, QStringLiteral("发现重复用户名，请重新输入"));
  // Either may be renamed away from the shared name.
  ASSERT_TRUE(ChangeAccount(app.ctx(), (*listed)[1].id, QStringLiteral("张三二"), QStringLiteral("2")));
}

}  // namespace
}  // namespace hemulu
