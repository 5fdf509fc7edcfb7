// The common fill on a small list of its own, into a GridStore: no widget involved.
#include <gtest/gtest.h>

#include <QFile>

#include "KeyedListSupport.h"
#include "TestSupport.h"
#include "data/TextFormat.h"
#include "lists/KeyedRows.h"
#include "lists/ListFill.h"

using namespace hemulu;
using hemulu::test::TestApp;

namespace {

constexpr int kLastColour = 33023, kRed = 255;

// A fruit list: ID, name, count, day; one header row; columns 1..4.
class FruitFill : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(
        app.ctx().db.ExecScript("create table fruit (ID integer primary key, 名称 text, 数量 double, 日期 text)"));
    store.SetCols(5);
    store.SetFixedRows(1);
    store.SetText(0, 2, QStringLiteral("名称"));
  }
  void Add(const QString& name, double count, const QString& day) {
    ASSERT_TRUE(app.ctx().db.Execute("insert into fruit (名称, 数量, 日期) values (?, ?, ?)", name, count, day));
  }
  ListPlan Plan() const {
    ListPlan plan;
    plan.sql = "select * from fruit where 数量 > ? order by ID";
    plan.values = {QVariant(-100.0)};
    plan.fields = {{"ID", FieldKind::Number}, {"名称"}, {"数量", FieldKind::Number}, {"日期", FieldKind::Date}};
    plan.row_filter = NumberTest(2, [](double count) { return count >= 0; });
    plan.colour_rules = {{QStringLiteral("beepcolor"), NumberTest(2, [](double count) { return count < 2; })}};
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
  ListPlan broken = Plan();
  broken.sql = "select * from no_such_table";
  const FillResult failed = FillList(app.ctx(), store, broken);
  ASSERT_TRUE(failed.error);
  EXPECT_FALSE(failed.error->Unavailable());
  ASSERT_EQ(store.Rows(), 2);
  EXPECT_EQ(Cell(1, 3), "0");
  EXPECT_EQ(Cell(0, 2), "名称");
}

TEST_F(FruitFill, ADatabaseThatDoesNotOpenIsAnErrorNotAMessage) {
  app.ctx().db.Close();
  ASSERT_TRUE(QFile::remove(app.FilePath("data.db")));
  const FillResult r = FillList(app.ctx(), store, Plan());
  ASSERT_TRUE(r.error);
  EXPECT_TRUE(r.error->Unavailable());
  EXPECT_EQ(store.Rows(), 2);
  EXPECT_EQ(Cell(1, 2), "合计：");
  EXPECT_TRUE(app.prompter.Prompts().empty());
}

// The fill sorts a number column by the values it read; the order must be the one the
// store's own sort by the cells' texts gives, down to empty cells, values that do not
// print exactly, texts that are not numbers and ties kept in the query's order.
TEST_F(FruitFill, TheSortByReadValuesMatchesTheSortByTexts) {
  ASSERT_TRUE(app.ctx().db.ExecScript("create table heap (ID integer primary key, 名称 text, 数量 double)"));
  ASSERT_TRUE(app.ctx().db.ExecScript(
      "insert into heap (名称, 数量) values ('甲', 2), ('乙', null), ('丙', 1.0/3), ('丁', -0.0), ('戊', 9e999),"
      "('己', 1e20), ('庚', 2), ('辛', 0), ('壬', -2.675), ('癸', null), ('子', 123456.7891), ('丑', 1e-7),"
      "('寅', -9e999), ('卯', 2.0000000000001), ('辰', 2)"));
  ListPlan plan;
  plan.sql = "select * from heap order by ID";
  plan.fields = {{"ID", FieldKind::Number}, {"名称"}, {"数量", FieldKind::OptionalNumber}};
  plan.sort_column = 3;
  plan.totals = {{2, 3}};
  const FillResult r = FillList(app.ctx(), store, plan);
  ASSERT_FALSE(r.error);
  ASSERT_EQ(r.sorted_column, 3);
  QStringList names;
  for (int row = 1; row < store.Rows() - 1; ++row) names << Cell(row, 2);
  EXPECT_EQ(names.join(QString()), "乙癸壬丁辛丑丙甲庚卯辰子己戊寅");  // 卯 prints as "2"
  EXPECT_EQ(Cell(1, 3), "");
  EXPECT_EQ(Cell(7, 3), "0.3333333333333");
  EXPECT_EQ(Cell(14, 3), "inf");
  store.SortByColumn(3, CellKind::Number);
  QStringList again;
  for (int row = 1; row < store.Rows() - 1; ++row) again << Cell(row, 2);
  EXPECT_EQ(again, names);
}

