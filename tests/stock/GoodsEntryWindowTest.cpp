#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "StoredGoods.h"
#include "TestSupport.h"
#include "stock/CategoryTreeWindow.h"
#include "stock/GoodsEntryWindow.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

template <class T>
T* Child(QWidget* w, const char* name) {
  T* c = w->findChild<T*>(QString::fromUtf8(name));
  EXPECT_NE(c, nullptr) << name;
  return c;
}

void Type(QWidget* window, const char* name, const QString& text) {
  QWidget* box = window->findChild<QWidget*>(QString::fromUtf8(name));
  ASSERT_NE(box, nullptr) << name;
  if (auto* combo = qobject_cast<QComboBox*>(box)) box = combo->lineEdit();
  box->setFocus();
  TypeText(box, text);
}

void ClickSave(QWidget* window) {
  for (auto* b : window->findChildren<QPushButton*>())
    if (b->text() == "确认入库" || b->text() == "确认修改") return QTest::mouseClick(b, Qt::LeftButton);
  ADD_FAILURE() << "no save button";
}

}  // namespace

TEST(GoodsEntryWindow, NewGoodsThroughTheBoxes) {
  TestApp app;
  GoodsEntryWindow window(app.ctx(), GoodsEntryWindow::Mode::NewGoods, 0, nullptr);
  EXPECT_EQ(window.windowTitle(), "新建入库");
  int saved = 0;
  QObject::connect(&window, &GoodsEntryWindow::GoodsSaved, [&] { ++saved; });
  window.show();

  // Validation order, each with its caption and the focus on its box.
  app.prompter.ExpectMessage("商品类别必须填写");
  ClickSave(&window);
  ASSERT_EQ(app.prompter.Prompts().size(), 1u);
  EXPECT_EQ(app.prompter.Prompts()[0].text, "商品类别必须填写");
  EXPECT_EQ(app.prompter.Prompts()[0].caption, "请填写完整信息");
  EXPECT_EQ(app.prompter.Prompts()[0].icon, MessageKind::Information);

  Type(&window, "类别组合框", "饮料");
  Type(&window, "名称组合框", "可口可乐");
  Type(&window, "型号组合框", "500ml");
  // Typing the name and model proposes the code.
  EXPECT_EQ(Child<QComboBox>(&window, "编码组合框")->currentText(), "KKKL500ml");
  Type(&window, "进货单价框", "abc");
  app.prompter.ExpectMessage("进货价格必须填写");
  ClickSave(&window);
  EXPECT_EQ(app.prompter.Messages().back(), "进货价格必须填写");
  EXPECT_TRUE(Child<QLineEdit>(&window, "进货单价框")->hasFocus() || !window.isActiveWindow());
  Child<QLineEdit>(&window, "进货单价框")->setText("1.2");
  Type(&window, "数量框", "5");
  app.prompter.ExpectMessage("销售价格必须填写");
  ClickSave(&window);
  EXPECT_EQ(app.prompter.Messages().back(), "销售价格必须填写");
  Type(&window, "销售单价框", "2");
  Type(&window, "供货商框", "O'Brien");
  ClickSave(&window);

  EXPECT_EQ(saved, 1);
  ASSERT_EQ(app.notifier.notices.size(), 1u);
  EXPECT_EQ(app.notifier.notices[0].title, "提示");
  EXPECT_EQ(app.notifier.notices[0].text, "新建入库完成");
  EXPECT_TRUE(window.isVisible());  // stays open for the next goods
  EXPECT_TRUE(Child<QComboBox>(&window, "名称组合框")->currentText().isEmpty());
  EXPECT_EQ(Child<QComboBox>(&window, "供货商框")->findText("O'Brien"), 0);  // lists refilled

  const GoodsRecord r = StoredGoods(app.ctx(), 1);
  EXPECT_EQ(r.name, "可口可乐");
  EXPECT_EQ(r.code, "KKKL500ml");
  EXPECT_EQ(r.supplier, "O'Brien");
  EXPECT_DOUBLE_EQ(r.bought_amount, 6);
  EXPECT_EQ(r.date, QDateTime(app.clock.Now().date(), QTime(0, 0)));
}

