// The goods history: one goods' movements newest first with the stock after each, the
// totals per kind, the date range; operators never get a purchase price; the window
// opens from the stock list's menu.

#include <gtest/gtest.h>

#include <QDateEdit>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include "EngineSupport.h"
#include "JournalGoods.h"
#include "StoredGoods.h"
#include "TestSupport.h"
#include "app/MainMenus.h"
#include "data/StockMoves.h"
#include "lists/Grid.h"
#include "sales/SalesLogic.h"
#include "stock/GoodsHistory.h"
#include "stock/GoodsHistoryWindow.h"
#include "stock/GoodsLogic.h"
#include "stock/StockPage.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

GoodsForm Form(const QString& name = QStringLiteral("可口可乐")) { return JournalGoodsForm(name, QDate(2026, 12, 1)); }

SaleForm SaleOf(AppContext& ctx, qint64 goods, const QString& quantity) {
  return JournalSaleOf(ctx, goods, quantity, QDate(2026, 12, 3));
}

QByteArray SheetXml(const QString& file) {
  QProcess unzip;
  unzip.start("unzip", {"-p", file, "xl/worksheets/sheet1.xml"});
  if (!unzip.waitForFinished(30000)) return {};
  return unzip.readAllStandardOutput();
}

QDateTime Day(int day) { return QDateTime(QDate(2026, 12, day), QTime(9, 0)); }

// A goods entered on the 1st (5 at 1.2), restocked on the 2nd (3 at 1.5), sold on the
// 3rd (2) and edited on the 4th as a return (bought 10 → 9 at 1.3, 2 sold: stock 7);
// another goods' movements in between must not show.
qint64 BuildHistory(AppContext& ctx, FixedClock& clock) {
  ctx.session.SetUser(kSuperAdministrator, QStringLiteral("735"));
  clock.Set(Day(1));
  auto id = InsertNewGoods(ctx, Form());
  EXPECT_TRUE(id);
  EXPECT_TRUE(InsertNewGoods(ctx, Form(QStringLiteral("雪碧"))));
  clock.Set(Day(2));
  EXPECT_TRUE(RestockGoods(ctx, *id, 3, 1.5, QStringLiteral("供货商甲")));
  clock.Set(Day(3));
  EXPECT_TRUE(RecordSale(ctx, *id, SaleOf(ctx, *id, "2")));
  clock.Set(Day(4));
  GoodsForm edit = Form();
  edit.quantity = QStringLiteral("9");
  edit.buy_price = QStringLiteral("1.3");
  EXPECT_TRUE(UpdateGoods(ctx, *id, edit, 2));
  return *id;
}

class GoodsHistoryOn : public EngineTest {};
HEMULU_ON_BOTH_ENGINES(GoodsHistoryOn);

}  // namespace

TEST_P(GoodsHistoryOn, ListsTheGoodsMovesNewestFirstWithStockAfterAndTotals) {
  const qint64 id = BuildHistory(ctx(), clock);
  auto h = LoadGoodsHistory(ctx(), id);
  ASSERT_TRUE(h) << h.error().message.toStdString();
  EXPECT_EQ(GoodsHistoryTitle(*h), "可口可乐 500ml KKKL500ml");
  EXPECT_TRUE(h->with_prices);
  ASSERT_EQ(h->lines.size(), 4u);
  const QString kinds[] = {kMoveEdit, kMoveSale, kMoveRestock, kMoveNewGoods};
  const double changes[] = {1, -2, 3, 5}, after[] = {7, 6, 8, 5};
  for (std::size_t i = 0; i < 4; ++i) {
    const HistoryLine& l = h->lines[i];
    EXPECT_EQ(l.kind, kinds[i]) << i;
    EXPECT_DOUBLE_EQ(l.change, changes[i]) << i;
    EXPECT_DOUBLE_EQ(l.stock_after, after[i]) << i;
    EXPECT_EQ(l.date, Day(4 - static_cast<int>(i))) << i;
    EXPECT_EQ(l.user, kSuperAdministrator);
  }
  EXPECT_EQ(h->lines[0].buy_price, 1.3);  // the price the edit wrote
  EXPECT_FALSE(h->lines[1].buy_price.has_value());
  EXPECT_EQ(h->lines[2].buy_price, 1.5);
  EXPECT_EQ(h->lines[3].buy_price, 1.2);
  EXPECT_EQ(h->lines[3].supplier, "供货商甲");
  EXPECT_TRUE(h->lines[1].sale_id.has_value());
  EXPECT_FALSE(h->lines[2].sale_id.has_value());
  // The stock after the newest movement is the goods row's own.
  EXPECT_DOUBLE_EQ(h->lines[0].stock_after, StoredGoods(ctx(), id).stock);

  ASSERT_EQ(h->totals.size(), 4u);
  EXPECT_EQ(h->totals[0].kind, kMoveNewGoods);
  EXPECT_EQ(h->totals[1].kind, kMoveRestock);
  EXPECT_EQ(h->totals[2].kind, kMoveEdit);
  EXPECT_EQ(h->totals[3].kind, kMoveSale);
  EXPECT_DOUBLE_EQ(h->totals[3].change, -2);

  // A second sale adds to its kind's total.
  clock.Set(Day(5));
  ASSERT_TRUE(RecordSale(ctx(), id, SaleOf(ctx(), id, "1.5")));
  h = LoadGoodsHistory(ctx(), id);
  ASSERT_TRUE(h);
  EXPECT_DOUBLE_EQ(h->totals[3].change, -3.5);
  EXPECT_EQ(h->totals[3].count, 2);
  EXPECT_DOUBLE_EQ(h->lines[0].stock_after, 5.5);
}

