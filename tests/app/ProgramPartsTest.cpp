#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "TestSupport.h"
#include "admin/MaintenanceLogic.h"
#include "admin/MaintenanceWindow.h"
#include "app/MainMenus.h"
#include "app/MainWindow.h"
#include "app/NoticePopup.h"
#include "app/Program.h"
#include "lists/Grid.h"
#include "money/BankMovementWindow.h"
#include "sales/SalesPage.h"
#include "stock/GoodsEntryWindow.h"
#include "stock/StockPage.h"
#include "stock/SummaryPage.h"

using namespace hemulu;
using namespace hemulu::test;

TEST(ProgramParts, StockAndSummaryPagesShareTheChosenGoods) {
  TestApp app;
  const qint64 id = InsertGoods(app.ctx().db, GoodsRow{});
  MainWindow window(app.ctx(), ProgramParts(app.ctx()));
  window.ShowPage(kStockPage);
  auto* stock = qobject_cast<StockPage*>(window.Page(kStockPage));
  ASSERT_NE(stock, nullptr);
  EXPECT_EQ(stock->StockGrid()->CellText(2, 1), QString::number(id));

  stock->PrepareMenuFor(2, 2);
  EXPECT_TRUE(stock->Selection().HasGoods());
  FindMenuItem(window.Menu(kStockMenu), "汇总统计")->trigger();
  EXPECT_EQ(window.CurrentPage(), kSummaryPage);
  auto* summary = qobject_cast<SummaryPage*>(window.Page(kSummaryPage));
  ASSERT_NE(summary, nullptr);
  // A right-click on the summary view clears the goods the stock commands act on.
  summary->PrepareMenuFor(2, 2);
  EXPECT_FALSE(stock->Selection().HasGoods());
  FindMenuItem(window.Menu(kStockMenu), "商品续存")->trigger();
  EXPECT_EQ(stock->EntryWindow(), nullptr);

  FindMenuItem(window.Menu(kStockMenu), "销售记录")->trigger();
  EXPECT_EQ(window.CurrentPage(), kSalesPage);
}

TEST(ProgramParts, ReplacedDataRefillsTheCreatedPagesAndForgetsTheChosenGoods) {
  TestApp app;
  const qint64 id = InsertGoods(app.ctx().db, GoodsRow{});
  MainWindow window(app.ctx(), ProgramParts(app.ctx()));
  window.ShowPage(kStockPage);
  window.ShowPage(kSummaryPage);
  auto* stock = qobject_cast<StockPage*>(window.Page(kStockPage));
  auto* summary = qobject_cast<SummaryPage*>(window.Page(kSummaryPage));
  ASSERT_TRUE(stock && summary);
  stock->PrepareMenuFor(2, 2);
  ASSERT_TRUE(stock->Selection().HasGoods());
  const int summary_rows = summary->SummaryGrid()->Rows();

  ASSERT_TRUE(app.ctx().db.Execute("delete from buy where ID=?", id));
  window.RefillPages();
  EXPECT_FALSE(stock->Selection().HasGoods());
  EXPECT_NE(stock->StockGrid()->CellText(2, 1), QString::number(id));
  EXPECT_LT(summary->SummaryGrid()->Rows(), summary_rows);
}

