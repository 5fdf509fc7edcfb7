// The purchase records: every delivery (new goods and restocks) with its own price,
// amount and supplier; the searches and the days bound it; sales and edits never show;
// operators are refused; the stock page's view opens, fills, exports and goes back.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>

#include "EngineSupport.h"
#include "JournalGoods.h"
#include "KeyedListSupport.h"
#include "StoredGoods.h"
#include "TestSupport.h"
#include "app/MainMenus.h"
#include "lists/Grid.h"
#include "lists/GridPrinter.h"
#include "lists/KeyedRows.h"
#include "stock/PurchaseRecords.h"
#include "stock/PurchaseRecordsView.h"
#include "stock/StockPage.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

QDateTime Day(int day) { return QDateTime(QDate(2026, 12, day), QTime(9, 0)); }

// 可口可乐 entered on the 1st (5 at 1.2 from 供货商甲) with 雪碧 (5 at 1.2, 供货商甲),
// restocked on the 2nd (5 at 1.3 from 乙公司), sold on the 3rd, restocked on the 4th (8 at
// 1.1 from 丙公司), edited as a return on the 5th, its sale deleted on the 6th.
qint64 BuildPurchases(AppContext& ctx, FixedClock& clock) {
  ctx.session.SetUser(kSuperAdministrator, QStringLiteral("735"));
  clock.Set(Day(1));
  auto cola = InsertNewGoods(ctx, JournalGoodsForm(QStringLiteral("可口可乐"), QDate(2026, 12, 1)));
  EXPECT_TRUE(InsertNewGoods(ctx, JournalGoodsForm(QStringLiteral("雪碧"), QDate(2026, 12, 1))));
  clock.Set(Day(2));
  EXPECT_TRUE(RestockGoods(ctx, *cola, 5, 1.3, QStringLiteral("乙公司")));
  clock.Set(Day(3));
  auto sale = RecordSale(ctx, *cola, JournalSaleOf(ctx, *cola, "2", QDate(2026, 12, 3)));
  EXPECT_TRUE(sale);
  clock.Set(Day(4));
  EXPECT_TRUE(RestockGoods(ctx, *cola, 8, 1.1, QStringLiteral("丙公司")));
  clock.Set(Day(5));
  GoodsForm edit = JournalGoodsForm();
  edit.quantity = QStringLiteral("17");  // one returned to the supplier: 18 bought → 17
  edit.buy_price = QStringLiteral("1.2");
  EXPECT_TRUE(UpdateGoods(ctx, *cola, edit, 2));
  clock.Set(Day(6));
  EXPECT_TRUE(DeleteSale(ctx, *sale));
  return *cola;
}

struct Delivery {
  QString name, supplier;
  double quantity, price, amount;
};

void LayOut(GridStore& store) {
  store.SetCols(kPurchaseCols);
  store.SetFixedRows(1);
  store.SetRows(1);
}

// The list as a plan filled with every row: the deliveries and the two totals.
std::vector<Delivery> Deliveries(AppContext& ctx, const PurchaseFilter& filter, double* quantity = nullptr,
                                 double* amount = nullptr) {
  auto plan = PurchaseRecordsPlan(ctx.session, filter);
  EXPECT_TRUE(plan);
  if (!plan) return {};
  GridStore store;
  LayOut(store);
  const FillResult r = FillList(ctx, store, *plan);
  EXPECT_FALSE(r.error);
  if (quantity) *quantity = r.totals.at(0);
  if (amount) *amount = r.totals.at(1);
  std::vector<Delivery> rows;
  for (int i = store.FixedRows(); i < store.Rows() - 1; ++i)
    rows.push_back({store.Text(i, kPurchaseNameCol), store.Text(i, kPurchaseSupplierCol),
                    NumberValue(store.Text(i, kPurchaseQuantityCol)), NumberValue(store.Text(i, kPurchasePriceCol)),
                    NumberValue(store.Text(i, kPurchaseAmountCol))});
  return rows;
}

QStringList Names(const std::vector<Delivery>& rows) {
  QStringList names;
  for (const Delivery& d : rows) names << d.name + "/" + d.supplier;
  return names;
}

class PurchaseRecordsOn : public EngineTest {};
HEMULU_ON_BOTH_ENGINES(PurchaseRecordsOn);

}  // namespace

TEST_P(PurchaseRecordsOn, ListsEveryDeliveryWithItsOwnPriceAndSupplierAndNothingElse) {
  BuildPurchases(ctx(), clock);
  double quantity = 0, amount = 0;
  const auto rows = Deliveries(ctx(), {}, &quantity, &amount);
  ASSERT_EQ(rows.size(), 4u);  // two entries, two restocks: no sale, edit or deleted sale
  EXPECT_EQ(Names(rows), QStringList({"可口可乐/供货商甲", "雪碧/供货商甲", "可口可乐/乙公司", "可口可乐/丙公司"}));
  EXPECT_EQ(rows[2].quantity, 5);
  EXPECT_EQ(rows[2].price, 1.3);
  EXPECT_DOUBLE_EQ(rows[2].amount, 6.5);
  EXPECT_EQ(rows[3].price, 1.1);
  EXPECT_DOUBLE_EQ(rows[3].amount, 8.8);
  EXPECT_DOUBLE_EQ(quantity, 23);
  EXPECT_DOUBLE_EQ(amount, 27.3);
  ExpectStockMovesAddUp(ctx());
}

