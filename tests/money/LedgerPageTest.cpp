#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPdfWriter>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "GridClicks.h"
#include "MoneyTestSupport.h"
#include "app/MainMenus.h"
#include "lists/Grid.h"
#include "lists/GridPrinter.h"
#include "money/LedgerPage.h"
#include "money/MoneyLists.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

// A ledger page on a test context with the main window's real menus and role rule.
struct LedgerFixture {
  explicit LedgerFixture(TestApp& app) : app(app) {
    menus = BuildMainMenus(&owner, app.ctx().session.IsSuperAdministrator());
  }
  LedgerPage& Page() {
    if (!page) {
      page = std::make_unique<LedgerPage>(app.ctx(), menus.value(kLedgerMenu), &owner);
      page->resize(1200, 500);
    }
    return *page;
  }
  Grid& G() { return *Page().LedgerGrid(); }
  QAction* Item(const char* caption) { return FindMenuItem(menus.value(kLedgerMenu), QString::fromUtf8(caption)); }
  template <class W>
  W* Find(const char* name) {
    W* w = Page().findChild<W*>(QString::fromUtf8(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  int RowOf(qint64 id) {
    for (int r = G().FixedRows(); r < G().Rows(); ++r)
      if (G().CellText(r, kLedgerIdCol) == QString::number(id)) return r;
    return -1;
  }
  std::vector<QString> Column(int col) {
    std::vector<QString> out;
    for (int r = G().FixedRows(); r < G().Rows() - 1; ++r) out.push_back(G().CellText(r, col));
    return out;
  }
  QString Totals(int col) { return G().CellText(G().Rows() - 1, col); }

  TestApp& app;
  QWidget owner;
  QHash<QString, QMenu*> menus;
  std::unique_ptr<LedgerPage> page;
};

}  // namespace

TEST(LedgerPage, EmptyTableShowsZeroSumsInTheTotalsRow) {
  TestApp app;
  LedgerFixture f(app);
  EXPECT_EQ(f.G().Rows(), 2);
  EXPECT_EQ(f.G().CellText(0, 2), "类型");
  EXPECT_EQ(f.G().CellText(0, 8), "项目日期");
  EXPECT_EQ(f.Totals(4), "总收入：0元");
  EXPECT_EQ(f.Totals(7), "总支出：0元");
  EXPECT_EQ(f.Totals(9), "未知数：0元");
  EXPECT_EQ(f.G().FrozenBottomRows(), 1);
  // Both forms propose their numbers from the clock.
  EXPECT_EQ(f.Find<QLineEdit>("收入编号框")->text(), "202612810300");
  EXPECT_EQ(f.Find<QLineEdit>("支出编号框")->text(), "202612810030");
}

TEST(LedgerPage, SumsColoursAndTheAmountOrder) {
  TestApp app;
  Database& db = app.ctx().db;
  const qint64 income = InsertLedgerRow(db, "收入", 100, "2026-12-01 00:00:00", "房租", "", 2.0);
  const qint64 expense = InsertLedgerRow(db, "支出", 30.5, "2026-12-02 00:00:00", "电费");
  const qint64 blank = InsertLedgerRow(db, "收入 ", 5, "2026-12-03 00:00:00");
  const qint64 other = InsertLedgerRow(db, "借款", 0.1, "2026-12-04 00:00:00");
  InsertLedgerRow(db, "借款", 0.2, "2026-12-05 00:00:00");
  LedgerFixture f(app);
  EXPECT_EQ(f.Totals(4), "总收入：100元");
  EXPECT_EQ(f.Totals(7), "总支出：30.5元");
  EXPECT_EQ(f.Totals(9), "未知数：5.3元");
  // beepview is on by default: smallest amount first, the totals row last.
  EXPECT_EQ(f.Column(kLedgerAmountCol), (std::vector<QString>{"0.1", "0.2", "5", "30.5", "100"}));
  EXPECT_EQ(f.G().SortIndicatorColumn(), kLedgerAmountCol);

  const QColor out = ColorFromWin(255);
  const int e = f.RowOf(expense);
  for (int c = 5; c <= 7; ++c) EXPECT_EQ(f.G().CellForeColor(e, c), out) << c;
  EXPECT_FALSE(f.G().CellForeColor(e, 4).isValid());
  EXPECT_FALSE(f.G().CellForeColor(f.RowOf(blank), 7).isValid());
  EXPECT_FALSE(f.G().CellForeColor(f.RowOf(income), 7).isValid());
  // A missing quantity is an empty cell; dates read as the lists write them.
  EXPECT_EQ(f.G().CellText(e, 5), "");
  EXPECT_EQ(f.G().CellText(f.RowOf(income), 5), "2");
  EXPECT_EQ(f.G().CellText(f.RowOf(other), 8), "2026年12月4日");
  EXPECT_EQ(f.G().DisplayedBackColor(f.G().Rows() - 1, 1), ColorFromWin(33023));

  ASSERT_TRUE(app.ctx().settings.WriteSetupValue("beepview", "true"));
  f.Page().FillLedgerList();
  EXPECT_EQ(f.Column(kLedgerAmountCol), (std::vector<QString>{"100", "30.5", "5", "0.1", "0.2"}));
}

TEST(LedgerPage, EachSearchBoxNarrowsByItsOwnColumn) {
  TestApp app;
  Database& db = app.ctx().db;
  const qint64 income = InsertLedgerRow(db, "收入", 100, "2026-12-08 00:00:00", "房租", "现金");
  InsertLedgerRow(db, "支出", 30, "2026-11-02 00:00:00", "电费", "转账");
  LedgerFixture f(app);
  auto* type = f.Find<QComboBox>("其他类型查询框");
  EXPECT_EQ(type->count(), 2);
  type->lineEdit()->setFocus();
  TypeText(type->lineEdit(), "收");
  EXPECT_EQ(f.Column(kLedgerIdCol), std::vector<QString>{QString::number(income)});
  EXPECT_EQ(f.Totals(7), "总支出：0元");

  f.Find<QPushButton>("清空条件按钮2")->click();
  EXPECT_EQ(type->currentText(), "");
  EXPECT_EQ(f.Column(kLedgerIdCol).size(), 2u);

  TypeText(f.Find<QLineEdit>("其他编号查询框"), "9");
  EXPECT_EQ(f.Column(kLedgerIdCol).size(), 0u);
  f.Find<QPushButton>("其他全部记录按钮")->click();
  EXPECT_EQ(f.Column(kLedgerIdCol).size(), 2u);
  f.Find<QPushButton>("其他显示当天按钮")->click();  // the clock says 8 December 2026
  EXPECT_EQ(f.Column(kLedgerIdCol), std::vector<QString>{QString::number(income)});
  f.Find<QDateEdit>("其他日期框1")->setDate(QDate(2026, 11, 1));
  f.Find<QDateEdit>("其他日期框2")->setDate(QDate(2026, 11, 30));
  f.Find<QPushButton>("其他查询按钮")->click();
  EXPECT_EQ(f.Totals(7), "总支出：30元");
  f.Find<QPushButton>("其他显示本月按钮")->click();
  EXPECT_EQ(f.Totals(4), "总收入：100元");
  EXPECT_EQ(f.Totals(7), "总支出：0元");
  // The pick lists hold the stored items and notes.
  EXPECT_EQ(f.Find<QComboBox>("收入项目框")->count(), 2);
  EXPECT_EQ(f.Find<QComboBox>("其他备注查询框")->count(), 2);
}

TEST(LedgerPage, RecordingAnExpenseChecksStoresAndProposesTheNextNumber) {
  TestApp app;
  LedgerFixture f(app);
  auto* item = f.Find<QComboBox>("支出项目框");
  auto* number = f.Find<QLineEdit>("支出编号框");
  auto* quantity = f.Find<QLineEdit>("支出数量框");
  auto* price = f.Find<QLineEdit>("支出单价框");
  auto* amount = f.Find<QLineEdit>("支出金额框");
  auto* note = f.Find<QComboBox>("支出备注框");

  // The checks in order, each with its box focused.
  for (const char* text : {"支出项目必须填写", "支出项目必须填写", "支出编号必须填写", "支出金额必须填写"})
    app.prompter.ExpectMessage(QString::fromUtf8(text));
  number->clear();
  f.Page().RecordExpense();
  f.Page().RecordExpense();
  item->setEditText("运费");
  f.Page().RecordExpense();
  number->setText("A-1");
  f.Page().RecordExpense();
  ASSERT_EQ(app.prompter.Prompts().size(), 4u);
  EXPECT_EQ(app.prompter.Prompts()[0].text, "支出项目必须填写");
  EXPECT_EQ(app.prompter.Prompts()[0].caption, "请填写完整信息");
  EXPECT_EQ(app.prompter.Prompts()[2].text, "支出编号必须填写");
  EXPECT_EQ(app.prompter.Prompts()[3].text, "支出金额必须填写");
  EXPECT_EQ(amount->window()->focusWidget(), amount);

  // The amount follows quantity × price until typed over, and again at the next change.
  TypeText(quantity, "3");
  TypeText(price, "2.5");
  EXPECT_EQ(amount->text(), "7.5");
  amount->setText("8");
  TypeText(price, "x");
  EXPECT_EQ(amount->text(), "0");
  price->setText("2.5");
  // A quantity that is not a number fails its code; the form keeps its contents.
  quantity->setText("三");
  amount->setText("8");
  app.prompter.Clear();
  app.prompter.ExpectMessage("错误代码 [096]");
  f.Page().RecordExpense();
  EXPECT_EQ(app.prompter.Messages(), std::vector<QString>{"错误代码 [096]"});
  EXPECT_EQ(CountRows(app.ctx().db, "other"), 0);
  EXPECT_EQ(amount->text(), "8");

  // An empty quantity is stored as none.
  quantity->clear();
  amount->setText("12");
  note->setEditText("月底");
  app.clock.Set(QDateTime(QDate(2012, 11, 4), QTime(9, 5, 30)));
  app.prompter.Clear();
  f.Page().RecordExpense();
  EXPECT_TRUE(app.prompter.Prompts().empty());
  ASSERT_EQ(app.notifier.notices.size(), 1u);
  EXPECT_EQ(app.notifier.notices[0].title, "提示");
  EXPECT_EQ(app.notifier.notices[0].text, "支出记录完成");
  EXPECT_EQ(number->text(), "20121149305");
  EXPECT_EQ(item->currentText(), "");
  EXPECT_EQ(amount->text(), "");
  EXPECT_EQ(note->currentText(), "");
  auto st = app.ctx().db.Prepare("select 编号, 数量, 单价, 金额 from other");
  ASSERT_TRUE(st->Step().value_or(false));
  EXPECT_EQ(st->Text(0), "A-1");
  EXPECT_TRUE(st->IsNull(1));
  EXPECT_EQ(st->Double(2), 2.5);
  EXPECT_EQ(st->Double(3), 12);
  EXPECT_EQ(f.G().CellText(1, 5), "");
  EXPECT_EQ(f.Totals(7), "总支出：12元");
  EXPECT_EQ(item->findText("运费"), 0);

  // The income form at the same moment: minute before second.
  auto* income_item = f.Find<QComboBox>("收入项目框");
  income_item->setEditText("房租");
  f.Find<QLineEdit>("收入金额框")->setText("100");
  QTest::keyClick(f.Find<QLineEdit>("收入金额框"), Qt::Key_Return);
  EXPECT_EQ(f.Find<QLineEdit>("收入编号框")->text(), "20121149530");
  EXPECT_EQ(app.notifier.notices.back().text, "收入记录完成");
  EXPECT_EQ(f.Totals(4), "总收入：100元");
}

TEST(LedgerPage, DeleteAsksAndReloadsTheFullListWhateverTheAnswer) {
  TestApp app;
  Database& db = app.ctx().db;
  const qint64 a = InsertLedgerRow(db, "收入", 1, "2026-12-01 00:00:00", "房租");
  InsertLedgerRow(db, "支出", 2, "2026-12-01 00:00:00", "电费");
  LedgerFixture f(app);
  // No menu on the header, the ID column or the totals row.
  EXPECT_EQ(f.Page().PrepareMenuFor(0, 3), nullptr);
  EXPECT_EQ(f.Page().PrepareMenuFor(f.RowOf(a), 1), nullptr);
  EXPECT_EQ(f.Page().PrepareMenuFor(f.G().Rows() - 1, 4), nullptr);

  f.Page().FillLedgerList(SearchLedgerQuery(LedgerSearchField::Item, "房"));
  ASSERT_NE(f.Page().PrepareMenuFor(f.RowOf(a), 3), nullptr);
  app.prompter.AnswerConfirm(false);
  f.Item("删 除 数 据")->trigger();
  ASSERT_EQ(app.prompter.Prompts().size(), 1u);
  EXPECT_EQ(app.prompter.Prompts()[0].text, "你确定要删除当前选中的资料吗？\n\n        一经删除无法恢复");
  EXPECT_EQ(app.prompter.Prompts()[0].caption, "警告！");
  EXPECT_EQ(f.Column(kLedgerIdCol).size(), 2u);

  ASSERT_NE(f.Page().PrepareMenuFor(f.RowOf(a), 3), nullptr);
  app.prompter.AnswerConfirm(true);
  f.Item("删 除 数 据")->trigger();
  EXPECT_EQ(f.RowOf(a), -1);
  EXPECT_EQ(CountRows(db, "other"), 1);
  EXPECT_EQ(f.Totals(4), "总收入：0元");
}

TEST(LedgerPage, AnOperatorCannotDelete) {
  TestApp app(QStringLiteral("小王"));
  const qint64 a = InsertLedgerRow(app.ctx().db, "收入", 1);
  LedgerFixture f(app);
  EXPECT_FALSE(f.Item("删 除 数 据")->isVisible());
  ASSERT_NE(f.Page().PrepareMenuFor(f.RowOf(a), 3), nullptr);
  app.prompter.AnswerConfirm(true);
  app.prompter.ExpectMessage("对不起，只有超级管理员才能删除记录。");
  f.Page().DeleteSelectedEntry();
  EXPECT_EQ(app.prompter.Messages(), std::vector<QString>{"对不起，只有超级管理员才能删除记录。"});
  EXPECT_EQ(CountRows(app.ctx().db, "other"), 1);
}

TEST(LedgerPage, PrintsAndExportsTheList) {
  TestApp app;
  for (int i = 0; i < 80; ++i) InsertLedgerRow(app.ctx().db, i % 2 ? "收入" : "支出", i);
  LedgerFixture f(app);
  QTemporaryDir dir;
  QPdfWriter pdf(dir.filePath("ledger.pdf"));
  pdf.setPageSize(QPageSize(QPageSize::A4));
  EXPECT_GE(RenderGridPages(f.G(), "其他收支", pdf), 2);
  ASSERT_NE(f.Page().PrepareMenuFor(1, 3), nullptr);
  f.Item("导出Excel")->trigger();
  EXPECT_TRUE(app.prompter.Prompts().empty());
  EXPECT_GT(QFile(app.FilePath("其他收支.xlsx")).size(), 0);
  EXPECT_EQ(app.notifier.notices.back().text, "已导出到 " + app.FilePath("其他收支.xlsx"));
}

TEST(LedgerPage, WidthsFollowTheSetUpSharesThenTheResizeShares) {
  TestApp app;
  LedgerFixture f(app);
  f.Page().resize(1000, 500);
  f.owner.show();
  QCoreApplication::processEvents();
  const int w = f.G().width();
  EXPECT_EQ(f.G().ColumnWidth(0), 20);
  EXPECT_EQ(f.G().ColumnWidth(1), 0);
  EXPECT_EQ(f.G().ColumnWidth(4), static_cast<int>(w * 0.17));
  f.Page().resize(1100, 500);
  QCoreApplication::processEvents();
  EXPECT_EQ(f.G().ColumnWidth(4), static_cast<int>(f.G().width() * 0.11));
  EXPECT_EQ(f.G().ColumnWidth(1), 0);
}

TEST(LedgerPage, WithoutADatabaseEachActionSaysSoOnceAndTheListStaysEmpty) {
  TestApp app;
  app.ctx().db.Close();
  ASSERT_TRUE(QFile::remove(app.FilePath("data.db")));
  LedgerFixture f(app);
  app.prompter.ExpectMessage("打开数据库失败！");
  f.Page();
  EXPECT_EQ(f.G().Rows(), f.G().FixedRows());  // no sums of zero to pass for the truth
  f.Find<QComboBox>("收入项目框")->setEditText("房租");
  f.Find<QLineEdit>("收入金额框")->setText("5");
  app.prompter.ExpectMessage("打开数据库失败！");
  f.Page().RecordIncome();
  EXPECT_EQ(f.Find<QLineEdit>("收入金额框")->text(), "5");
  EXPECT_TRUE(app.notifier.notices.empty());
}

// The number box's clear button appears with the first typed character: the box keeps
// its room for it from the start, so nothing to its right moves while the user searches.
TEST(LedgerPage, TheSearchBarDoesNotShiftWhenTheClearButtonAppears) {
  TestApp app;
  LedgerFixture f(app);
  f.owner.resize(1300, 600);
  f.Page();
  f.owner.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.owner));
  auto* number = f.Find<QLineEdit>("其他编号查询框");
  auto* item = f.Find<QComboBox>("其他项目查询框");
  const auto settle = [&] {
    number->parentWidget()->layout()->activate();
    QApplication::processEvents();
  };
  settle();
  const QRect box = number->geometry();
  const int item_x = item->x();
  for (const char* text : {"1", "", "20261208"}) {
    number->setFocus();
    number->setText(QString::fromUtf8(text));
    settle();
    EXPECT_EQ(number->geometry(), box) << text;
    EXPECT_EQ(item->x(), item_x) << text;
  }
}

// A right-click below the rows opens the menu for export and print; delete waits for
// an entry to be chosen.
TEST(LedgerPage, ARightClickBelowTheRowsOffersExportAndPrint) {
  TestApp app;
  const qint64 a = InsertLedgerRow(app.ctx().db, "收入", 1);
  LedgerFixture f(app);
  f.Page();
  f.owner.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.owner));
  QMenu* menu = f.menus.value(kLedgerMenu);
  ASSERT_NO_FATAL_FAILURE(RightClickBelowRows(f.G()));
  EXPECT_TRUE(menu->isVisible());
  menu->hide();
  EXPECT_FALSE(f.Item("删 除 数 据")->isEnabled());
  EXPECT_TRUE(f.Item("导出Excel")->isEnabled());
  f.Item("删 除 数 据")->trigger();  // nothing chosen: nothing asked
  EXPECT_TRUE(app.prompter.Prompts().empty());
  ASSERT_EQ(f.Page().PrepareMenuFor(f.RowOf(a), 3), menu);
  EXPECT_TRUE(f.Item("删 除 数 据")->isEnabled());
}