TEST(ProgramParts, ReplacedDataClosesTheWindowsThatHoldOldRowsAndSaysSoOnce) {
  TestApp app;
  Database& db = app.ctx().db;
  const qint64 goods = InsertGoods(db, GoodsRow{});
  ASSERT_TRUE(
      db.Execute("insert into sell (名称, 销售数量, 销售金额, UID, 销售日期) values ('可口可乐', 1, 3, 1, "
                 "'2026-12-01 10:00:00')"));
  ASSERT_TRUE(
      db.Execute("insert into bank (银行, 账户, 方式, 金额, 日期) values ('工商银行', '1', '存款', 5, "
                 "'2026-12-01 10:00:00')"));
  const qint64 movement_id = db.LastInsertId();
  MainWindow window(app.ctx(), ProgramParts(app.ctx()));
  window.ShowPage(kSalesPage);
  auto* sales = qobject_cast<SalesPage*>(window.Page(kSalesPage));
  ASSERT_NE(sales, nullptr);
  ASSERT_NE(sales->PrepareMenuFor(sales->SalesGrid()->FixedRows(), 3), nullptr);
  sales->OpenEdit();
  QPointer<QWidget> sale_edit = sales->EditWindow();
  ASSERT_TRUE(sale_edit && sale_edit->isVisible());
  QPointer<QWidget> goods_edit = new GoodsEntryWindow(app.ctx(), GoodsEntryWindow::Mode::Edit, goods, &window);
  QPointer<QWidget> restock = new GoodsEntryWindow(app.ctx(), GoodsEntryWindow::Mode::Restock, goods, &window);
  auto movement = LoadBankMovement(app.ctx(), movement_id);
  ASSERT_TRUE(movement && *movement);
  QPointer<QWidget> bank_change = new BankMovementWindow(app.ctx(), **movement, &window);
  // Windows for a new record hold no row: they stay, with what has been typed.
  QPointer<QWidget> new_goods = new GoodsEntryWindow(app.ctx(), GoodsEntryWindow::Mode::NewGoods, 0, &window);
  QPointer<QWidget> new_movement = new BankMovementWindow(app.ctx(), &window);
  for (QWidget* w : {goods_edit.data(), restock.data(), bank_change.data(), new_goods.data(), new_movement.data()})
    w->show();

  ASSERT_TRUE(ReinitialiseDatabase(app.ctx()));
  app.prompter.ExpectMessage(kRowWindowsClosedText);
  EXPECT_TRUE(window.DataReplaced());  // 超级管理员 is in the new data too
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(sale_edit);
  EXPECT_FALSE(goods_edit);
  EXPECT_FALSE(restock);
  EXPECT_FALSE(bank_change);
  ASSERT_TRUE(new_goods && new_movement);
  EXPECT_TRUE(new_goods->isVisible());
  EXPECT_TRUE(new_movement->isVisible());

  // Nothing to close: nothing said.
  ASSERT_TRUE(ReinitialiseDatabase(app.ctx()));
  EXPECT_TRUE(window.DataReplaced());
}

TEST(Program, AfterARestoreWithoutTheLoggedInAccountTheLoginWindowComesBack) {
  TestApp app("");
  ASSERT_TRUE(app.ctx().db.Execute("insert into UserName (用户名, 密码, 权限) values ('张三', '1', '操作员')"));
  Program program(app.ctx(), ProgramParts(app.ctx()));
  QSignalSpy finished(&program, &Program::Finished);
  program.Start();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(program.Login()));
  ASSERT_EQ(program.Login()->findChild<QComboBox*>("组合框1")->currentText(), QStringLiteral("张三"));
  auto* password = program.Login()->findChild<QLineEdit*>("编辑框2");
  TypeText(password, "1");
  QTest::keyClick(password, Qt::Key_Return);
  QPointer<MainWindow> main = program.Main();
  ASSERT_TRUE(main);
  main->ShowPage(kStockPage);

  // The re-initialisation, from the data maintenance window, leaves only 超级管理员.
  app.prompter.AnswerText(QStringLiteral("735"));
  app.prompter.ExpectMessage(QStringLiteral("初始化数据库完成"));
  app.prompter.ExpectMessage(kAccountGoneText.arg(QStringLiteral("张三")));
  bool clicked = false;
  auto* timer = new QTimer;
  timer->setInterval(0);
  QObject::connect(timer, &QTimer::timeout, [timer, &clicked] {
    auto* window = qobject_cast<MaintenanceWindow*>(QApplication::activeModalWidget());
    if (!window) return;
    timer->stop();
    timer->deleteLater();
    clicked = true;
    window->findChild<QPushButton*>(QStringLiteral("初始化数据库"))->click();
    // The window closes itself when the login ends; left open, the test fails.
    if (window->isVisible()) {
      ADD_FAILURE() << "the data maintenance window stayed open";
      window->reject();
    }
  });
  timer->start();
  main->ActivateItem(kDataMaintenanceItem);
  ASSERT_TRUE(clicked);
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(main);
  EXPECT_EQ(program.Main(), nullptr);
  EXPECT_EQ(finished.count(), 0);
  ASSERT_NE(program.Login(), nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(program.Login()));
  EXPECT_EQ(program.Login()->findChild<QComboBox*>("组合框1")->currentText(), QStringLiteral("超级管理员"));

  // The new login opens a new main window, for the account now logged in.
  password = program.Login()->findChild<QLineEdit*>("编辑框2");
  TypeText(password, "735");
  QTest::keyClick(password, Qt::Key_Return);
  ASSERT_NE(program.Main(), nullptr);
  EXPECT_TRUE(program.Main()->isVisible());
  EXPECT_EQ(app.ctx().session.UserName(), QStringLiteral("超级管理员"));
  program.Main()->close();
  EXPECT_EQ(finished.count(), 1);
}