// Stored texts are shown as they are, whatever their bytes: a tab never shifts the
// columns, a malformed sequence is one replacement mark per bad byte, and rows of one
// colour rule take that rule's colour (a later rule winning) however many there are.
TEST_F(FruitFill, StoredBytesAndRowColoursComeThroughAsTheyAre) {
  ASSERT_TRUE(app.ctx().db.ExecScript(
      "insert into fruit (名称, 数量, 日期) values "
      "(cast(x'41EDA08009F09F9880E4B8ADC0E4B8' as text), 1, '2024-02-29 08:30:00'),"
      "('梨', 5, '2026-02-30 00:00:00'), ('桃', 7, '2026-1-2 3:04'), ('杏', 0.5, '2025-12-31 23:59:59')"));
  for (int i = 0; i < 40; ++i) Add(QStringLiteral("枣"), i % 3, QStringLiteral("2026-03-01 12:00:00"));
  ASSERT_TRUE(app.ctx().settings.WriteSetupValue(QStringLiteral("beepview"), QStringLiteral("false")));
  ListPlan plan = Plan();
  plan.row_filter = {};
  plan.colour_rules = {{QStringLiteral("beepcolor"), NumberTest(2, [](double count) { return count < 2; })},
                       {QStringLiteral("zerocolor"), NumberTest(2, [](double count) { return count == 0; })}};
  const FillResult r = FillList(app.ctx(), store, plan);
  ASSERT_FALSE(r.error);
  ASSERT_EQ(r.rows, 44);
  EXPECT_EQ(r.sorted_column, -1);
  EXPECT_EQ(Cell(1, 2), QStringLiteral("A\uFFFD\uFFFD\uFFFD \U0001F600中\uFFFD\uFFFD\uFFFD"));
  EXPECT_EQ(Cell(1, 3), "1");
  EXPECT_EQ(Cell(1, 4), "2024年2月29日8时30分");
  EXPECT_EQ(Cell(2, 4), "2026-02-30 00:00:00");  // no such day: the stored text
  EXPECT_EQ(Cell(3, 4), "2026年1月2日3时4分");
  EXPECT_EQ(Cell(4, 4), "2025年12月31日23时59分59秒");
  EXPECT_EQ(Cell(4, 3), "0.5");
  for (int row = 1; row <= 44; ++row) {
    const double count = NumberValue(Cell(row, 3));
    const std::uint32_t want = count == 0 ? RgbFromWin(8421504) : count < 2 ? RgbFromWin(kRed) : 0;
    for (int col = 1; col <= 4; ++col) {
      const CellStyle& s = store.Style(row, col);
      EXPECT_EQ((s.flags & CellStyle::kHasFore) ? s.fore : 0, want) << row << "," << col;
      if (col >= 2) {  // line=2: white cells
        EXPECT_EQ(s.back, RgbFromWin(16777215)) << row << "," << col;
      }
    }
  }
  EXPECT_FALSE(store.Style(45, 2).flags & CellStyle::kHasFore);  // the totals row
  EXPECT_TRUE(store.Style(45, 2).flags & CellStyle::kBold);
}

// One plan, two fills: tests of texts, a total with a condition and a filter on a text
// field give the keyed fill, which reads only the tested fields in its pass and the
// rows it shows later, the list the common fill gives, sorted by value or not.
TEST_F(FruitFill, TheKeyedFillRunsTextTestsAndConditionalTotalsAsTheCommonFill) {
  Add("梨", 5, "2026-02-28 00:00:00");
  Add("坏果", -3, "2026-01-01 00:00:00");  // filtered out by its name, still totalled
  Add("青苹果", 2, "2024-02-29 08:30:00");
  Add("梨", 7.5, "2026-03-01 12:00:00");
  Add("桃", 0, "2025-12-31 23:59:59");
  Add("苹果", 3, "2026-01-02 03:04:00");
  ListPlan plan = Plan();
  plan.table = "fruit";
  plan.row_filter = TextTest(1, [](QStringView name) { return name != u"坏果"; });
  plan.colour_rules = {
      {QStringLiteral("beepcolor"), TextTest(1, [](QStringView name) { return name.endsWith(u"苹果"); })},
      {QStringLiteral("zerocolor"), NumberTest(2, [](double count) { return count == 0; })}};
  plan.totals = {{2, 3}, {2, 4, TextTest(1, [](QStringView name) { return name == u"梨"; })}};
  for (const char* beepview : {"ture", "false"}) {
    SCOPED_TRACE(beepview);
    ASSERT_TRUE(app.ctx().settings.WriteSetupValue(QStringLiteral("beepview"), QString::fromLatin1(beepview)));
    GridStore keyed = store.LaidOutCopy();
    const FillResult full = FillList(app.ctx(), store, plan);
    const KeyedFill by_key = FillKeyedList(app.ctx(), keyed, plan);
    ASSERT_FALSE(full.error);
    ASSERT_FALSE(by_key.result.error);
    EXPECT_EQ(by_key.result.records, 6);
    EXPECT_EQ(by_key.result.rows, 5);
    EXPECT_EQ(by_key.result.totals, (std::vector<double>{14.5, 12.5}));
    EXPECT_EQ(full.totals, by_key.result.totals);
    EXPECT_EQ(by_key.result.sorted_column, full.sorted_column);
    hemulu::test::ExpectSameList(store, keyed, *by_key.rows, "keyed against full");
    for (int i = 0; i < by_key.rows->Count(); ++i) {
      const QString name = by_key.rows->Text(i, 2);
      const CellStyle& style = by_key.rows->Style(i, 2);
      EXPECT_EQ((style.flags & CellStyle::kHasFore) ? style.fore : 0, name.endsWith(u"苹果") ? RgbFromWin(kRed)
                                                                      : name == u"桃"        ? RgbFromWin(8421504)
                                                                                             : 0)
          << name.toStdString();
    }
  }
  EXPECT_EQ(Cell(store.Rows() - 1, 4), "12.5");  // the condition's total in its column
}
