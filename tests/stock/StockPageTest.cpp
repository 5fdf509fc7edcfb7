#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPdfWriter>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "EngineSupport.h"
#include "StoredGoods.h"
#include "TestSupport.h"
#include "app/MainMenus.h"
#include "data/TextFormat.h"
#include "lists/ColumnShares.h"
#include "lists/Grid.h"
#include "lists/GridPrinter.h"
#include "stock/CategoryTreeWindow.h"
#include "stock/GoodsEntryWindow.h"
#include "stock/StockList.h"
#include "stock/StockPage.h"
#include "stock/SummaryPage.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

// A stock page on a test context with the main window's real menus and role rule.
struct PageFixture {
  explicit PageFixture(TestApp& app) : PageFixture(app.ctx()) {}
  explicit PageFixture(AppContext& ctx) : ctx(ctx) {
    menus = BuildMainMenus(&owner, ctx.session.IsSuperAdministrator());
    hooks.show_page = [this](PageIndex page) { shown_pages.push_back(page); };
    hooks.open_sale = [this](qint64 id) { sold_ids.push_back(id); };
  }
  StockPage& Page() {
    if (!page) {
      page = std::make_unique<StockPage>(ctx, menus.value(kStockMenu), selection, hooks, &owner);
      page->resize(1200, 500);
    }
    return *page;
  }
  QAction* Item(const char* caption) {
    return menus.value(kStockMenu)->findChild<QAction*>(QString::fromUtf8(caption));
  }
  Grid& G() { return *Page().StockGrid(); }
  // The grid row showing a goods ID, -1 when none does.
  int RowOf(qint64 id) {
    for (int r = G().FixedRows(); r < G().Rows(); ++r)
      if (G().CellText(r, 1) == QString::number(id)) return r;
    return -1;
  }

  AppContext& ctx;
  QWidget owner;
  QHash<QString, QMenu*> menus;
  GoodsSelection selection;
  StockPageHooks hooks;
  std::vector<PageIndex> shown_pages;
  std::vector<qint64> sold_ids;
  std::unique_ptr<StockPage> page;
};

GoodsRow Stocked(const char* name, double stock) {
  GoodsRow r;
  r.name = name;
  r.stock = stock;
  r.stock_amount = stock * 2;
  return r;
}

// The page's fill and searches, through the list pipeline of each engine.
class StockPageOnEngines : public EngineTest {};
HEMULU_ON_BOTH_ENGINES(StockPageOnEngines);

}  // namespace

TEST_P(StockPageOnEngines, ZeroFilterAndStockColours) {
  const qint64 low = InsertGoods(db(), Stocked("低", 1));
  const qint64 zero = InsertGoods(db(), Stocked("零", 0));
  const qint64 normal = InsertGoods(db(), Stocked("够", 2));
  const qint64 negative = InsertGoods(db(), Stocked("负", -3));
  PageFixture f(ctx());
  Grid& g = f.G();
  // zero=false (default): stock 0 and below are left out but still totalled.
  EXPECT_EQ(f.RowOf(zero), -1);
  EXPECT_EQ(f.RowOf(negative), -1);
  ASSERT_NE(f.RowOf(low), -1);
  EXPECT_EQ(g.CellText(g.Rows() - 1, 12), "0");  // 1 + 0 + 2 - 3
  EXPECT_EQ(g.CellText(g.Rows() - 1, 5), "合计：");
  EXPECT_EQ(g.CellForeColor(f.RowOf(low), 2), ColorFromWin(255));  // below the warning quantity 2
  EXPECT_NE(g.CellForeColor(f.RowOf(normal), 2), ColorFromWin(255));
  // beepview: the lowest stock first.
  EXPECT_EQ(f.RowOf(low), 2);

  f.Page().findChild<QCheckBox*>("库管不显示零库存框")->setChecked(true);
  EXPECT_EQ(ctx().settings.ReadSetupValue("zero"), "ture");
  ASSERT_NE(f.RowOf(zero), -1);
  EXPECT_EQ(g.CellForeColor(f.RowOf(zero), 2), ColorFromWin(8421504));  // zero wins over low
  EXPECT_EQ(g.CellForeColor(f.RowOf(negative), 16), ColorFromWin(255));
  EXPECT_EQ(g.CellForeColor(f.RowOf(low), 1), ColorFromWin(255));
}