TEST_P(GoodsHistoryOn, TheDateRangeBoundsTheMovesWithBothDaysIncluded) {
  const qint64 id = BuildHistory(ctx(), clock);
  auto h = LoadGoodsHistory(ctx(), id, HistoryPeriod{QDate(2026, 12, 2), QDate(2026, 12, 3)});
  ASSERT_TRUE(h);
  ASSERT_EQ(h->lines.size(), 2u);
  EXPECT_EQ(h->lines[0].kind, kMoveSale);
  EXPECT_EQ(h->lines[1].kind, kMoveRestock);
  ASSERT_EQ(h->totals.size(), 2u);
  // A movement late in the last day counts.
  clock.Set(QDateTime(QDate(2026, 12, 3), QTime(23, 59, 59)));
  ASSERT_TRUE(RecordSale(ctx(), id, SaleOf(ctx(), id, "1")));
  h = LoadGoodsHistory(ctx(), id, HistoryPeriod{QDate(2026, 12, 3), QDate(2026, 12, 3)});
  ASSERT_TRUE(h);
  EXPECT_EQ(h->lines.size(), 2u);
  // A day with no movements: nothing, but the goods is still named.
  h = LoadGoodsHistory(ctx(), id, HistoryPeriod{QDate(2026, 11, 1), QDate(2026, 11, 30)});
  ASSERT_TRUE(h);
  EXPECT_TRUE(h->lines.empty());
  EXPECT_TRUE(h->totals.empty());
  EXPECT_EQ(h->name, "可口可乐");
}

TEST_P(GoodsHistoryOn, AnOperatorGetsQuantitiesButNoPurchasePrice) {
  const qint64 id = BuildHistory(ctx(), clock);
  ctx().session.SetUser(QStringLiteral("收银员"), QStringLiteral("1"));
  auto h = LoadGoodsHistory(ctx(), id);
  ASSERT_TRUE(h);
  EXPECT_FALSE(h->with_prices);
  ASSERT_EQ(h->lines.size(), 4u);
  for (const HistoryLine& l : h->lines) EXPECT_FALSE(l.buy_price.has_value()) << l.kind.toStdString();
  EXPECT_DOUBLE_EQ(h->lines[0].stock_after, 7);
}

namespace {

// The stock page with the main window's menus, as the stock page tests build it.
struct HistoryFixture {
  explicit HistoryFixture(AppContext& ctx) : ctx(ctx) {
    menus = BuildMainMenus(&owner, ctx.session.IsSuperAdministrator());
    page = std::make_unique<StockPage>(ctx, menus.value(kStockMenu), selection, StockPageHooks{}, &owner);
    page->resize(1200, 500);
  }
  QAction* Item(const char* caption) {
    return menus.value(kStockMenu)->findChild<QAction*>(QString::fromUtf8(caption));
  }
  GoodsHistoryWindow* OpenFor(qint64 id) {
    Grid& g = *page->StockGrid();
    const int row = g.FindRow(1, QString::number(id));
    EXPECT_GE(row, g.FixedRows());
    // Offered on a goods row only, not below the rows.
    page->PrepareMenuFor(-1, -1);
    EXPECT_FALSE(Item("商品流水")->isVisible());
    page->PrepareMenuFor(row, 3);
    EXPECT_TRUE(Item("商品流水")->isVisible());
    Item("商品流水")->trigger();
    return page->HistoryWindow();
  }
  AppContext& ctx;
  QWidget owner;
  QHash<QString, QMenu*> menus;
  GoodsSelection selection;
  std::unique_ptr<StockPage> page;
};

QStringList ShownCaptions(const Grid& g) {
  QStringList shown;
  for (int c = 1; c < g.Cols(); ++c)
    if (!g.IsColumnLockedHidden(c)) shown << g.CellText(0, c);
  return shown;
}

}  // namespace

