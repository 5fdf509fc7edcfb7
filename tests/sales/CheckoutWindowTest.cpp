#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "TestSupport.h"
#include "app/MainMenus.h"
#include "app/MainWindow.h"
#include "app/Program.h"
#include "lists/Grid.h"
#include "lists/PrintPreview.h"
#include "sales/CheckoutWindow.h"
#include "sales/ReceiptPrinter.h"
#include "sales/SalesFill.h"
#include "sales/SalesPage.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

qint64 AddGoods(TestApp& app, const QString& name, const QString& code, double price, double stock) {
  GoodsRow r;
  r.name = name;
  r.code = code;
  r.model = QStringLiteral("型") + code.right(2);
  r.buy_price = price / 2;
  r.sell_price = price;
  r.stock = stock;
  r.bought = stock;
  r.stock_amount = stock * price / 2;
  r.bought_amount = r.stock_amount;
  return InsertGoods(app.ctx().db, r);
}

// Answers the next modal dialog (the 取单 list) once it is shown by exec().
void WhenDialogShows(std::function<void(QWidget*)> answer) {
  auto* timer = new QTimer;
  timer->setInterval(0);
  QObject::connect(timer, &QTimer::timeout, [timer, answer] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog) return;
    timer->stop();
    timer->deleteLater();
    answer(dialog);
  });
  timer->start();
}

struct Counter {
  explicit Counter(TestApp& app, CheckoutHooks hooks = {}) : app(app) {
    window = new CheckoutWindow(app.ctx(), std::move(hooks), nullptr);
    window->show();
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
  }
  ~Counter() {
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    delete window.data();
  }
  QLineEdit* Code() const { return window->CodeBox(); }
  // A scanner: the code's characters, then Enter, into the code box.
  void Scan(const QString& code) {
    QTest::keyClicks(Code(), code);
    QTest::keyClick(Code(), Qt::Key_Return);
  }
  QString Cell(int row, int col) const { return window->LinesTable()->item(row, col)->text(); }
  QString Figure(const char* name) const { return window->findChild<QLabel*>(QString::fromUtf8(name))->text(); }
  // Types into a line's cell as the user does: the editor opened, text, Enter.
  void TypeInCell(int row, int col, const QString& text) {
    QTableWidget* table = window->LinesTable();
    table->setFocus();
    table->setCurrentCell(row, col);
    table->editItem(table->item(row, col));
    auto* editor = table->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    // The delegate commits on a queued call, and the lines refill on another.
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
  }
  std::vector<QString> ReceiptNumbers() {
    std::vector<QString> numbers;
    auto st = app.ctx().db.Prepare("select 客户编号 from sell order by \"ID\"");
    EXPECT_TRUE(st.has_value());
    while (st && st->Step().value_or(false)) numbers.push_back(st->Text(0));
    return numbers;
  }
  double Stock(qint64 goods_id) {
    auto st = app.ctx().db.Prepare("select 存货数量 from buy where \"ID\"=?");
    if (!st) return -1;
    st->BindAll(goods_id);
    EXPECT_TRUE(st->Step().value_or(false));
    return st->Double(0);
  }

  TestApp& app;
  QPointer<CheckoutWindow> window;
};

}  // namespace

