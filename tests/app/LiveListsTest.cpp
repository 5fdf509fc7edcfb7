// Pages refill themselves when a committed write changes a table they show: this
// program's writes on either engine, another program's on a server.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "EngineSupport.h"
#include "TestSupport.h"
#include "app/MainWindow.h"
#include "app/Program.h"
#include "data/EmbeddedFiles.h"
#include "data/ServerEngine.h"
#include "data/TextFormat.h"
#include "lists/Grid.h"
#include "money/BankLogic.h"
#include "money/BankPage.h"
#include "money/LedgerPage.h"
#include "sales/SalesLogic.h"
#include "stock/StockFill.h"
#include "stock/StockPage.h"
#include "ui/LiveRefill.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

// Well within "a second": the coalescing pause and a refill take a small part of it.
constexpr int kLiveMs = 1000;

SaleForm SellOne(AppContext& ctx, qint64 goods_id) {
  const auto g = LoadSaleGoods(ctx, goods_id);
  EXPECT_TRUE(g.has_value());
  SaleForm f;
  if (!g) return f;
  f.name = g->name;
  f.model = g->model;
  f.code = g->code;
  f.category = g->category;
  f.shown_stock = NumberText(g->stock);
  f.quantity = QStringLiteral("1");
  f.actual_price = NumberText(g->sell_price);
  f.amount = NumberText(g->sell_price);
  f.date = QDate(2026, 12, 8);
  return f;
}

QString StockOf(const StockPage& page, qint64 id) {
  const Grid& grid = *page.StockGrid();
  const int row = grid.FindRow(kStockIdCol, QString::number(id));
  return row < 0 ? QString() : grid.CellText(row, kStockQuantityCol);
}

class LiveListsTest : public EngineTest {
 protected:
  // The program that writes: on a server another one (its own folder, connection and
  // pages); on the file this same program, the only one the file admits.
  AppContext& Writer() {
    if (!OnServer()) return ctx();
    if (!other_) {
      EXPECT_TRUE(WriteWorkingFiles(other_dir_.path(), other_dir_.path()));
      other_ = std::make_unique<AppContext>(other_dir_.path(), *scratch()->Address(), prompter, clock, notifier);
      other_->session.SetUser(kSuperAdministrator, QStringLiteral("735"));
    }
    return *other_;
  }
  Database& WriterDb() {
    EXPECT_TRUE(Writer().EnsureDatabaseOpen().has_value());
    return Writer().db;
  }

 private:
  QTemporaryDir other_dir_;
  std::unique_ptr<AppContext> other_;
};

}  // namespace

TEST_P(LiveListsTest, ASaleRefillsTheStockPageShownWithoutAHandRefresh) {
  const qint64 id = InsertGoods(db(), GoodsRow{});
  MainWindow window(ctx(), ProgramParts(ctx()));
  window.show();
  window.ShowPage(kStockPage);
  auto* stock = qobject_cast<StockPage*>(window.Page(kStockPage));
  ASSERT_NE(stock, nullptr);
  ASSERT_EQ(StockOf(*stock, id), QStringLiteral("10"));

  auto sale = RecordSale(Writer(), id, SellOne(Writer(), id));
  ASSERT_TRUE(sale.has_value()) << sale.error().message.toStdString();
  EXPECT_TRUE(QTest::qWaitFor([&] { return StockOf(*stock, id) == QStringLiteral("9"); }, kLiveMs))
      << "stock shown: " << StockOf(*stock, id).toStdString();

  // A hidden page waits to be shown, then shows the change at once.
  window.ShowPage(kSalesPage);
  auto again = RecordSale(Writer(), id, SellOne(Writer(), id));
  ASSERT_TRUE(again.has_value());
  window.ShowPage(kStockPage);
  EXPECT_TRUE(QTest::qWaitFor([&] { return StockOf(*stock, id) == QStringLiteral("8"); }, kLiveMs));
}

