#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

#include "GridClicks.h"
#include "MoneyTestSupport.h"
#include "app/MainMenus.h"
#include "lists/Grid.h"
#include "money/BankMovementWindow.h"
#include "money/BankPage.h"
#include "money/MoneyLists.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

struct BankFixture {
  explicit BankFixture(TestApp& app) : app(app) {
    menus = BuildMainMenus(&owner, app.ctx().session.IsSuperAdministrator());
  }
  BankPage& Page() {
    if (!page) {
      page = std::make_unique<BankPage>(app.ctx(), menus.value(kBankMenu), &owner);
      page->resize(1000, 500);
    }
    return *page;
  }
  Grid& G() { return *Page().BankGrid(); }
  QAction* Item(const char* caption) { return FindMenuItem(menus.value(kBankMenu), QString::fromUtf8(caption)); }
  int RowOf(qint64 id) {
    for (int r = G().FixedRows(); r < G().Rows(); ++r)
      if (G().CellText(r, kBankIdCol) == QString::number(id)) return r;
    return -1;
  }
  // Data rows, without the empty last row.
  int DataRows() { return G().Rows() - G().FixedRows() - 1; }
  double Stored(qint64 id) { return StoredMovement(app.ctx(), id)->amount; }

  TestApp& app;
  QWidget owner;
  QHash<QString, QMenu*> menus;
  std::unique_ptr<BankPage> page;
};

template <class W>
W* In(QWidget* window, const char* name) {
  W* w = window->findChild<W*>(QString::fromUtf8(name));
  EXPECT_NE(w, nullptr) << name;
  return w;
}

}  // namespace

TEST(BankPage, AWithdrawalIsNegativeColouredAndLowersItsBalance) {
  TestApp app;
  Database& db = app.ctx().db;
  InsertBankRow(db, "工商银行", "甲", "存款", 500);
  InsertBankRow(db, "工商银行", "乙", "存款", 70);
  BankFixture f(app);
  EXPECT_EQ(f.Page().ViewFlag(), "细节");
  EXPECT_EQ(f.G().Cols(), 8);

  // The new-movement window from the menu: 取款 of 100.
  ASSERT_NE(f.Page().PrepareMenuFor(1, 2), nullptr);
  f.Item("新建存取")->trigger();
  QPointer<BankMovementWindow> w = f.Page().NewWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_FALSE(w->isModal());
  EXPECT_EQ(In<QComboBox>(w, "类型组合框")->currentText(), "存款");
  EXPECT_EQ(In<QComboBox>(w, "名称组合框")->count(), 1);
  In<QComboBox>(w, "类型组合框")->setCurrentIndex(1);
  In<QComboBox>(w, "名称组合框")->setEditText("工商银行");
  In<QComboBox>(w, "账户组合框")->setEditText("甲");
  TypeText(In<QLineEdit>(w, "金额框"), "100");
  w->Save();
  EXPECT_TRUE(app.prompter.Prompts().empty());
  ASSERT_EQ(app.notifier.notices.size(), 1u);
  EXPECT_EQ(app.notifier.notices[0].text, "存取存款完成");
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(w, nullptr);  // closed and gone

  const qint64 id = db.LastInsertId();
  EXPECT_EQ(f.Stored(id), -100);
  const int row = f.RowOf(id);
  ASSERT_GE(row, 1);
  EXPECT_EQ(f.G().CellText(row, kBankAmountCol), "-100");
  EXPECT_EQ(f.G().CellForeColor(row, 4), ColorFromWin(255));
  EXPECT_EQ(f.G().CellForeColor(row, 5), ColorFromWin(255));
  EXPECT_FALSE(f.G().CellForeColor(row, 3).isValid());
  // The detail view has no totals: its last row is empty and not frozen.
  EXPECT_EQ(f.G().FrozenBottomRows(), 0);
  EXPECT_EQ(f.G().CellText(f.G().Rows() - 1, kBankAmountCol), "");

  // Two accounts of one bank give two rows; 甲 is down by 100.
  f.Item("存取汇总")->trigger();
  EXPECT_EQ(f.Page().ViewFlag(), "汇总");
  EXPECT_EQ(f.G().Cols(), 4);
  ASSERT_EQ(f.DataRows(), 2);
  // beepview sorts by the balance.
  EXPECT_EQ(f.G().CellText(1, 2), "乙");
  EXPECT_EQ(f.G().CellText(1, 3), "70");
  EXPECT_EQ(f.G().CellText(2, 1), "工商银行");
  EXPECT_EQ(f.G().CellText(2, 2), "甲");
  EXPECT_EQ(f.G().CellText(2, 3), "400");
}