TEST_P(PurchaseRecordsOn, TheSearchesAndTheDaysBoundTheListAndItsTotals) {
  BuildPurchases(ctx(), clock);
  // By initials of the goods row, by the name as recorded, by supplier, by days; all at once.
  EXPECT_EQ(Names(Deliveries(ctx(), {.goods = "kkkl"})),
            QStringList({"可口可乐/供货商甲", "可口可乐/乙公司", "可口可乐/丙公司"}));
  EXPECT_EQ(Names(Deliveries(ctx(), {.goods = QStringLiteral("雪")})), QStringList({"雪碧/供货商甲"}));
  EXPECT_EQ(Names(Deliveries(ctx(), {.supplier = QStringLiteral("乙")})), QStringList({"可口可乐/乙公司"}));
  double quantity = 0, amount = 0;
  EXPECT_EQ(
      Names(Deliveries(ctx(), {.first_day = QDate(2026, 12, 2), .last_day = QDate(2026, 12, 4)}, &quantity, &amount)),
      QStringList({"可口可乐/乙公司", "可口可乐/丙公司"}));
  EXPECT_DOUBLE_EQ(quantity, 13);
  EXPECT_DOUBLE_EQ(amount, 15.3);
  // The last day is included whole; the first day's deliveries are in from midnight.
  EXPECT_EQ(Deliveries(ctx(), {.first_day = QDate(2026, 12, 1), .last_day = QDate(2026, 12, 1)}).size(), 2u);
  EXPECT_TRUE(
      Deliveries(ctx(),
                 {.supplier = QStringLiteral("丙"), .first_day = QDate(2026, 12, 1), .last_day = QDate(2026, 12, 3)})
          .empty());
  // Typed text is a value, never SQL: a quote or a wildcard matches itself only.
  EXPECT_TRUE(Deliveries(ctx(), {.goods = "'", .supplier = "%"}).empty());
  EXPECT_EQ(PurchaseScope({.supplier = QStringLiteral("乙")}), "供货商含“乙”");
}

TEST_P(PurchaseRecordsOn, TheKeyedListEqualsTheFullListThroughSorts) {
  BuildPurchases(ctx(), clock);
  // More deliveries than the keyed source keeps pages of.
  for (int i = 0; i < 60; ++i) ASSERT_TRUE(RestockGoods(ctx(), 1 + i % 2, 1 + i % 7, 0.5 + i % 5, QString::number(i)));
  const ListPlan plan = *PurchaseRecordsPlan(ctx().session, {});
  GridStore full, keyed;
  LayOut(full);
  LayOut(keyed);
  const FillResult eager = FillList(ctx(), full, plan);
  KeyedFill fill = FillKeyedList(ctx(), keyed, plan);
  ASSERT_FALSE(fill.result.error.has_value());
  EXPECT_EQ(fill.result.totals, eager.totals);
  ExpectSameList(full, keyed, *fill.rows, "as read");
  for (int col : {kPurchaseAmountCol, kPurchaseSupplierCol, kPurchaseDateCol}) {
    EXPECT_EQ(full.SortByColumn(col, full.ColumnKind(col)), fill.rows->Sort(col, keyed.ColumnKind(col)));
    ExpectSameList(full, keyed, *fill.rows, ("sorted by column " + std::to_string(col)).c_str());
  }
}

TEST_P(PurchaseRecordsOn, AnOperatorIsRefused) {
  BuildPurchases(ctx(), clock);
  ctx().session.SetUser(QStringLiteral("收银员"), QStringLiteral("1"));
  const auto plan = PurchaseRecordsPlan(ctx().session, {});
  ASSERT_FALSE(plan);
  EXPECT_EQ(plan.error().kind, ActionError::Kind::NotAllowed);
  EXPECT_EQ(plan.error().message, kPurchaseNotAllowedMessage);
}

namespace {

struct StockFixture {
  explicit StockFixture(AppContext& ctx) {
    menus = BuildMainMenus(&owner, ctx.session.IsSuperAdministrator());
    page = std::make_unique<StockPage>(ctx, menus.value(kStockMenu), selection, StockPageHooks{}, &owner);
    page->resize(1300, 600);
  }
  QPushButton* Button(const char* name) const { return page->findChild<QPushButton*>(QString::fromUtf8(name)); }
  QWidget owner;
  QHash<QString, QMenu*> menus;
  GoodsSelection selection;
  std::unique_ptr<StockPage> page;
};

QByteArray SheetXml(const QString& file) {
  QProcess unzip;
  unzip.start("unzip", {"-p", file, "xl/worksheets/sheet1.xml"});
  if (!unzip.waitForFinished(30000)) return {};
  return unzip.readAllStandardOutput();
}

int DataRows(const Grid& g) { return g.Rows() - g.FixedRows() - 1; }

}  // namespace

