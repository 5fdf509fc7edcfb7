// The bad-input tour: every box of every window that takes typed input is given, in
// turn, each of a set of troublesome texts while the other boxes hold good values, and
// the window's save (Enter, for a search box) is pressed. Afterwards either a clear
// Chinese message was shown and nothing changed, or the value is stored exactly as the
// box holds it — never half a record, never an infinite figure, never stock that no
// longer adds up.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <cstdio>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <set>

#include "../money/MoneyTestSupport.h"
#include "TestSupport.h"
#include "admin/AccountsWindow.h"
#include "admin/MaintenanceWindow.h"
#include "admin/SettingsLogic.h"
#include "admin/SettingsWindow.h"
#include "app/Login.h"
#include "app/LoginWindow.h"
#include "app/MainMenus.h"
#include "data/EmbeddedFiles.h"
#include "data/IniFile.h"
#include "data/StockMoves.h"
#include "data/TextFormat.h"
#include "lists/Grid.h"
#include "money/BankMovementWindow.h"
#include "money/BankPage.h"
#include "money/LedgerPage.h"
#include "money/MoneyLists.h"
#include "money/MoneyMenus.h"
#include "sales/SaleEditWindow.h"
#include "sales/SaleWindow.h"
#include "sales/SalesList.h"
#include "sales/SalesMenus.h"
#include "sales/SalesPage.h"
#include "stock/GoodsEntryWindow.h"
#include "stock/StockFill.h"
#include "stock/StockMenus.h"
#include "stock/StockPage.h"

namespace hemulu::test {
namespace {

struct BadText {
  const char* label;
  QString text;
};

const std::vector<BadText>& BadTexts() {
  static const std::vector<BadText> texts = [] {
    // Digits, so a number box reads it as a huge but finite figure.
    QString digits;
    for (int i = 1; i <= 51; ++i) digits += QChar(u'0' + i % 10);
    // Chinese, a quote and the characters a LIKE pattern treats specially.
    QString long_text;
    while (long_text.size() < 10000) long_text += QStringLiteral("货'%_\\");
    long_text.truncate(10000);
    return std::vector<BadText>{{"quote", QStringLiteral("'")},
                                {"quote and comment", QStringLiteral("';--")},
                                {"51 characters", digits},
                                {"10000 characters", long_text},
                                {"1e309", QStringLiteral("1e309")},
                                {"-0", QStringLiteral("-0")},
                                {"NaN", QStringLiteral("NaN")},
                                {"empty", QString()},
                                {"NUL", QStringLiteral("A") + QChar(0) + QStringLiteral("B")}};
  }();
  return texts;
}

// Records every message box and answers every confirmation "OK": what a window says
// depends on the text typed. Input boxes are answered from a queue.
class TourPrompter final : public Prompter {
 public:
  void Message(const QString& text, const QString&, MessageKind) override { messages.push_back(text); }
  bool Confirm(const QString&, const QString&, ConfirmDefault) override { return true; }
  std::optional<QString> AskText(const QString& prompt, const QString&, TextEcho) override {
    if (answers.empty()) {
      ADD_FAILURE() << "unexpected input box: " << prompt.toStdString();
      return std::nullopt;
    }
    QString answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::optional<QString> ChooseFolder(const QString& title, const QString&) override {
    ADD_FAILURE() << "unexpected folder browser: " << title.toStdString();
    return std::nullopt;
  }
  std::vector<QString> messages;
  std::deque<QString> answers;
};

// A program folder written by the start-up code, with the tour's prompter.
struct TourApp {
  explicit TourApp(const QString& user = kSuperAdministrator) {
    EXPECT_TRUE(WriteWorkingFiles(dir.path(), dir.path()).has_value());
    context = std::make_unique<AppContext>(dir.path(), prompter, clock, notifier);
    context->session.SetUser(user, QStringLiteral("735"));
    EXPECT_TRUE(context->EnsureDatabaseOpen().has_value());
  }
  AppContext& ctx() { return *context; }
  Database& db() { return context->db; }