TEST(CheckoutWindow, ScannerAddsLinesCountsRepeatsAndSaysWhatItCannotFind) {
  TestApp app;
  const qint64 cola = AddGoods(app, "可口可乐", "6901234567890", 3, 10);
  AddGoods(app, "雪碧", "6901234567891", 2.5, 10);
  Counter c(app);
  ASSERT_EQ(QApplication::focusWidget(), c.Code());
  EXPECT_EQ(c.Code()->objectName(), "收银商品编码框");

  c.Scan("6901234567890");
  c.Scan("6901234567890");
  c.Scan("6901234567891");
  ASSERT_EQ(c.window->Lines().size(), 2u);
  EXPECT_EQ(c.window->Lines()[0].goods.id, cola);
  EXPECT_EQ(c.Cell(0, kLineQuantityCol), "2");
  EXPECT_EQ(c.Cell(0, kLineAmountCol), "6");
  EXPECT_EQ(c.Cell(1, kLineNameCol), "雪碧");
  EXPECT_EQ(c.Figure("收银件数"), "3");
  EXPECT_EQ(c.Figure("收银合计金额"), "8.5元");
  EXPECT_TRUE(c.Code()->text().isEmpty());

  // An unknown code: said under the box, no box to dismiss, the basket as it was, and
  // the box ready for the next scan.
  c.Scan("123");
  EXPECT_EQ(c.window->MessageLabel()->text(), "没有找到编码为 123 的商品");
  EXPECT_TRUE(c.app.prompter.Prompts().empty());
  EXPECT_EQ(c.window->Lines().size(), 2u);
  EXPECT_EQ(QApplication::focusWidget(), c.Code());
  EXPECT_TRUE(c.Code()->text().isEmpty());

  // The next scan goes on at once.
  c.Scan("6901234567891");
  EXPECT_EQ(c.Cell(1, kLineQuantityCol), "2");

  // Delete on the empty box takes out the chosen line.
  c.window->LinesTable()->selectRow(0);
  QTest::keyClick(c.Code(), Qt::Key_Delete);
  ASSERT_EQ(c.window->Lines().size(), 1u);
  EXPECT_EQ(c.Cell(0, kLineNameCol), "雪碧");
}

TEST(CheckoutWindow, LettersAndSharedCodesOfferAPickList) {
  TestApp app;
  AddGoods(app, "可口可乐", "KL01", 3, 10);
  const qint64 second = AddGoods(app, "可乐零度", "KL01", 4, 10);
  Counter c(app);

  // Two goods of one code: a list, arrows and Enter.
  c.Scan("KL01");
  ASSERT_TRUE(c.window->PickList()->isVisible());
  EXPECT_EQ(c.window->PickList()->count(), 2);
  EXPECT_EQ(QApplication::focusWidget(), c.window->PickList());
  QTest::keyClick(c.window->PickList(), Qt::Key_Down);
  QTest::keyClick(c.window->PickList(), Qt::Key_Return);
  ASSERT_EQ(c.window->Lines().size(), 1u);
  EXPECT_EQ(c.window->Lines()[0].goods.id, second);
  EXPECT_FALSE(c.window->PickList()->isVisible());
  EXPECT_EQ(QApplication::focusWidget(), c.Code());

  // Initials instead of a code: the search's list; Esc goes back to the box, adding nothing.
  c.Scan("KKKL");
  ASSERT_TRUE(c.window->PickList()->isVisible());
  QTest::keyClick(c.window->PickList(), Qt::Key_Escape);
  EXPECT_FALSE(c.window->PickList()->isVisible());
  EXPECT_EQ(QApplication::focusWidget(), c.Code());
  EXPECT_EQ(c.window->Lines().size(), 1u);
}

