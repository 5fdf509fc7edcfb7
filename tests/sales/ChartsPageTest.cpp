#include <gtest/gtest.h>

#include <QApplication>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

#include "TestSupport.h"
#include "app/MainWindow.h"
#include "app/NavigationBar.h"
#include "app/Program.h"
#include "sales/BarChartView.h"
#include "sales/ChartsPage.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

void InsertSale(Database& db, const QString& date, double amount, double profit) {
  auto done =
      db.Execute("INSERT INTO sell (名称, 销售数量, 销售金额, 销售日期, 净利润, UID) VALUES ('可乐', 1, ?, ?, ?, 1)",
                 amount, date, profit);
  ASSERT_TRUE(done) << done.error().message.toStdString();
}

// The table's header and figures, "label=figure" per column.
QStringList TableCells(const QTableWidget* table) {
  QStringList cells;
  for (int c = 0; c < table->columnCount(); ++c)
    cells << table->horizontalHeaderItem(c)->text() + "=" + (table->item(0, c) ? table->item(0, c)->text() : "");
  return cells;
}

QString Cell(const QTableWidget* table, const QString& label) {
  for (int c = 0; c < table->columnCount(); ++c)
    if (table->horizontalHeaderItem(c)->text() == label) return table->item(0, c)->text();
  return QStringLiteral("<none>");
}

QStringList Items(const QComboBox* list) {
  QStringList items;
  for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
  return items;
}

void Choose(QComboBox* list, const QString& text) {
  const int index = list->findText(text);
  ASSERT_GE(index, 0) << text.toStdString();
  list->setCurrentIndex(index);
}

QPushButton* Button(QWidget* page, const char* name) {
  auto* button = page->findChild<QPushButton*>(QString::fromUtf8(name));
  EXPECT_NE(button, nullptr) << name;
  return button;
}

TEST(ChartsPage, RecomputedOnEveryShowingForTheCurrentYearAndMonth) {
  TestApp app;  // today is 2026-12-08
  Database& db = app.ctx().db;
  InsertSale(db, "2023-05-01 10:00:00", 10, 1);
  InsertSale(db, "2026-12-08 09:00:00", 120.5, 20);
  MainWindow window(app.ctx(), ProgramParts(app.ctx()));
  window.Navigation()->Item(kChartsItem)->click();
  auto* page = qobject_cast<ChartsPage*>(window.Page(kChartsPage));
  ASSERT_NE(page, nullptr);

  auto* year1 = page->findChild<QComboBox*>("组合框1");
  auto* year2 = page->findChild<QComboBox*>("组合框2");
  auto* month = page->findChild<QComboBox*>("组合框3");
  ASSERT_TRUE(year1 && year2 && month);
  EXPECT_EQ(Items(year1), (QStringList{"2023", "2024", "2025", "2026"}));
  EXPECT_EQ(year1->currentText(), "2026");
  EXPECT_EQ(year2->currentText(), "2026");
  EXPECT_EQ(month->count(), 12);
  EXPECT_EQ(month->currentText(), "12");
  EXPECT_EQ(page->MonthlyChart()->Data().title, "月销售金额统计报表");
  EXPECT_EQ(Cell(page->MonthlyTable(), "12月"), "120.5");
  EXPECT_EQ(Cell(page->DailyTable(), "8"), "120.5");
  EXPECT_EQ(page->DailyTable()->columnCount(), 32);  // 31 days and the total

  // The user looks at another year's profit; a sale comes in; the page is shown again.
  Choose(year1, "2023");
  Button(page, "按钮11")->click();
  EXPECT_EQ(page->MonthlyChart()->Data().title, "月销售利润统计报表");
  EXPECT_EQ(Cell(page->MonthlyTable(), "5月"), "1");
  InsertSale(db, "2026-12-08 15:00:00", 30, 5);
  window.Navigation()->Item(kStockItem)->click();
  window.Navigation()->Item(kChartsItem)->click();
  EXPECT_EQ(window.Page(kChartsPage), page);
  EXPECT_EQ(year1->currentText(), "2026");
  EXPECT_EQ(page->MonthlyChart()->Data().title, "月销售金额统计报表");
  EXPECT_EQ(Cell(page->MonthlyTable(), "12月"), "150.5");
  EXPECT_EQ(Cell(page->MonthlyTable(), "合计"), "150.5");
  EXPECT_EQ(Cell(page->DailyTable(), "8"), "150.5");

  // A new year on the clock reaches the year list at the next showing.
  app.clock.Set(QDateTime(QDate(2027, 2, 3), QTime(8, 0)));
  window.Navigation()->Item(kStockItem)->click();
  window.Navigation()->Item(kChartsItem)->click();
  EXPECT_EQ(Items(year2).back(), "2027");
  EXPECT_EQ(month->currentText(), "2");
  EXPECT_EQ(page->DailyTable()->columnCount(), 29);
  EXPECT_TRUE(app.prompter.Prompts().empty());
}