  QTemporaryDir dir;
  TourPrompter prompter;
  FixedClock clock;
  RecordingNotifier notifier;
  std::unique_ptr<AppContext> context;
};

// ---- What the database holds ----

struct TableState {
  qint64 rows = 0;
  QByteArray hash;
  bool operator==(const TableState&) const = default;
};

struct Snapshot {
  std::map<QString, TableState> tables;
  int non_finite = 0;  // stored figures that are infinite or NaN
};

Snapshot Take(Database& db) {
  Snapshot s;
  QStringList names;
  {
    auto st = db.Prepare("select name from sqlite_master where type='table' and name not like 'sqlite_%'");
    EXPECT_TRUE(st.has_value());
    while (st && st->Step().value_or(false)) names << st->Text(0);
  }
  for (const QString& name : names) {
    auto st = db.Prepare(("select * from \"" + name + "\"").toStdString());
    EXPECT_TRUE(st.has_value()) << name.toStdString();
    if (!st) continue;
    QCryptographicHash hash(QCryptographicHash::Sha1);
    TableState& t = s.tables[name];
    while (st->Step().value_or(false)) {
      ++t.rows;
      for (int c = 0; c < st->ColumnCount(); ++c) {
        const Statement::Stored type = st->CellStored(c);
        if (type == Statement::Stored::Real && !std::isfinite(st->CellDouble(c))) ++s.non_finite;
        hash.addData(QByteArray::number(static_cast<int>(type)));
        hash.addData(st->IsNull(c) ? QByteArray("\x01null") : st->Text(c).toUtf8());
        hash.addData(QByteArray("\x02", 1));
      }
    }
    t.hash = hash.result();
  }
  return s;
}

// Goods figures that add up: bought − sold = stock, and sold = the sales of the row.
void ExpectStockAddsUp(Database& db, const std::string& where) {
  auto st = db.Prepare(
      "select ID, 进货数量, 销售数量, 存货数量, (select coalesce(sum(销售数量),0) from sell where UID=buy.ID) from "
      "buy");
  ASSERT_TRUE(st.has_value());
  while (st->Step().value_or(false)) {
    EXPECT_NEAR(st->Double(1) - st->Double(2), st->Double(3), 1e-6) << where << " goods " << st->Int(0);
    EXPECT_NEAR(st->Double(2), st->Double(4), 1e-6) << where << " goods " << st->Int(0);
  }
}

struct Stored {
  bool found = false, null = false;
  QString text;
  double number = 0;
};

Stored ReadStored(Database& db, const char* table, const char* column, qint64 id) {
  Stored s;
  auto st = db.Prepare(std::string("select \"") + column + "\" from \"" + table + "\" where ID=?");
  EXPECT_TRUE(st.has_value());
  if (!st) return s;
  st->BindAll(id);
  if (!st->Step().value_or(false)) return s;
  s.found = true;
  s.null = st->IsNull(0);
  s.text = st->Text(0);
  s.number = st->Double(0);
  return s;
}

qint64 HighestId(Database& db, const char* table) {
  auto st = db.Prepare(std::string("select coalesce(max(ID),0) from \"") + table + "\"");
  return st && st->Step().value_or(false) ? st->Int(0) : 0;
}

// ---- Messages ----

// A message a shop owner can read: Chinese, and no engine's English words in it
// (a run of four Latin letters that the user did not type).
void ExpectClearMessage(const QString& message, const QString& typed, const std::string& where) {
  EXPECT_FALSE(message.trimmed().isEmpty()) << where;
  const bool chinese = std::any_of(message.begin(), message.end(),
                                   [](QChar c) { return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF; });
  EXPECT_TRUE(chinese) << where << ": " << message.toStdString();
  QString rest = message;
  if (!typed.isEmpty()) rest.remove(typed);
  static const QRegularExpression english(QStringLiteral("[A-Za-z]{4,}"));
  EXPECT_FALSE(english.match(rest).hasMatch()) << where << ": " << message.toStdString();
}

// ---- Typing ----

QWidget* Editor(QWidget* box) {
  if (auto* combo = qobject_cast<QComboBox*>(box)) return combo->lineEdit();
  return box;
}

QString BoxText(QWidget* box) {
  box = Editor(box);
  if (auto* line = qobject_cast<QLineEdit*>(box)) return line->text();
  if (auto* plain = qobject_cast<QPlainTextEdit*>(box)) return plain->toPlainText();
  ADD_FAILURE() << "not a text box: " << box->objectName().toStdString();
  return {};
}

void SetBox(QWidget* window, const char* name, const QString& text) {
  QWidget* box = window->findChild<QWidget*>(QString::fromUtf8(name));
  ASSERT_NE(box, nullptr) << name;
  box = Editor(box);
  if (auto* line = qobject_cast<QLineEdit*>(box)) {
    line->setText(text);
  } else if (auto* plain = qobject_cast<QPlainTextEdit*>(box)) {
    plain->setPlainText(text);
  }
}

// As a user does it: the old text selected and deleted, the new one pasted but for
// its last character, which is typed (a NUL cannot be typed, so it comes pasted).
void TypeInto(QWidget* box, const QString& text) {
  box->setFocus();
  QWidget* editor = Editor(box);
  if (auto* line = qobject_cast<QLineEdit*>(editor)) {
    line->selectAll();
    QTest::keyClick(line, Qt::Key_Backspace);
    line->insert(text.left(text.size() - 1));
  } else if (auto* plain = qobject_cast<QPlainTextEdit*>(editor)) {
    plain->selectAll();
    QTest::keyClick(plain, Qt::Key_Backspace);
    plain->insertPlainText(text.left(text.size() - 1));
  }
  if (text.isEmpty()) return;
  const QChar last = text.back();
  if (last.isPrint()) {
    TypeText(editor, QString(last));
  } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
    line->insert(QString(last));
  } else if (auto* plain = qobject_cast<QPlainTextEdit*>(editor)) {
    plain->insertPlainText(QString(last));
  }
}

void ClickButton(QWidget* window, const QString& caption) {
  for (auto* b : window->findChildren<QPushButton*>())
    if (b->text() == caption && b->isVisibleTo(window)) return QTest::mouseClick(b, Qt::LeftButton);
  ADD_FAILURE() << "no button " << caption.toStdString();
}

// ---- The tour of a window that saves ----

enum class Kind { Text, Number };

struct Box {
  const char* name;    // object name
  const char* column;  // where the save stores it; nullptr when it is not stored as such
  Kind kind = Kind::Text;
  bool trimmed = false;        // stored without its surrounding blanks
  bool empty_is_null = false;  // an empty number box stores none
};

struct WindowTour {
  std::string window;
  std::function<QWidget*()> open;
  std::function<void(QWidget*, int)> fill;  // good values in every box; the number makes names unique
  std::vector<Box> boxes;
  std::function<void(QWidget*)> save;
  const char* table;
  bool new_row;  // a save adds a row; otherwise it changes `row`
  qint64 row = 0;
  std::set<QString> also = {};  // tables a save may change besides `table`
  std::vector<QString> success_messages = {};
  bool owned = true;  // the tour opens and deletes the window; a page lives on its own
};

struct TourCounts {
  int refused = 0, stored = 0;
};

TourCounts RunTour(TourApp& app, const WindowTour& tour) {
  TourCounts counts;
  QPointer<QWidget> window;
  int seq = 0;
  for (const Box& box : tour.boxes) {
    for (const BadText& bad : BadTexts()) {
      const std::string where = tour.window + " / " + box.name + " / " + bad.label;
      if (!window || !window->isVisible()) {
        if (tour.owned) delete window.data();
        window = tour.open();
        window->show();
      }
      tour.fill(window, ++seq);
      QWidget* target = window->findChild<QWidget*>(QString::fromUtf8(box.name));
      if (!target) {
        ADD_FAILURE() << where << ": no such box";
        return counts;
      }
      TypeInto(target, bad.text);
      const QString held = BoxText(target);
      const Snapshot before = Take(app.db());
      app.prompter.messages.clear();
      tour.save(window);
      const Snapshot after = Take(app.db());

      EXPECT_EQ(0, after.non_finite) << where;
      ExpectStockAddsUp(app.db(), where);
      // Every save that changed stock wrote its movement, and only those.
      auto mismatches = FindStockMismatches(app.ctx());
      EXPECT_TRUE(mismatches && mismatches->empty())
          << where << ": "
          << (mismatches ? StockMismatchMessage(*mismatches) : mismatches.error().message).toStdString();
      bool refused = false;
      for (const QString& m : app.prompter.messages) {
        if (std::find(tour.success_messages.begin(), tour.success_messages.end(), m) != tour.success_messages.end())
          continue;
        refused = true;
        ExpectClearMessage(m, held, where);
      }
      if (refused) {
        ++counts.refused;
        for (const auto& [name, state] : before.tables)
          EXPECT_TRUE(after.tables.at(name) == state) << where << ": refused, yet " << name.toStdString() << " changed";
        continue;
      }
      ++counts.stored;
      for (const auto& [name, state] : before.tables) {
        const TableState& now = after.tables.at(name);
        if (name == QString::fromUtf8(tour.table)) {
          EXPECT_EQ(state.rows + (tour.new_row ? 1 : 0), now.rows) << where << ": not one whole record";
        } else if (!tour.also.contains(name)) {
          EXPECT_TRUE(now == state) << where << ": " << name.toStdString() << " changed";
        }
      }
      if (!box.column) continue;
      const qint64 id = tour.new_row ? HighestId(app.db(), tour.table) : tour.row;
      const Stored stored = ReadStored(app.db(), tour.table, box.column, id);
      if (!stored.found) {
        ADD_FAILURE() << where << ": the saved row is not there";
        continue;
      }
      if (box.kind == Kind::Text) {
        EXPECT_EQ((box.trimmed ? held.trimmed() : held).toStdString(), stored.text.toStdString()) << where;
      } else if (held.trimmed().isEmpty() && box.empty_is_null) {
        EXPECT_TRUE(stored.null) << where;
      } else {
        // What the box reads as: a number, or 0 for a box left empty.
        const auto typed = ParseNumber(held);
        EXPECT_TRUE(typed || held.trimmed().isEmpty()) << where << ": stored from a box that is no number";
        EXPECT_EQ(typed.value_or(0.0), stored.number) << where;
      }
    }
  }
  if (tour.owned) delete window.data();
  std::printf("%s: %d cases refused with a message, %d stored\n", tour.window.c_str(), counts.refused, counts.stored);
  return counts;
}

// ---- Seed rows: one plain, one full of quotes ----

const QString kQuoted = QStringLiteral("O'Brien';--");

qint64 SeedGoods(Database& db, const QString& text) {
  GoodsRow g;
  g.bought = 1000;
  g.stock = 1000;
  g.bought_amount = g.stock_amount = 2000;
  if (!text.isEmpty()) g.name = g.model = g.code = g.category = g.supplier = g.note = g.initials = text;
  return InsertGoods(db, g);
}

qint64 SeedSale(AppContext& ctx, qint64 goods, const QString& text) {
  SaleForm f;
  f.name = f.model = f.code = f.category = text.isEmpty() ? QStringLiteral("可口可乐") : text;
  f.shown_stock = QStringLiteral("1000");
  f.actual_price = f.amount = QStringLiteral("3");
  f.quantity = QStringLiteral("1");
  f.date = QDate(2026, 12, 1);
  f.customer_name = f.note = f.address = text.isEmpty() ? QStringLiteral("张三") : text;
  auto id = RecordSale(ctx, goods, f);
  EXPECT_TRUE(id.has_value());
  return id.value_or(0);
}

// ---- The windows that save ----

TEST(BadInputTour, GoodsEntryRestockAndChange) {
  TourApp app;
  const qint64 goods = SeedGoods(app.db(), QString());
  SeedGoods(app.db(), kQuoted);
  const auto fill = [](QWidget* w, int seq) {
    SetBox(w, "类别组合框", QStringLiteral("饮料"));
    SetBox(w, "名称组合框", QStringLiteral("雪碧%1").arg(seq));
    SetBox(w, "型号组合框", QStringLiteral("330ml"));
    SetBox(w, "编码组合框", QStringLiteral("XB330"));
    SetBox(w, "进货单价框", QStringLiteral("2"));
    SetBox(w, "数量框", QStringLiteral("5"));
    SetBox(w, "销售单价框", QStringLiteral("3"));
    SetBox(w, "供货商框", QStringLiteral("供货商甲"));
    SetBox(w, "备注框", QStringLiteral("无"));
  };
  const std::vector<Box> boxes = {{"类别组合框", "类型"},
                                  {"名称组合框", "名称"},
                                  {"型号组合框", "型号"},
                                  {"编码组合框", "编码"},
                                  {"进货单价框", "进货单价", Kind::Number},
                                  {"数量框", "进货数量", Kind::Number},
                                  {"销售单价框", "销售单价", Kind::Number},
                                  {"供货商框", "供货商"},
                                  {"备注框", "备注"}};
  const auto save = [](QWidget* w) { static_cast<GoodsEntryWindow*>(w)->Save(); };

  WindowTour entry{"新建入库",
                   [&] { return new GoodsEntryWindow(app.ctx(), GoodsEntryWindow::Mode::NewGoods, 0, nullptr); },
                   fill,
                   boxes,
                   save,
                   "buy",
                   true,
                   0,
                   {QStringLiteral("stock_move")}};
  const TourCounts new_goods = RunTour(app, entry);

  WindowTour change{"修改商品",
                    [&] { return new GoodsEntryWindow(app.ctx(), GoodsEntryWindow::Mode::Edit, goods, nullptr); },
                    fill,
                    boxes,
                    save,
                    "buy",
                    false,
                    goods,
                    {QStringLiteral("stock_move")}};
  const TourCounts changed = RunTour(app, change);

  // Restocking takes this delivery's quantity, price and supplier; the movement keeps
  // the price and supplier, the row its own figures.
  WindowTour restock{"商品续存",
                     [&] { return new GoodsEntryWindow(app.ctx(), GoodsEntryWindow::Mode::Restock, goods, nullptr); },
                     [](QWidget* w, int) {
                       SetBox(w, "数量框", QStringLiteral("5"));
                       SetBox(w, "进货单价框", QStringLiteral("2.5"));
                       SetBox(w, "供货商框", QStringLiteral("供货商乙"));
                     },
                     {{"数量框", nullptr, Kind::Number}, {"进货单价框", nullptr, Kind::Number}, {"供货商框", nullptr}},
                     save,
                     "buy",
                     false,
                     goods,
                     {QStringLiteral("stock_move")}};
  const TourCounts restocked = RunTour(app, restock);
  for (const TourCounts& c : {new_goods, changed, restocked}) {
    EXPECT_GT(c.refused, 0);
    EXPECT_GT(c.stored, 0);
  }
}

TEST(BadInputTour, SaleAndSaleEdit) {
  TourApp app;
  const qint64 goods = SeedGoods(app.db(), QString());
  SeedGoods(app.db(), kQuoted);
  const auto open_sale = [&]() -> QWidget* {
    // Enough stock for the next sale, added as a restock adds it.
    auto g = LoadSaleGoods(app.ctx(), goods);
    EXPECT_TRUE(g.has_value());
    if (g && g->stock < 10) {
      EXPECT_TRUE(RestockGoods(app.ctx(), goods, 1000, g->buy_price, QStringLiteral("供货商甲")).has_value());
    }
    return new SaleWindow(app.ctx(), *LoadSaleGoods(app.ctx(), goods), nullptr);
  };
  WindowTour sale{"商品销售",
                  open_sale,
                  [](QWidget* w, int seq) {
                    SetBox(w, "打折框", QStringLiteral("100"));
                    SetBox(w, "实际零售价框", QStringLiteral("3"));
                    SetBox(w, "销售数量框", QStringLiteral("1"));
                    SetBox(w, "销售金额框", QStringLiteral("3"));
                    SetBox(w, "欠款金额框", QStringLiteral("0"));
                    SetBox(w, "客户编号框", QStringLiteral("2026128%1").arg(seq));
                    SetBox(w, "客户姓名框", QStringLiteral("李四"));
                    SetBox(w, "联系方式框", QStringLiteral("13800000000"));
                    SetBox(w, "客户地址框", QStringLiteral("东街1号"));
                    SetBox(w, "备注框", QStringLiteral("无"));
                  },
                  {{"打折框", nullptr, Kind::Number},
                   {"实际零售价框", "销售单价", Kind::Number},
                   {"销售数量框", "销售数量", Kind::Number},
                   {"销售金额框", "销售金额", Kind::Number},
                   {"欠款金额框", "欠款额", Kind::Number},
                   {"客户编号框", "客户编号"},
                   {"客户姓名框", "客户名称"},
                   {"联系方式框", "联系方式"},
                   {"客户地址框", "客户地址"},
                   {"备注框", "备注"}},
                  [](QWidget* w) { static_cast<SaleWindow*>(w)->ConfirmSale(); },
                  "sell",
                  true,
                  0,
                  {QStringLiteral("buy"), QStringLiteral("sell_day"), QStringLiteral("stock_move")}};
  const TourCounts sold = RunTour(app, sale);
  EXPECT_GT(sold.refused, 0);
  EXPECT_GT(sold.stored, 0);

  const qint64 sale_id = SeedSale(app.ctx(), goods, QString());
  Grid grid(nullptr, QStringLiteral("销售框架"));
  LayOutSalesGrid(grid);
  const auto open_edit = [&]() -> QWidget* {
    FillSalesGrid(app.ctx(), grid, SalesBetweenQuery(QDate(2026, 12, 1), QDate(2026, 12, 1)));
    int row = -1;
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r)
      if (grid.CellText(r, kSaleIdCol) == QString::number(sale_id)) row = r;
    EXPECT_GE(row, 0);
    return new SaleEditWindow(app.ctx(), grid, row, nullptr);
  };
  WindowTour edit{"修改销售单",
                  open_edit,
                  [](QWidget* w, int) {
                    SetBox(w, "欠款金额框", QStringLiteral("1"));
                    SetBox(w, "客户名称框", QStringLiteral("王五"));
                    SetBox(w, "联系方式框", QStringLiteral("13900000000"));
                    SetBox(w, "客户地址框", QStringLiteral("西街2号"));
                    SetBox(w, "备注框", QStringLiteral("改过"));
                  },
                  {{"欠款金额框", "欠款额", Kind::Number},
                   {"客户名称框", "客户名称"},
                   {"联系方式框", "联系方式"},
                   {"客户地址框", "客户地址"},
                   {"备注框", "备注"}},
                  [](QWidget* w) { static_cast<SaleEditWindow*>(w)->Save(); },
                  "sell",
                  false,
                  sale_id,
                  // A changed debt leaves its repayment record.
                  {"repayment", "repayment_part"}};
  const TourCounts edited = RunTour(app, edit);
  EXPECT_GT(edited.refused, 0);
  EXPECT_GT(edited.stored, 0);
}

TEST(BadInputTour, LedgerIncomeAndExpenseForms) {
  TourApp app;
  QWidget owner;
  const auto menus = BuildMainMenus(&owner, true);
  LedgerPage page(app.ctx(), menus.value(kLedgerMenu), &owner);
  page.resize(1200, 500);
  page.show();
  for (const QString& what : {QStringLiteral("收入"), QStringLiteral("支出")}) {
    const QByteArray w = what.toUtf8();
    const auto name = [&](const char* box) { return std::string(w.constData()) + box; };
    const std::string item = name("项目框"), number = name("编号框"), quantity = name("数量框"), price = name("单价框"),
                      amount = name("金额框"), note = name("备注框");
    WindowTour form{"记录" + std::string(w.constData()),
                    [&]() -> QWidget* { return &page; },
                    [&](QWidget* p, int seq) {
                      SetBox(p, item.c_str(), QStringLiteral("房租"));
                      SetBox(p, number.c_str(), QStringLiteral("2026120%1").arg(seq));
                      SetBox(p, quantity.c_str(), QStringLiteral("2"));
                      SetBox(p, price.c_str(), QStringLiteral("50"));
                      SetBox(p, amount.c_str(), QStringLiteral("100"));
                      SetBox(p, note.c_str(), QStringLiteral("十二月"));
                    },
                    {{item.c_str(), "项目"},
                     {number.c_str(), "编号"},
                     {quantity.c_str(), "数量", Kind::Number, false, true},
                     {price.c_str(), "单价", Kind::Number},
                     {amount.c_str(), "金额", Kind::Number},
                     {note.c_str(), "备注"}},
                    [&](QWidget* p) { ClickButton(p, QStringLiteral("记录") + what); },
                    "other",
                    true};
    form.owned = false;
    const TourCounts counts = RunTour(app, form);
    EXPECT_GT(counts.refused, 0);
    EXPECT_GT(counts.stored, 0);
  }
}

TEST(BadInputTour, BankMovementNewAndChange) {
  TourApp app;
  const qint64 movement =
      InsertBankRow(app.db(), QStringLiteral("工商银行"), QStringLiteral("6222"), QStringLiteral("存款"), 50);
  InsertBankRow(app.db(), kQuoted, kQuoted, QStringLiteral("存款"), 50, "2026-12-01 00:00:00", kQuoted);
  const auto fill = [](QWidget* w, int) {
    static_cast<QComboBox*>(w->findChild<QWidget*>(QStringLiteral("类型组合框")))->setCurrentIndex(0);
    SetBox(w, "名称组合框", QStringLiteral("农业银行"));
    SetBox(w, "账户组合框", QStringLiteral("6228"));
    SetBox(w, "金额框", QStringLiteral("80"));
    SetBox(w, "备注框", QStringLiteral("货款"));
  };
  const std::vector<Box> boxes = {
      {"名称组合框", "银行"}, {"账户组合框", "账户"}, {"金额框", "金额", Kind::Number}, {"备注框", "备注"}};
  const auto save = [](QWidget* w) { static_cast<BankMovementWindow*>(w)->Save(); };
  const TourCounts added = RunTour(app, {"新建存取操作", [&] { return new BankMovementWindow(app.ctx(), nullptr); },
                                         fill, boxes, save, "bank", true});
  const TourCounts changed = RunTour(app, {"修改存取操作",
                                           [&]() -> QWidget* {
                                             auto m = LoadBankMovement(app.ctx(), movement);
                                             EXPECT_TRUE(m && *m);
                                             return new BankMovementWindow(app.ctx(), **m, nullptr);
                                           },
                                           fill, boxes, save, "bank", false, movement});
  for (const TourCounts& c : {added, changed}) {
    EXPECT_GT(c.refused, 0);
    EXPECT_GT(c.stored, 0);
  }
}

TEST(BadInputTour, UserManagement) {
  TourApp app;
  ASSERT_TRUE(app.db().Execute("insert into UserName (用户名,密码,权限) values ('店员甲','1','操作员')").has_value());
  const qint64 clerk = app.db().LastInsertId();
  AccountsWindow window(app.ctx());
  window.show();
  const TourCounts added =
      RunTour(app, {"添加用户",
                    [&]() -> QWidget* { return &window; },
                    [](QWidget* w, int seq) {
                      SetBox(w, "新用户名框", QStringLiteral("店员%1").arg(seq));
                      SetBox(w, "新密码框", QStringLiteral("pw%1").arg(seq));
                    },
                    {{"新用户名框", "用户名", Kind::Text, true}, {"新密码框", "密码", Kind::Text, true}},
                    [](QWidget* w) { ClickButton(w, QStringLiteral("添加用户")); },
                    "UserName",
                    true,
                    0,
                    {},
                    {QStringLiteral("添加用户成功")},
                    false});
  const TourCounts changed =
      RunTour(app, {"修改用户",
                    [&]() -> QWidget* { return &window; },
                    [&](QWidget* w, int seq) {
                      auto* um = static_cast<AccountsWindow*>(w);
                      um->FillUserGrid();
                      Grid* g = um->UserGrid();
                      for (int r = g->FixedRows(); r < g->Rows(); ++r)
                        if (g->CellText(r, AccountsWindow::kIdCol) == QString::number(clerk)) um->SelectRow(r);
                      EXPECT_EQ(QString::number(clerk), um->SelectedId());
                      SetBox(w, "修改用户名框", QStringLiteral("店员乙%1").arg(seq));
                      SetBox(w, "修改密码框", QStringLiteral("pw"));
                    },
                    {{"修改用户名框", "用户名", Kind::Text, true}, {"修改密码框", "密码", Kind::Text, true}},
                    [](QWidget* w) { ClickButton(w, QStringLiteral("修改用户")); },
                    "UserName",
                    false,
                    clerk,
                    {},
                    {QStringLiteral("修改数据完成")},
                    false});
  for (const TourCounts& c : {added, changed}) {
    EXPECT_GT(c.refused, 0);
    EXPECT_GT(c.stored, 0);
  }

  // The super-administrator's password comes through an input box after the old one.
  QString current = QStringLiteral("735");
  for (const BadText& bad : BadTexts()) {
    const std::string where = std::string("修改超管密码 / ") + bad.label;
    const Snapshot before = Take(app.db());
    app.prompter.messages.clear();
    // The new password is typed twice; one refused at once is not asked for again.
    app.prompter.answers = {current, bad.text, bad.text};
    ClickButton(&window, QStringLiteral("修改超管密码"));
    const bool asked_twice = app.prompter.answers.empty();
    app.prompter.answers.clear();
    ASSERT_EQ(1u, app.prompter.messages.size()) << where;
    const QString message = app.prompter.messages.front();
    const auto stored = SuperAdministratorPassword(app.ctx());
    ASSERT_TRUE(stored && *stored) << where;
    if (message == QStringLiteral("超级管理密码修改成功")) {
      EXPECT_TRUE(asked_twice) << where;
      EXPECT_EQ(bad.text.toStdString(), (**stored).toStdString()) << where;
      current = bad.text;
    } else {
      ExpectClearMessage(message, bad.text, where);
      EXPECT_EQ(current.toStdString(), (**stored).toStdString()) << where;
      const Snapshot after = Take(app.db());
      for (const auto& [name, state] : before.tables) EXPECT_TRUE(after.tables.at(name) == state) << where;
    }
  }
}

TEST(BadInputTour, DisplaySettings) {
  TourApp app;
  int refused = 0, stored = 0;
  for (const char* name : {"编辑框1", "编辑框2", "编辑框3"}) {
    for (const BadText& bad : BadTexts()) {
      const std::string where = std::string("系统设置 / ") + name + " / " + bad.label;
      SettingsWindow window(app.ctx());
      window.show();
      SetBox(&window, "编辑框1", QStringLiteral("禾木鹭小店"));
      SetBox(&window, "编辑框2", QStringLiteral("东街1号"));
      SetBox(&window, "编辑框3", QStringLiteral("0571-1234567"));
      QWidget* box = window.findChild<QWidget*>(QString::fromUtf8(name));
      ASSERT_NE(box, nullptr);
      TypeInto(box, bad.text);
      const QString held = BoxText(box);
      app.prompter.messages.clear();
      ClickButton(&window, QStringLiteral("保存"));
      if (!app.prompter.messages.empty()) {
        ++refused;
        for (const QString& m : app.prompter.messages) ExpectClearMessage(m, held, where);
        continue;
      }
      ++stored;
      // Read afresh from the file, as the next start reads it.
      const DisplaySettings s = LoadDisplaySettings(IniFile(app.ctx().settings.Path()));
      const QString& back = QByteArray(name).endsWith('1')   ? s.name
                            : QByteArray(name).endsWith('2') ? s.adress
                                                             : s.tell;
      EXPECT_EQ(held.toStdString(), back.toStdString()) << where;
    }
  }
  std::printf("系统设置: %d cases refused with a message, %d stored\n", refused, stored);
  EXPECT_GT(stored, 0);
}

TEST(BadInputTour, BackupPathBox) {
  TourApp app;
  SeedGoods(app.db(), QString());
  // A relative path is taken from the working folder: keep it inside the test's own.
  QTemporaryDir work;
  const QString old_dir = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(work.path()));
  MaintenanceWindow window(app.ctx(), nullptr);
  window.show();
  auto* box = window.findChild<QLineEdit*>(QStringLiteral("编辑框1"));
  ASSERT_NE(box, nullptr);
  int refused = 0, stored = 0;
  for (const BadText& bad : BadTexts()) {
    const std::string where = std::string("数据管理 / 编辑框1 / ") + bad.label;
    TypeInto(box, bad.text);
    const QString held = box->text();
    const Snapshot before = Take(app.db());
    app.prompter.messages.clear();
    QTest::keyClick(box, Qt::Key_Return);
    ASSERT_EQ(1u, app.prompter.messages.size()) << where;
    const QString message = app.prompter.messages.front();
    if (message == QStringLiteral("备份数据库完成！")) {
      ++stored;
      // The backup is where the box says, under the name typed.
      EXPECT_TRUE(QFileInfo(QFileInfo(held.trimmed()).absoluteFilePath()).isFile()) << where;
      EXPECT_EQ(QFileInfo(held.trimmed()).absoluteFilePath().toStdString(), box->text().toStdString()) << where;
    } else {
      ++refused;
      ExpectClearMessage(message, held, where);
    }
    const Snapshot after = Take(app.db());
    for (const auto& [name, state] : before.tables) EXPECT_TRUE(after.tables.at(name) == state) << where;
  }
  QDir::setCurrent(old_dir);
  std::printf("数据管理: %d cases refused with a message, %d stored\n", refused, stored);
  EXPECT_GT(refused, 0);

