#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "TestSupport.h"
#include "app/MainMenus.h"
#include "sales/SaleWindow.h"
#include "stock/StockPage.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

GoodsRow Goods(double stock) {
  GoodsRow r;
  r.buy_price = 30;
  r.sell_price = 50;
  r.stock = stock;
  r.stock_amount = stock * 30;
  return r;
}

struct WindowFixture {
  explicit WindowFixture(TestApp& app, double stock) : app(app) {
    owner.setGeometry(100, 50, 1200, 800);
    id = InsertGoods(app.ctx().db, Goods(stock));
    window = SaleWindow::Open(app.ctx(), id, &owner);
  }
  ~WindowFixture() { delete window.data(); }
  QLineEdit* Box(const char* name) { return window->findChild<QLineEdit*>(QString::fromUtf8(name)); }
  QString Text(const char* name) { return Box(name)->text(); }
  void Set(const char* name, const QString& text) { Box(name)->setText(text); }
  void Arrow(const char* name, bool up) {
    auto* steps = window->findChild<StepButtons*>(QString::fromUtf8(name));
    QTest::mouseClick(up ? steps->Up() : steps->Down(), Qt::LeftButton);
  }

  TestApp& app;
  QWidget owner;
  qint64 id = 0;
  QPointer<SaleWindow> window;
};

}  // namespace

TEST(SaleWindow, SetUpFromTheStoredGoodsRow) {
  TestApp app;
  app.clock.Set(QDateTime(QDate(2013, 1, 1), QTime(0, 0, 0)));
  WindowFixture f(app, 10);
  ASSERT_NE(f.window, nullptr);
  EXPECT_EQ(f.window->windowTitle(), "商品销售");
  EXPECT_EQ(f.window->findChild<QLabel*>("名称标签")->text(), "可口可乐");
  EXPECT_EQ(f.window->findChild<QLabel*>("销售单价标签")->text(), "50");
  EXPECT_EQ(f.Text("实际零售价框"), "50");
  EXPECT_EQ(f.Text("库存框"), "10");
  EXPECT_EQ(f.Text("销售数量框"), "1");
  EXPECT_EQ(f.Text("销售金额框"), "50");
  EXPECT_EQ(f.Text("打折框"), "100");
  EXPECT_EQ(f.Text("客户编号框"), "201311000");
  EXPECT_TRUE(f.window->isModal());
  // Against the inside of the owner's right edge.
  EXPECT_EQ(f.window->x(), 100 + 1200 - f.window->width() - 6);

  // Goods that are gone open no window.
  app.prompter.ExpectMessage("错误代码 [083]");
  EXPECT_EQ(SaleWindow::Open(app.ctx(), f.id + 50, &f.owner), nullptr);
}

TEST(SaleWindow, QuantityStartsClampedToTheStock) {
  TestApp app;
  WindowFixture none(app, 0);
  EXPECT_EQ(none.Text("销售数量框"), "0");
  app.prompter.ExpectMessage("销售数量不能是0");
  QTest::mouseClick(none.window->findChild<QPushButton*>("按钮1"), Qt::LeftButton);
  EXPECT_TRUE(none.window->isVisible());
  WindowFixture half(app, 0.5);
  EXPECT_EQ(half.Text("销售数量框"), "0.5");
  EXPECT_EQ(half.Text("销售金额框"), "25");
}

TEST(SaleWindow, LiveRulesAndArrows) {
  TestApp app;
  WindowFixture f(app, 10);
  f.Set("打折框", "80");
  EXPECT_EQ(f.Text("实际零售价框"), "40");
  f.Set("销售数量框", "3");
  EXPECT_EQ(f.Text("销售金额框"), "120");
  f.Set("销售数量框", "12");  // above the stock: replaced at once
  EXPECT_EQ(f.Text("销售数量框"), "10");
  EXPECT_EQ(f.Text("销售金额框"), "400");

  f.Arrow("调节器2", true);
  EXPECT_EQ(f.Text("销售数量框"), "10");
  f.Set("销售数量框", "0");
  f.Arrow("调节器2", false);
  EXPECT_EQ(f.Text("销售数量框"), "0");
  f.Arrow("调节器2", true);
  EXPECT_EQ(f.Text("销售数量框"), "1");
  EXPECT_EQ(f.Text("销售金额框"), "40");

  f.Set("打折框", "98");
  f.Arrow("调节器1", true);
  EXPECT_EQ(f.Text("打折框"), "103");
  EXPECT_EQ(f.Text("实际零售价框"), "51.5");
  f.Arrow("调节器1", true);
  EXPECT_EQ(f.Text("打折框"), "103");
  f.Set("打折框", "100");
  f.Arrow("调节器1", true);
  EXPECT_EQ(f.Text("打折框"), "100");
  f.Set("打折框", "0");
  f.Arrow("调节器1", false);
  EXPECT_EQ(f.Text("打折框"), "-5");
  // The arrow keys in the box work as the arrows do.
  f.Box("打折框")->setFocus();
  QTest::keyClick(f.Box("打折框"), Qt::Key_Up);
  EXPECT_EQ(f.Text("打折框"), "0");
}