TEST(ChartsPage, ButtonsShowTheChosenReportsAndEmptyListsTakeTheFocus) {
  TestApp app;
  Database& db = app.ctx().db;
  InsertSale(db, "2024-02-10 10:00:00", 500, -60);
  InsertSale(db, "2024-02-29 10:00:00", 100, 25);
  ChartsPage page(app.ctx());
  page.Refill();
  Choose(page.findChild<QComboBox*>("组合框2"), "2024");
  Choose(page.findChild<QComboBox*>("组合框3"), "2");
  Button(&page, "按钮8")->click();
  const BarChartData& daily = page.DailyChart()->Data();
  EXPECT_EQ(daily.title, "日销净利润统计报表");
  EXPECT_EQ(daily.category_caption, "日");
  EXPECT_EQ(daily.values.size(), 29u);
  EXPECT_EQ(TableCells(page.DailyTable()).mid(9, 1), QStringList{"10=-60"});
  EXPECT_EQ(Cell(page.DailyTable(), "29"), "25");
  EXPECT_EQ(Cell(page.DailyTable(), "合计"), "-35");
  Button(&page, "按钮9")->click();
  EXPECT_EQ(page.DailyChart()->Data().title, "日销售金额统计报表");
  EXPECT_EQ(Cell(page.DailyTable(), "10"), "500");

  Choose(page.findChild<QComboBox*>("组合框1"), "2024");
  Button(&page, "按钮10")->click();
  EXPECT_EQ(Cell(page.MonthlyTable(), "2月"), "600");
  EXPECT_EQ(page.MonthlyChart()->Data().scale_maximum, 700);

  // An empty list takes the focus; the charts stay as they are and nothing is said. The
  // year is checked before the month.
  page.show();
  for (const auto& [list_name, button_name] :
       {std::pair{"组合框3", "按钮9"}, std::pair{"组合框2", "按钮8"}, std::pair{"组合框1", "按钮11"}}) {
    auto* list = page.findChild<QComboBox*>(QString::fromUtf8(list_name));
    list->clear();
    Button(&page, button_name)->setFocus();
    Button(&page, button_name)->click();
    EXPECT_EQ(page.focusWidget(), list) << list_name;
  }
  EXPECT_EQ(page.MonthlyChart()->Data().title, "月销售金额统计报表");
  EXPECT_EQ(page.DailyChart()->Data().title, "日销售金额统计报表");
  EXPECT_TRUE(app.prompter.Prompts().empty());
}

TEST(ChartsPage, AnOperatorIsRefusedTheProfitReports) {
  TestApp app(QStringLiteral("营业员"));
  InsertSale(app.ctx().db, "2024-02-10 10:00:00", 500, -60);
  ChartsPage page(app.ctx());
  page.Refill();
  Choose(page.findChild<QComboBox*>("组合框2"), "2024");
  Choose(page.findChild<QComboBox*>("组合框3"), "2");
  Button(&page, "按钮9")->click();
  EXPECT_EQ(Cell(page.DailyTable(), "10"), "500");
  app.prompter.ExpectMessage("对不起，只有超级管理员才能查看利润统计。");
  Button(&page, "按钮8")->click();
  EXPECT_EQ(page.DailyChart()->Data().title, "日销售金额统计报表");  // the amounts stay shown
  EXPECT_EQ(app.prompter.Prompts().back().icon, MessageKind::Stop);
}