TEST(GoodsHistoryWindow, OpensFromTheStockMenuShowsTheMovesAndClosesOnEsc) {
  TestApp app;
  FixedClock& clock = app.clock;
  const qint64 id = BuildHistory(app.ctx(), clock);
  HistoryFixture f(app.ctx());
  GoodsHistoryWindow* w = f.OpenFor(id);
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->windowTitle().contains("可口可乐 500ml KKKL500ml"));
  const Grid& g = *w->HistoryGrid();
  EXPECT_EQ(ShownCaptions(g),
            QStringList({"日期", "业务", "数量", "结存数量", "进货单价", "供货商", "操作员", "销售号"}));
  ASSERT_EQ(w->LineRows(), 4);
  EXPECT_EQ(g.CellText(1, kHistoryKindCol), "修改");
  EXPECT_EQ(g.CellText(1, kHistoryStockCol), "7");
  EXPECT_EQ(g.CellText(2, kHistoryChangeCol), "-2");
  EXPECT_EQ(g.CellText(3, kHistoryPriceCol), "1.5");
  EXPECT_EQ(g.CellText(4, kHistoryChangeCol), "+5");
  // The totals per kind below the list: 入库, 续存, 修改, 销售.
  ASSERT_EQ(g.Rows(), 1 + 4 + 4);
  EXPECT_EQ(g.CellText(5, kHistoryDateCol), "合计");
  EXPECT_EQ(g.CellText(8, kHistoryKindCol), "销售");
  EXPECT_EQ(g.CellText(8, kHistoryChangeCol), "-2");
  // The boxes start at the history's first day; 查询 over the 2nd and 3rd keeps two rows.
  EXPECT_EQ(w->FromBox()->date(), QDate(2026, 12, 1));
  w->FromBox()->setDate(QDate(2026, 12, 2));
  w->ToBox()->setDate(QDate(2026, 12, 3));
  w->findChild<QPushButton*>("商品流水查询按钮")->click();
  EXPECT_EQ(w->LineRows(), 2);
  // A range backwards is refused, and the rows stay.
  w->FromBox()->setDate(QDate(2026, 12, 4));
  app.prompter.ExpectMessage("起始日期不能晚于截止日期。");
  w->findChild<QPushButton*>("商品流水查询按钮")->click();
  EXPECT_EQ(w->LineRows(), 2);

  // The export holds the prices and the dates as the spreadsheet's own dates (numbers).
  w->Export();
  const QByteArray sheet = SheetXml(app.FilePath("商品流水.xlsx"));
  EXPECT_TRUE(sheet.contains("进货单价"));
  EXPECT_TRUE(sheet.contains("<v>1.5</v>"));
  EXPECT_FALSE(sheet.contains("2026年12月"));

  QPointer<GoodsHistoryWindow> alive(w);
  // Esc where the keyboard is: in the date box the window starts in.
  QWidget* focused = w->focusWidget();
  QTest::keyClick(focused ? focused : w, Qt::Key_Escape);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(alive.isNull());
}

TEST(GoodsHistoryWindow, AnOperatorsWindowHasNoPriceColumnNorPricesInItsExport) {
  TestApp app;
  const qint64 id = BuildHistory(app.ctx(), app.clock);
  app.ctx().session.SetUser(QStringLiteral("收银员"), QStringLiteral("1"));
  HistoryFixture f(app.ctx());
  GoodsHistoryWindow* w = f.OpenFor(id);
  ASSERT_NE(w, nullptr);
  const Grid& g = *w->HistoryGrid();
  EXPECT_FALSE(ShownCaptions(g).contains("进货单价"));
  for (int r = 1; r < g.Rows(); ++r) EXPECT_TRUE(g.CellText(r, kHistoryPriceCol).isEmpty()) << r;
  w->Export();
  const QByteArray sheet = SheetXml(app.FilePath("商品流水.xlsx"));
  EXPECT_TRUE(sheet.contains("结存数量"));
  EXPECT_FALSE(sheet.contains("进货单价"));
  EXPECT_FALSE(sheet.contains("<v>1.2</v>"));
  EXPECT_FALSE(sheet.contains("<v>1.5</v>"));
  w->close();
}