TEST(BankPage, MenuRulesPerView) {
  TestApp app;
  InsertBankRow(app.ctx().db, "工商银行", "甲", "存款", 1, "2026-12-01 00:00:00", "乙");
  const qint64 id = InsertBankRow(app.ctx().db, "工商银行", "甲", "存款", 5, "2026-12-01 00:00:00", "甲");
  BankFixture f(app);
  // beepview sorts the movements by note; the empty row stays last.
  EXPECT_EQ(f.G().SortIndicatorColumn(), kBankNoteCol);
  EXPECT_EQ(f.G().CellText(1, kBankNoteCol), "甲");
  EXPECT_EQ(f.G().CellText(2, kBankNoteCol), "乙");
  EXPECT_EQ(f.G().CellText(3, kBankIdCol), "");
  EXPECT_EQ(f.Page().PrepareMenuFor(0, 2), nullptr);
  ASSERT_NE(f.Page().PrepareMenuFor(f.RowOf(id), 3), nullptr);
  EXPECT_TRUE(f.Item("修改存取")->isEnabled());
  EXPECT_TRUE(f.Item("删除存取")->isEnabled());
  // The empty last row has no ID.
  ASSERT_NE(f.Page().PrepareMenuFor(f.G().Rows() - 1, 3), nullptr);
  EXPECT_FALSE(f.Item("修改存取")->isEnabled());
  EXPECT_FALSE(f.Item("删除存取")->isEnabled());
  EXPECT_TRUE(f.Item("新建存取")->isEnabled());

  f.Page().ShowBankSummary();
  // The summary's menu offers what is not about one movement: its print and export.
  ASSERT_NE(f.Page().PrepareMenuFor(1, 3), nullptr);
  EXPECT_FALSE(f.Item("修改存取")->isEnabled());
  EXPECT_FALSE(f.Item("删除存取")->isEnabled());
  EXPECT_TRUE(f.Item("导出Excel")->isEnabled());
  EXPECT_TRUE(f.Item("打印")->isEnabled());
  // A bank named like a number is not a movement's ID.
  InsertBankRow(app.ctx().db, QString::number(id), "甲", "存款", 5);
  f.Page().ShowBankSummary();
  for (int r = 1; r < f.G().Rows(); ++r) f.Page().ActivateCell(r, 1);
  ASSERT_NE(f.Page().PrepareMenuFor(1, 1), nullptr);
  EXPECT_FALSE(f.Item("修改存取")->isEnabled());
  f.Item("修改存取")->trigger();
  EXPECT_EQ(f.Page().ChangeWindow(), nullptr);
  f.Item("导出Excel")->trigger();
  EXPECT_GT(QFile(app.FilePath("存款管理.xlsx")).size(), 0);
}

TEST(BankPage, TheSummaryViewFitsItsWidth) {
  TestApp app;
  InsertBankRow(app.ctx().db, "工商银行", "甲", "存款", 500);
  BankFixture f(app);
  f.owner.resize(1000, 500);
  f.owner.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.owner));
  f.Page().show();
  for (int width : {1000, 1237, 801}) {
    f.Page().resize(width, 500);
    f.Page().ShowBankSummary();
    QCoreApplication::processEvents();
    EXPECT_FALSE(f.G().HorizontalScrollBar()->isVisible()) << width;
    EXPECT_EQ(f.G().BodyView()->horizontalScrollBar()->maximum(), 0) << width;
    f.Page().SetUpBankDetail();
    QCoreApplication::processEvents();
    EXPECT_FALSE(f.G().HorizontalScrollBar()->isVisible()) << width;
  }
}

