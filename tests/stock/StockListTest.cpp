#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTableView>
#include <cmath>
#include <random>

#include "EngineSupport.h"
#include "KeyedListSupport.h"
#include "TestSupport.h"
#include "data/IniFile.h"
#include "data/TextFormat.h"
#include "lists/Grid.h"
#include "lists/GridKeyedFill.h"
#include "lists/Withheld.h"
#include "stock/StockList.h"

using namespace hemulu;
using hemulu::test::ExpectSameList;
using hemulu::test::GoodsRow;
using hemulu::test::InsertGoods;
using hemulu::test::TestApp;

namespace {

constexpr int kBgOne = 15527148, kBgTwo = 16777215, kLastColour = 33023;

GoodsRow Goods(const QString& name, double stock, QDateTime date = QDateTime(QDate(2026, 12, 1), QTime(0, 0))) {
  GoodsRow g;
  g.name = name;
  g.stock = stock;
  g.stock_amount = stock * 2;
  g.date = date;
  return g;
}

class StockFill : public ::testing::Test {
 protected:
  void SetUp() override { LayOutStockGrid(grid); }
  void Set(const char* key, const QString& value) { ASSERT_TRUE(app.ctx().settings.WriteSetupValue(key, value)); }
  FillResult Fill(int warning = 2, bool show_zero = false, std::string sql = "select * from buy") {
    return FillGridKeyed(app.ctx(), grid,
                         StockListPlan(GoodsQuery{QString::fromStdString(sql), {}}, warning, show_zero));
  }
  int TotalsRow() const { return grid.Rows() - 1; }
  std::vector<QString> Names() const {
    std::vector<QString> out;
    for (int r = grid.FixedRows(); r < TotalsRow(); ++r) out.push_back(grid.CellText(r, 2));
    return out;
  }

  TestApp app;
  Grid grid;
};

}  // namespace

TEST_F(StockFill, RowsCarryTheFieldsAsTextInColumnOrder) {
  GoodsRow g = Goods("可口可乐", 12.5, QDateTime(QDate(2026, 3, 4), QTime(13, 5, 0)));
  g.buy_price = 2468000.5;
  g.note = "含\t制表符";
  const qint64 id = InsertGoods(app.ctx().db, g);
  const FillResult result = Fill();
  ASSERT_FALSE(result.error);
  EXPECT_EQ(result.records, 1);
  ASSERT_EQ(grid.Rows(), 4);
  EXPECT_EQ(grid.CellText(2, 1), QString::number(id));
  EXPECT_EQ(grid.CellText(2, 2), "可口可乐");
  EXPECT_EQ(grid.CellText(2, 5), "饮料");
  EXPECT_EQ(grid.CellText(2, 7), "2468000.5");
  EXPECT_EQ(grid.CellText(2, 10), "3");
  EXPECT_EQ(grid.CellText(2, 12), "12.5");
  EXPECT_EQ(grid.CellText(2, 14), "2026年3月4日13时5分");
  EXPECT_EQ(grid.CellText(2, 15), "供货商甲");
  EXPECT_EQ(grid.CellText(2, 16), "含 制表符");  // a stored tab cannot shift the columns
  EXPECT_EQ(grid.CellText(0, 2), "商品信息");    // header rows survive the fill
}

TEST_F(StockFill, DamagedTextShowsReplacementCharactersAndTheRestOfTheRow) {
  // C0 B0 is an overlong form, then a lone continuation byte, then 中 and 😀.
  ASSERT_TRUE(
      app.ctx().db.ExecScript("insert into buy (名称, 型号, 存货数量) values "
                              "(CAST(X'C0B0E4B8AD' AS TEXT), CAST(X'F09F9880' AS TEXT), 5)"));
  Fill();
  ASSERT_EQ(grid.Rows(), 4);
  EXPECT_EQ(grid.CellText(2, 2), QString::fromUtf8("\xEF\xBF\xBD\xEF\xBF\xBD中"));
  EXPECT_EQ(grid.CellText(2, 3), QString::fromUtf8("\xF0\x9F\x98\x80"));
  EXPECT_EQ(grid.CellText(2, 12), "5");
}