  // The password box before re-initialising: no bad text opens it, and the data stays.
  for (const BadText& bad : BadTexts()) {
    const std::string where = std::string("初始化数据库 / 超管密码 / ") + bad.label;
    const Snapshot before = Take(app.db());
    app.prompter.messages.clear();
    app.prompter.answers = {bad.text};
    ClickButton(&window, QStringLiteral("初始化数据库"));
    EXPECT_TRUE(app.prompter.answers.empty()) << where;
    ASSERT_EQ(1u, app.prompter.messages.size()) << where;
    EXPECT_EQ(kWrongSuperAdministratorPasswordMessage.toStdString(), app.prompter.messages.front().toStdString())
        << where;
    const Snapshot after = Take(app.db());
    for (const auto& [name, state] : before.tables) EXPECT_TRUE(after.tables.at(name) == state) << where;
  }
  EXPECT_EQ(1, CountRows(app.db(), "buy"));
}

TEST(BadInputTour, LoginPassword) {
  TourApp app;
  LoginWindow window(app.ctx());
  window.show();
  int logged_in = 0;
  QObject::connect(&window, &LoginWindow::LoggedIn, [&] { ++logged_in; });
  auto* box = window.findChild<QLineEdit*>(QStringLiteral("编辑框2"));
  ASSERT_NE(box, nullptr);
  const Snapshot before = Take(app.db());
  for (const BadText& bad : BadTexts()) {
    const std::string where = std::string("登录 / 编辑框2 / ") + bad.label;
    TypeInto(box, bad.text);
    app.prompter.messages.clear();
    QTest::keyClick(box, Qt::Key_Return);
    ASSERT_EQ(1u, app.prompter.messages.size()) << where;
    ExpectClearMessage(app.prompter.messages.front(), box->text(), where);
  }
  EXPECT_EQ(0, logged_in);
  const Snapshot after = Take(app.db());
  for (const auto& [name, state] : before.tables) EXPECT_TRUE(after.tables.at(name) == state) << name.toStdString();
}

