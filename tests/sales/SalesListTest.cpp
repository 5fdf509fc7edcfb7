// The sales list keeps only keys and reads its rows a page at a time: every row, its
// order after sorts, its colours and the totals must be those of a list holding every
// row, however far down the row is.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <random>

#include "EngineSupport.h"
#include "KeyedListSupport.h"
#include "TestSupport.h"
#include "app/MainMenus.h"
#include "data/TextFormat.h"
#include "lists/Grid.h"
#include "lists/KeyedRows.h"
#include "lists/ListFill.h"
#include "sales/SalesList.h"
#include "sales/SalesPage.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

// More rows than the source keeps pages of, so reading them all evicts pages.
constexpr int kManyRows = 3400;

// Rows with many ties in every column, a tab in a text, dates that are not dates and
// missing numbers, in one transaction.
void AddManySales(Database& db, int count) {
  std::mt19937 rng(7);
  const char* names[] = {"张三", "李四", "王五", "abc", "", "阿\t福", "Zoe", "赵六"};
  const char* dates[] = {"2026-12-08 00:00:00", "2025-01-31 10:20:30", "2024-02-29 00:00:00", "不是日期", ""};
  auto tx = Transaction::Begin(db);
  ASSERT_TRUE(tx.has_value());
  for (int i = 0; i < count; ++i) {
    const QString name = QString::fromUtf8(names[rng() % 8]);
    const QVariant date = rng() % 9 == 0 ? QVariant() : QVariant(QString::fromUtf8(dates[rng() % 5]));
    const QVariant price = rng() % 11 == 0 ? QVariant() : QVariant(static_cast<double>(rng() % 7) * 0.5);
    const double debt = rng() % 4 == 0 ? static_cast<double>(rng() % 3) - 1.0 : (rng() % 5 == 0 ? 0.00000005 : 0.0);
    auto r = db.Execute(
        "insert into sell (名称,首拼,客户编号,销售单价,销售数量,销售金额,销售日期,欠款额,净利润,客户名称,\"UID\") "
        "values (?,?,?,?,?,?,?,?,?,?,?)",
        name, i == count - 5 ? QStringLiteral("QQXYZ") : QStringLiteral("ZS"), QString::number(rng() % 13), price,
        static_cast<double>(rng() % 5), i * 0.25, date, debt, static_cast<double>(rng() % 9) - 3.0,
        QStringLiteral("客户%1").arg(rng() % 6), static_cast<qint64>(rng() % 4));
    ASSERT_TRUE(r.has_value());
  }
  ASSERT_TRUE(tx->Commit().has_value());
}

void LayOut(GridStore& store) {
  store.SetCols(kSaleCols);
  store.SetFixedRows(2);
  store.SetRows(2);
}

}  // namespace

namespace {
class SalesListOn : public EngineTest {};
HEMULU_ON_BOTH_ENGINES(SalesListOn);
}  // namespace

TEST_P(SalesListOn, KeyedRowsEqualTheFullListThroughSortsTiesAndRemovals) {
  AddManySales(ctx().db, kManyRows);
  ASSERT_TRUE(ctx().settings.WriteSetupValue("line", "1"));
  ASSERT_TRUE(ctx().settings.WriteSetupValue("rmbcolor", "255"));

  for (const SalesQuery& query :
       {AllSalesQuery(), SearchSalesQuery(SalesSearchField::Customer, "客户1"),
        SearchSalesQuery(SalesSearchField::Initials, "Z"), SalesBetweenQuery(QDate(2024, 1, 1), QDate(2026, 12, 31))}) {
    SCOPED_TRACE(query.sql.toStdString());
    const ListPlan plan = SalesListPlan(query);
    GridStore full, keyed;
    LayOut(full);
    LayOut(keyed);
    const FillResult eager = FillList(ctx(), full, plan);
    KeyedFill fill = FillKeyedList(ctx(), keyed, plan);
    ASSERT_FALSE(fill.result.error.has_value());
    EXPECT_EQ(fill.result.totals, eager.totals);
    ASSERT_GT(fill.rows->Count(), 100);
    ExpectSameList(full, keyed, *fill.rows, "as read");

    // Sorts follow one another on the order shown, ties keeping it: texts in pinyin
    // order, numbers and dates by value with empty and unreadable cells apart.
    for (int col : {kSaleNameCol, kSalePriceCol, kSaleDateCol, kSaleDebtCol, kSaleCustomerFirstCol, kSaleIdCol}) {
      EXPECT_EQ(full.SortByColumn(col, full.ColumnKind(col)), fill.rows->Sort(col, keyed.ColumnKind(col)));
      ExpectSameList(full, keyed, *fill.rows, ("sorted by column " + std::to_string(col)).c_str());
    }
    full.SortByColumn(kSaleDateCol, CellKind::Date);
    fill.rows->Sort(kSaleDateCol, CellKind::Date);
    for (int i : {0, fill.rows->Count() / 2, fill.rows->Count() - 1}) {
      full.RemoveRow(full.FixedRows() + i);
      fill.rows->Remove(i);
    }
    ExpectSameList(full, keyed, *fill.rows, "after removals");
  }
}