TEST(BankPage, ASearchInTheSummaryViewGoesBackToTheDetailView) {
  TestApp app;
  InsertBankRow(app.ctx().db, "工商银行", "甲", "存款", 5, "2026-12-01 00:00:00");
  InsertBankRow(app.ctx().db, "建设银行", "甲", "存款", 5, "2026-12-08 00:00:00");
  BankFixture f(app);
  f.Page();
  f.owner.show();
  QCoreApplication::processEvents();
  f.Page().ShowBankSummary();
  // A resize applies the widths of the view that shows.
  f.Page().resize(1200, 500);
  QCoreApplication::processEvents();
  EXPECT_EQ(f.G().ColumnWidth(2), static_cast<int>(f.G().width() * 0.4));

  auto* names = f.Page().findChild<QComboBox*>("存款名称查询框");
  ASSERT_EQ(names->count(), 2);
  names->lineEdit()->setFocus();
  TypeText(names->lineEdit(), "建设");
  EXPECT_EQ(f.Page().ViewFlag(), "细节");
  EXPECT_EQ(f.G().Cols(), 8);
  ASSERT_EQ(f.DataRows(), 1);
  EXPECT_EQ(f.G().CellText(1, 2), "建设银行");
  EXPECT_EQ(f.G().CellText(1, 6), "2026年12月8日");
  EXPECT_EQ(f.G().ColumnWidth(1), 0);
  EXPECT_EQ(f.G().ColumnWidth(3), static_cast<int>(f.G().width() * 0.2));

  f.Page().ShowBankSummary();
  f.Page().findChild<QDateEdit*>("存款日期框1")->setDate(QDate(2026, 12, 1));
  f.Page().findChild<QDateEdit*>("存款日期框2")->setDate(QDate(2026, 12, 1));
  f.Page().findChild<QPushButton*>("存款查询按钮")->click();
  EXPECT_EQ(f.Page().ViewFlag(), "细节");
  ASSERT_EQ(f.DataRows(), 1);
  EXPECT_EQ(f.G().CellText(1, 2), "工商银行");
  f.Page().findChild<QPushButton*>("存款细节记录按钮")->click();
  EXPECT_EQ(f.DataRows(), 2);
}

TEST(BankPage, TheChangeWindowShowsTheAmountWithoutSignAndKeepsItsRow) {
  TestApp app;
  const qint64 id = InsertBankRow(app.ctx().db, "工商银行", "甲", "取款", -100, "2026-11-03 00:00:00", "备用金");
  const qint64 other = InsertBankRow(app.ctx().db, "工商银行", "乙", "存款", 50);
  BankFixture f(app);
  // Without a chosen movement no window opens.
  f.Page().ChangeBankMovement();
  EXPECT_EQ(f.Page().ChangeWindow(), nullptr);

  f.Page().ActivateCell(f.RowOf(id), 3);
  BankMovementWindow* w = f.Page().ChangeWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->windowTitle(), "新建存取操作 " + QString::number(id));
  EXPECT_EQ(In<QComboBox>(w, "类型组合框")->currentText(), "取款");
  EXPECT_EQ(In<QLineEdit>(w, "金额框")->text(), "100");
  EXPECT_EQ(In<QComboBox>(w, "账户组合框")->currentText(), "甲");
  EXPECT_EQ(In<QDateEdit>(w, "日期框1")->date(), QDate(2026, 11, 3));
  EXPECT_EQ(In<QLineEdit>(w, "备注框")->text(), "备用金");

  // Another row chosen meanwhile does not change which row is saved.
  f.Page().PrepareMenuFor(f.RowOf(other), 3);
  In<QComboBox>(w, "类型组合框")->setCurrentIndex(0);
  w->Save();
  EXPECT_EQ(app.notifier.notices.back().text, "修改存款完成");
  EXPECT_EQ(f.Stored(id), 100);
  EXPECT_EQ(f.Stored(other), 50);
  EXPECT_FALSE(f.G().CellForeColor(f.RowOf(id), 5).isValid());

  // A kind outside the four opens with none selected and saves an empty, negated one.
  const qint64 odd = InsertBankRow(app.ctx().db, "工商银行", "甲", "利息", 30);
  f.Page().FillBankList();
  f.Page().ActivateCell(f.RowOf(odd), 2);
  w = f.Page().ChangeWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(In<QComboBox>(w, "类型组合框")->currentIndex(), -1);
  // A missing amount is named and nothing is saved.
  In<QLineEdit>(w, "金额框")->clear();
  app.prompter.ExpectMessage("金额必须填写");
  w->Save();
  EXPECT_EQ(app.prompter.Messages().back(), "金额必须填写");
  EXPECT_EQ(app.prompter.Prompts().back().caption, "请填写完整信息");
  EXPECT_NE(f.Page().ChangeWindow(), nullptr);
  In<QLineEdit>(w, "金额框")->setText("30");
  w->Save();
  auto m = StoredMovement(app.ctx(), odd);
  EXPECT_EQ(m->kind, "");
  EXPECT_EQ(m->amount, -30);
}