TEST(ChartsPage, ChartsShowEveryBarWholeWithItsValue) {
  TestApp app;
  Database& db = app.ctx().db;
  InsertSale(db, "2026-12-03 10:00:00", 300, -80);
  InsertSale(db, "2026-12-03 11:00:00", 449.9, 40);
  InsertSale(db, "2026-12-04 11:00:00", 20.126, 2);
  ChartsPage page(app.ctx());
  page.resize(1200, 800);
  page.show();
  page.Refill();
  BarChartView* daily = page.DailyChart();
  // The day of 749.9 rises above the stated 500: the axis grows, the stated figure stays.
  EXPECT_EQ(daily->Data().scale_maximum, 500);
  EXPECT_GE(daily->AxisMaximum(), 749.9);
  EXPECT_EQ(daily->AxisMinimum(), 0);
  QStringList texts = daily->ValueTexts();
  ASSERT_EQ(texts.size(), 31);
  EXPECT_EQ(texts[2], "749.9");
  EXPECT_EQ(texts[3], "20.13");                       // two decimals on the bar,
  EXPECT_EQ(daily->ToolTipText(3), "4日：20.126元");  // the exact figure in the tooltip
  EXPECT_EQ(texts.count(QString()), 29);              // no text on empty days
  EXPECT_EQ(qobject_cast<QBarSeries*>(daily->Chart()->series().front())->barSets().front()->count(), 31);
  EXPECT_EQ(qobject_cast<QBarSeries*>(daily->Chart()->series().front())->barSets().front()->color(),
            QColor(216, 216, 0));

  // Every caption and figure of the tables shows whole, in a wide window and a narrow one.
  for (int width : {1200, 700}) {
    page.resize(width, 800);
    QApplication::processEvents();
    for (QTableWidget* table : {page.MonthlyTable(), page.DailyTable()}) {
      for (int c = 0; c < table->columnCount(); ++c) {
        const QTableWidgetItem* item = table->item(0, c);
        const int text = std::max(
            QFontMetrics(item->font()).horizontalAdvance(item->text()),
            table->horizontalHeader()->fontMetrics().horizontalAdvance(table->horizontalHeaderItem(c)->text()));
        EXPECT_GE(table->horizontalHeader()->sectionSize(c), text) << width << " " << c;
      }
    }
  }

  Button(&page, "按钮8")->click();  // profit: a bar below the axis
  EXPECT_LT(daily->AxisMinimum(), -40);
  EXPECT_EQ(daily->ValueTexts()[2], "-40");
  EXPECT_EQ(qobject_cast<QBarSeries*>(page.MonthlyChart()->Chart()->series().front())->barSets().front()->color(),
            QColor(255, 0, 0));
  EXPECT_EQ(page.MonthlyChart()->ToolTipText(11), "12月：770.026元");
}

TEST(ChartsPage, ExportWritesTheShownFiguresAndSaysWhere) {
  TestApp app;
  InsertSale(app.ctx().db, "2026-12-03 10:00:00", 300, 30);
  ChartsPage page(app.ctx());
  page.Refill();
  Button(&page, "图表导出按钮")->click();
  const QString path = app.FilePath(QStringLiteral("销售图表.xlsx"));
  EXPECT_TRUE(QFile::exists(path));
  ASSERT_EQ(app.notifier.notices.size(), 1u);
  EXPECT_EQ(app.notifier.notices[0].title, "提示");
  EXPECT_EQ(app.notifier.notices[0].text, "已导出到 " + path);
  EXPECT_TRUE(app.prompter.Prompts().empty());
}

}  // namespace

namespace {

TEST(ChartsPage, AMissingDatabaseIsSaidOncePerShowingAndTheChartsStay) {
  TestApp app;
  InsertSale(app.ctx().db, "2026-12-03 10:00:00", 300, 30);
  ChartsPage page(app.ctx());
  page.Refill();
  app.ctx().db.Close();
  ASSERT_TRUE(QFile::rename(app.FilePath("data.db"), app.FilePath("data.db.away")));
  app.prompter.ExpectMessage(QStringLiteral("打开数据库失败！"));
  page.Refill();
  EXPECT_EQ(app.prompter.Messages(), std::vector<QString>{QStringLiteral("打开数据库失败！")});
  EXPECT_EQ(Cell(page.DailyTable(), "3"), "300");  // the last figures stay on show
  app.prompter.ExpectMessage(QStringLiteral("打开数据库失败！"));
  Button(&page, "按钮9")->click();
  EXPECT_EQ(app.prompter.Messages().size(), 2u);
}

}  // namespace

// At the smallest main window the page is laid out for, both charts and both figure
// tables are in sight at once: nothing scrolls, the daily table is not below the fold.
TEST(ChartsPage, FitsTheSmallestMainWindowWithoutScrolling) {
  TestApp app;
  MainWindow window(app.ctx(), ProgramParts(app.ctx()));
  window.resize(1240, 690);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  window.Navigation()->Item(kChartsItem)->click();
  QApplication::processEvents();
  QWidget* page = window.Page(kChartsPage);
  ASSERT_NE(page, nullptr);
  const QRect shown(page->mapToGlobal(QPoint(0, 0)), page->size());
  for (const char* name : {"月销售统计表格", "日销售统计表格", "月销售统计柱状图控件", "日销售统计柱状图控件"}) {
    auto* w = page->findChild<QWidget*>(QString::fromUtf8(name));
    ASSERT_NE(w, nullptr) << name;
    const QRect r(w->mapToGlobal(QPoint(0, 0)), w->size());
    EXPECT_TRUE(shown.contains(r)) << name;
    EXPECT_GE(r.height(), 40) << name;
  }
  auto* scroll = page->findChild<QScrollArea*>();
  ASSERT_NE(scroll, nullptr);
  EXPECT_EQ(scroll->verticalScrollBar()->maximum(), 0);
}