TEST_P(SalesListOn, TotalsAreTheSumsAndAFailedQueryShowsNothing) {
  AddManySales(ctx().db, 500);
  GridStore keyed;
  LayOut(keyed);
  KeyedFill fill = FillKeyedList(ctx(), keyed, SalesListPlan(AllSalesQuery()));
  auto st = ctx().db.Prepare(
      "select count(*), coalesce(sum(销售数量), 0), coalesce(sum(销售金额), 0), "
      "coalesce(sum(欠款额), 0), coalesce(sum(净利润), 0) from sell");
  ASSERT_TRUE(st.has_value());
  ASSERT_TRUE(st->Step().value_or(false));
  EXPECT_EQ(fill.rows->Count(), st->Int(0));
  const int totals = keyed.Rows() - 1;
  EXPECT_EQ(ParseNumber(keyed.Text(totals, kSaleQuantityCol)), st->Double(1));
  EXPECT_EQ(ParseNumber(keyed.Text(totals, kSaleAmountCol)), st->Double(2));
  EXPECT_NEAR(*ParseNumber(keyed.Text(totals, kSaleDebtCol)), st->Double(3), 1e-9);
  EXPECT_EQ(ParseNumber(keyed.Text(totals, kSaleProfitCol)), st->Double(4));
  EXPECT_EQ(keyed.Text(totals, kSaleNameCol), "合计：");

  SalesQuery broken = AllSalesQuery();
  broken.sql = "select * from no_such_table";
  KeyedFill failed = FillKeyedList(ctx(), keyed, SalesListPlan(broken));
  EXPECT_TRUE(failed.result.error.has_value());
  EXPECT_EQ(failed.rows->Count(), 0);
  EXPECT_EQ(keyed.Text(keyed.Rows() - 1, kSaleAmountCol), "0");
}

TEST(SalesPage, ManySalesLastRowSearchFarDownDeleteAndExport) {
  TestApp app;
  AddManySales(app.ctx().db, kManyRows);
  QWidget owner;
  const auto menus = BuildMainMenus(&owner, true);
  SalesPage page(app.ctx(), menus.value(kSalesMenu), &owner);
  page.resize(1200, 600);
  Grid& g = *page.SalesGrid();
  const int last = g.Rows() - 2;
  EXPECT_EQ(g.Rows() - g.FixedRows() - 1, kManyRows);
  EXPECT_EQ(g.CellText(last, kSaleIdCol), QString::number(kManyRows));
  g.SelectRow(last);
  EXPECT_EQ(g.SelectionFirstRow(), last);
  const QString totals_amount = g.CellText(g.Rows() - 1, kSaleAmountCol);

  // One match near the end of the table.
  auto* name_box = page.findChild<QLineEdit*>("销售商品名称框");
  QTest::keyClicks(name_box, "XY");
  ASSERT_EQ(g.Rows() - g.FixedRows() - 1, 1);
  EXPECT_EQ(g.CellText(g.FixedRows(), kSaleIdCol), QString::number(kManyRows - 4));
  EXPECT_EQ(g.CellText(g.Rows() - 1, kSaleAmountCol), NumberText((kManyRows - 5) * 0.25));
  name_box->clear();
  ASSERT_EQ(g.Rows() - g.FixedRows() - 1, kManyRows);

  // A row far down goes without a refill: the rows after it move up, the totals stay.
  const int row = g.FixedRows() + 3000;
  const QString gone_amount = g.CellText(row, kSaleAmountCol), next = g.CellText(row + 1, kSaleIdCol);
  page.PrepareMenuFor(row, 3);
  app.prompter.AnswerConfirm(true);
  FindMenuItem(menus.value(kSalesMenu), "删除数据")->trigger();
  EXPECT_EQ(CountRows(app.ctx().db, "sell"), kManyRows - 1);
  EXPECT_EQ(g.Rows() - g.FixedRows() - 1, kManyRows - 1);
  EXPECT_EQ(g.CellText(row, kSaleIdCol), next);
  EXPECT_EQ(g.CellText(g.Rows() - 1, kSaleAmountCol), totals_amount);

  // The export holds every row shown, the deleted one (its amount is its own) not among them.
  const auto path = page.Export();
  ASSERT_TRUE(path.has_value());
  QProcess unzip;
  unzip.start("unzip", {"-p", *path, "xl/worksheets/sheet1.xml"});
  ASSERT_TRUE(unzip.waitForFinished(30000));
  const QByteArray sheet = unzip.readAllStandardOutput();
  EXPECT_EQ(sheet.count("<row "), kManyRows - 1 + 2 + 1);  // header rows, rows, totals
  EXPECT_TRUE(sheet.contains("<v>" + g.CellText(row, kSaleAmountCol).toUtf8() + "</v>"));
  EXPECT_FALSE(sheet.contains("<v>" + gone_amount.toUtf8() + "</v>"));
}

TEST(SalesPage, AnOperatorsKeyedRowsAndTotalsCarryNoProfitAndSortOnItKeepsTheOrder) {
  TestApp app("营业员");
  AddManySales(app.ctx().db, 300);
  QWidget owner;
  SalesPage page(app.ctx(), nullptr, &owner);
  Grid& g = *page.SalesGrid();
  ASSERT_EQ(g.Rows() - g.FixedRows() - 1, 300);
  for (int r = g.FixedRows(); r < g.Rows() - 1; ++r) ASSERT_TRUE(g.CellText(r, kSaleProfitCol).isEmpty()) << r;
  EXPECT_EQ(NumberValue(g.CellText(g.Rows() - 1, kSaleProfitCol)), 0);
  EXPECT_NE(g.CellText(g.Rows() - 1, kSaleAmountCol), "0");
  g.SortColumn(kSaleProfitCol);
  EXPECT_EQ(g.CellText(g.FixedRows(), kSaleIdCol), "1");
  EXPECT_EQ(g.CellText(g.Rows() - 2, kSaleIdCol), "300");
}