TEST_F(StockFill, AlternatingColoursShowOnlyWithoutALineStyle) {
  for (int i = 0; i < 4; ++i) InsertGoods(app.ctx().db, Goods(QString("商品%1").arg(i), 10 + i));
  for (const char* line : {"2", "1"}) {
    Set("line", line);
    Fill();
    for (int r = 2; r < TotalsRow(); ++r) EXPECT_EQ(grid.DisplayedBackColor(r, 3), QColor(Qt::white)) << line;
    EXPECT_FALSE(grid.HideGridLines());
    EXPECT_EQ(grid.GridColor(), QColor(Qt::white));
  }
  EXPECT_EQ(grid.CellBorders(2, 3), kBorderBottom);  // "1": rows separated
  Set("line", "2");
  Fill();
  EXPECT_EQ(grid.CellBorders(2, 3), kBorderRight);  // "2": columns separated
  EXPECT_EQ(grid.CellBorders(2, 16), 0);

  for (const char* line : {"0", "", "3"}) {
    Set("line", line);
    Fill();
    EXPECT_TRUE(grid.HideGridLines()) << line;
    EXPECT_EQ(grid.GridColor(), QColor(128, 128, 128));
    EXPECT_EQ(grid.DisplayedBackColor(2, 3), ColorFromWin(kBgOne)) << line;
    EXPECT_EQ(grid.DisplayedBackColor(3, 3), ColorFromWin(kBgTwo)) << line;
    EXPECT_EQ(grid.DisplayedBackColor(4, 3), ColorFromWin(kBgOne)) << line;
    EXPECT_EQ(grid.CellBorders(2, 3), 0);
  }

  // What the screen shows: the alternating colours in the painted cells.
  Set("bgtwo", "12632256");  // grey, to tell the rows apart
  Fill();
  grid.resize(1200, 400);
  for (int c = 0; c < grid.Cols(); ++c) grid.SetColumnWidth(c, 60);
  grid.show();
  QTableView* body = grid.BodyView();
  const QImage image = body->viewport()->grab().toImage();
  const qreal ratio = image.devicePixelRatio();
  auto painted = [&](int model_row) {
    const QRect cell = body->visualRect(body->model()->index(model_row, 3));
    return QColor(image.pixel((cell.topLeft() + QPoint(1, 1)) * ratio));
  };
  EXPECT_EQ(painted(0), ColorFromWin(kBgOne));
  EXPECT_EQ(painted(1), ColorFromWin(12632256));
}

TEST_F(StockFill, OnlyTureSortsAndTheTotalsRowStaysLastInView) {
  for (double stock : {9.0, 10.0, 3.0, 100.0}) InsertGoods(app.ctx().db, Goods(QString("存%1").arg(stock), stock));
  Set("beepview", "true");
  Fill();
  EXPECT_EQ(Names(), (std::vector<QString>{"存9", "存10", "存3", "存100"}));
  EXPECT_EQ(grid.SortIndicatorColumn(), -1);

  Set("beepview", "ture");
  Fill();
  EXPECT_EQ(Names(), (std::vector<QString>{"存3", "存9", "存10", "存100"}));  // numbers, not texts
  EXPECT_EQ(grid.SortIndicatorColumn(), 12);
  EXPECT_EQ(grid.CellText(TotalsRow(), 5), "合计：");
  EXPECT_EQ(grid.CellText(TotalsRow(), 12), "122");
  EXPECT_EQ(grid.FrozenBottomRows(), 1);
  ASSERT_EQ(grid.FooterView()->model()->rowCount(), 1);
  EXPECT_EQ(grid.FooterView()->model()->index(0, 5).data().toString(), "合计：");
  EXPECT_EQ(grid.BodyView()->model()->rowCount(), 4);

  // A user sort afterwards leaves the totals row where it is.
  grid.SortColumn(2);
  EXPECT_EQ(grid.CellText(TotalsRow(), 5), "合计：");
  EXPECT_EQ(grid.FooterView()->model()->rowCount(), 1);
}

