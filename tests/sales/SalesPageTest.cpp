#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPageLayout>
#include <QPdfWriter>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "EngineSupport.h"
#include "GridClicks.h"
#include "TestSupport.h"
#include "app/MainMenus.h"
#include "app/MainWindow.h"
#include "app/Program.h"
#include "data/TextFormat.h"
#include "lists/Grid.h"
#include "lists/GridPrinter.h"
#include "lists/PrintPreview.h"
#include "sales/ReceiptPrinter.h"
#include "sales/SaleWindow.h"
#include "sales/SalesList.h"
#include "sales/SalesPage.h"
#include "stock/StockPage.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

qint64 AddSale(Database& db, const QString& name, double debt, double profit,
               const QString& date = "2026-12-08 00:00:00") {
  auto r = db.Execute(
      "insert into sell (名称,型号,首拼,销售日期,欠款额,净利润,销售单价,销售数量,销售金额,客户名称,\"UID\") "
      "values (?,'M','ZS',?,?,?,10,2,20,'客户',7)",
      name, date, debt, profit);
  EXPECT_TRUE(r.has_value());
  return db.LastInsertId();
}

struct PageFixture {
  explicit PageFixture(TestApp& app) : PageFixture(app.ctx()) {}
  explicit PageFixture(AppContext& ctx) : ctx(ctx) {
    menus = BuildMainMenus(&owner, ctx.session.IsSuperAdministrator());
    owner.resize(1200, 700);
  }
  SalesPage& Page() {
    if (!page) {
      page = std::make_unique<SalesPage>(ctx, menus.value(kSalesMenu), &owner);
      page->resize(1200, 600);
    }
    return *page;
  }
  Grid& G() { return *Page().SalesGrid(); }
  QAction* Item(const char* caption) { return FindMenuItem(menus.value(kSalesMenu), QString::fromUtf8(caption)); }
  int RowOf(qint64 id) {
    for (int r = G().FixedRows(); r < G().Rows(); ++r)
      if (G().CellText(r, kSaleIdCol) == QString::number(id)) return r;
    return -1;
  }
  int DataRows() { return G().Rows() - G().FixedRows() - 1; }
  void Click(const char* button) { QTest::mouseClick(Page().findChild<QPushButton*>(button), Qt::LeftButton); }

  AppContext& ctx;
  QWidget owner;
  QHash<QString, QMenu*> menus;
  std::unique_ptr<SalesPage> page;
};

QByteArray Unzip(const QString& file, const char* member) {
  QProcess unzip;
  unzip.start("unzip", {"-p", file, member});
  if (!unzip.waitForFinished(30000)) return {};
  return unzip.readAllStandardOutput();
}

// The page's fill and searches, through the list pipeline of each engine.
class SalesPageOnEngines : public EngineTest {};
HEMULU_ON_BOTH_ENGINES(SalesPageOnEngines);

}  // namespace

TEST_P(SalesPageOnEngines, ColumnsTotalsAndDebtColour) {
  const qint64 owed = AddSale(db(), "欠", -5, 7);
  const qint64 tiny = AddSale(db(), "微", 0.00000005, 3);
  PageFixture f(ctx());
  Grid& g = f.G();
  EXPECT_EQ(g.Cols(), 18);
  EXPECT_EQ(g.CellText(0, 2), "商品信息");
  EXPECT_EQ(g.CellText(0, 7), "销售信息");
  EXPECT_EQ(g.CellText(0, 13), "客户信息");
  EXPECT_EQ(g.CellText(1, 12), "净利润");
  EXPECT_EQ(g.ColumnWidth(3), static_cast<int>(0.1 * f.Page().Host()->width()));
  EXPECT_GT(g.ColumnWidth(kSaleProfitCol), 0);
  EXPECT_EQ(f.DataRows(), 2);
  const int owed_row = f.RowOf(owed), tiny_row = f.RowOf(tiny);
  EXPECT_EQ(g.CellText(owed_row, kSaleDateCol), "2026年12月8日");
  EXPECT_EQ(g.CellForeColor(owed_row, 5), ColorFromWin(16711824));
  EXPECT_FALSE(g.CellForeColor(tiny_row, 5).isValid());
  const int totals = g.Rows() - 1;
  EXPECT_EQ(g.CellText(totals, kSaleNameCol), "合计：");
  EXPECT_EQ(g.CellText(totals, kSaleQuantityCol), "4");
  EXPECT_EQ(g.CellText(totals, kSaleAmountCol), "40");
  EXPECT_EQ(g.CellText(totals, kSaleProfitCol), "10");
}