TEST(CheckoutWindow, DiscountAndQuantityTypedInPlaceAndBadTextRefused) {
  TestApp app;
  AddGoods(app, "茶杯", "C1", 20, 3);
  AddGoods(app, "茶壶", "C2", 50, 5);
  Counter c(app);
  c.Scan("C1");
  c.Scan("C2");

  c.TypeInCell(1, kLineDiscountCol, "80");
  EXPECT_EQ(c.Cell(1, kLineActualCol), "40");
  EXPECT_EQ(c.Cell(1, kLineAmountCol), "40");
  EXPECT_EQ(c.Figure("收银合计金额"), "60元");
  EXPECT_EQ(QApplication::focusWidget(), c.Code());

  // A letter, or a number too large to be one: refused, the old value kept.
  c.TypeInCell(0, kLineQuantityCol, "abc");
  EXPECT_EQ(c.Cell(0, kLineQuantityCol), "1");
  EXPECT_TRUE(c.window->MessageLabel()->text().contains("数量必须是数字"));
  c.TypeInCell(1, kLineDiscountCol, "1e309");
  EXPECT_EQ(c.Cell(1, kLineDiscountCol), "80");
  EXPECT_EQ(c.window->Lines()[1].discount, 80);

  // More than the stock: marked and kept, never clamped; 实收 more than the total gives change.
  c.TypeInCell(0, kLineQuantityCol, "4");
  EXPECT_EQ(c.Cell(0, kLineQuantityCol), "4");
  EXPECT_EQ(c.window->LinesTable()->item(0, kLineNameCol)->toolTip(), "库存不足");
  EXPECT_EQ(c.Cell(0, kLineStockCol), "3 不足");
  EXPECT_EQ(c.Cell(1, kLineStockCol), "5");
  EXPECT_TRUE(c.window->LinesTable()->item(1, kLineNameCol)->toolTip().isEmpty());
  // Tab from the code box goes straight to 实收.
  c.Code()->setFocus();
  QTest::keyClick(c.Code(), Qt::Key_Tab);
  auto* paid = c.window->findChild<QLineEdit*>("收银实收框");
  ASSERT_EQ(QApplication::focusWidget(), paid);
  QTest::keyClicks(paid, "200");
  EXPECT_EQ(c.Figure("收银找零"), "80元");
  EXPECT_EQ(c.Figure("收银欠款"), "0元");

  // 结账 refused, naming the line; nothing written.
  app.prompter.ExpectMessage("第1行 茶杯 库存不足：库存 3，数量 4。\n请修改数量或删除该行后再结账。");
  QTest::keyClick(c.Code(), Qt::Key_F12);
  EXPECT_EQ(CountRows(app.ctx().db, "sell"), 0);
  EXPECT_EQ(c.window->Lines().size(), 2u);
}

TEST(CheckoutWindow, EnterOnTheEmptyBoxRecordsOneReceiptAndAFailureKeepsTheBasket) {
  TestApp app;
  const qint64 cup = AddGoods(app, "茶杯", "C1", 20, 3);
  const qint64 pot = AddGoods(app, "茶壶", "C2", 50, 5);
  std::optional<BasketReceipt> seen;
  CheckoutHooks hooks;
  hooks.print_receipt = [&](const BasketReceipt& r, QWidget*) { seen = r; };
  Counter c(app, hooks);

  // A debt without a debtor: refused by the logic, the basket stays for another try.
  c.Scan("C1");
  c.Scan("C2");
  c.Scan("C1");
  c.window->findChild<QLineEdit*>("收银实收框")->setText("10");
  EXPECT_EQ(c.Figure("收银欠款"), "80元");
  EXPECT_FALSE(c.Figure("收银欠款提示").isEmpty());
  app.prompter.ExpectMessage("实收少于合计金额，欠款必须填写客户名称");
  QTest::keyClick(c.Code(), Qt::Key_Return);
  EXPECT_EQ(CountRows(app.ctx().db, "sell"), 0);
  ASSERT_EQ(c.window->Lines().size(), 2u);
  EXPECT_EQ(c.Cell(0, kLineQuantityCol), "2");

  // Paid in full: Enter on the empty box records, the receipt offered (and taken).
  c.window->findChild<QLineEdit*>("收银实收框")->setText("100");
  c.Code()->setFocus();
  app.prompter.AnswerConfirm(true);
  QTest::keyClick(c.Code(), Qt::Key_Return);
  const auto numbers = c.ReceiptNumbers();
  ASSERT_EQ(numbers.size(), 2u);
  EXPECT_EQ(numbers[0], numbers[1]);
  EXPECT_FALSE(numbers[0].isEmpty());
  EXPECT_EQ(c.Stock(cup), 1);
  EXPECT_EQ(c.Stock(pot), 4);
  EXPECT_TRUE(c.window->Lines().empty());
  EXPECT_EQ(c.window->LinesTable()->rowCount(), 0);
  EXPECT_EQ(QApplication::focusWidget(), c.Code());
  ASSERT_FALSE(app.notifier.notices.empty());
  EXPECT_TRUE(app.notifier.notices.back().text.contains(numbers[0]));
  EXPECT_TRUE(app.notifier.notices.back().text.contains("找零 10元"));
  ASSERT_TRUE(seen.has_value());
  EXPECT_EQ(seen->lines.size(), 2u);
  const QStringList lines = BasketReceiptLines(*seen);
  EXPECT_TRUE(lines.contains("小票号：" + numbers[0]));
  EXPECT_TRUE(lines.contains("实收：100元"));
  EXPECT_TRUE(lines.contains("找零：10元"));
  EXPECT_TRUE(lines.contains("    2 × 20 = 40元"));
  EXPECT_FALSE(lines.join("").contains("利润"));

  // "自动打印小票" ticked: printed without asking, and remembered in config.ini.
  seen.reset();
  c.window->findChild<QCheckBox*>("自动打印小票")->setChecked(true);
  EXPECT_EQ(app.ctx().settings.Read(kCheckoutSection, kAutoPrintKey), "true");
  c.Scan("C2");
  QTest::keyClick(c.Code(), Qt::Key_F12);
  ASSERT_TRUE(seen.has_value());
  EXPECT_EQ(seen->lines.size(), 1u);
  // "重打小票" prints that last receipt again.
  const QString last = seen->receipt_number;
  seen.reset();
  QTest::mouseClick(c.window->findChild<QPushButton*>("重打小票按钮"), Qt::LeftButton);
  ASSERT_TRUE(seen.has_value());
  EXPECT_EQ(seen->receipt_number, last);
  Counter again(app);
  EXPECT_TRUE(again.window->findChild<QCheckBox*>("自动打印小票")->isChecked());
}