TEST_F(StockFill, TotalsRowLooksAndAddsUp) {
  GoodsRow a = Goods("甲", 0.1), b = Goods("乙", 0.2);
  a.bought = 0.1;
  b.bought = 0.2;
  InsertGoods(app.ctx().db, a);
  InsertGoods(app.ctx().db, b);
  const FillResult result = Fill();
  const int t = TotalsRow();
  EXPECT_EQ(grid.CellText(t, 6), "0.3");
  EXPECT_EQ(grid.CellText(t, 12), "0.3");
  EXPECT_EQ(grid.CellText(t, 13), "0.6");
  EXPECT_EQ(grid.CellText(t, 8), "40");
  EXPECT_EQ(grid.CellText(t, 2), "");
  ASSERT_EQ(result.totals.size(), 6u);
  EXPECT_NEAR(result.totals[0], 0.3, 1e-12);
  for (int c = 2; c <= 16; ++c) {
    EXPECT_EQ(grid.DisplayedBackColor(t, c), ColorFromWin(kLastColour)) << c;
    EXPECT_TRUE(grid.CellFontBold(t, c)) << c;
  }
  EXPECT_FALSE(grid.CellFontBold(t - 1, 3));
}

TEST_F(StockFill, ZeroFilterLeavesRowsOutButTotalsThem) {
  for (double stock : {5.0, 0.0, -3.0, 1.0, 2.0}) InsertGoods(app.ctx().db, Goods(QString("存%1").arg(stock), stock));
  Set("beepview", "false");
  const FillResult hidden = Fill(2, false);
  EXPECT_EQ(hidden.records, 5);
  EXPECT_EQ(hidden.rows, 3);
  EXPECT_EQ(Names(), (std::vector<QString>{"存5", "存1", "存2"}));
  EXPECT_EQ(grid.CellText(TotalsRow(), 12), "5");          // 5 + 0 − 3 + 1 + 2
  EXPECT_FALSE(grid.CellForeColor(2, 2).isValid());        // 5: enough
  EXPECT_EQ(grid.CellForeColor(3, 2), QColor(255, 0, 0));  // 1 < 2: beepcolor
  EXPECT_FALSE(grid.CellForeColor(4, 2).isValid());        // 2: not below the warning quantity

  // Every record, and zero stock takes zerocolor over beepcolor.
  const FillResult all = Fill(2, true);
  EXPECT_EQ(all.rows, 5);
  EXPECT_EQ(Names(), (std::vector<QString>{"存5", "存0", "存-3", "存1", "存2"}));
  EXPECT_EQ(grid.CellForeColor(3, 2), ColorFromWin(8421504));
  EXPECT_EQ(grid.CellForeColor(4, 2), QColor(255, 0, 0));
  EXPECT_EQ(grid.CellForeColor(3, 1), ColorFromWin(8421504));  // the colour covers columns 1 to 16
  EXPECT_EQ(grid.CellForeColor(3, 16), ColorFromWin(8421504));
  EXPECT_FALSE(grid.CellForeColor(3, 0).isValid());
}

TEST_F(StockFill, SettingsAreReadAfreshAtEveryFill) {
  InsertGoods(app.ctx().db, Goods("甲", 1));
  Set("line", "0");
  Fill();
  EXPECT_EQ(grid.DisplayedBackColor(2, 3), ColorFromWin(kBgOne));
  Set("bgone", "255");
  Set("lastcolor", "绿色");  // not a number: black
  Set("beepcolor", "65280");
  Fill();
  EXPECT_EQ(grid.DisplayedBackColor(2, 3), QColor(255, 0, 0));
  EXPECT_EQ(grid.DisplayedBackColor(TotalsRow(), 3), QColor(0, 0, 0));
  EXPECT_EQ(grid.CellForeColor(2, 3), QColor(0, 255, 0));
  EXPECT_EQ(grid.BackColorSel(), QColor(255, 255, 0));
  EXPECT_EQ(grid.BackColorActiveCellSel(), QColor(255, 255, 0));
  EXPECT_EQ(grid.SelectionBorderColor(), QColor(128, 224, 0));
  EXPECT_EQ(grid.BackColorBkg(), QColor(255, 255, 255));
}