TEST(StockPage, WarningQuantityActsPerKeystrokeAsAWholeNumber) {
  TestApp app;
  const qint64 two = InsertGoods(app.ctx().db, Stocked("二", 2));
  PageFixture f(app);
  auto* box = f.Page().findChild<QLineEdit*>("库管库存报警框");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text(), "2");
  box->clear();
  box->setFocus();
  TypeText(box, "2.9");
  EXPECT_EQ(app.ctx().settings.ReadSetupValue("beep"), "2.9");
  EXPECT_EQ(f.Page().WarningQuantity(), 2);
  EXPECT_NE(f.G().CellForeColor(f.RowOf(two), 2), ColorFromWin(255));  // 2 is not below 2
  TypeText(box, "x");
  EXPECT_EQ(f.Page().WarningQuantity(), 0);
  box->setText("3");
  EXPECT_EQ(f.G().CellForeColor(f.RowOf(two), 2), ColorFromWin(255));
}

TEST(StockPage, MenuItemsFollowTheRowAndTheUser) {
  TestApp app;
  const qint64 id = InsertGoods(app.ctx().db, GoodsRow{});
  PageFixture f(app);
  const int row = f.RowOf(id);
  const int totals = f.G().Rows() - 1;
  f.Page().PrepareMenuFor(row, 3);
  EXPECT_EQ(f.selection.id, QString::number(id));
  EXPECT_TRUE(f.Item("修改(退货)")->isVisible());
  EXPECT_TRUE(f.Item("删除")->isVisible());
  EXPECT_TRUE(f.Item("商品续存")->isVisible());
  EXPECT_FALSE(f.Item("查看进货单价")->isVisible());
  f.Page().PrepareMenuFor(totals, 3);
  EXPECT_TRUE(f.selection.id.isEmpty());
  EXPECT_FALSE(f.Item("修改(退货)")->isVisible());
  EXPECT_FALSE(f.Item("删除")->isVisible());
  EXPECT_FALSE(f.Item("查看进货单价")->isVisible());
  EXPECT_TRUE(f.Item("商品续存")->isVisible());
  // Below the last row there is no row: nothing that needs one stays on offer.
  f.Page().PrepareMenuFor(row, 3);
  f.Page().PrepareMenuFor(-1, -1);
  EXPECT_TRUE(f.selection.id.isEmpty());
  for (const char* item : {"商品续存", "修改(退货)", "删除", "查看进货单价"})
    EXPECT_FALSE(f.Item(item)->isVisible()) << item;
  for (const char* item : {"商品入库", "刷新显示", "导出Excel"}) EXPECT_TRUE(f.Item(item)->isVisible()) << item;
}

TEST(StockPage, OperatorSeesNoPricesAndCannotEditOrDelete) {
  TestApp app("收银员");
  const qint64 id = InsertGoods(app.ctx().db, GoodsRow{});
  PageFixture f(app);
  EXPECT_FALSE(f.Item("修改(退货)")->isVisible());
  EXPECT_FALSE(f.Item("隐藏进货单价")->isVisible());
  f.Page().PrepareMenuFor(f.RowOf(id), 2);
  EXPECT_FALSE(f.Item("修改(退货)")->isVisible());
  EXPECT_FALSE(f.Item("删除")->isVisible());
  EXPECT_TRUE(f.Item("查看进货单价")->isVisible());
  EXPECT_TRUE(f.Item("商品续存")->isVisible());
  f.Page().PrepareMenuFor(f.G().Rows() - 1, 2);
  EXPECT_FALSE(f.Item("商品续存")->isVisible());

  Grid& g = f.G();
  for (int c : {7, 8, 11, 13}) {
    EXPECT_EQ(g.ColumnWidth(c), 0) << c;
    g.Header()->resizeSection(c, 80);  // what a drag on the caption does
    g.SetColumnWidth(c, 80);
    EXPECT_EQ(g.ColumnWidth(c), 0) << c;
  }
  f.Page().resize(900, 400);
  EXPECT_EQ(g.ColumnWidth(7), 0);
  EXPECT_GT(g.ColumnWidth(2), 0);

  // Even when a command is reached, the page and the logic refuse.
  f.Page().PrepareMenuFor(f.RowOf(id), 2);
  app.prompter.ExpectMessage("对不起，只有超级管理员才能修改或删除商品。");
  f.Page().DeleteCurrentGoods();
  app.prompter.ExpectMessage("对不起，只有超级管理员才能修改或删除商品。");
  f.Page().OpenEdit();
  EXPECT_EQ(app.prompter.Messages().size(), 2u);
  EXPECT_EQ(f.Page().EntryWindow(), nullptr);
  EXPECT_EQ(CountRows(app.ctx().db, "buy"), 1);

  // The purchase price, behind the super-administrator password.
  app.prompter.AnswerText(QStringLiteral("735"));
  app.prompter.ExpectMessage("2");
  f.Page().ShowPurchasePrice();
  EXPECT_EQ(app.prompter.Prompts().back().text, "2");
  EXPECT_EQ(app.prompter.Prompts()[app.prompter.Prompts().size() - 2].caption, "超管");
}