TEST(CheckoutWindow, HeldBasketComesBackAfterTheProgramStartsAgain) {
  TestApp app;
  AddGoods(app, "茶杯", "C1", 20, 3);
  AddGoods(app, "茶壶", "C2", 50, 5);
  {
    Counter c(app);
    c.Scan("C1");
    c.Scan("C2");
    c.Scan("C2");
    QTest::keyClick(c.Code(), Qt::Key_F8);
    EXPECT_TRUE(c.window->Lines().empty());
    EXPECT_EQ(QApplication::focusWidget(), c.Code());
  }
  // Another context on the same folder: the program started again.
  AppContext restarted(app.Dir(), app.prompter, app.clock, app.notifier);
  restarted.session = app.ctx().session;
  auto* window = new CheckoutWindow(restarted, {}, nullptr);
  window->show();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  int listed = -1;
  WhenDialogShows([&](QWidget* dialog) {
    auto* held = qobject_cast<HeldBasketsDialog*>(dialog);
    ASSERT_NE(held, nullptr);
    listed = held->Table()->rowCount();
    EXPECT_TRUE(held->Table()->item(0, 2)->text().contains("茶壶"));
    EXPECT_EQ(held->Table()->item(0, 4)->text(), "120元");
    QTest::keyClick(held->Table(), Qt::Key_Return);
  });
  QTest::keyClick(window->CodeBox(), Qt::Key_F9);
  EXPECT_EQ(listed, 1);
  ASSERT_EQ(window->Lines().size(), 2u);
  EXPECT_EQ(window->Lines()[1].quantity, 2);
  EXPECT_EQ(window->Lines()[1].goods.name, "茶壶");
  // Taken out: nothing is left held.
  EXPECT_TRUE(HeldBaskets(restarted).value_or(std::vector<HeldBasket>{1}).empty());
  app.prompter.AnswerConfirm(true);  // closing with a basket asks first
  window->close();
  delete window;
}