TEST(SalesPage, ATimedSaleShowsItsDayInTheListAndTheExportAndPrintsWhole) {
  TestApp app;
  const qint64 id = AddSale(app.ctx().db, "茶杯", 0, 1, "2026-10-05 14:30:15");
  ASSERT_TRUE(app.ctx()
                  .db
                  .Execute("update sell set 编码='6901234567890',客户编号='20261051430',"
                           "联系方式='13912345678',客户地址='北京市海淀区中关村大街1号' where ID=?",
                           id)
                  .has_value());
  PageFixture f(app);
  Grid& g = f.G();
  const int row = f.RowOf(id);
  EXPECT_EQ(g.CellText(row, kSaleDateCol), "2026年10月5日");

  // The export's date cell is the day itself (a whole serial number), as the list shows it.
  const auto path = f.Page().Export();
  ASSERT_TRUE(path.has_value());
  const QString sheet = QString::fromUtf8(Unzip(*path, "xl/worksheets/sheet1.xml"));
  const QRegularExpression date_cell(QStringLiteral("<c r=\"I3\"[^>]*><v>([^<]*)</v>"));
  const auto match = date_cell.match(sheet);
  ASSERT_TRUE(match.hasMatch()) << sheet.left(2000).toStdString();
  EXPECT_EQ(match.captured(1), "46300");

  // Printed on A4 across, the customer's number, phone, address and the goods code are
  // whole: there is room for them.
  f.Page().FillSalesList(SalesOfMonthQuery(QDate(2026, 10, 9)));
  const GridPrintDocument document(g, f.Page().PrintHeading());
  for (int col : {5, 13, 15, 16, kSaleDateCol}) EXPECT_FALSE(document.IsCut(f.RowOf(id), col)) << col;
  EXPECT_EQ(document.HeadingLine(), "范围：2026年10月1日至2026年10月31日　　打印日期：2026年12月8日");
  f.Page().FillSalesList(SearchSalesQuery(SalesSearchField::Code, "69"));
  EXPECT_EQ(f.Page().PrintHeading().scope, "商品编码含“69”");
}

TEST(SalesPage, OperatorNeverSeesProfit) {
  TestApp app("营业员");
  AddSale(app.ctx().db, "甲", 0, 12.5);
  PageFixture f(app);
  Grid& g = f.G();
  EXPECT_EQ(g.ColumnWidth(kSaleProfitCol), 0);
  EXPECT_TRUE(g.IsColumnLockedHidden(kSaleProfitCol));
  // The fill gives an operator no profit at all, not even the total in the hidden column.
  EXPECT_EQ(NumberValue(g.CellText(g.Rows() - 1, kSaleProfitCol)), 0);
  f.Page().resize(1500, 600);
  f.Item("隐藏净利润")->trigger();
  f.Item("隐藏净利润")->trigger();
  EXPECT_EQ(g.ColumnWidth(kSaleProfitCol), 0);
  f.Item("隐藏销售单价")->trigger();
  EXPECT_EQ(g.ColumnWidth(kSalePriceCol), 0);
  f.Item("显示全部信息")->trigger();
  EXPECT_EQ(g.ColumnWidth(kSaleProfitCol), 0);
  EXPECT_GT(g.ColumnWidth(kSalePriceCol), 0);
  EXPECT_FALSE(f.Item("删除数据")->isVisible());

  // Neither the export nor the receipt carries profit.
  const auto path = f.Page().Export();
  ASSERT_TRUE(path.has_value());
  EXPECT_EQ(*path, app.FilePath("sales.xlsx"));
  const QByteArray strings = Unzip(*path, "xl/sharedStrings.xml") + Unzip(*path, "xl/worksheets/sheet1.xml");
  EXPECT_TRUE(strings.contains(QStringLiteral("欠款额").toUtf8()));
  EXPECT_FALSE(strings.contains(QStringLiteral("净利润").toUtf8()));
}