TEST(StockPage, DeleteAsksAndLeavesTotalsUntilTheNextFill) {
  TestApp app;
  const qint64 a = InsertGoods(app.ctx().db, Stocked("甲", 4));
  InsertGoods(app.ctx().db, Stocked("乙", 6));
  PageFixture f(app);
  Grid& g = f.G();
  f.Page().PrepareMenuFor(f.RowOf(a), 2);
  app.prompter.AnswerConfirm(false);
  f.Page().DeleteCurrentGoods();
  EXPECT_EQ(app.prompter.Prompts().back().caption, "警告！");
  EXPECT_EQ(app.prompter.Prompts().back().text, "你确定要删除当前选中的资料吗？\n\n        一经删除无法恢复");
  EXPECT_NE(f.RowOf(a), -1);
  EXPECT_EQ(CountRows(app.ctx().db, "buy"), 2);

  app.prompter.AnswerConfirm(true);
  f.Page().DeleteCurrentGoods();
  EXPECT_EQ(f.RowOf(a), -1);
  EXPECT_EQ(CountRows(app.ctx().db, "buy"), 1);
  EXPECT_EQ(g.CellText(g.Rows() - 1, 12), "10");  // old totals until the next fill
  f.Page().FillStockList();
  EXPECT_EQ(g.CellText(g.Rows() - 1, 12), "6");
}

TEST(StockPage, RestockWindowKeepsItsRowWhenAnotherIsChosen) {
  TestApp app;
  const qint64 a = InsertGoods(app.ctx().db, Stocked("甲", 4));
  const qint64 b = InsertGoods(app.ctx().db, Stocked("乙", 6));
  PageFixture f(app);
  f.Page().PrepareMenuFor(f.RowOf(a), 2);
  f.Item("商品续存")->trigger();
  auto* window = qobject_cast<GoodsEntryWindow*>(f.Page().EntryWindow());
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->EntryMode(), GoodsEntryWindow::Mode::Restock);
  f.Page().PrepareMenuFor(f.RowOf(b), 2);  // the user moves on to another row
  window->findChild<QLineEdit*>("数量框")->setText("3");
  window->Save();
  EXPECT_DOUBLE_EQ(StoredGoods(app.ctx(), a).stock, 7);
  EXPECT_DOUBLE_EQ(StoredGoods(app.ctx(), b).stock, 6);
  EXPECT_EQ(f.G().CellText(f.RowOf(a), 12), "7");  // the list was refilled
}