TEST_P(LiveListsTest, ARefillKeepsTheSearchTheChosenRowAndTheScroll) {
  std::vector<qint64> cola;
  for (int i = 0; i < 80; ++i) {
    GoodsRow row;
    row.name = (i % 2 ? QStringLiteral("雪碧") : QStringLiteral("可乐")) + QString::number(i);
    row.initials = i % 2 ? QStringLiteral("XB") : QStringLiteral("KL");
    const qint64 id = InsertGoods(db(), row);
    if (i % 2 == 0) cola.push_back(id);
  }
  MainWindow window(ctx(), ProgramParts(ctx()));
  window.resize(900, 500);
  window.show();
  window.ShowPage(kStockPage);
  auto* stock = qobject_cast<StockPage*>(window.Page(kStockPage));
  ASSERT_NE(stock, nullptr);
  Grid& grid = *stock->StockGrid();

  // The user searches by name, picks a goods far down and scrolls elsewhere.
  auto* name_box = stock->findChild<QLineEdit*>(QStringLiteral("库管商品名称框"));
  ASSERT_NE(name_box, nullptr);
  name_box->setFocus();
  TypeText(name_box, QStringLiteral("KL"));
  ASSERT_EQ(grid.Rows() - grid.FixedRows() - grid.FrozenBottomRows(), 40);
  const qint64 chosen = cola[30];
  const int row = grid.FindRow(kStockIdCol, QString::number(chosen));
  stock->PrepareMenuFor(row, kStockNameCol);
  QScrollBar* bar = grid.BodyView()->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 10);
  // Scrolled away from the chosen row, which is out of view: selecting it again must not
  // bring it back into view.
  bar->setValue(1);
  const int scrolled = bar->value();

  // Another till adds a goods the search finds (at the list's end).
  GoodsRow added;
  added.name = QStringLiteral("可乐新品");
  added.initials = QStringLiteral("KLXP");
  const qint64 new_id = InsertGoods(WriterDb(), added);
  ASSERT_TRUE(QTest::qWaitFor([&] { return grid.FindRow(kStockIdCol, QString::number(new_id)) >= 0; }, kLiveMs));

  EXPECT_EQ(grid.Rows() - grid.FixedRows() - grid.FrozenBottomRows(), 41) << "the search is still in force";
  EXPECT_EQ(name_box->text(), QStringLiteral("KL"));
  const int selected = grid.SelectionFirstRow();
  ASSERT_GE(selected, 0);
  EXPECT_EQ(grid.CellText(selected, kStockIdCol), QString::number(chosen));
  EXPECT_EQ(stock->Selection().id, QString::number(chosen));
  EXPECT_EQ(stock->Selection().row, selected);
  EXPECT_EQ(bar->value(), scrolled);
}

// The code that asked a question may still hold a row of the list as it was: the refill
// waits until the box is closed.
TEST_P(LiveListsTest, AnOpenMessageBoxHoldsTheRefillUntilItCloses) {
  const qint64 id = InsertGoods(db(), GoodsRow{});
  MainWindow window(ctx(), ProgramParts(ctx()));
  window.show();
  window.ShowPage(kStockPage);
  auto* stock = qobject_cast<StockPage*>(window.Page(kStockPage));
  ASSERT_NE(stock, nullptr);
  auto* live = stock->findChild<LiveRefill*>();
  ASSERT_NE(live, nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return StockOf(*stock, id) == QStringLiteral("10") && !live->Pending(); }));

  auto* box = new QMessageBox(QMessageBox::Question, QStringLiteral("提示"), QStringLiteral("确定吗？"),
                              QMessageBox::Yes | QMessageBox::No, &window);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
  ASSERT_TRUE(WriterDb().Execute("update buy set 存货数量=? where \"ID\"=?", 4.0, id));
  ASSERT_TRUE(QTest::qWaitFor([&] { return live->Pending(); }, kLiveMs));
  EXPECT_EQ(StockOf(*stock, id), QStringLiteral("10")) << "refilled under the open box";
  box->done(QMessageBox::No);
  EXPECT_TRUE(QTest::qWaitFor([&] { return StockOf(*stock, id) == QStringLiteral("4"); }, kLiveMs));
}

TEST_P(LiveListsTest, TheLedgerEntryBeingTypedIsNotTouchedByARefill) {
  MainWindow window(ctx(), ProgramParts(ctx()));
  window.show();
  window.ShowPage(kLedgerPage);
  auto* ledger = qobject_cast<LedgerPage*>(window.Page(kLedgerPage));
  ASSERT_NE(ledger, nullptr);
  const int rows_before = ledger->findChild<Grid*>()->Rows();
  // Half an income entry typed, its item among the pick list's values.
  auto* item = ledger->findChild<QComboBox*>(QStringLiteral("收入项目框"));
  auto* amount = ledger->findChild<QLineEdit*>(QStringLiteral("收入金额框"));
  ASSERT_TRUE(item && amount) << "the income form's boxes are named so";
  item->setEditText(QStringLiteral("房租收入"));
  amount->setText(QStringLiteral("12.5"));

  ASSERT_TRUE(WriterDb().Execute("insert into other (日期,项目,金额,类型) values (?,?,?,?)",
                                 QStringLiteral("2026-12-08 10:00:00"), QStringLiteral("水费"), 30.0,
                                 QStringLiteral("支出")));
  ASSERT_TRUE(QTest::qWaitFor([&] { return ledger->findChild<Grid*>()->Rows() > rows_before; }, kLiveMs));
  EXPECT_GE(item->findText(QStringLiteral("水费")), 0) << "the pick list has the new item";
  EXPECT_EQ(item->currentText(), QStringLiteral("房租收入"));
  EXPECT_EQ(amount->text(), QStringLiteral("12.5"));
}