TEST(GoodsEntryWindow, PickingFromTheListDoesNotChangeTheCode) {
  TestApp app;
  InsertGoods(app.ctx().db, GoodsRow{});
  GoodsEntryWindow window(app.ctx(), GoodsEntryWindow::Mode::NewGoods, 0, nullptr);
  auto* code = Child<QComboBox>(&window, "编码组合框");
  code->setEditText("MYCODE");
  auto* name = Child<QComboBox>(&window, "名称组合框");
  ASSERT_EQ(name->count(), 1);
  name->setCurrentIndex(0);
  EXPECT_EQ(code->currentText(), "MYCODE");
}

TEST(GoodsEntryWindow, LongNameShowsItsCodeAndWritesNothing) {
  TestApp app;
  GoodsEntryWindow window(app.ctx(), GoodsEntryWindow::Mode::NewGoods, 0, nullptr);
  Child<QComboBox>(&window, "类别组合框")->setEditText("饮料");
  Child<QComboBox>(&window, "名称组合框")->setEditText(QString(51, QChar(0x6C34)));
  Child<QComboBox>(&window, "编码组合框")->setEditText("S");
  Child<QLineEdit>(&window, "进货单价框")->setText("1");
  Child<QLineEdit>(&window, "数量框")->setText("1");
  Child<QLineEdit>(&window, "销售单价框")->setText("1");
  app.prompter.ExpectMessage("错误代码 [098]");
  window.Save();
  EXPECT_EQ(app.prompter.Messages().back(), "错误代码 [098]");
  EXPECT_EQ(app.prompter.Prompts().back().icon, MessageKind::Stop);
  EXPECT_EQ(CountRows(app.ctx().db, "buy"), 0);
  EXPECT_EQ(Child<QComboBox>(&window, "名称组合框")->currentText().size(), 51);  // kept as typed
}

TEST(GoodsEntryWindow, RestockWritesTheRowItOpenedOn) {
  TestApp app;
  GoodsRow a;
  a.bought = 10, a.bought_amount = 25, a.stock = 4, a.stock_amount = 10, a.buy_price = 2.5;
  const qint64 ia = InsertGoods(app.ctx().db, a);
  const qint64 ib = InsertGoods(app.ctx().db, GoodsRow{});
  auto* window = new GoodsEntryWindow(app.ctx(), GoodsEntryWindow::Mode::Restock, ia, nullptr);
  EXPECT_EQ(window->windowTitle(), "商品续存");
  EXPECT_FALSE(Child<QComboBox>(window, "名称组合框")->isEnabled());
  EXPECT_FALSE(Child<QLineEdit>(window, "销售单价框")->isEnabled());
  // This delivery's price and supplier are typed, offered as the row's own.
  EXPECT_TRUE(Child<QLineEdit>(window, "进货单价框")->isEnabled());
  EXPECT_TRUE(Child<QComboBox>(window, "供货商框")->isEnabled());
  EXPECT_TRUE(Child<QLineEdit>(window, "数量框")->isEnabled());
  EXPECT_EQ(Child<QLineEdit>(window, "进货单价框")->text(), "2.5");
  EXPECT_EQ(Child<QComboBox>(window, "供货商框")->currentText(), a.supplier);
  QPointer<GoodsEntryWindow> alive(window);
  window->show();
  // The page's selection moving to another row meanwhile changes nothing here.
  Child<QLineEdit>(window, "数量框")->setText("3");
  window->Save();
  EXPECT_EQ(app.notifier.notices.back().text, "续存商品完成");
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(alive.isNull());  // closes after one restock
  const GoodsRecord r = StoredGoods(app.ctx(), ia);
  EXPECT_DOUBLE_EQ(r.bought, 13);
  EXPECT_DOUBLE_EQ(r.bought_amount, 32.5);
  EXPECT_DOUBLE_EQ(r.stock, 7);
  EXPECT_DOUBLE_EQ(r.stock_amount, 17.5);
  EXPECT_DOUBLE_EQ(StoredGoods(app.ctx(), ib).bought, 10);
}

