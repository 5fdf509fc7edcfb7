#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace hemulu;
using namespace hemulu::test;

TEST(Session, RoleFollowsTheExactName) {
  Session s;
  s.SetUser("超级管理员", "735");
  EXPECT_TRUE(s.IsSuperAdministrator());
  s.SetUser("超级管理员 ", "735");
  EXPECT_FALSE(s.IsSuperAdministrator());
  s.SetUser("张三", "1");
  EXPECT_FALSE(s.IsSuperAdministrator());
}

TEST(Session, GateComparesTheTypedPasswordExactly) {
  TestApp app("张三");
  AppContext& ctx = app.ctx();
  app.prompter.AnswerText(QStringLiteral("735"));
  EXPECT_TRUE(SuperAdministratorGate(ctx, "请输入超级管理员密码,默认超管密码", "超管"));
  EXPECT_EQ(app.prompter.Prompts().back().caption, "超管");

  app.prompter.AnswerText(QStringLiteral("735 "));
  EXPECT_FALSE(SuperAdministratorGate(ctx, "p", "t"));
  EXPECT_EQ(app.prompter.Messages().back(), "超级管理员密码输入错误,无法完成您的请求");

  app.prompter.Clear();
  app.prompter.AnswerText(std::nullopt);  // cancel refuses silently
  EXPECT_FALSE(SuperAdministratorGate(ctx, "p", "t"));
  EXPECT_TRUE(app.prompter.Messages().empty());

  ASSERT_TRUE(ctx.db.Execute("delete from UserName where 用户名=?", kSuperAdministrator));
  EXPECT_FALSE(SuperAdministratorGate(ctx, "p", "t"));
  EXPECT_EQ(app.prompter.Messages().back(), "没有发现超级管理员账号的存在");
}

TEST(Session, LookUpUserSetsTheStoredNameAndPassword) {
  TestApp app("");
  AppContext& ctx = app.ctx();
  ASSERT_TRUE(ctx.db.Execute("insert into UserName (用户名, 密码, 权限) values (?, ?, ?)", QStringLiteral("O'Neil"),
                             QStringLiteral(" 9 "), QStringLiteral("操作员")));
  EXPECT_TRUE(LookUpUser(ctx, "O'Neil"));
  EXPECT_EQ(ctx.session.UserName(), "O'Neil");
  EXPECT_EQ(ctx.session.Password(), " 9 ");
  EXPECT_FALSE(LookUpUser(ctx, "nobody"));
  EXPECT_EQ(app.prompter.Messages().back(), "账号不存在或打开失败");
  EXPECT_EQ(ctx.session.UserName(), "O'Neil");
}