TEST(BankPage, DeleteAsksRefusesOperatorsAndReloads) {
  TestApp app;
  const qint64 id = InsertBankRow(app.ctx().db, "工商银行", "甲", "存款", 5);
  BankFixture f(app);
  f.Page().PrepareMenuFor(f.RowOf(id), 3);
  app.prompter.AnswerConfirm(false);
  f.Item("删除存取")->trigger();
  EXPECT_EQ(CountRows(app.ctx().db, "bank"), 1);
  f.Page().PrepareMenuFor(f.RowOf(id), 3);
  app.prompter.AnswerConfirm(true);
  f.Item("删除存取")->trigger();
  EXPECT_EQ(CountRows(app.ctx().db, "bank"), 0);
  EXPECT_EQ(f.DataRows(), 0);

  // An operator is not offered the item, as in the ledger; the command itself refuses
  // without asking first.
  TestApp op(QStringLiteral("小王"));
  const qint64 kept = InsertBankRow(op.ctx().db, "工商银行", "甲", "存款", 5);
  BankFixture g(op);
  ASSERT_EQ(g.Page().PrepareMenuFor(g.RowOf(kept), 3), g.menus.value(kBankMenu));
  EXPECT_FALSE(g.Item("删除存取")->isVisible());
  EXPECT_TRUE(g.Item("修改存取")->isVisible());
  op.prompter.ExpectMessage("对不起，只有超级管理员才能删除记录。");
  g.Page().DeleteBankMovement();
  ASSERT_EQ(op.prompter.Prompts().size(), 1u);
  EXPECT_EQ(op.prompter.Prompts()[0].kind, Prompt::Kind::Message);
  EXPECT_EQ(CountRows(op.ctx().db, "bank"), 1);

  g.Page().PrepareMenuFor(g.RowOf(kept), 3);
  g.Item("导出Excel")->trigger();
  EXPECT_GT(QFile(op.FilePath("存款管理.xlsx")).size(), 0);
}

TEST(BankPage, WithoutADatabaseTheViewsStayEmptyAndSaySoOnce) {
  TestApp app;
  app.ctx().db.Close();
  ASSERT_TRUE(QFile::remove(app.FilePath("data.db")));
  BankFixture f(app);
  app.prompter.ExpectMessage("打开数据库失败！");
  f.Page();
  EXPECT_EQ(f.G().Rows(), f.G().FixedRows());  // no rows, and no totals to pass for the truth
  app.prompter.ExpectMessage("打开数据库失败！");
  f.Page().ShowBankSummary();
  EXPECT_EQ(f.G().Rows(), f.G().FixedRows());
  BankMovementWindow w(app.ctx(), &f.owner);
  In<QComboBox>(&w, "名称组合框")->setEditText("工商银行");
  In<QLineEdit>(&w, "金额框")->setText("5");
  app.prompter.ExpectMessage("打开数据库失败！");
  w.Save();
  EXPECT_TRUE(app.notifier.notices.empty());
}

// An empty page is where a new shop starts: a right-click anywhere in the list, below
// its single empty row too, opens the menu with 新建存取, and so does nothing else but
// Insert (the item names the key).
TEST(BankPage, AnEmptyListOffersNewMovementByRightClickAndInsert) {
  TestApp app;
  BankFixture f(app);
  f.owner.resize(1000, 500);
  f.Page();
  f.owner.show();
  f.owner.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&f.owner));
  QMenu* menu = f.menus.value(kBankMenu);
  ASSERT_NO_FATAL_FAILURE(RightClickBelowRows(f.G()));
  EXPECT_TRUE(menu->isVisible());
  menu->hide();
  EXPECT_TRUE(f.Item("新建存取")->isEnabled());
  EXPECT_FALSE(f.Item("修改存取")->isEnabled());
  EXPECT_FALSE(f.Item("删除存取")->isEnabled());
  EXPECT_EQ(f.Item("新建存取")->shortcut(), QKeySequence(Qt::Key_Insert));
  // Below the rows nothing is chosen: a movement chosen before is no longer the target.
  const qint64 id = InsertBankRow(app.ctx().db, "工商银行", "甲", "存款", 5);
  f.Page().FillBankList();
  ASSERT_NE(f.Page().PrepareMenuFor(f.RowOf(id), 2), nullptr);
  EXPECT_TRUE(f.Item("删除存取")->isEnabled());
  ASSERT_NO_FATAL_FAILURE(RightClickBelowRows(f.G()));
  menu->hide();
  EXPECT_EQ(f.Page().SelectedId(), "");
  EXPECT_FALSE(f.Item("删除存取")->isEnabled());

  EXPECT_EQ(f.Page().NewWindow(), nullptr);
  QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &f.owner, Qt::Key_Insert);
  ASSERT_NE(f.Page().NewWindow(), nullptr);
  EXPECT_TRUE(f.Page().NewWindow()->isVisible());
  f.Page().NewWindow()->close();

  // The summary view offers its print and export there too, never a movement.
  f.Page().ShowBankSummary();
  ASSERT_NE(f.Page().PrepareMenuFor(-1, -1), nullptr);
  EXPECT_FALSE(f.Item("修改存取")->isEnabled());
  EXPECT_FALSE(f.Item("删除存取")->isEnabled());
}