TEST_P(StockPageOnEngines, SearchBoxesAndDoubleClick) {
  GoodsRow cola = Stocked("可口可乐", 5), small = Stocked("可乐", 5), tea = Stocked("O'Hara茶", 5);
  cola.initials = "KKKL", small.initials = "KL", tea.initials = "OHC", tea.code = "O'H";
  const qint64 ic = InsertGoods(db(), cola), is = InsertGoods(db(), small), it = InsertGoods(db(), tea);
  PageFixture f(ctx());
  auto* name_box = f.Page().findChild<QLineEdit*>("库管商品名称框");
  name_box->setFocus();
  TypeText(name_box, "KL");
  EXPECT_NE(f.RowOf(ic), -1);
  EXPECT_NE(f.RowOf(is), -1);
  EXPECT_EQ(f.RowOf(it), -1);
  name_box->clear();
  EXPECT_NE(f.RowOf(it), -1);  // cleared: every goods row again
  auto* code_box = f.Page().findChild<QLineEdit*>("库管商品编码框");
  TypeText(code_box, "'");
  EXPECT_EQ(f.G().Rows(), 4);  // two header rows, the tea, the totals
  EXPECT_NE(f.RowOf(it), -1);

  f.Page().ActivateCell(f.RowOf(it), 2);
  EXPECT_EQ(f.sold_ids, std::vector<qint64>{it});
  f.Page().ActivateCell(f.G().Rows() - 1, 2);  // the totals row sells nothing
  f.Page().ActivateCell(f.RowOf(it), 1);
  EXPECT_EQ(f.sold_ids.size(), 1u);
  f.G().SelectRow(f.RowOf(it));
  QTest::keyClick(f.G().BodyView(), Qt::Key_Return);  // Enter on the chosen row
  EXPECT_EQ(f.sold_ids.size(), 2u);

  auto* clear = f.Page().findChild<QWidget*>("库管清空条件按钮");
  QTest::mouseClick(clear, Qt::LeftButton);
  EXPECT_TRUE(code_box->text().isEmpty());
  EXPECT_EQ(f.G().Rows(), 6);

  f.Item("汇总统计")->trigger();
  EXPECT_EQ(f.shown_pages, std::vector<PageIndex>{kSummaryPage});
}

TEST(StockPage, ExportLeavesOutWhatTheUserCannotSee) {
  QProcess probe;
  probe.start("unzip", {"-v"});
  if (!probe.waitForFinished() || probe.exitCode() != 0) GTEST_SKIP() << "unzip is not installed";
  TestApp app("收银员");
  GoodsRow row = Stocked("可口可乐", 5);
  row.buy_price = 1.25;
  InsertGoods(app.ctx().db, row);
  PageFixture f(app);
  f.Page();
  const QString path = app.FilePath("my.xlsx");
  // Without a chosen goods row (below the last row) the export does nothing.
  f.Page().PrepareMenuFor(-1, -1);
  f.Item("导出Excel")->trigger();
  EXPECT_FALSE(QFile::exists(path));
  EXPECT_TRUE(app.notifier.notices.empty());
  f.Page().PrepareMenuFor(f.G().FixedRows(), kStockNameCol);
  f.Item("导出Excel")->trigger();
  ASSERT_TRUE(QFile::exists(path)) << (app.prompter.Messages().empty() ? "" : app.prompter.Messages()[0].toStdString());
  EXPECT_EQ(app.notifier.notices.back().text, "已导出到 " + path);
  QProcess unzip;
  unzip.start("unzip", {"-p", path, "xl/sharedStrings.xml", "xl/worksheets/sheet1.xml"});
  ASSERT_TRUE(unzip.waitForFinished());
  const QString xml = QString::fromUtf8(unzip.readAllStandardOutput());
  EXPECT_TRUE(xml.contains("可口可乐"));
  EXPECT_TRUE(xml.contains("入库日期"));
  EXPECT_FALSE(xml.contains("1.25"));  // the purchase price column is not exported
}

TEST(SummaryPage, OperatorSeesNoAmountsAndRightClickClearsTheChoice) {
  TestApp app("收银员");
  InsertGoods(app.ctx().db, Stocked("甲", 4));
  QWidget owner;
  auto menus = BuildMainMenus(&owner, false);
  GoodsSelection selection{3, "7"};
  SummaryPage page(app.ctx(), menus.value(kSummaryMenu), selection, &owner);
  page.resize(1000, 400);
  Grid& g = *page.SummaryGrid();
  EXPECT_EQ(g.Cols(), 12);
  EXPECT_EQ(g.CellText(g.Rows() - 1, 2), "合计：");
  EXPECT_EQ(g.CellText(g.Rows() - 1, 10), "4");
  for (int c : {7, 9, 11}) EXPECT_EQ(g.ColumnWidth(c), 0) << c;
  // The hidden amounts' width is shared out in proportion: 名称 stays 1.5 × 型号 and
  // 存货数量 no wider than the other counts.
  EXPECT_NEAR(g.ColumnWidth(2), 1.5 * g.ColumnWidth(3), 2);
  EXPECT_GT(g.ColumnWidth(3), static_cast<int>(0.1 * g.width()));
  EXPECT_EQ(g.ColumnWidth(6), g.ColumnWidth(8));
  EXPECT_LE(g.ColumnWidth(10), g.ColumnWidth(8) + 1);
  double total = 0;
  for (double share : SummaryShares(false)) total += share;
  double full = 0;
  for (double share : SummaryShares(true)) full += share;
  EXPECT_NEAR(total, full, 1e-9);
  EXPECT_EQ(page.PrepareMenuFor(2, 3), menus.value(kSummaryMenu));
  EXPECT_TRUE(selection.id.isEmpty());
  EXPECT_EQ(selection.row, 2);
}