TEST_F(StockFill, FailedQueryLeavesTheListAsItWas) {
  InsertGoods(app.ctx().db, Goods("甲", 4));
  Fill();
  ASSERT_EQ(grid.Rows(), 4);
  const FillResult failed = Fill(2, false, "select * from no_such_table");
  ASSERT_TRUE(failed.error);
  EXPECT_EQ(failed.rows, 0);
  // Never an empty list with zero totals, which would pass for the truth.
  ASSERT_EQ(grid.Rows(), 4);
  EXPECT_EQ(grid.CellText(1, 2), "名称");
  EXPECT_EQ(grid.CellText(2, 2), "甲");
  EXPECT_EQ(grid.CellText(3, 5), "合计：");
  EXPECT_EQ(grid.CellText(3, 12), "4");
  EXPECT_EQ(grid.FooterView()->model()->rowCount(), 1);

  // The same when the database file cannot be opened at all.
  app.ctx().db.Close();
  ASSERT_TRUE(QFile::remove(app.FilePath("data.db")));
  const FillResult closed = Fill();
  ASSERT_TRUE(closed.error);
  EXPECT_EQ(grid.Rows(), 4);
  EXPECT_EQ(grid.CellText(3, 12), "4");
  // The fill reports it as a value for the page to show; it shows nothing itself.
  EXPECT_TRUE(closed.error->Unavailable());
  EXPECT_TRUE(app.prompter.Prompts().empty());
}

TEST_F(StockFill, EmptyResultShowsOnlyTheTotalsRow) {
  const FillResult r = Fill();
  EXPECT_FALSE(r.error);
  ASSERT_EQ(grid.Rows(), 3);
  EXPECT_EQ(grid.CellText(2, 5), "合计：");
  EXPECT_EQ(grid.CellText(2, 13), "0");
}

TEST_F(StockFill, ValuesAreBoundNotPasted) {
  InsertGoods(app.ctx().db, Goods("O'Brien牌", 3));
  InsertGoods(app.ctx().db, Goods("别的", 3));
  ListPlan plan = StockListPlan(GoodsQuery{QStringLiteral("select * from buy where 名称 = ?"), {}}, 2, false);
  plan.values = {QStringLiteral("O'Brien牌")};
  const FillResult r = FillGridKeyed(app.ctx(), grid, plan);
  ASSERT_FALSE(r.error);
  EXPECT_EQ(Names(), (std::vector<QString>{"O'Brien牌"}));
}

TEST(ListFillPieces, SettingsReadNumbersOrZero) {
  TestApp app;
  IniFile& ini = app.ctx().settings;
  ASSERT_TRUE(ini.WriteSetupValue("bgone", "abc"));
  ASSERT_TRUE(ini.WriteSetupValue("bgtwo", "-5"));
  ASSERT_TRUE(ini.WriteSetupValue("line", "1"));
  const ListSettings s = ReadListSettings(ini);
  EXPECT_EQ(s.bgone, 0);
  EXPECT_EQ(s.bgtwo, 0);
  EXPECT_EQ(s.lastcolor, kLastColour);
  EXPECT_EQ(s.line, "1");
  EXPECT_TRUE(s.beepview);
  EXPECT_EQ(ReadColourSetting(ini, "no_such_key"), 0);
  // A config.ini written by hand without the colours: the rows keep their default
  // colours rather than turning black.
  QFile hand_made(app.ctx().FilePath("config.ini"));
  ASSERT_TRUE(hand_made.open(QIODevice::WriteOnly | QIODevice::Truncate));
  hand_made.write("[setup]\r\nline=2\r\nbgtwo=\r\n[server]\r\nhost=till\r\n");
  hand_made.close();
  const ListSettings defaults = ReadListSettings(ini);
  EXPECT_EQ(defaults.bgone, kBgOne);
  EXPECT_EQ(defaults.bgtwo, kBgTwo);
  EXPECT_EQ(defaults.lastcolor, kLastColour);
  EXPECT_EQ(DateFieldText(u"2012-03-04 00:00:00"), "2012年3月4日");
  EXPECT_EQ(DateFieldText(u"2012-03-04 05:00:07"), "2012年3月4日5时0分7秒");
  EXPECT_EQ(DateFieldText(u"2012-03-04 05:00:00"), "2012年3月4日5时");
  EXPECT_EQ(DateFieldText(u"not a date"), "not a date");
}