TEST(GoodsEntryWindow, RestockTakesTheTypedPriceAndSupplierAndRefusesBadOnes) {
  TestApp app;
  GoodsRow a;
  a.bought = 10, a.bought_amount = 12, a.stock = 10, a.stock_amount = 12, a.buy_price = 1.2;
  a.supplier = QStringLiteral("甲公司");
  const qint64 ia = InsertGoods(app.ctx().db, a);
  auto* window = new GoodsEntryWindow(app.ctx(), GoodsEntryWindow::Mode::Restock, ia, nullptr);
  QPointer<GoodsEntryWindow> alive(window);
  window->show();
  Child<QLineEdit>(window, "数量框")->setText("5");
  const qint64 moves = CountRows(app.ctx().db, "stock_move");

  // Each refusal names the box, takes the focus there and writes nothing.
  const struct {
    QString price, supplier;
    const char* message;
    const char* focus;
  } bad[] = {{"abc", "乙公司", "进货价格必须填写", "进货单价框"},
             {"1e309", "乙公司", "进货价格必须填写", "进货单价框"},
             {"", "乙公司", "进货价格必须填写", "进货单价框"},
             {"1.3", QString(51, u'乙'), "供货商不能超过50个字", "供货商框"}};
  for (const auto& b : bad) {
    Child<QLineEdit>(window, "进货单价框")->setText(b.price);
    Child<QComboBox>(window, "供货商框")->setEditText(b.supplier);
    app.prompter.ExpectMessage(QString::fromUtf8(b.message));
    window->Save();
    EXPECT_EQ(app.prompter.Messages().back(), QString::fromUtf8(b.message)) << b.price.toStdString();
    EXPECT_EQ(window->focusWidget() ? window->focusWidget()->objectName() : QString(), QString::fromUtf8(b.focus));
    EXPECT_FALSE(alive.isNull());
    EXPECT_EQ(CountRows(app.ctx().db, "stock_move"), moves);
    EXPECT_DOUBLE_EQ(StoredGoods(app.ctx(), ia).bought, 10);
  }

  Child<QLineEdit>(window, "进货单价框")->setText("1.3");
  Child<QComboBox>(window, "供货商框")->setEditText(QStringLiteral("乙公司"));
  window->Save();
  EXPECT_EQ(app.notifier.notices.back().text, "续存商品完成");
  const GoodsRecord r = StoredGoods(app.ctx(), ia);
  EXPECT_DOUBLE_EQ(r.bought_amount, 18.5);
  EXPECT_DOUBLE_EQ(r.stock_amount, 18.5);
  EXPECT_EQ(r.buy_price, 1.2333);  // 18.5 / 15, to the ten-thousandth
  EXPECT_EQ(r.supplier, "甲公司");
  auto st = app.ctx().db.Prepare("select 进货单价,供货商,数量 from stock_move where 业务='续存'");
  ASSERT_TRUE(st && st->Step().value_or(false));
  EXPECT_EQ(st->Double(0), 1.3);
  EXPECT_EQ(st->Text(1), "乙公司");
  EXPECT_EQ(st->Double(2), 5);
}

TEST(GoodsEntryWindow, EditKeepsItsRowAndReportsFailures) {
  TestApp app;
  GoodsRow a;
  a.sold = 3;
  const qint64 ia = InsertGoods(app.ctx().db, a);
  GoodsEntryWindow window(app.ctx(), GoodsEntryWindow::Mode::Edit, ia, nullptr);
  EXPECT_EQ(Child<QLineEdit>(&window, "数量框")->text(), "10");
  Child<QLineEdit>(&window, "数量框")->setText("10");
  Child<QLineEdit>(&window, "进货单价框")->setText("2");
  Child<QLineEdit>(&window, "销售单价框")->setText("5");

  // Deleted meanwhile: reported, no success notice.
  ASSERT_TRUE(app.ctx().db.Execute("update buy set ID=99 where ID=?", ia));
  app.prompter.ExpectMessage("该商品已不存在，可能已被删除。");
  window.Save();
  EXPECT_EQ(app.prompter.Messages().back(), "该商品已不存在，可能已被删除。");
  EXPECT_TRUE(app.notifier.notices.empty());
  ASSERT_TRUE(app.ctx().db.Execute("update buy set ID=? where ID=99", ia));

  window.Save();
  EXPECT_EQ(app.notifier.notices.back().text, "修改商品完成");
  const GoodsRecord r = StoredGoods(app.ctx(), ia);
  EXPECT_DOUBLE_EQ(r.bought_amount, 20);
  EXPECT_DOUBLE_EQ(r.sold_amount, 15);
  EXPECT_DOUBLE_EQ(r.stock, 7);
  EXPECT_DOUBLE_EQ(r.stock_amount, 14);
}