TEST(CheckoutWindow, ReturnOfOneLineAndTooMuchRefused) {
  TestApp app;
  const qint64 cup = AddGoods(app, "茶杯", "C1", 20, 3);
  AddGoods(app, "茶壶", "C2", 50, 5);
  QString number;
  {
    Counter c(app);
    c.Scan("C1");
    c.Scan("C1");
    c.Scan("C2");
    app.prompter.AnswerConfirm(false);
    ASSERT_TRUE(c.window->CheckOut());
    number = c.window->LastReceipt();
  }
  ReturnDialog dialog(app.ctx(), nullptr);
  ASSERT_TRUE(dialog.LoadReceipt(number));
  ASSERT_EQ(dialog.Table()->rowCount(), 2);
  dialog.Table()->item(0, 6)->setText("3");
  app.prompter.ExpectMessage("茶杯：退货数量超过可退数量（可退 2）");
  EXPECT_FALSE(dialog.Confirm());
  EXPECT_EQ(CountRows(app.ctx().db, "sell"), 2);
  dialog.Table()->item(0, 6)->setText("x");
  app.prompter.ExpectMessage("第1行 茶杯 的退货数量必须是大于0的数字");
  EXPECT_FALSE(dialog.Confirm());
  // Typed into the cell and confirmed with F12 at once, the keyboard's way: what the
  // cell shows is what is returned.
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  dialog.Table()->setCurrentCell(0, 6);
  dialog.Table()->editItem(dialog.Table()->item(0, 6));
  auto* editor = dialog.Table()->viewport()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  editor->setFocus();
  editor->selectAll();
  QTest::keyClicks(editor, "1");
  QTest::keyClick(editor, Qt::Key_F12);
  ASSERT_TRUE(dialog.Recorded().has_value());
  EXPECT_EQ(CountRows(app.ctx().db, "sell"), 3);
  Counter c(app);
  EXPECT_EQ(c.Stock(cup), 2);
}

TEST(CheckoutWindow, SalesPageFindsAReceiptByItsNumberAndPrintsItWhole) {
  TestApp app;
  AddGoods(app, "茶杯", "C1", 20, 3);
  AddGoods(app, "茶壶", "C2", 50, 5);
  AddGoods(app, "茶盘", "C3", 30, 5);
  QString number;
  {
    Counter c(app);
    c.Scan("C3");
    app.prompter.AnswerConfirm(false);
    ASSERT_TRUE(c.window->CheckOut());
    app.clock.Set(app.clock.Now().addSecs(60));
    c.Scan("C1");
    c.Scan("C2");
    app.prompter.AnswerConfirm(false);
    ASSERT_TRUE(c.window->CheckOut());
    number = c.window->LastReceipt();
  }
  // A sale of the sale window, alone on its number, with no payment kept.
  ASSERT_TRUE(app.ctx().db.Execute(
      "insert into sell (名称,型号,客户编号,销售单价,销售数量,销售金额,销售日期) values (?,?,?,?,?,?,?)",
      QStringLiteral("茶盘"), QStringLiteral("型C3"), QStringLiteral("2026121000"), 5.0, 1.0, 5.0,
      QStringLiteral("2026-12-01 00:00:00")));
  QWidget owner;
  const auto menus = BuildMainMenus(&owner, true);
  SalesPage page(app.ctx(), menus.value(kSalesMenu), &owner);
  QAction* find = FindMenuItem(menus.value(kSalesMenu), "按小票号查询");
  ASSERT_NE(find, nullptr);
  app.prompter.AnswerText(number);
  find->trigger();
  Grid& grid = *page.SalesGrid();
  ASSERT_EQ(grid.Rows() - grid.FixedRows() - grid.FrozenBottomRows(), 2);
  EXPECT_EQ(grid.CellText(grid.FixedRows(), kSaleNameCol), "茶杯");
  EXPECT_EQ(grid.CellText(grid.FixedRows() + 1, kSaleNameCol), "茶壶");

  app.prompter.AnswerText(QStringLiteral("没有这张"));
  app.prompter.ExpectMessage("没有找到小票号为 没有这张 的销售记录");
  find->trigger();

  // "小票打印" on one row of the basket prints the whole receipt: its paper is longer by
  // far than the receipt of a sale window's sale; a counter's receipt of one line is
  // printed as the counter printed it, with its payment.
  page.FillSalesList(AllSalesQuery());
  QTemporaryDir dir;
  const auto paper_mm = [&](int row) {
    const QString pdf = dir.filePath(QStringLiteral("r%1.pdf").arg(row));
    WhenDialogShows([&](QWidget* dialog) {
      auto* preview = qobject_cast<PrintPreview*>(dialog);
      ASSERT_NE(preview, nullptr);
      preview->SetPrinterChooser([&](QPrinter& printer, int, int) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
      });
      preview->Print();
      preview->reject();
    });
    EXPECT_NE(page.PrepareMenuFor(row, kSaleNameCol), nullptr);
    FindMenuItem(menus.value(kSalesMenu), "小票打印")->trigger();
    QFile file(pdf);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    const auto box =
        QRegularExpression(R"(/MediaBox \[0 0 [0-9.]+ ([0-9.]+))").match(QString::fromLatin1(file.readAll()));
    return box.hasMatch() ? box.captured(1).toDouble() * 25.4 / 72 : 0.0;
  };
  const double alone = paper_mm(grid.FixedRows() + 3);
  const double counter_one = paper_mm(grid.FixedRows());
  const double basket = paper_mm(grid.FixedRows() + 2);
  EXPECT_GT(alone, 40);
  EXPECT_GT(counter_one, alone + 10);
  EXPECT_GT(basket, counter_one + 5);
}