// ---- Search boxes: the list shows exactly the rows whose field holds the text ----

struct SearchBox {
  const char* name;
  const char* column;  // the column it searches
};

// Rows of `table` whose column contains the text; every row for an empty text.
int Matching(Database& db, const char* table, const char* column, const QString& text) {
  auto st = db.Prepare(std::string("select \"") + column + "\" from \"" + table + "\"");
  int n = 0;
  while (st && st->Step().value_or(false))
    if (text.isEmpty() || st->Text(0).contains(text)) ++n;
  return n;
}

int ListedRows(const Grid& grid) {
  int n = 0;
  for (int r = grid.FixedRows(); r < grid.Rows(); ++r)
    if (IdOfText(grid.CellText(r, 1)) > 0) ++n;
  return n;
}

void TourSearchBoxes(TourApp& app, QWidget* page, const Grid& grid, const char* table,
                     const std::vector<SearchBox>& boxes) {
  const Snapshot before = Take(app.db());
  for (const SearchBox& s : boxes) {
    QWidget* box = page->findChild<QWidget*>(QString::fromUtf8(s.name));
    ASSERT_NE(box, nullptr) << s.name;
    for (const BadText& bad : BadTexts()) {
      const std::string where = std::string(s.name) + " / " + bad.label;
      app.prompter.messages.clear();
      TypeInto(box, bad.text);
      QTest::keyClick(Editor(box), Qt::Key_Return);
      for (const QString& m : app.prompter.messages) ExpectClearMessage(m, bad.text, where);
      EXPECT_EQ(Matching(app.db(), table, s.column, BoxText(box)), ListedRows(grid)) << where;
    }
    TypeInto(box, QString());
  }
  const Snapshot after = Take(app.db());
  for (const auto& [name, state] : before.tables)
    if (name != QStringLiteral("sell_day")) {
      EXPECT_TRUE(after.tables.at(name) == state) << name.toStdString();
    }
}