namespace {

// More goods than the keyed list keeps pages of, with stock quantities that tie, sit on
// either side of zero and the tolerance, are missing, or print inexactly; a tab in a
// name and dates that are not dates.
void AddManyGoods(Database& db, int count) {
  std::mt19937 rng(11);
  const double stocks[] = {0, 1, 2, 2, 5, -3, 0.00000005, -0.00000005, 2.0000000000001, 0.1 + 0.2, 1e20, 1.5};
  const char* names[] = {"可乐", "雪碧", "abc", "", "阿\t福", "Zoe", "芬达"};
  const char* dates[] = {"2026-12-08 00:00:00", "2025-01-31 10:20:30", "不是日期", ""};
  auto tx = Transaction::Begin(db);
  ASSERT_TRUE(tx.has_value());
  for (int i = 0; i < count; ++i) {
    const QVariant stock = rng() % 13 == 0 ? QVariant() : QVariant(stocks[rng() % 12]);
    auto r = db.Execute(
        "insert into buy (名称,首拼,进货数量,进货单价,进货金额,销售金额,存货数量,存货金额,入库日期) "
        "values (?,?,?,?,?,?,?,?,?)",
        QString::fromUtf8(names[rng() % 7]), i == count - 4 ? QStringLiteral("QQXYZ") : QStringLiteral("KL"),
        static_cast<double>(rng() % 9), static_cast<double>(rng() % 5) * 0.25, i * 0.5, static_cast<double>(rng() % 7),
        stock, static_cast<double>(rng() % 4) - 1.0, QString::fromUtf8(dates[rng() % 4]));
    ASSERT_TRUE(r.has_value());
  }
  ASSERT_TRUE(tx->Commit().has_value());
}

// An empty store with a goods list's columns and its two header rows.
GridStore GoodsListStore(int cols) {
  GridStore store;
  store.SetCols(cols);
  store.SetFixedRows(2);
  store.SetRows(2);
  return store;
}

}  // namespace

namespace {
class StockListOn : public hemulu::test::EngineTest {};
HEMULU_ON_BOTH_ENGINES(StockListOn);
}  // namespace