TEST(CheckoutWindow, F2FromAnyPageOpensTheCounter) {
  TestApp app;
  MainWindow main(app.ctx(), ProgramParts(app.ctx()));
  main.show();
  main.ShowPage(kSalesPage);
  main.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
  EXPECT_EQ(main.findChild<CheckoutWindow*>(), nullptr);
  QTest::keyClick(&main, Qt::Key_F2);
  auto* counter = main.findChild<CheckoutWindow*>();
  ASSERT_NE(counter, nullptr);
  EXPECT_TRUE(counter->isVisible());
  EXPECT_EQ(counter->windowTitle(), "收银台");
  // Esc on an empty basket closes it without a question; the header's button opens the same one.
  QTest::keyClick(counter->CodeBox(), Qt::Key_Escape);
  EXPECT_FALSE(counter->isVisible());
  QTest::mouseClick(main.findChild<QToolButton*>("收银台按钮"), Qt::LeftButton);
  EXPECT_EQ(main.findChild<CheckoutWindow*>(), counter);
  EXPECT_TRUE(counter->isVisible());
}

TEST(CheckoutWindow, ReplacedDataDropsABasketOfTheOldGoods) {
  TestApp app;
  AddGoods(app, "茶杯", "C1", 20, 3);
  MainWindow main(app.ctx(), ProgramParts(app.ctx()));
  main.show();
  main.OpenCheckout();
  auto* counter = main.findChild<CheckoutWindow*>();
  ASSERT_NE(counter, nullptr);
  QTest::keyClicks(counter->CodeBox(), "C1");
  QTest::keyClick(counter->CodeBox(), Qt::Key_Return);
  ASSERT_EQ(counter->Lines().size(), 1u);
  app.prompter.ExpectMessage(kRowWindowsClosedText);
  EXPECT_TRUE(main.DataReplaced());
  EXPECT_TRUE(counter->Lines().empty());
  EXPECT_FALSE(counter->isVisible());
}

TEST(CheckoutWindow, ABasketLeftOnTheCounterWhenTheProgramEndsIsHeld) {
  TestApp app;
  AddGoods(app, "茶杯", "C1", 20, 3);
  {
    Counter c(app);
    c.Scan("C1");
    c.Scan("C1");
  }
  const auto held = HeldBaskets(app.ctx());
  ASSERT_TRUE(held.has_value());
  ASSERT_EQ(held->size(), 1u);
  ASSERT_EQ(held->front().checkout.lines.size(), 1u);
  EXPECT_EQ(held->front().checkout.lines[0].quantity, 2);
  // An empty counter leaves nothing behind.
  { Counter empty(app); }
  EXPECT_EQ(HeldBaskets(app.ctx()).value_or(std::vector<HeldBasket>{}).size(), 1u);
}