// A notice stays five seconds: it lies over the shown page's list or chart, never over a
// box or button the user may want meanwhile (the sales page's search boxes were hidden
// under it), on every page and at the smallest window size as at a larger one.
TEST(ProgramParts, NoticesCoverNoControlOfAnyPage) {
  TestApp app;
  InsertGoods(app.ctx().db, GoodsRow{});
  MainWindow window(app.ctx(), ProgramParts(app.ctx()));
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  auto* notice = window.findChild<NoticePopup*>();
  ASSERT_NE(notice, nullptr);
  const QString text = QStringLiteral("已导出到 ") + app.FilePath(QStringLiteral("销售明细.xlsx"));
  for (QSize size : {QSize(1240, 690), QSize(1600, 900)}) {
    window.resize(size);
    for (int page = 0; page < kPageCount; ++page) {
      SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height() << " page " << page);
      window.ShowPage(static_cast<PageIndex>(page));
      QApplication::processEvents();
      window.ShowNotice(QStringLiteral("提示"), text);
      ASSERT_TRUE(notice->isVisible());
      const QRect shown(notice->mapToGlobal(QPoint(0, 0)), notice->size());
      EXPECT_TRUE(QRect(window.mapToGlobal(QPoint(0, 0)), window.size()).contains(shown));
      int controls = 0;
      for (QWidget* w : window.findChildren<QWidget*>()) {
        const bool control = qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) ||
                             qobject_cast<QAbstractButton*>(w) || qobject_cast<QAbstractSpinBox*>(w);
        if (!control || !w->isVisible() || notice->isAncestorOf(w)) continue;
        ++controls;
        const QRect r(w->mapToGlobal(QPoint(0, 0)), w->size());
        EXPECT_FALSE(shown.intersects(r)) << w->objectName().toStdString() << " " << w->metaObject()->className();
      }
      EXPECT_GT(controls, 10);
      notice->hide();
    }
  }
}

TEST(Program, ARestartAskedByTheMainWindowEndsTheRunMarkedForAStartAgain) {
  TestApp app("");
  Program program(app.ctx(), ProgramParts(app.ctx()));
  QSignalSpy finished(&program, &Program::Finished);
  program.Start();
  auto* password = program.Login()->findChild<QLineEdit*>("编辑框2");
  TypeText(password, "735");
  QTest::keyClick(password, Qt::Key_Return);
  ASSERT_TRUE(program.Main());
  EXPECT_FALSE(program.RestartRequested());
  program.Main()->RequestRestart();
  QCoreApplication::processEvents();
  EXPECT_EQ(finished.count(), 1);
  EXPECT_TRUE(program.RestartRequested());
}