// The goods lists read only the rows in view: their rows, the zero filter, the warning
// and zero colours, the stock list's sort by quantity at the fill and the totals must be
// the full list's, for 超级管理员 and for an operator, however the user sorts afterwards.
TEST_P(StockListOn, KeyedRowsEqualTheFullListWithFilterColoursAndTheQuantitySort) {
  AddManyGoods(ctx().db, 3400);
  ASSERT_TRUE(ctx().settings.WriteSetupValue("line", "1"));
  ASSERT_TRUE(ctx().settings.WriteSetupValue("zerocolor", "255"));
  Session operator_session;
  operator_session.SetUser(QStringLiteral("店员"), QString());
  const Session* const sessions[] = {&ctx().session, &operator_session};

  for (const GoodsQuery& query : {AllGoodsQuery(), SearchGoodsQuery(GoodsSearchField::Initials, QStringLiteral("KL"))})
    for (bool show_zero : {false, true})
      for (const Session* session : sessions) {
        SCOPED_TRACE(query.sql.toStdString() + (show_zero ? " zero shown" : " zero hidden") +
                     (session->IsSuperAdministrator() ? " super" : " operator"));
        const ListPlan plan = StockListPlan(*session, query, 2, show_zero);
        GridStore full = GoodsListStore(kStockCols), keyed = GoodsListStore(kStockCols);
        const FillResult eager = FillList(ctx(), full, plan);
        KeyedFill fill = FillKeyedList(ctx(), keyed, plan);
        ASSERT_FALSE(fill.result.error.has_value());
        EXPECT_EQ(fill.result.totals, eager.totals);
        EXPECT_EQ(fill.result.records, eager.records);
        EXPECT_EQ(fill.result.rows, eager.rows);
        EXPECT_EQ(fill.result.sorted_column, kStockQuantityCol);
        ASSERT_GT(fill.rows->Count(), 100);
        ExpectSameList(full, keyed, *fill.rows, "as read, sorted by stock");
        if (!session->IsSuperAdministrator()) {
          for (int c : {kStockBuyAmountCol, kStockSoldAmountCol, kStockStockAmountCol})
            EXPECT_EQ(keyed.Text(keyed.Rows() - 1, c), "0") << c;
        }

        for (int col : {kStockNameCol, kStockDateCol, kStockQuantityCol, kStockBuyPriceCol}) {
          EXPECT_EQ(full.SortByColumn(col, full.ColumnKind(col)), fill.rows->Sort(col, keyed.ColumnKind(col)));
          ExpectSameList(full, keyed, *fill.rows, ("sorted by column " + std::to_string(col)).c_str());
        }
      }

  // The summary view: the same filter and colours, the table's order, its own columns.
  for (bool show_zero : {false, true})
    for (const Session* session : sessions) {
      SCOPED_TRACE(std::string("summary") + (show_zero ? " zero shown" : " zero hidden") +
                   (session->IsSuperAdministrator() ? " super" : " operator"));
      const ListPlan plan = SummaryListPlan(*session, 2, show_zero);
      GridStore full = GoodsListStore(kSummaryCols), keyed = GoodsListStore(kSummaryCols);
      const FillResult eager = FillList(ctx(), full, plan);
      KeyedFill fill = FillKeyedList(ctx(), keyed, plan);
      EXPECT_EQ(fill.result.totals, eager.totals);
      EXPECT_EQ(fill.result.sorted_column, -1);
      ASSERT_GT(fill.rows->Count(), 100);
      ExpectSameList(full, keyed, *fill.rows, "summary as read");
      if (!session->IsSuperAdministrator()) {
        for (int c : {kSummaryBoughtAmountCol, kSummarySoldAmountCol, kSummaryStockAmountCol})
          EXPECT_EQ(keyed.Text(keyed.Rows() - 1, c), "0") << c;
      }
    }
}

// A goods row is found by its ID without reading the list's rows, also far down and
// after a removal; a text that is not an ID as the list shows it finds nothing.
TEST_P(StockListOn, FindRowFindsAGoodsIdOnAKeyedList) {
  AddManyGoods(ctx().db, 3400);
  Grid grid;
  LayOutStockGrid(grid);
  ASSERT_FALSE(FillStockGrid(ctx(), grid, AllGoodsQuery(), 2).error.has_value());
  const int last = grid.Rows() - 2;
  const QString id = grid.CellText(last, kStockIdCol);
  EXPECT_EQ(grid.FindRow(kStockIdCol, id), last);
  EXPECT_EQ(grid.FindRow(kStockIdCol, grid.CellText(2, kStockIdCol)), 2);
  EXPECT_EQ(grid.FindRow(kStockIdCol, QStringLiteral("0") + id), -1);
  EXPECT_EQ(grid.FindRow(kStockIdCol, QStringLiteral("abc")), -1);
  EXPECT_EQ(grid.FindRow(kStockCategoryCol, QStringLiteral("合计：")), grid.Rows() - 1);
  grid.RemoveItem(2);
  EXPECT_EQ(grid.FindRow(kStockIdCol, id), last - 1);
  // Another column is looked for cell by cell.
  EXPECT_EQ(grid.CellText(grid.FindRow(kStockNameCol, QStringLiteral("Zoe")), kStockNameCol), "Zoe");
}