TEST(SalesPage, DisplayItemsForTheSuperAdministrator) {
  TestApp app;
  AddSale(app.ctx().db, "甲", 0, 1);
  PageFixture f(app);
  Grid& g = f.G();
  f.Item("隐藏净利润")->trigger();
  EXPECT_TRUE(f.Item("隐藏净利润")->isChecked());
  EXPECT_EQ(g.ColumnWidth(kSaleProfitCol), 0);
  f.Item("隐藏全部客户信息")->trigger();
  for (int c = 13; c <= 17; ++c) EXPECT_EQ(g.ColumnWidth(c), 0) << c;
  f.Page().resize(1400, 600);  // a resize keeps what the items hid
  EXPECT_EQ(g.ColumnWidth(kSaleProfitCol), 0);
  f.Item("隐藏净利润")->trigger();
  EXPECT_FALSE(f.Item("隐藏净利润")->isChecked());
  EXPECT_GT(g.ColumnWidth(kSaleProfitCol), 0);
  f.Item("显示全部信息")->trigger();
  EXPECT_FALSE(f.Item("隐藏全部客户信息")->isChecked());
  EXPECT_GT(g.ColumnWidth(14), 0);
}

TEST_P(SalesPageOnEngines, ButtonsAndSearchBoxes) {
  // today is 8 December 2026
  AddSale(db(), "今天", 20, 1, "2026-12-08 00:00:00");
  AddSale(db(), "本月", 0, 1, "2026-12-01 00:00:00");
  AddSale(db(), "上月", 0, 1, "2026-11-30 00:00:00");
  PageFixture f(ctx());
  EXPECT_EQ(f.DataRows(), 3);
  f.Click("销售显示当天按钮");
  EXPECT_EQ(f.DataRows(), 1);
  f.Click("销售显示本月按钮");
  EXPECT_EQ(f.DataRows(), 2);
  f.Click("销售清空条件按钮");
  EXPECT_EQ(f.DataRows(), 1);
  f.Page().findChild<QDateEdit*>("销售日期框1")->setDate(QDate(2026, 12, 8));
  f.Page().findChild<QDateEdit*>("销售日期框2")->setDate(QDate(2026, 11, 30));
  f.Click("销售查询按钮");
  EXPECT_EQ(f.DataRows(), 0);
  f.Click("销售全部记录按钮");
  EXPECT_EQ(f.DataRows(), 3);

  auto* name = f.Page().findChild<QLineEdit*>("销售商品名称框");
  name->setFocus();
  QTest::keyClicks(name, "zq");
  EXPECT_EQ(f.DataRows(), 0);
  name->clear();
  EXPECT_EQ(f.DataRows(), 3);
  QTest::keyClicks(name, "zs");
  EXPECT_EQ(f.DataRows(), 3);
  auto* customer = f.Page().findChild<QComboBox*>("销售客户名称框");
  EXPECT_EQ(customer->count(), 1);
  QTest::keyClicks(customer->lineEdit(), "'");
  EXPECT_EQ(f.DataRows(), 0);
  EXPECT_TRUE(prompter.Messages().empty());
}

