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