TEST(StockPage, PrintingPaginatesTheVisibleColumns) {
  TestApp app("收银员");
  for (int i = 0; i < 120; ++i) InsertGoods(app.ctx().db, Stocked("可口可乐", 5 + i));
  PageFixture f(app);
  QTemporaryDir dir;
  QPdfWriter pdf(dir.filePath("stock.pdf"));
  pdf.setPageSize(QPageSize(QPageSize::A4));
  const int pages = RenderGridPages(f.G(), "商品库存", pdf);
  EXPECT_GE(pages, 2);
  EXPECT_LE(pages, 10);

  // A cell's text never runs into the next column: cut short to its width, else whole.
  const QFontMetricsF metrics(QFont(), &pdf);
  const QString long_text = "BSKL330进口饮料";
  const double narrow = metrics.horizontalAdvance(long_text) / 2;
  const QString cut = PrintedCellText(metrics, long_text, narrow);
  EXPECT_TRUE(cut.endsWith(QChar(0x2026))) << cut.toStdString();
  EXPECT_LE(metrics.horizontalAdvance(cut), narrow);
  EXPECT_EQ(PrintedCellText(metrics, "2026年11月20日", metrics.horizontalAdvance("2026年11月20日") + 1),
            "2026年11月20日");
  EXPECT_TRUE(PrintedCellText(metrics, long_text, -5).isEmpty());
}

// The list's own narrow font lets a typical code, price, amount and date show whole in
// its share of the list on a 1600-pixel screen (the list is then about 1416 pixels wide).
TEST(StockPage, TypicalFiguresFitTheirColumnsAtTheDefaultWidth) {
  Grid grid;
  LayOutStockGrid(grid);
  ApplyColumnShares(grid, 1416, kStockFirstColWidth, StockShares(true));
  const QFontMetricsF metrics(grid.font());
  constexpr double kCellPadding = 6;  // 3 pixels each side, as the cells are drawn
  const int code_col = kStockCategoryCol - 1;
  for (const auto& [col, text] : std::vector<std::pair<int, QString>>{{code_col, "KKKL500001"},
                                                                      {kStockBuyPriceCol, "2468000.5"},
                                                                      {kStockSellPriceCol, "2468000.5"},
                                                                      {kStockBuyAmountCol, "29616006"},
                                                                      {kStockDateCol, "2026年11月20日"}})
    EXPECT_GE(grid.ColumnWidth(col), metrics.horizontalAdvance(text) + kCellPadding)
        << "column " << col << " cuts " << text.toStdString() << " in " << grid.font().family().toStdString();
}

