// A list whose read fails says so once and keeps what it showed: a damaged data.db or
// a read error never shows an empty shop as if the goods were gone.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QMenu>

#include "TestSupport.h"
#include "app/MainMenus.h"
#include "data/DatabaseKey.h"
#include "lists/Grid.h"
#include "money/LedgerPage.h"
#include "stock/StockPage.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

struct StockFixture {
  explicit StockFixture(TestApp& app) : app(app) {
    menus = BuildMainMenus(&owner, true);
    page = std::make_unique<StockPage>(app.ctx(), menus.value(kStockMenu), selection, hooks, &owner);
  }
  Grid& G() { return *page->StockGrid(); }
  QString Total() { return G().CellText(G().Rows() - 1, 12); }

  TestApp& app;
  QWidget owner;
  QHash<QString, QMenu*> menus;
  GoodsSelection selection;
  StockPageHooks hooks;
  std::unique_ptr<StockPage> page;
};

void InsertStock(TestApp& app, int count) {
  ASSERT_TRUE(app.ctx().db.ExecScript("BEGIN").has_value());
  for (int i = 0; i < count; ++i) {
    GoodsRow row;
    row.name = QStringLiteral("商品%1").arg(i, 4, 10, QChar('0'));
    row.note = QString(200, QChar(u'备'));  // rows that fill many pages
    InsertGoods(app.ctx().db, row);
  }
  ASSERT_TRUE(app.ctx().db.ExecScript("COMMIT").has_value());
}

}  // namespace

TEST(ListFailure, DamagedFileKeepsTheStockListAndSaysSoOnce) {
  TestApp app;
  InsertStock(app, 600);
  StockFixture f(app);
  const int rows = f.G().Rows();
  ASSERT_GT(rows, 600);
  const QString total = f.Total();
  const QString first = f.G().CellText(f.G().FixedRows(), 2);

  // The goods table's top page overwritten while no connection holds the file: every read
  // of the goods passes through it (a page picked by its place in the file may belong to
  // one of the goods' indexes, which the list does not read).
  qint64 page = 0;
  {
    auto root = app.ctx().db.Prepare("select rootpage from sqlite_master where type='table' and name='buy'");
    ASSERT_TRUE(root && root->Step().value_or(false));
    page = root->Int(0);
  }
  app.ctx().db.Close();
  QFile file(app.FilePath("data.db"));
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  ASSERT_GT(page, 1);
  ASSERT_TRUE(file.seek((page - 1) * kCipherPageSize));
  ASSERT_EQ(file.write(QByteArray(kCipherPageSize, '\x5a')), kCipherPageSize);
  file.close();

  app.prompter.ExpectMessage("读取数据失败，列表没有更新：数据库文件已损坏");
  f.page->Refill();
  EXPECT_EQ(f.G().Rows(), rows);
  EXPECT_EQ(f.Total(), total);
  EXPECT_EQ(f.G().CellText(f.G().FixedRows(), 2), first);
}

TEST(ListFailure, AFailedPageReadIsToldOnceAndStopsTheExportAndThePrint) {
  TestApp app;
  InsertStock(app, 400);
  StockFixture f(app);
  Grid& g = f.G();
  const QString first = g.CellText(g.FixedRows(), 2);
  ASSERT_FALSE(first.isEmpty());
  // The rows beyond the first page are read when looked at; their table goes away.
  ASSERT_TRUE(app.ctx().db.ExecScript("ALTER TABLE buy RENAME TO buy_gone").has_value());
  EXPECT_EQ(g.CellText(g.FixedRows() + 300, 2), "");
  app.prompter.ExpectMessage("读取数据失败，部分行无法显示：数据库出错");
  QApplication::processEvents();
  // Later reads and repaints say nothing more.
  for (int r = g.FixedRows() + 130; r < g.Rows(); r += 7) (void)g.CellText(r, 2);
  QApplication::processEvents();
  EXPECT_EQ(app.prompter.Messages().size(), 1u);

  // The export stops rather than write blank rows, and leaves no file.
  const QString path = app.FilePath("my.xlsx");
  f.page->PrepareMenuFor(g.FixedRows(), 2);
  app.prompter.ExpectMessage("读取数据失败，没有导出：数据库出错");
  FindMenuItem(f.menus.value(kStockMenu), "导出Excel")->trigger();
  EXPECT_FALSE(QFile::exists(path));
  EXPECT_TRUE(app.notifier.notices.empty());
  // So does the print: no preview of blank rows.
  app.prompter.ExpectMessage("读取数据失败，没有打印：数据库出错");
  FindMenuItem(f.menus.value(kStockMenu), "打印")->trigger();
  QApplication::processEvents();
  EXPECT_EQ(app.prompter.Messages().size(), 3u);
}

TEST(ListFailure, AFailedLedgerFillKeepsItsRowsAndSums) {
  TestApp app;
  ASSERT_TRUE(app.ctx().db.Execute("insert into other (类型,项目,金额) values ('收入','房租',?)", 50).has_value());
  QWidget owner;
  const auto menus = BuildMainMenus(&owner, true);
  LedgerPage page(app.ctx(), menus.value(kLedgerMenu), &owner);
  Grid& g = *page.LedgerGrid();
  const int rows = g.Rows();
  const QString sums = g.CellText(rows - 1, 4) + g.CellText(rows - 1, 7);
  ASSERT_TRUE(sums.contains("50")) << sums.toStdString();
  ASSERT_TRUE(app.ctx().db.ExecScript("ALTER TABLE other RENAME TO other_gone").has_value());
  app.prompter.ExpectMessage("读取数据失败，列表没有更新：数据库出错");
  page.FillLedgerList();
  EXPECT_EQ(g.Rows(), rows);
  EXPECT_EQ(g.CellText(rows - 1, 4) + g.CellText(rows - 1, 7), sums);
  EXPECT_EQ(page.Sums().income, 50);
}