TEST(SalesPage, MenuOnlyOnSaleRowsAndEditKeepsItsOwnSale) {
  TestApp app;
  const qint64 a = AddSale(app.ctx().db, "甲", 20, 1);
  const qint64 b = AddSale(app.ctx().db, "乙", 0, 1);
  PageFixture f(app);
  const int row_a = f.RowOf(a), row_b = f.RowOf(b);
  EXPECT_EQ(f.Page().PrepareMenuFor(0, 3), nullptr);
  EXPECT_EQ(f.Page().PrepareMenuFor(1, 3), nullptr);
  EXPECT_EQ(f.Page().PrepareMenuFor(row_a, 0), nullptr);
  EXPECT_EQ(f.Page().PrepareMenuFor(row_a, 1), nullptr);
  EXPECT_EQ(f.Page().PrepareMenuFor(f.G().Rows() - 1, 3), nullptr);  // the totals row
  EXPECT_NE(f.Page().PrepareMenuFor(row_a, 2), nullptr);

  f.Page().ActivateCell(row_a, 3);
  SaleEditWindow* w = f.Page().EditWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->windowTitle(), "修改销售单 - 7");
  EXPECT_FALSE(w->isModal());
  EXPECT_EQ(w->findChild<QLineEdit*>("欠款金额框")->text(), "20");
  // Another row chosen meanwhile does not change which sale the window saves.
  f.Page().PrepareMenuFor(row_b, 3);
  w->findChild<QLineEdit*>("欠款金额框")->setText("0");
  w->findChild<QLineEdit*>("客户名称框")->setText("张'三");
  QTest::mouseClick(w->findChild<QPushButton*>("按钮1"), Qt::LeftButton);
  ASSERT_EQ(app.notifier.notices.size(), 1u);
  EXPECT_EQ(app.notifier.notices[0].text, "修改销售完成");
  auto st = app.ctx().db.Prepare("select ID,欠款额,客户名称 from sell order by ID");
  ASSERT_TRUE(st->Step().value_or(false));
  EXPECT_EQ(st->Int(0), a);
  EXPECT_EQ(st->Double(1), 0);
  EXPECT_EQ(st->Text(2), "张'三");
  ASSERT_TRUE(st->Step().value_or(false));
  EXPECT_EQ(st->Text(2), "客户");
  // Settled: no colour, and no longer among the debts.
  EXPECT_FALSE(f.G().CellForeColor(f.RowOf(a), 5).isValid());
  f.Click("销售清空条件按钮");
  EXPECT_EQ(f.DataRows(), 0);

  // A failed save says so and never says it succeeded.
  f.Click("销售全部记录按钮");
  f.Page().ActivateCell(f.RowOf(b), 3);
  w = f.Page().EditWindow();
  w->findChild<QLineEdit*>("欠款金额框")->setText("abc");
  app.prompter.ExpectMessage("欠款金额必须是数字，请重新填写");
  QTest::mouseClick(w->findChild<QPushButton*>("按钮1"), Qt::LeftButton);
  EXPECT_EQ(app.notifier.notices.size(), 1u);
  w->close();
}

TEST(SalesPage, DeleteAsksRemovesTheRowKeepsTotalsAndGoods) {
  TestApp app;
  const qint64 goods = InsertGoods(app.ctx().db, GoodsRow{});
  const qint64 a = AddSale(app.ctx().db, "甲", 0, 1);
  AddSale(app.ctx().db, "乙", 0, 1);
  PageFixture f(app);
  f.Page().PrepareMenuFor(f.RowOf(a), 3);
  app.prompter.AnswerConfirm(false);
  f.Item("删除数据")->trigger();
  EXPECT_EQ(CountRows(app.ctx().db, "sell"), 2);
  ASSERT_EQ(app.prompter.Prompts().size(), 1u);
  EXPECT_EQ(app.prompter.Prompts()[0].caption, "警告！");
  EXPECT_EQ(app.prompter.Prompts()[0].text, "你确定要删除当前选中的资料吗？\n\n        一经删除无法恢复");

  f.Page().PrepareMenuFor(f.RowOf(a), 3);
  app.prompter.AnswerConfirm(true);
  f.Item("删除数据")->trigger();
  EXPECT_EQ(CountRows(app.ctx().db, "sell"), 1);
  EXPECT_EQ(f.RowOf(a), -1);
  EXPECT_EQ(f.DataRows(), 1);
  EXPECT_EQ(f.G().CellText(f.G().Rows() - 1, kSaleQuantityCol), "4");  // no refill
  EXPECT_EQ(CountRows(app.ctx().db, "buy"), 1);
  (void)goods;
}

