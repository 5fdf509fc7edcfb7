#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "TestSupport.h"
#include "app/MainWindow.h"
#include "app/Program.h"
#include "data/Database.h"
#include "money/BankMovementWindow.h"
#include "sales/SaleWindow.h"
#include "stock/GoodsEntryWindow.h"

using namespace hemulu;
using namespace hemulu::test;

// Every date box of every form takes a whole date typed key by key, the way a user types
// it over the selected date, and keeps all of it: the digits after the year stay in the
// date instead of landing in the next box. Tab and Shift+Tab still leave the box.

namespace {

// What every other box of the window shows, to tell that none of them got a keystroke.
QStringList OtherBoxes(QWidget* window, const QWidget* date) {
  QStringList texts;
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (w == date || !w->isVisible()) continue;
    if (auto* line = qobject_cast<QLineEdit*>(w); line && !qobject_cast<QAbstractSpinBox*>(line->parentWidget()) &&
                                                  !qobject_cast<QComboBox*>(line->parentWidget()))
      texts << w->objectName() + '=' + line->text();
    else if (auto* combo = qobject_cast<QComboBox*>(w))
      texts << w->objectName() + '=' + combo->currentText();
    else if (auto* other = qobject_cast<QDateEdit*>(w))
      texts << w->objectName() + '=' + other->text();
  }
  return texts;
}

// Sends each character to whichever widget has the focus at that moment, as a keyboard
// does.
void TypeKeyByKey(const QString& text) {
  for (QChar ch : text) {
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr);
    QTest::keyClick(target, ch.toLatin1());
  }
}

// The first row's first column of a query, as text.
QString FirstText(Database& db, const char* sql) {
  auto q = db.Prepare(sql);
  if (!q || !q->Step().value_or(false)) return QStringLiteral("(no row)");
  return q->Text(0);
}

void Activate(QWidget* window) {
  window->show();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
}

// Types two dates into the box (with and without separators) and walks out and back in
// with Tab and Shift+Tab.
void TypeDatesInto(QWidget* window, QDateEdit* date) {
  SCOPED_TRACE(date->objectName().toStdString());
  ASSERT_TRUE(date->isVisible());
  const QStringList others = OtherBoxes(window, date);
  for (const auto& [typed, expected] : {std::pair{QStringLiteral("2026-12-05"), QDate(2026, 12, 5)},
                                        std::pair{QStringLiteral("2026-3-7"), QDate(2026, 3, 7)},
                                        std::pair{QStringLiteral("20251130"), QDate(2025, 11, 30)}}) {
    date->clearFocus();
    date->setFocus(Qt::TabFocusReason);  // the year is selected, as when tabbing into the box
    ASSERT_TRUE(date->hasFocus());
    TypeKeyByKey(typed);
    EXPECT_TRUE(date->hasFocus()) << typed.toStdString();
    EXPECT_EQ(date->date(), expected) << typed.toStdString();
    EXPECT_EQ(OtherBoxes(window, date), others) << typed.toStdString();
  }
  QTest::keyClick(date, Qt::Key_Tab);
  QWidget* next = QApplication::focusWidget();
  ASSERT_NE(next, nullptr);
  EXPECT_NE(next, date);
  EXPECT_FALSE(date->isAncestorOf(next));
  EXPECT_EQ(date->date(), QDate(2025, 11, 30));
  QTest::keyClick(next, Qt::Key_Backtab);
  EXPECT_TRUE(date->hasFocus());
  QTest::keyClick(date, Qt::Key_Tab, Qt::ShiftModifier);
  EXPECT_FALSE(date->hasFocus());
  EXPECT_EQ(date->date(), QDate(2025, 11, 30));
}

void TypeIntoEveryDateBox(QWidget* window, int expected_boxes) {
  Activate(window);
  const auto dates = window->findChildren<QDateEdit*>();
  int typed = 0;
  for (QDateEdit* date : dates) {
    if (!date->isVisible()) continue;
    TypeDatesInto(window, date);
    ++typed;
  }
  EXPECT_EQ(typed, expected_boxes);
}

}  // namespace

TEST(DateTyping, EveryPageTakesATypedDate) {
  TestApp app;
  InsertGoods(app.ctx().db, GoodsRow{});
  MainWindow window(app.ctx(), ProgramParts(app.ctx()));
  window.resize(1400, 860);
  for (auto [page, boxes] :
       {std::pair{kStockPage, 2}, std::pair{kSalesPage, 2}, std::pair{kLedgerPage, 4}, std::pair{kBankPage, 2}}) {
    SCOPED_TRACE(page);
    window.ShowPage(page);
    TypeIntoEveryDateBox(&window, boxes);
  }
}

TEST(DateTyping, EveryWindowStoresTheTypedDate) {
  TestApp app;
  const qint64 goods = InsertGoods(app.ctx().db, GoodsRow{});
  QWidget owner;
  owner.setGeometry(50, 50, 1200, 800);
  {
    GoodsEntryWindow entry(app.ctx(), GoodsEntryWindow::Mode::NewGoods, 0, &owner);
    TypeIntoEveryDateBox(&entry, 1);
  }
  {
    BankMovementWindow bank(app.ctx(), &owner);
    TypeIntoEveryDateBox(&bank, 1);
    bank.findChild<QComboBox*>("名称组合框")->setEditText("工商银行");
    bank.findChild<QLineEdit*>("金额框")->setText("100");
    for (auto* b : bank.findChildren<QPushButton*>())
      if (b->text() == "保存") QTest::mouseClick(b, Qt::LeftButton);
    EXPECT_TRUE(FirstText(app.ctx().db, "select 日期 from bank").startsWith("2025-11-30"));
  }
  {
    QPointer<SaleWindow> sale = SaleWindow::Open(app.ctx(), goods, &owner);
    ASSERT_NE(sale, nullptr);
    TypeIntoEveryDateBox(sale, 1);
    sale->ConfirmSale();
    EXPECT_TRUE(FirstText(app.ctx().db, "select 销售日期 from sell").startsWith("2025-11-30"));
    delete sale.data();
  }
}
