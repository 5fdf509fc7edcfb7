// hemulu-bench, sales: the sales list's first fill over 1,000,000 sales, one keystroke in
// each of the two busiest search boxes, and one durable sale.

#include "SalesBench.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "data/AppContext.h"
#include "data/EmbeddedFiles.h"
#include "data/TextFormat.h"
#include "lists/Grid.h"
#include "sales/SalesList.h"
#include "sales/SalesLogic.h"
#include "sales/SalesPage.h"
#include "stock/NameInitials.h"

using namespace hemulu;

namespace {

class QuietPrompter final : public Prompter {
 public:
  void Message(const QString& text, const QString&, MessageKind) override {
    std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
  }
  bool Confirm(const QString&, const QString&) override { return false; }
  std::optional<QString> AskText(const QString&, const QString&) override { return std::nullopt; }
  std::optional<QString> ChooseFolder(const QString&) override { return std::nullopt; }
};

class QuietNotifier final : public Notifier {
 public:
  void Notify(const QString&, const QString&) override {}
};

[[noreturn]] void Die(const char* what, const DbError& e) {
  std::fprintf(stderr, "%s: %s\n", what, e.message.toUtf8().constData());
  std::exit(1);
}

const char* const kBrand[] = {"康师傅", "统一", "农夫山泉", "娃哈哈", "伊利", "蒙牛", "旺旺", "达利园", "金龙鱼",
                              "海天", "雕牌", "立白", "舒肤佳", "晨光", "得力", "恒顺", "老干妈", "六神"};
const char* const kProduct[] = {"红烧牛肉面", "冰红茶", "矿泉水", "AD钙奶", "纯牛奶", "酸奶", "雪饼", "小面包",
                                "调和油", "生抽", "洗衣粉", "洗洁精", "香皂", "中性笔", "订书机", "香醋"};
const char* const kCategory[] = {"方便食品", "饮料", "乳制品", "休闲零食", "粮油调味", "日化用品", "文具办公"};
const char* const kSurname[] = {"张", "王", "李", "赵", "刘", "陈", "杨", "黄", "周", "吴", "徐", "孙"};
const char* const kGiven[] = {"伟", "芳", "娜", "敏", "静", "强", "磊", "军", "洋", "勇", "艳", "杰", "涛", "明"};
const char* const kStreet[] = {"人民路", "解放路", "中山路", "建设路", "和平街", "文化路", "新华街"};

template <std::size_t N>
const char* Any(std::mt19937& rng, const char* const (&items)[N]) {
  return items[std::uniform_int_distribution<std::size_t>(0, N - 1)(rng)];
}

// 1,000,000 sales over three years of 100,000 goods, a tenth of them owing.
void GenerateSales(AppContext& ctx, int count) {
  std::mt19937 rng(20261208);
  struct Goods {
    QString name, model, code, category, initials;
    double buy, sell;
  };
  std::vector<Goods> goods;
  std::uniform_real_distribution<double> price(0.5, 300.0), unit(0.0, 1.0);
  for (int i = 0; i < 100000; ++i) {
    const QString name = QString::fromUtf8(Any(rng, kBrand)) + QString::fromUtf8(Any(rng, kProduct));
    const double buy = std::round(price(rng) * 100) / 100;
    goods.push_back({name, QStringLiteral("M%1").arg(i % 37), QStringLiteral("SP%1").arg(100000 + i),
                     QString::fromUtf8(Any(rng, kCategory)), NameInitials(name), buy, std::round(buy * 130) / 100});
  }
  auto tx = Transaction::Begin(ctx.db);
  if (!tx) Die("begin", tx.error());
  auto st = ctx.db.Prepare(
      "insert into sell (名称,型号,编码,类型,进货单价,存货数量,销售单价,销售数量,销售金额,销售日期,欠款额,净利润,"
      "客户编号,客户名称,联系方式,客户地址,备注,首拼,UID) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
  if (!st) Die("prepare", st.error());
  const QDate first(2023, 12, 9);
  std::uniform_int_distribution<int> goods_dist(0, 99999), day(0, 3 * 365 - 1), qty(1, 5);
  for (int i = 0; i < count; ++i) {
    const int g = goods_dist(rng);
    const Goods& x = goods[static_cast<std::size_t>(g)];
    const double q = qty(rng);
    const double amount = q * x.sell;
    const QDate d = first.addDays(day(rng));
    const QString customer = unit(rng) < 0.4 ? QString()
                                             : QString::fromUtf8(Any(rng, kSurname)) + QString::fromUtf8(Any(rng, kGiven));
    st->BindAll(x.name, x.model, x.code, x.category, x.buy, 20.0, x.sell, q, amount,
                DateSqlText(QDateTime(d, QTime(0, 0))), unit(rng) < 0.1 ? std::round(amount * 50) / 100 : 0.0,
                (x.sell - x.buy) * q, CustomerNumber(QDateTime(d, QTime(9, i % 60, i % 59))), customer,
                customer.isEmpty() ? QString() : QStringLiteral("138%1").arg(10000000 + i % 9000000),
                customer.isEmpty() ? QString() : QString::fromUtf8(Any(rng, kStreet)) + QStringLiteral("%1号").arg(i % 300),
                i % 17 == 0 ? QStringLiteral("老顾客") : QString(), x.initials, static_cast<qint64>(g + 1));
    if (auto r = st->Run(); !r) Die("insert", r.error());
    st->Reset();
  }
  if (auto r = tx->Commit(); !r) Die("commit", r.error());
}

// Every column of every row, as a plain loop reads them.
double BareSalesRead(sqlite3* db) {
  QElapsedTimer t;
  t.start();
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, "select * from sell", -1, &st, nullptr) != SQLITE_OK) return -1;
  const int cols = sqlite3_column_count(st);
  double sum = 0;
  qsizetype chars = 0;
  while (sqlite3_step(st) == SQLITE_ROW) {
    for (int c = 0; c < cols; ++c) {
      if (sqlite3_column_type(st, c) == SQLITE_TEXT)
        chars += QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)), sqlite3_column_bytes(st, c)).size();
      else
        sum += sqlite3_column_double(st, c);
    }
  }
  sqlite3_finalize(st);
  if (sum == -1 && chars == -1) std::puts("");
  return t.nsecsElapsed() / 1e6;
}

