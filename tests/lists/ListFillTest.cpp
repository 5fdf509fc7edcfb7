// The common fill on a small list of its own, into a GridStore: no widget involved.
#include <gtest/gtest.h>

#include <QFile>

#include "TestSupport.h"
#include "data/TextFormat.h"
#include "lists/ListFill.h"

using namespace hemulu;
using hemulu::test::TestApp;

namespace {

constexpr int kLastColour = 33023, kRed = 255;

// A fruit list: ID, name, count, day; one header row; columns 1..4.
class FruitFill : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(app.ctx().db.ExecScript("create table fruit (ID integer primary key, 名称 text, 数量 double, 日期 text)"));
    store.SetCols(5);
    store.SetFixedRows(1);
    store.SetText(0, 2, QStringLiteral("名称"));
  }
  void Add(const QString& name, double count, const QString& day) {
    ASSERT_TRUE(app.ctx().db.Execute("insert into fruit (名称, 数量, 日期) values (?, ?, ?)", name, count, day));
  }
  ListFillSpec Plan() const {
    ListFillSpec plan;
    plan.sql = "select * from fruit where 数量 > ? order by ID";
    plan.values = {QVariant(-100.0)};
    plan.fields = {{"ID", FieldKind::Number}, {"名称"}, {"数量", FieldKind::Number}, {"日期", FieldKind::Date}};
    plan.row_filter = [](const FillRecord& r) { return r.Number(2) >= 0; };
    plan.colour_rules = {{QStringLiteral("beepcolor"), [](const FillRecord& r) { return r.Number(2) < 2; }}};
    plan.totals = {{2, 3}};
    plan.label_column = 2;
    plan.sort_column = 3;
    return plan;
  }
  QString Cell(int row, int col) const { return store.Text(row, col); }

  TestApp app;
  GridStore store;
};

}  // namespace

TEST_F(FruitFill, RowsTotalsColoursAndSortWithoutAWidget) {
  Add("梨", 5, "2026-02-28 00:00:00");
  Add("苹果", 1, "2024-02-29 08:30:00");
  Add("坏果", -3, "2026-01-01 00:00:00");  // filtered out, still totalled
  const FillResult r = FillList(app.ctx(), store, Plan());
  ASSERT_FALSE(r.error);
  EXPECT_EQ(r.records, 3);
  EXPECT_EQ(r.rows, 2);
  ASSERT_EQ(store.Rows(), 4);  // header, two rows, totals
  // beepview is on in the default settings: sorted by count.
  EXPECT_EQ(r.sorted_column, 3);
  EXPECT_EQ(Cell(1, 2), "苹果");
  EXPECT_EQ(Cell(1, 4), "2024年2月29日8时30分");
  EXPECT_EQ(Cell(2, 2), "梨");
  EXPECT_EQ(Cell(2, 4), "2026年2月28日");
  EXPECT_EQ(Cell(3, 2), "合计：");
  EXPECT_EQ(Cell(3, 3), "3");
  EXPECT_EQ(store.FrozenRows(), 1);
  EXPECT_TRUE(store.Style(3, 2).flags & CellStyle::kBold);
  EXPECT_EQ(store.Style(3, 2).back, RgbFromWin(kLastColour));
  EXPECT_EQ(store.Style(1, 2).fore, RgbFromWin(kRed));  // below 2
  EXPECT_FALSE(store.Style(2, 2).flags & CellStyle::kHasFore);
  EXPECT_EQ(store.ColumnKind(3), CellKind::Number);
  EXPECT_EQ(store.ColumnKind(4), CellKind::Date);
  // line=2 in the default settings: white lines between the columns.
  EXPECT_EQ(r.look.grid_color, 16777215);
  EXPECT_FALSE(r.look.hide_grid_lines);
  EXPECT_EQ(r.look.back1, 15527148);
  EXPECT_TRUE(store.Style(1, 2).borders & kBorderRight);

  // A refill replaces the rows; a failing query leaves the header and zero totals.
  ListFillSpec broken = Plan();
  broken.sql = "select * from no_such_table";
  const FillResult failed = FillList(app.ctx(), store, broken);
  ASSERT_TRUE(failed.error);
  EXPECT_FALSE(failed.error->unavailable);
  ASSERT_EQ(store.Rows(), 2);
  EXPECT_EQ(Cell(1, 3), "0");
  EXPECT_EQ(Cell(0, 2), "名称");
}

TEST_F(FruitFill, ADatabaseThatDoesNotOpenIsAnErrorNotAMessage) {
  app.ctx().db.Close();
  ASSERT_TRUE(QFile::remove(app.FilePath("data.db")));
  const FillResult r = FillList(app.ctx(), store, Plan());
  ASSERT_TRUE(r.error);
  EXPECT_TRUE(r.error->unavailable);
  EXPECT_EQ(store.Rows(), 2);
  EXPECT_EQ(Cell(1, 2), "合计：");
  EXPECT_TRUE(app.prompter.Prompts().empty());
}