TEST(StockPage, HideTogglesAndTheCategoryAndSupplierLists) {
  TestApp app;
  GoodsRow a = Stocked("甲", 5), b = Stocked("乙", 5);
  a.category = "饮料", a.supplier = "甲厂";
  b.category = "进口饮料", b.supplier = "乙厂";
  const qint64 ia = InsertGoods(app.ctx().db, a), ib = InsertGoods(app.ctx().db, b);
  PageFixture f(app);
  f.Page().resize(1000, 400);
  f.owner.show();  // a hidden frame hears of its resizes only when shown
  // 进货单价 is 0.06 of the frame from the start and after each fill and resize; only the
  // toggle's give-back is 0.05, until the next resize.
  const auto share_of = [&](double share) { return static_cast<int>(share * f.G().width()); };
  EXPECT_EQ(f.G().ColumnWidth(7), share_of(0.06));
  f.Page().FillStockList();
  EXPECT_EQ(f.G().ColumnWidth(7), share_of(0.06));
  f.Item("隐藏进货单价")->trigger();
  EXPECT_TRUE(f.Item("隐藏进货单价")->isChecked());
  EXPECT_EQ(f.G().ColumnWidth(7), 0);
  f.G().resize(1100, 300);
  EXPECT_EQ(f.G().ColumnWidth(7), 0);
  f.Item("隐藏进货单价")->trigger();
  EXPECT_EQ(f.G().ColumnWidth(7), share_of(0.05));
  f.Page().FillStockList();
  EXPECT_EQ(f.G().ColumnWidth(7), share_of(0.05));
  f.G().resize(1000, 300);
  EXPECT_EQ(f.G().ColumnWidth(7), share_of(0.06));
  f.Item("隐藏进货金额")->trigger();
  EXPECT_EQ(f.G().ColumnWidth(8), 0);
  f.Item("隐藏进货金额")->trigger();
  EXPECT_EQ(f.G().ColumnWidth(8), share_of(0.075));

  auto* category = f.Page().findChild<QComboBox*>("库管类型查询框");
  auto* supplier = f.Page().findChild<QComboBox*>("库管供货商框");
  ASSERT_EQ(category->count(), 2);
  ASSERT_EQ(supplier->count(), 2);
  // Picking a category searches; it is contained in 进口饮料 too.
  category->setCurrentIndex(category->findText("饮料"));
  emit category->textActivated("饮料");
  EXPECT_NE(f.RowOf(ia), -1);
  EXPECT_NE(f.RowOf(ib), -1);
  category->lineEdit()->setFocus();
  category->lineEdit()->clear();
  TypeText(category->lineEdit(), "进口");
  EXPECT_EQ(f.RowOf(ia), -1);
  EXPECT_NE(f.RowOf(ib), -1);
  // Picking a supplier does not search; typing does.
  f.Page().FillStockList();
  supplier->setCurrentIndex(supplier->findText("乙厂"));
  EXPECT_NE(f.RowOf(ia), -1);
  supplier->lineEdit()->clear();
  TypeText(supplier->lineEdit(), "乙");
  EXPECT_EQ(f.RowOf(ia), -1);
}

TEST(StockPage, WithoutADatabaseThePageSaysSoOnceAndShowsItsHeaders) {
  TestApp app;
  app.ctx().db.Close();
  ASSERT_TRUE(QFile::rename(app.FilePath("data.db"), app.FilePath("away.db")));
  PageFixture f(app);
  app.prompter.ExpectMessage("打开数据库失败！");
  f.Page();
  EXPECT_EQ(app.prompter.Prompts().size(), 1u);
  // The header rows only: no totals row of zeros to pass for an empty shop.
  EXPECT_EQ(f.G().Rows(), f.G().FixedRows());
  EXPECT_EQ(f.G().CellText(1, 2), "名称");
}

TEST(StockPage, ASettingThatCannotBeWrittenIsReportedOnce) {
  TestApp app;
  PageFixture f(app);
  f.Page();
  // config.ini replaced by a folder: no write can succeed.
  ASSERT_TRUE(QFile::remove(app.FilePath("config.ini")));
  ASSERT_TRUE(QDir(app.Dir()).mkdir("config.ini"));
  app.prompter.ExpectMessage(SettingNotSavedMessage(app.FilePath("config.ini")));
  auto* warning = f.Page().findChild<QLineEdit*>("库管库存报警框");
  warning->setText("5");
  warning->setText("6");
  f.Page().findChild<QCheckBox*>("库管不显示零库存框")->setChecked(true);
  EXPECT_EQ(app.prompter.Prompts().size(), 1u);
  EXPECT_EQ(app.prompter.Prompts()[0].icon, MessageKind::Exclamation);
  // The page goes on with the typed value.
  EXPECT_EQ(f.Page().WarningQuantity(), 6);
}

// Insert starts a new goods entry while the page shows, as 商品入库 does; the item names
// the key. A hidden page does not take the key.
TEST(StockPage, InsertOpensTheNewGoodsEntry) {
  TestApp app;
  PageFixture f(app);
  f.owner.resize(1200, 500);
  f.Page();
  f.owner.show();
  f.owner.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&f.owner));
  EXPECT_EQ(f.Item("商品入库")->shortcut(), QKeySequence(Qt::Key_Insert));
  f.Page().hide();
  QTest::keyClick(&f.owner, Qt::Key_Insert);
  EXPECT_EQ(f.Page().EntryWindow(), nullptr);
  f.Page().show();
  f.Page().findChild<QLineEdit*>("库管商品编码框")->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Insert);
  ASSERT_NE(f.Page().EntryWindow(), nullptr);
  EXPECT_EQ(f.Page().EntryWindow()->windowTitle(), "新建入库");
  f.Page().EntryWindow()->close();
}