// What a program hears: the tables of each committed transaction, once, and nothing of
// one rolled back.
TEST_P(LiveListsTest, OnlyCommittedWritesAreHeardWithTheTablesTheyChanged) {
  std::vector<QSet<QString>> heard;
  QObject::connect(&ctx().changes, &ChangeFeed::TablesChanged, [&](const QSet<QString>& t) { heard.push_back(t); });
  Database& writer = WriterDb();
  {
    auto tx = Transaction::Begin(writer);
    ASSERT_TRUE(tx.has_value());
    ASSERT_TRUE(writer.Execute("insert into buy (名称) values (?)", QStringLiteral("不要了")));
    // rolled back when it goes out of scope
  }
  {
    auto tx = Transaction::Begin(writer);
    ASSERT_TRUE(tx.has_value());
    ASSERT_TRUE(writer.Execute("insert into bank (日期,银行,账户,金额) values (?,?,?,?)",
                               QStringLiteral("2026-12-08 10:00:00"), QStringLiteral("工商银行"), QStringLiteral("1"),
                               5.0));
    ASSERT_TRUE(writer.Execute("insert into sell (名称,销售日期,销售金额,净利润) values (?,?,?,?)",
                               QStringLiteral("可乐"), QStringLiteral("2026-12-08 10:00:00"), 3.0, 1.0));
    ASSERT_TRUE(tx->Commit().has_value());
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return !heard.empty(); }, kLiveMs));
  // After the commit's notice nothing more is on its way: one more write, heard alone.
  ASSERT_TRUE(writer.Execute("insert into other (类型,项目,金额,日期) values (?,?,?,?)", QStringLiteral("支出"),
                             QStringLiteral("水费"), 30.0, QStringLiteral("2026-12-08 10:00:00")));
  ASSERT_TRUE(QTest::qWaitFor([&] { return heard.size() >= 2 && heard.back().contains("other"); }, kLiveMs));
  ASSERT_EQ(heard.size(), 2u);
  EXPECT_EQ(heard[0], (QSet<QString>{"bank", "sell", "sell_day"}));
  EXPECT_EQ(heard[1], (QSet<QString>{"other"}));
}

// A live refill shows what the page showed last, whichever way it came to show it.
TEST_P(LiveListsTest, TheBankPageRefillsTheMovementsItShowsNow) {
  auto add = [](Database& db, const char* bank) {
    return db.Execute("insert into bank (银行,账户,方式,金额,日期) values (?,?,?,?,?)", QString::fromUtf8(bank),
                      QStringLiteral("1"), QStringLiteral("存入"), 100.0, QStringLiteral("2026-12-08 10:00:00"));
  };
  ASSERT_TRUE(add(db(), "工商银行"));
  ASSERT_TRUE(add(db(), "农业银行"));
  MainWindow window(ctx(), ProgramParts(ctx()));
  window.show();
  window.ShowPage(kBankPage);
  auto* bank = qobject_cast<BankPage*>(window.Page(kBankPage));
  ASSERT_NE(bank, nullptr);
  Grid& grid = *bank->findChild<Grid*>();
  const auto shown = [&grid] { return grid.Rows(); };
  const int both = shown();
  bank->FillBankList(SearchBankQuery(QStringLiteral("工商")));
  ASSERT_EQ(shown(), both - 1);
  // A movement saved in this program's window: every movement again.
  bank->NewBankMovement();
  auto* movement = window.findChild<BankMovementWindow*>();
  ASSERT_NE(movement, nullptr);
  emit movement->MovementSaved();
  movement->close();
  ASSERT_EQ(shown(), both);

  ASSERT_TRUE(add(WriterDb(), "建设银行"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return shown() == both + 1; }, kLiveMs)) << "rows shown: " << shown();
}

HEMULU_ON_BOTH_ENGINES(LiveListsTest);

TEST(LiveLists, TheWrittenTableIsReadFromTheStatement) {
  EXPECT_EQ(WrittenTable("insert into buy (a) values (?)"), "buy");
  EXPECT_EQ(WrittenTable("  INSERT INTO \"UserName\"(x) values (1)"), "UserName");
  EXPECT_EQ(WrittenTable("update sell set a=1"), "sell");
  EXPECT_EQ(WrittenTable("delete from other where \"ID\"=$1"), "other");
  EXPECT_EQ(WrittenTable("select * from buy"), "");
  EXPECT_EQ(WrittenTable("updated_at"), "");
}
