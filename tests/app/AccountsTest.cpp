#include <gtest/gtest.h>

#include <QFile>

#include "TestSupport.h"
#include "app/Login.h"
#include "ui/SuperAdministratorGate.h"

using namespace hemulu;
using namespace hemulu::test;

TEST(Accounts, GateComparesTheTypedPasswordExactly) {
  TestApp app("张三");
  AppContext& ctx = app.ctx();
  app.prompter.AnswerText(QStringLiteral("735"));
  EXPECT_TRUE(SuperAdministratorGate(ctx, "请输入超级管理员密码,默认超管密码", "超管"));
  EXPECT_EQ(app.prompter.Prompts().back().caption, "超管");

  app.prompter.AnswerText(QStringLiteral("735 "));
  app.prompter.ExpectMessage("超级管理员密码输入错误,无法完成您的请求");
  EXPECT_FALSE(SuperAdministratorGate(ctx, "p", "t"));
  EXPECT_EQ(app.prompter.Messages().back(), "超级管理员密码输入错误,无法完成您的请求");

  app.prompter.Clear();
  app.prompter.AnswerText(std::nullopt);  // cancel refuses silently
  EXPECT_FALSE(SuperAdministratorGate(ctx, "p", "t"));
  EXPECT_TRUE(app.prompter.Messages().empty());

  ASSERT_TRUE(ctx.db.Execute("delete from UserName where 用户名=?", kSuperAdministrator));
  app.prompter.ExpectMessage("没有发现超级管理员账号的存在");
  EXPECT_FALSE(SuperAdministratorGate(ctx, "p", "t"));
  EXPECT_EQ(app.prompter.Messages().back(), "没有发现超级管理员账号的存在");
}

TEST(Accounts, LookUpUserSetsTheStoredNameAndPassword) {
  TestApp app("");
  AppContext& ctx = app.ctx();
  ASSERT_TRUE(ctx.db.Execute("insert into UserName (用户名, 密码, 权限) values (?, ?, ?)", QStringLiteral("O'Neil"),
                             QStringLiteral(" 9 "), QStringLiteral("操作员")));
  EXPECT_EQ(LookUpUser(ctx, "O'Neil"), true);
  EXPECT_EQ(ctx.session.UserName(), "O'Neil");
  EXPECT_EQ(ctx.session.Password(), " 9 ");
  EXPECT_EQ(LookUpUser(ctx, "nobody"), false);
  EXPECT_EQ(ctx.session.UserName(), "O'Neil");
  EXPECT_TRUE(app.prompter.Prompts().empty());

  // Without a database: an error marked unavailable, and nothing shown.
  ctx.db.Close();
  ASSERT_TRUE(QFile::remove(app.FilePath("data.db")));
  const auto missing = LookUpUser(ctx, "O'Neil");
  ASSERT_FALSE(missing);
  EXPECT_TRUE(missing.error().Unavailable());
  EXPECT_TRUE(app.prompter.Prompts().empty());
  // The gate tells the user once.
  app.prompter.ExpectMessage("打开数据库失败！");
  EXPECT_FALSE(SuperAdministratorGate(ctx, "p", "t"));
}