TEST(BadInputTour, SearchBoxes) {
  TourApp app;
  const qint64 plain = SeedGoods(app.db(), QString());
  const qint64 quoted = SeedGoods(app.db(), kQuoted);
  SeedSale(app.ctx(), plain, QString());
  SeedSale(app.ctx(), quoted, kQuoted);
  InsertLedgerRow(app.db(), QStringLiteral("支出"), 100);
  InsertLedgerRow(app.db(), QStringLiteral("收入"), 100, "2026-12-01 00:00:00", kQuoted, kQuoted, QVariant(), kQuoted);
  InsertBankRow(app.db(), QStringLiteral("工商银行"), QStringLiteral("6222"), QStringLiteral("存款"), 50);
  InsertBankRow(app.db(), kQuoted, kQuoted, QStringLiteral("存款"), 50);
  QWidget owner;
  const auto menus = BuildMainMenus(&owner, true);

  GoodsSelection selection;
  std::vector<qint64> sold;
  StockPage stock(app.ctx(), menus.value(kStockMenu), selection, {{}, [&](qint64 id) { sold.push_back(id); }}, &owner);
  stock.resize(1200, 500);
  TourSearchBoxes(app, &stock, *stock.StockGrid(), "buy",
                  {{"库管商品编码框", "编码"},
                   {"库管商品名称框", "首拼"},
                   {"库管型号框", "型号"},
                   {"库管类型查询框", "类型"},
                   {"库管供货商框", "供货商"}});
  // Enter in the code box sells the one goods row whose code is exactly the text: no
  // bad text is a whole code, the quoted one is.
  EXPECT_TRUE(sold.empty());
  auto* code_box = stock.findChild<QLineEdit*>(QStringLiteral("库管商品编码框"));
  TypeInto(code_box, kQuoted);
  QTest::keyClick(code_box, Qt::Key_Return);
  EXPECT_EQ(std::vector<qint64>{quoted}, sold);

  SalesPage sales(app.ctx(), menus.value(kSalesMenu), &owner);
  sales.resize(1200, 500);
  TourSearchBoxes(app, &sales, *sales.SalesGrid(), "sell",
                  {{"销售商品名称框", "首拼"},
                   {"销售商品编码框", "编码"},
                   {"销售型号框", "型号"},
                   {"销售类型查询框", "类型"},
                   {"销售客户名称框", "客户名称"},
                   {"销售备注框", "备注"}});

  LedgerPage ledger(app.ctx(), menus.value(kLedgerMenu), &owner);
  ledger.resize(1200, 500);
  TourSearchBoxes(
      app, &ledger, *ledger.LedgerGrid(), "other",
      {{"其他类型查询框", "类型"}, {"其他编号查询框", "编号"}, {"其他项目查询框", "项目"}, {"其他备注查询框", "备注"}});

  BankPage bank(app.ctx(), menus.value(kBankMenu), &owner);
  bank.resize(1200, 500);
  TourSearchBoxes(app, &bank, *bank.BankGrid(), "bank", {{"存款名称查询框", "银行"}});

  // The stock warning quantity is a number box: whatever is typed, the figure it
  // becomes is a whole number within reach, never an overflow.
  auto* warning = stock.findChild<QLineEdit*>(QStringLiteral("库管库存报警框"));
  ASSERT_NE(warning, nullptr);
  for (const BadText& bad : BadTexts()) {
    app.prompter.messages.clear();
    TypeInto(warning, bad.text);
    for (const QString& m : app.prompter.messages) ExpectClearMessage(m, bad.text, bad.label);
    const double typed = std::trunc(NumberValue(warning->text()));
    const double expected =
        std::clamp(typed, double(std::numeric_limits<int>::min()), double(std::numeric_limits<int>::max()));
    EXPECT_EQ(expected, StoredWarningQuantity(app.ctx().settings)) << bad.label;
  }
}

}  // namespace
}  // namespace hemulu::test