TEST(PurchaseRecordsView, OpensFromTheStockPageFillsSearchesExportsAndGoesBackOnEsc) {
  TestApp app;
  BuildPurchases(app.ctx(), app.clock);
  StockFixture f(app.ctx());
  f.owner.show();
  QPushButton* open = f.Button("库管进货记录按钮");
  ASSERT_NE(open, nullptr);
  EXPECT_TRUE(open->isVisibleTo(f.page.get()));
  QTest::mouseClick(open, Qt::LeftButton);
  ASSERT_TRUE(f.page->ShowsPurchases());
  PurchaseRecordsView& v = *f.page->Purchases();
  const Grid& g = *v.PurchaseGrid();
  ASSERT_EQ(DataRows(g), 4);
  EXPECT_EQ(g.CellText(3, kPurchaseSupplierCol), "乙公司");
  EXPECT_EQ(g.CellText(3, kPurchasePriceCol), "1.3");
  EXPECT_EQ(g.CellText(4, kPurchaseAmountCol), "8.8");
  EXPECT_EQ(g.CellText(3, kPurchaseUserCol), kSuperAdministrator);
  const int totals = g.Rows() - 1;
  EXPECT_EQ(g.CellText(totals, kPurchaseNameCol), "合计：");
  EXPECT_EQ(g.CellText(totals, kPurchaseQuantityCol), "23");
  EXPECT_EQ(g.CellText(totals, kPurchaseAmountCol), "27.3");

  // The supplier box searches as typed; 显示全部记录 empties it.
  v.SupplierBox()->setFocus();
  TypeText(v.SupplierBox()->lineEdit(), QStringLiteral("丙"));
  EXPECT_EQ(DataRows(g), 1);
  f.Button("进货全部记录按钮")->click();
  EXPECT_EQ(DataRows(g), 4);
  EXPECT_TRUE(v.SupplierBox()->currentText().isEmpty());

  // The days: a range backwards is refused and the list stays; the 2nd to the 4th keeps two.
  v.FromBox()->setDate(QDate(2026, 12, 5));
  v.ToBox()->setDate(QDate(2026, 12, 4));
  app.prompter.ExpectMessage("起始日期不能晚于截止日期。");
  f.Button("进货查询按钮")->click();
  EXPECT_EQ(DataRows(g), 4);
  v.FromBox()->setDate(QDate(2026, 12, 2));
  f.Button("进货查询按钮")->click();
  EXPECT_EQ(DataRows(g), 2);
  const GridPrintDocument document(g, v.PrintHeading());
  EXPECT_EQ(document.HeadingLine(), "范围：2026年12月2日至2026年12月4日　　打印日期：2026年12月6日");

  // A restock made meanwhile shows by itself (the journal changed).
  app.clock.Set(Day(4));
  ASSERT_TRUE(RestockGoods(app.ctx(), 1, 2, 1.25, QStringLiteral("丁公司")));
  EXPECT_TRUE(QTest::qWaitFor([&] { return DataRows(g) == 3; }, 5000)) << DataRows(g);

  // The export: the deliveries with their prices, the dates as the spreadsheet's own dates.
  v.Export();
  const QByteArray sheet = SheetXml(app.FilePath("进货记录.xlsx"));
  EXPECT_FALSE(sheet.isEmpty());
  EXPECT_TRUE(sheet.contains("<v>1.3</v>"));
  EXPECT_TRUE(sheet.contains("<v>1.25</v>"));
  EXPECT_FALSE(sheet.contains("2026年12月"));
  ASSERT_FALSE(app.notifier.notices.empty());
  EXPECT_TRUE(app.notifier.notices.back().text.contains("进货记录.xlsx"));

  // Esc goes back to the stock list, from the search box as from the list.
  QTest::keyClick(v.GoodsBox(), Qt::Key_Escape);
  EXPECT_FALSE(f.page->ShowsPurchases());
  f.page->ShowPurchases();
  ASSERT_TRUE(f.page->ShowsPurchases());
  QTest::keyClick(v.PurchaseGrid(), Qt::Key_Escape);
  EXPECT_FALSE(f.page->ShowsPurchases());
}

TEST(PurchaseRecordsView, AnOperatorsStockPageOffersNoPurchaseRecords) {
  TestApp app;
  BuildPurchases(app.ctx(), app.clock);
  app.ctx().session.SetUser(QStringLiteral("收银员"), QStringLiteral("1"));
  StockFixture f(app.ctx());
  f.page->show();
  QPushButton* open = f.Button("库管进货记录按钮");
  ASSERT_NE(open, nullptr);
  EXPECT_FALSE(open->isVisibleTo(f.page.get()));
  f.page->ShowPurchases();
  EXPECT_FALSE(f.page->ShowsPurchases());
  // Reached anyway, the view is refused by the logic and shows nothing.
  app.prompter.ExpectMessage(kPurchaseNotAllowedMessage);
  EXPECT_FALSE(f.page->Purchases()->Refill());
  const Grid& g = *f.page->Purchases()->PurchaseGrid();
  EXPECT_EQ(g.Rows(), g.FixedRows());
}