TEST(SalesPage, OperatorIsRefusedDeleteWithoutBeingAsked) {
  TestApp app("营业员");
  const qint64 a = AddSale(app.ctx().db, "甲", 0, 1);
  PageFixture f(app);
  ASSERT_NE(f.Page().PrepareMenuFor(f.RowOf(a), 3), nullptr);
  app.prompter.ExpectMessage("对不起，只有超级管理员才能删除销售记录。");
  f.Page().DeleteCurrentSale();  // as the hidden item would
  EXPECT_EQ(CountRows(app.ctx().db, "sell"), 1);
  EXPECT_NE(f.RowOf(a), -1);
  EXPECT_TRUE(app.prompter.Prompts().size() == 1u);  // the refusal only, no question
}

TEST(Receipt, EightyMillimetrePdfWithTheShopLinesThatExist) {
  TestApp app;
  ASSERT_TRUE(app.ctx().settings.WriteSetupValue("name", "禾木鹭小店"));
  ASSERT_TRUE(app.ctx().settings.WriteSetupValue("tell", "0571-1234567"));
  const qint64 id = AddSale(app.ctx().db, "茶杯", 20, 5);
  const auto receipt = LoadReceipt(app.ctx(), id);
  ASSERT_TRUE(receipt.has_value());
  const QStringList lines = ReceiptLines(*receipt);
  EXPECT_EQ(lines[0], "禾木鹭小店");
  EXPECT_EQ(lines[1], "电话：0571-1234567");  // no address line
  EXPECT_TRUE(lines.contains("日期：2026年12月8日"));
  EXPECT_TRUE(lines.contains("欠款：20元"));
  EXPECT_FALSE(lines.join("").contains("利润"));

  QTemporaryDir dir;
  const QString pdf = dir.filePath("receipt.pdf");
  {
    QPdfWriter writer(pdf);
    RenderReceipt(*receipt, writer);
    EXPECT_NEAR(writer.pageLayout().fullRect(QPageLayout::Millimeter).width(), 80, 0.5);
  }
  EXPECT_GT(QFile(pdf).size(), 500);

  // A name too long for one line wraps onto more paper instead of over its neighbours.
  Receipt long_name = *receipt;
  long_name.name = QString("可口可乐零度无糖汽水330毫升罐装（进口版）").repeated(2);
  const auto paper_mm = [](const Receipt& r) {
    return ReceiptDocument(r).PageLayout().fullRect(QPageLayout::Millimeter).height();
  };
  EXPECT_GT(paper_mm(long_name), paper_mm(*receipt) + 3);  // a 9-point line is about 3.7 mm

  // Printed from the preview on a printer set for A4: the receipt keeps its own paper,
  // and the preview offers no orientation for it.
  ReceiptDocument document(*receipt);
  PrintPreview preview(document, "小票打印", app.prompter);
  EXPECT_EQ(preview.findChild<QAction*>("纵向"), nullptr);
  const QString printed = dir.filePath("printed.pdf");
  preview.SetPrinterChooser([&](QPrinter& printer, int pages, int) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(printed);
    printer.setPageSize(QPageSize(QPageSize::A4));
    return pages == 1;
  });
  preview.findChild<QAction*>("打印")->trigger();
  QFile file(printed);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const auto box = QRegularExpression(R"(/MediaBox \[0 0 ([0-9.]+))").match(QString::fromLatin1(file.readAll()));
  ASSERT_TRUE(box.hasMatch());
  EXPECT_NEAR(box.captured(1).toDouble() * 25.4 / 72, 80, 0.5);
}