double MedianOf(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double PeakMb() {
  QFile f("/proc/self/status");
  if (!f.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
  return -1;
}

// Types one character into a box and waits for the list to be painted.
double Keystroke(QWidget* box, Grid& grid, QChar ch) {
  QElapsedTimer t;
  t.start();
  QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(ch), Qt::NoModifier);
  QCoreApplication::processEvents();
  grid.repaint();
  return t.nsecsElapsed() / 1e6;
}

}  // namespace

int RunSalesBench() {
  constexpr int kSales = 1000000;
  QTemporaryDir dir;
  WriteWorkingFiles(dir.path(), dir.path());
  QuietPrompter prompter;
  SystemClock clock;
  QuietNotifier notifier;
  AppContext ctx(dir.path(), prompter, clock, notifier);
  ctx.session.SetUser(kSuperAdministrator, QString());
  if (!ctx.EnsureDatabaseOpen()) return 1;

  QElapsedTimer gen;
  gen.start();
  GenerateSales(ctx, kSales);
  std::printf("# generated %d sales in %lld ms\n", kSales, static_cast<long long>(gen.elapsed()));

  // A plaintext copy for the storage engine's own limit.
  const QString plain_path = dir.filePath("plain.db");
  {
    // The data layer opens without the create flag: the attached file must exist.
    sqlite3* created = nullptr;
    sqlite3_open_v2(plain_path.toUtf8().constData(), &created, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    sqlite3_close(created);
  }
  {
    auto attach = ctx.db.Prepare("ATTACH DATABASE ? AS plain KEY ''");
    if (!attach) Die("attach", attach.error());
    attach->BindAll(plain_path);
    if (auto r = attach->Run(); !r) Die("attach", r.error());
  }
  if (auto r = ctx.db.ExecScript("SELECT sqlcipher_export('plain'); DETACH DATABASE plain;"); !r) Die("export", r.error());
  sqlite3* plain = nullptr;
  sqlite3_open_v2(plain_path.toUtf8().constData(), &plain, SQLITE_OPEN_READONLY, nullptr);

  // Restart the connection so the first fill meets the file as a user's first display does.
  ctx.db.Close();
  if (!ctx.EnsureDatabaseOpen()) return 1;
  const double peak_before = PeakMb();

  QWidget window;
  window.resize(1280, 720);
  SalesPage* page = nullptr;
  QElapsedTimer t;
  t.start();
  page = new SalesPage(ctx, nullptr, &window);
  page->setGeometry(window.rect());
  window.show();
  QCoreApplication::processEvents();
  page->SalesGrid()->repaint();
  const double first_display = t.nsecsElapsed() / 1e6;
  Grid& grid = *page->SalesGrid();
  std::printf("# first display of the sales page (fill and pick lists): %.0f ms, %d rows\n", first_display,
              grid.Rows() - grid.FixedRows() - 1);

  std::vector<double> fills, bases, plains;
  for (int i = 0; i < 3; ++i) {
    bases.push_back(BareSalesRead(ctx.db.Handle()));
    plains.push_back(BareSalesRead(plain));
    QElapsedTimer f;
    f.start();
    page->FillSalesList(AllSalesQuery());
    QCoreApplication::processEvents();
    grid.repaint();
    fills.push_back(f.nsecsElapsed() / 1e6);
  }
  const double fill = MedianOf(fills), base = MedianOf(bases), plain_ms = MedianOf(plains);
  std::printf("sales_fill_1m: %.0f ms (baseline %.0f ms, ratio %.2f; plain %.0f ms, ratio %.2f)\n", fill, base,
              fill / base, plain_ms, fill / plain_ms);
  std::printf("sales_fill_1m_memory: peak resident %.1f MB (%.1f MB before the page)\n", PeakMb(), peak_before);

  for (const auto& [box_name, text] : {std::pair{"销售商品名称框", QStringLiteral("KS")},
                                        std::pair{"销售客户名称框", QStringLiteral("张伟")}}) {
    QWidget* box = page->findChild<QWidget*>(QString::fromUtf8(box_name));
    if (auto* combo = qobject_cast<QComboBox*>(box)) box = combo->lineEdit();
    box->setFocus();
    std::vector<double> keys;
    for (QChar ch : text) keys.push_back(Keystroke(box, grid, ch));
    const int rows = grid.Rows() - grid.FixedRows() - 1;
    // The bare search: the same query read through, without a list.
    const SalesQuery q = SearchSalesQuery(
        QString::fromUtf8(box_name) == QStringLiteral("销售商品名称框") ? SalesSearchField::Initials : SalesSearchField::Customer,
        text.left(1));
    QElapsedTimer b;
    b.start();
    auto st = ctx.db.Prepare(q.sql.toStdString());
    st->Bind(1, q.params[0]);
    int n = 0;
    while (st->Step().value_or(false)) ++n;
    const double bare = b.nsecsElapsed() / 1e6;
    std::printf("sales_search_1m_%s: %.0f ms (baseline %.0f ms, ratio %.2f); first key %d rows, second key %.0f ms, %d rows\n",
                box_name, keys[0], bare, keys[0] / bare, n, keys[1], rows);
    if (auto* line = qobject_cast<QLineEdit*>(box)) line->clear();
  }

  // One durable sale after another from the same goods row.
  if (auto r = ctx.db.Execute("insert into buy (名称,进货单价,销售单价,存货数量,首拼) values ('茶杯',30,50,1e9,'CB')"); !r)
    Die("goods", r.error());
  const qint64 goods_id = ctx.db.LastInsertId();
  SaleForm form;
  form.name = QStringLiteral("茶杯");
  form.shown_stock = QStringLiteral("1000000000");
  form.actual_price = QStringLiteral("40");
  form.quantity = QStringLiteral("1");
  form.amount = QStringLiteral("40");
  form.date = QDate::currentDate();
  std::vector<double> commits;
  for (int i = 0; i < 1000; ++i) {
    QElapsedTimer c;
    c.start();
    if (auto r = RecordSale(ctx, goods_id, form); !r) {
      std::fprintf(stderr, "sale: %s\n", r.error().message.toUtf8().constData());
      return 1;
    }
    commits.push_back(c.nsecsElapsed() / 1e6);
  }
  std::printf("sale_commit: %.2f ms median (slowest %.2f ms) over 1000 durable sales\n", MedianOf(commits),
              *std::max_element(commits.begin(), commits.end()));
  sqlite3_close(plain);
  return 0;
}