TEST(SaleWindow, ConfirmRecordsNotifiesAndCloses) {
  TestApp app;
  WindowFixture f(app, 10);
  qint64 recorded = 0;
  QObject::connect(f.window, &SaleWindow::SaleRecorded, [&](qint64 sale, qint64) { recorded = sale; });
  f.Set("打折框", "80");
  f.Set("销售数量框", "3");
  f.Set("销售金额框", "100");
  f.window->findChild<QComboBox*>("客户姓名框")->setEditText("老王");
  QTest::mouseClick(f.window->findChild<QPushButton*>("按钮1"), Qt::LeftButton);
  EXPECT_TRUE(app.prompter.Messages().empty());
  ASSERT_EQ(app.notifier.notices.size(), 1u);
  EXPECT_EQ(app.notifier.notices[0].title, "提示");
  EXPECT_EQ(app.notifier.notices[0].text, "销售商品完成");
  EXPECT_GT(recorded, 0);
  QApplication::processEvents();  // the closed window deletes itself
  EXPECT_EQ(f.window, nullptr);
  auto st = app.ctx().db.Prepare("select 净利润,客户名称 from sell");
  ASSERT_TRUE(st->Step().value_or(false));
  EXPECT_EQ(st->Double(0), 30);
  EXPECT_EQ(st->Text(1), "老王");
}

// Enter straight after the window opens sells (a scanner's code and Enter); once the
// user has typed into a box, Enter walks on from box to box and sells only on the last
// box or on "确认销售", so a changed price is not sold at quantity 1 unseen.
TEST(SaleWindow, EnterSellsAtOnceOnlyUntilABoxIsChanged) {
  TestApp app;
  const auto enter = [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); };
  const auto open = [&](WindowFixture& f) {
    f.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(f.window));
    ASSERT_TRUE(f.Box("实际零售价框")->hasFocus());
  };
  {
    WindowFixture f(app, 10);
    open(f);
    enter();
    EXPECT_EQ(CountRows(app.ctx().db, "sell"), 1);
    EXPECT_EQ(app.notifier.notices.size(), 1u);
  }
  {
    WindowFixture f(app, 10);
    open(f);
    f.Box("实际零售价框")->selectAll();
    QTest::keyClicks(f.Box("实际零售价框"), "45");
    enter();
    EXPECT_EQ(CountRows(app.ctx().db, "sell"), 1);
    EXPECT_TRUE(f.Box("打折框")->hasFocus());
    enter();
    EXPECT_TRUE(f.Box("销售数量框")->hasFocus());  // past the read-only stock
    QTest::keyClick(f.Box("销售数量框"), Qt::Key_Backspace);
    QTest::keyClicks(f.Box("销售数量框"), "2");
    // On through the remaining boxes (the date's sections stay inside it) to 备注.
    for (int i = 0; i < 20 && !f.Box("备注框")->hasFocus(); ++i) {
      ASSERT_EQ(CountRows(app.ctx().db, "sell"), 1);
      ASSERT_TRUE(f.window->isVisible());
      enter();
    }
    ASSERT_TRUE(f.Box("备注框")->hasFocus());
    EXPECT_EQ(CountRows(app.ctx().db, "sell"), 1);
    enter();
    EXPECT_EQ(CountRows(app.ctx().db, "sell"), 2);
    auto st = app.ctx().db.Prepare("select 销售单价,销售数量 from sell order by ID desc");
    ASSERT_TRUE(st->Step().value_or(false));
    EXPECT_EQ(st->Double(0), 45);
    EXPECT_EQ(st->Double(1), 2);
  }
  {
    WindowFixture f(app, 10);
    open(f);
    f.Arrow("调节器2", true);  // the arrows change the quantity too
    enter();
    EXPECT_EQ(CountRows(app.ctx().db, "sell"), 2);
    auto* confirm = f.window->findChild<QPushButton*>("按钮1");
    confirm->setFocus();
    enter();
    EXPECT_EQ(CountRows(app.ctx().db, "sell"), 3);
  }
}