TEST(ProgramParts, DoubleClickSellsAndRefreshesBothLists) {
  TestApp app;
  GoodsRow row;
  row.buy_price = 30;
  row.sell_price = 50;
  row.stock = 10;
  row.stock_amount = 300;
  const qint64 id = InsertGoods(app.ctx().db, row);
  MainWindow window(app.ctx(), ProgramParts(app.ctx()));
  window.show();
  window.ShowPage(kSalesPage);
  window.ShowPage(kStockPage);
  auto* stock = qobject_cast<StockPage*>(window.Page(kStockPage));
  auto* sales = qobject_cast<SalesPage*>(window.Page(kSalesPage));
  ASSERT_NE(stock, nullptr);
  ASSERT_NE(sales, nullptr);
  stock->ActivateCell(2, 3);
  auto* sale = window.findChild<SaleWindow*>();
  ASSERT_NE(sale, nullptr);
  EXPECT_EQ(sale->GoodsId(), id);
  sale->findChild<QLineEdit*>("打折框")->setText("80");
  sale->findChild<QLineEdit*>("销售数量框")->setText("3");
  sale->findChild<QLineEdit*>("欠款金额框")->setText("20");
  sale->ConfirmSale();
  // The pages refill themselves once the sale has committed: the one in view at once,
  // the other when it is shown.
  Grid& sg = *stock->StockGrid();
  ASSERT_TRUE(QTest::qWaitFor([&] { return sg.CellText(2, 12) == "7"; }, 1000));
  EXPECT_EQ(sg.CellText(2, 13), "210");
  EXPECT_EQ(sg.CellText(2, 9), "3");
  EXPECT_EQ(sg.CellText(2, 11), "120");
  window.ShowPage(kSalesPage);
  Grid& lg = *sales->SalesGrid();
  ASSERT_TRUE(QTest::qWaitFor([&] { return lg.Rows() == 4; }, 1000));
  EXPECT_EQ(lg.CellText(2, kSaleProfitCol), "30");
  EXPECT_TRUE(lg.CellForeColor(2, 5).isValid());
}

// A right-click below the rows opens the menu too, for what needs no sale (export,
// print, the display settings); the commands of a sale are off until a sale is chosen.
TEST(SalesPage, ARightClickBelowTheRowsOffersTheListCommands) {
  TestApp app;
  const qint64 a = AddSale(app.ctx().db, "甲", 20, 1);
  PageFixture f(app);
  f.Page();
  f.owner.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.owner));
  QMenu* menu = f.menus.value(kSalesMenu);
  ASSERT_EQ(f.Page().PrepareMenuFor(f.RowOf(a), 3), menu);
  EXPECT_TRUE(f.Item("删除数据")->isEnabled());
  ASSERT_NO_FATAL_FAILURE(RightClickBelowRows(f.G()));
  EXPECT_TRUE(menu->isVisible());
  menu->hide();
  for (const char* item : {"修改数据", "删除数据", "小票打印"}) EXPECT_FALSE(f.Item(item)->isEnabled()) << item;
  for (const char* item : {"输出Excel", "打印销售"}) EXPECT_TRUE(f.Item(item)->isEnabled()) << item;
  f.Item("删除数据")->trigger();  // nothing chosen: nothing asked, nothing deleted
  EXPECT_EQ(CountRows(app.ctx().db, "sell"), 1);
  ASSERT_EQ(f.Page().PrepareMenuFor(f.RowOf(a), 3), menu);
  EXPECT_TRUE(f.Item("修改数据")->isEnabled());
}