TEST(CategoryTreeWindow, RootAndCategoriesFilterByContainment) {
  TestApp app;
  GoodsRow a, b;
  a.category = "饮料";
  b.category = "进口饮料";
  InsertGoods(app.ctx().db, a);
  InsertGoods(app.ctx().db, b);
  CategoryTreeWindow window(app.ctx(), nullptr);
  auto* tree = Child<QTreeWidget>(&window, "树型框1");
  ASSERT_EQ(tree->topLevelItemCount(), 1);
  QTreeWidgetItem* root = tree->topLevelItem(0);
  EXPECT_EQ(root->text(0), "全部信息");
  EXPECT_TRUE(root->isExpanded());
  ASSERT_EQ(root->childCount(), 2);
  QStringList chosen;
  QObject::connect(&window, &CategoryTreeWindow::CategoryChosen, [&](const QString& t) { chosen << t; });
  emit tree->itemClicked(root->child(1), 0);
  ASSERT_EQ(chosen.size(), 1);
  EXPECT_EQ(CategoryTreeQuery(chosen[0]).params.value(0).toString(), "%" + chosen[0] + "%");
}

TEST(GoodsEntryWindow, SavingWithoutADatabaseShowsOneMessage) {
  TestApp app;
  GoodsEntryWindow window(app.ctx(), GoodsEntryWindow::Mode::NewGoods, 0, nullptr);
  Child<QComboBox>(&window, "类别组合框")->setEditText("饮料");
  Child<QComboBox>(&window, "名称组合框")->setEditText("可乐");
  Child<QComboBox>(&window, "编码组合框")->setEditText("KL");
  Child<QLineEdit>(&window, "进货单价框")->setText("1");
  Child<QLineEdit>(&window, "数量框")->setText("1");
  Child<QLineEdit>(&window, "销售单价框")->setText("1");
  app.ctx().db.Close();
  ASSERT_TRUE(QFile::rename(app.FilePath("data.db"), app.FilePath("away.db")));
  app.prompter.ExpectMessage("打开数据库失败！");
  window.Save();
  ASSERT_EQ(app.prompter.Prompts().size(), 1u);
  EXPECT_EQ(app.prompter.Prompts()[0].caption, "提示");
  EXPECT_EQ(app.prompter.Prompts()[0].icon, MessageKind::Stop);
  EXPECT_TRUE(app.notifier.notices.empty());
}

// Tab in the date goes on to the next box, as everywhere else in the form: QDateEdit's
// own Tab walks year → month → day, and the figures typed next landed in the date.
TEST(GoodsEntryWindow, TabLeavesTheDateForTheNextBox) {
  TestApp app;
  GoodsEntryWindow window(app.ctx(), GoodsEntryWindow::Mode::NewGoods, 0, nullptr);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  auto* date = Child<QDateEdit>(&window, "日期框1");
  const QDate before = date->date();
  date->setFocus();
  ASSERT_TRUE(date->hasFocus());
  QTest::keyClick(date, Qt::Key_Tab);
  EXPECT_FALSE(date->hasFocus());
  QWidget* next = QApplication::focusWidget();
  ASSERT_NE(next, nullptr);
  // Down the form as it reads: the price, the quantity, the selling price, the supplier.
  EXPECT_EQ(next->objectName(), "进货单价框");
  for (const char* box : {"数量框", "销售单价框", "供货商框"}) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), box);
  }
  next->setFocus();
  QTest::keyClicks(next, "12");
  EXPECT_EQ(date->date(), before);
  // Shift+Tab comes back to it, and Shift+Tab again leaves it backwards.
  QTest::keyClick(next, Qt::Key_Backtab);
  EXPECT_TRUE(date->hasFocus());
  QTest::keyClick(date, Qt::Key_Backtab);
  EXPECT_FALSE(date->hasFocus());
  EXPECT_EQ(date->date(), before);
}