TEST(SaleWindow, FailedFieldKeepsTheWindowAndItsValues) {
  TestApp app;
  WindowFixture f(app, 10);
  f.Set("备注框", QString(51, QChar(u'备')));
  app.prompter.ExpectMessage("错误代码 [071]");
  QTest::mouseClick(f.window->findChild<QPushButton*>("按钮1"), Qt::LeftButton);
  EXPECT_TRUE(app.notifier.notices.empty());
  EXPECT_TRUE(f.window->isVisible());
  EXPECT_EQ(f.Text("备注框").size(), 51);
  EXPECT_EQ(CountRows(app.ctx().db, "sell"), 0);
}

// A refused quantity sends the user to the quantity box; a refused price leaves the
// focus where it was. The stored stock decides: another window sold most of it.
TEST(SaleWindow, ARefusedQuantityTakesTheFocusToTheQuantityBox) {
  TestApp app;
  WindowFixture f(app, 10);
  f.window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(f.window));
  ASSERT_TRUE(app.ctx().db.Execute("update buy set 存货数量=2 where ID=?", f.id));
  f.Set("销售数量框", "5");
  auto* confirm = f.window->findChild<QPushButton*>("按钮1");
  confirm->setFocus();
  app.prompter.ExpectMessage("库存不足，无法销售");
  QTest::keyClick(confirm, Qt::Key_Return);
  EXPECT_TRUE(f.Box("销售数量框")->hasFocus());

  f.Set("销售数量框", "1");
  f.Set("实际零售价框", "abc");
  confirm->setFocus();
  app.prompter.ExpectMessage("实际零售价必须是数字，请重新填写");
  QTest::keyClick(confirm, Qt::Key_Return);
  EXPECT_TRUE(confirm->hasFocus());
  EXPECT_EQ(CountRows(app.ctx().db, "sell"), 0);
}

TEST(ScannerEnter, SellsOnlyWhenExactlyOneCodeMatches) {
  TestApp app;
  GoodsRow a;
  a.code = "6901234567892";
  GoodsRow b;
  b.code = "690123456789";  // a prefix of the other: not an exact match
  GoodsRow c1, c2;
  c1.code = c2.code = "DUP";
  const qint64 id_a = InsertGoods(app.ctx().db, a);
  InsertGoods(app.ctx().db, b);
  InsertGoods(app.ctx().db, c1);
  InsertGoods(app.ctx().db, c2);

  QWidget owner;
  auto menus = BuildMainMenus(&owner, true);
  GoodsSelection selection;
  std::vector<qint64> sold;
  StockPageHooks hooks;
  hooks.open_sale = [&](qint64 id) { sold.push_back(id); };
  StockPage page(app.ctx(), menus.value(kStockMenu), selection, hooks, &owner);
  auto* box = page.findChild<QLineEdit*>("库管商品编码框");
  const auto scan = [&](const QString& code) {
    box->clear();
    QTest::keyClicks(box, code);
    QTest::keyClick(box, Qt::Key_Return);
  };
  scan("6901234567892");
  ASSERT_EQ(sold.size(), 1u);
  EXPECT_EQ(sold[0], id_a);
  EXPECT_EQ(selection.id, QString::number(id_a));
  scan("000");
  scan("DUP");
  EXPECT_EQ(sold.size(), 1u);
}

// A scan that cannot read the goods says so once and opens no sale; it is not taken
// for a code that matches nothing.
TEST(ScannerEnter, AnUnreadableDatabaseIsToldOnce) {
  TestApp app;
  GoodsRow a;
  a.code = "6901234567892";
  InsertGoods(app.ctx().db, a);
  QWidget owner;
  auto menus = BuildMainMenus(&owner, true);
  GoodsSelection selection;
  std::vector<qint64> sold;
  StockPageHooks hooks;
  hooks.open_sale = [&](qint64 id) { sold.push_back(id); };
  StockPage page(app.ctx(), menus.value(kStockMenu), selection, hooks, &owner);

  app.ctx().db.Close();
  QFile file(app.FilePath("data.db"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ASSERT_EQ(file.write(QByteArray(8192, '\x5a')), 8192);
  file.close();

  auto* box = page.findChild<QLineEdit*>("库管商品编码框");
  {
    const QSignalBlocker quiet(box);  // typing searches the list: only the scan's Enter is under test
    box->setText("6901234567892");
  }
  app.prompter.ExpectMessage("打开数据库失败！");
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_TRUE(sold.empty());
}
