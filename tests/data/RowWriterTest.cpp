#include <gtest/gtest.h>

#include "EngineSupport.h"
#include "TestSupport.h"
#include "data/RowWriter.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {
class RowWriterOn : public EngineTest {};
HEMULU_ON_BOTH_ENGINES(RowWriterOn);
}  // namespace

TEST_P(RowWriterOn, FirstFailingFieldGivesItsCodeAndNothingIsWritten) {
  Database& db = this->db();
  const QString long_name(51, QChar(0x540D));
  auto r = RowWriter(db, "buy")
               .Set("类型", "饮料", "099")
               .Set("名称", long_name, "098")
               .Set("型号", QString(60, 'x'), "097")
               .Insert();
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error().code, "098");
  EXPECT_EQ(r.error().Message(), "错误代码 [098]");
  EXPECT_EQ(CountRows(db, "buy"), 0);

  prompter.ExpectMessage("错误代码 [098]");
  ctx().ReportWriteError(r.error());
  ASSERT_EQ(prompter.Prompts().size(), 1u);
  EXPECT_EQ(prompter.Prompts()[0].caption, "禾木鹭进销存");
  EXPECT_EQ(prompter.Prompts()[0].icon, MessageKind::Stop);

  // Exactly 50 characters, and a MEMO note longer than that, are accepted.
  auto ok = RowWriter(db, "buy")
                .Set("名称", QString(50, QChar(0x540D)), "098")
                .Set("备注", QString(500, 'n'), "085")
                .Set("进货数量", "5", "095")
                .Set("入库日期", QDate(2026, 3, 4), "087")
                .Insert();
  ASSERT_TRUE(ok);
  auto st = db.Prepare("select 名称, 进货数量, 入库日期 from buy where \"ID\"=?");
  st->BindAll(*ok);
  ASSERT_TRUE(st->Step().value_or(false));
  EXPECT_EQ(st->Text(0).size(), 50);
  EXPECT_EQ(st->Double(1), 5.0);
  EXPECT_EQ(st->Text(2), "2026-03-04 00:00:00");
}

TEST_P(RowWriterOn, NumbersDatesAndColumnsAreChecked) {
  Database& db = this->db();
  const auto code_of = [&](std::string_view column, const QVariant& v) {
    auto r = RowWriter(db, "sell").Set("名称", "x", "071").Set(column, v, "0755").Insert();
    return r ? QString() : r.error().code;
  };
  EXPECT_EQ(code_of("销售数量", "abc"), "0755");
  EXPECT_EQ(code_of("销售数量", std::numeric_limits<double>::infinity()), "0755");
  EXPECT_EQ(code_of("销售数量", "1e309"), "0755");
  EXPECT_EQ(code_of("销售日期", "not a date"), "0755");
  EXPECT_EQ(code_of("no such column", 1), "0755");
  EXPECT_EQ(code_of("ID", 5), "0755");
  EXPECT_EQ(code_of("UID", 2.5), "0755");
  EXPECT_EQ(CountRows(db, "sell"), 0);
  EXPECT_EQ(code_of("UID", 7), "");
  EXPECT_EQ(code_of("销售数量", " 2.5 "), "");
  EXPECT_EQ(CountRows(db, "sell"), 2);
}

TEST(RowWriter, DatabaseRefusalIsReportedNotSwallowed) {
  TestApp app;
  Database& db = app.ctx().db;
  ASSERT_TRUE(db.ExecScript("CREATE TRIGGER no_more BEFORE INSERT ON other BEGIN SELECT RAISE(ABORT, 'full'); END;"));
  auto r = RowWriter(db, "other").Set("类型", "收入", "099").Insert();
  ASSERT_FALSE(r);
  EXPECT_TRUE(r.error().code.isEmpty());
  // The engine's words go to the log; the user reads ours.
  EXPECT_TRUE(r.error().detail.contains("full"));
  EXPECT_TRUE(r.error().Message().startsWith(QStringLiteral("数据没有保存：数据库写入失败。")))
      << r.error().Message().toStdString();
  EXPECT_FALSE(r.error().Message().contains("full"));
}
