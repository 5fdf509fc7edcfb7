// hemulu-bench: generates its own data in a temporary program folder prepared by the
// real start-up code, and times each case against the bare query through the data
// layer in the same run. One line per case: "name: N ms (baseline M ms, ratio R)".

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string_view>
#include <vector>

#include "SalesBench.h"
#include "app/LoginWindow.h"
#include "stock/StockList.h"
#include "stock/NameInitials.h"
#include "stock/StockPage.h"
#include "data/AppContext.h"
#include "data/EmbeddedFiles.h"
#include "data/Schema.h"
#include "data/TextFormat.h"
#include "lists/ColumnShares.h"
#include "lists/ExcelExport.h"
#include "lists/Grid.h"
#include "lists/ListFill.h"

using namespace hemulu;

namespace {

class SilentPrompter final : public Prompter {
 public:
  void Message(const QString& text, const QString&, MessageKind) override {
    std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
  }
  bool Confirm(const QString&, const QString&) override { return false; }
  std::optional<QString> AskText(const QString&, const QString&) override { return std::nullopt; }
  std::optional<QString> ChooseFolder(const QString&) override { return std::nullopt; }
};

class SilentNotifier final : public Notifier {
 public:
  void Notify(const QString&, const QString&) override {}
};

[[noreturn]] void Fail(const char* what, const DbError& e) {
  std::fprintf(stderr, "%s: %s\n", what, e.message.toUtf8().constData());
  std::exit(1);
}

// ---- Goods data ----

const char* const kBrands[] = {"康师傅", "统一", "农夫山泉", "娃哈哈", "伊利", "蒙牛", "旺旺", "达利园", "金龙鱼",
                               "海天", "雕牌", "立白", "舒肤佳", "晨光", "得力", "恒顺", "老干妈", "六神", "心相印",
                               "维达", "青岛", "雪花", "洽洽", "百事", "可口可乐", "王老吉", "好丽友", "三只松鼠"};
const char* const kProducts[] = {"红烧牛肉面", "冰红茶", "矿泉水", "AD钙奶", "纯牛奶", "酸奶", "雪饼", "小面包",
                                 "调和油", "生抽", "洗衣粉", "洗洁精", "香皂", "中性笔", "订书机", "香醋", "辣椒酱",
                                 "花露水", "抽纸", "卷纸", "啤酒", "瓜子", "可乐", "凉茶", "派", "坚果礼盒"};
const char* const kModels[] = {"500ml", "330ml*24", "1L", "250g", "5L", "1.8kg", "12支装", "A4", "袋装", "箱装",
                               "100抽*3", "盒装", "礼盒", "大号", "小号", "经典款"};
const char* const kCategories[] = {"方便食品", "饮料", "乳制品", "休闲零食", "粮油调味", "日化用品", "文具办公",
                                   "个人护理", "纸品", "酒类"};
const char* const kSuppliers[] = {"城东批发部", "华联商贸有限公司", "宏达食品经销处", "鑫源日化批发", "顺发文具店",
                                  "永辉供货站", "万家乐商行", "利民副食批发", "金桥贸易公司", ""};
const char* const kNotes[] = {"", "", "", "", "", "", "促销商品", "临期请尽快处理", "老顾客预订", "退货换新",
                              "样品", "货架第三排"};

template <std::size_t N>
const char* Pick(std::mt19937& rng, const char* const (&items)[N]) {
  return items[std::uniform_int_distribution<std::size_t>(0, N - 1)(rng)];
}

double Round2(double v) { return std::round(v * 100.0) / 100.0; }

void GenerateGoods(AppContext& ctx, int count) {
  std::mt19937 rng(20261208);
  auto tx = Transaction::Begin(ctx.db);
  if (!tx) Fail("begin", tx.error());
  auto st = ctx.db.Prepare(
      "insert into buy (名称,型号,编码,类型,进货数量,进货单价,进货金额,销售数量,销售单价,销售金额,存货数量,存货金额,"
      "入库日期,供货商,备注,首拼) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
  if (!st) Fail("prepare insert", st.error());
  const QDateTime first(QDate(2023, 12, 1), QTime(0, 0));
  std::uniform_int_distribution<int> bought_dist(1, 500), day_dist(0, 3 * 365), second_dist(0, 86399);
  std::uniform_real_distribution<double> price_dist(0.5, 300.0), markup_dist(1.05, 1.6), unit(0.0, 1.0);
  for (int i = 0; i < count; ++i) {
    const QString brand = QString::fromUtf8(Pick(rng, kBrands));
    const QString name = brand + QString::fromUtf8(Pick(rng, kProducts));
    const QString model = QString::fromUtf8(Pick(rng, kModels));
    const double bought = bought_dist(rng);
    const double buy_price = Round2(price_dist(rng));
    const double sell_price = Round2(buy_price * markup_dist(rng));
    // Most goods partly sold; some sold out, a few oversold.
    const double u = unit(rng);
    const double sold = u < 0.08 ? bought : u < 0.09 ? bought + 1 : std::floor(bought * unit(rng));
    const double stock = bought - sold;
    QDateTime date = first.addDays(day_dist(rng));
    if (unit(rng) < 0.3) date = date.addSecs(second_dist(rng));
    st->BindAll(name, model, QStringLiteral("SP%1").arg(100000 + i), QString::fromUtf8(Pick(rng, kCategories)),
                bought, buy_price, Round2(bought * buy_price), sold, sell_price, Round2(sold * sell_price), stock,
                Round2(stock * buy_price), DateSqlText(date), QString::fromUtf8(Pick(rng, kSuppliers)),
                QString::fromUtf8(Pick(rng, kNotes)), NameInitials(name));
    if (auto r = st->Run(); !r) Fail("insert", r.error());
    st->Reset();
  }
  if (auto r = tx->Commit(); !r) Fail("commit", r.error());
}

// ---- The cases ----

// The bare read: every column of every row through the data layer, as a plain loop
// reads them (texts as QString, numbers as double).
double BareRead(AppContext& ctx, const char* sql = "select * from buy", const QString& value = QString()) {
  QElapsedTimer t;
  t.start();
  auto st = ctx.db.Prepare(sql);
  if (!st) Fail("prepare select", st.error());
  if (!value.isNull()) st->BindAll(value);
  const schema::Table* buy = schema::FindTable("buy");
  std::vector<bool> is_number;
  for (int c = 0; c < st->ColumnCount(); ++c) {
    const schema::Column* col = schema::FindColumn(*buy, sqlite3_column_name(st->Handle(), c));
    is_number.push_back(col && (col->type == schema::ColumnType::Double || col->type == schema::ColumnType::AutoId ||
                                col->type == schema::ColumnType::Long));
  }
  double checksum = 0;
  qsizetype chars = 0;
  for (;;) {
    auto row = st->Step();
    if (!row) Fail("step", row.error());
    if (!*row) break;
    for (int c = 0; c < static_cast<int>(is_number.size()); ++c) {
      if (is_number[c])
        checksum += st->Double(c);
      else
        chars += st->Text(c).size();
    }
  }
  const double ms = t.nsecsElapsed() / 1e6;
  if (checksum == -1 && chars == -1) std::puts("");  // keeps the reads
  return ms;
}

// The stock list's fill as the page runs it, up to the grid painted once.
// From an empty program folder to the login window on screen: the working files, the
// context, the database opened with its key and the account list filled. The baseline
// is opening the database alone.
void StartUp() {
  QTemporaryDir dir;
  SilentPrompter prompter;
  SystemClock clock;
  SilentNotifier notifier;
  QElapsedTimer t;
  t.start();
  WriteWorkingFiles(dir.path(), dir.path());
  AppContext ctx(dir.path(), prompter, clock, notifier);
  LoginWindow login(ctx);
  login.show();
  QCoreApplication::processEvents();
  const double total = t.nsecsElapsed() / 1e6;
  ctx.db.Close();
  t.restart();
  if (!ctx.EnsureDatabaseOpen()) std::exit(1);
  const double open = t.nsecsElapsed() / 1e6;
  std::printf("startup_to_login: %.0f ms (baseline %.0f ms, ratio %.2f)\n", total, open, total / open);
}

// Typing a name's initials into the stock page's search box, one key at a time; each
// key refills the list. The baseline is the bare search query for the same text.
void SearchKeystrokes(AppContext& ctx) {
  GoodsSelection selection;
  QWidget window;
  window.resize(1280, 720);
  auto* page = new StockPage(ctx, nullptr, selection, {}, &window);
  page->setGeometry(window.rect());
  window.show();
  QCoreApplication::processEvents();
  auto* box = page->findChild<QLineEdit*>(QStringLiteral("库管商品名称框"));
  for (const QString& typed : {QStringLiteral("K"), QStringLiteral("KS"), QStringLiteral("KSF")}) {
    QElapsedTimer t;
    t.start();
    box->setText(typed);
    QCoreApplication::processEvents();
    page->repaint();
    const double key = t.nsecsElapsed() / 1e6;
    const double bare = BareRead(ctx, "select * from buy where 首拼 like ?", QLatin1Char('%') + typed + QLatin1Char('%'));
    std::printf("search_keystroke_100k_%s: %.0f ms (baseline %.0f ms, ratio %.2f); %d rows shown\n",
                qPrintable(typed), key, bare, key / bare, page->StockGrid()->Rows() - 3);
  }
}

double StockFill(AppContext& ctx, Grid& grid) {
  QElapsedTimer t;
  t.start();
  const int warning = StoredWarningQuantity(ctx.settings);
  const bool show_zero = ctx.settings.SetupFlag("zero");
  const FillResult r = FillList(ctx, grid, StockFillSpec(AllGoodsQuery(), warning, show_zero));
  if (r.error) Fail("fill", *r.error);
  QCoreApplication::processEvents();
  grid.repaint();
  return t.nsecsElapsed() / 1e6;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

long StatusKb(const char* key) {
  QFile f("/proc/self/status");
  if (!f.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (line.startsWith(key)) return line.mid(static_cast<qsizetype>(std::strlen(key))).trimmed().split(' ').value(0).toLong();
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  if (argc > 1 && std::string_view(argv[1]) == "sales") return RunSalesBench();
  constexpr int kGoods = 100000;
  constexpr int kRuns = 5;

  QTemporaryDir dir;
  WriteWorkingFiles(dir.path(), dir.path());
  SilentPrompter prompter;
  SystemClock clock;
  SilentNotifier notifier;
  AppContext ctx(dir.path(), prompter, clock, notifier);
  ctx.session.SetUser(kSuperAdministrator, QString());
  if (!ctx.EnsureDatabaseOpen()) return 1;

  StartUp();

  QElapsedTimer gen;
  gen.start();
  GenerateGoods(ctx, kGoods);
  std::printf("# generated %d goods in %lld ms\n", kGoods, static_cast<long long>(gen.elapsed()));

  // The stock page's grid in a window, with its column shares.
  QWidget window;
  window.resize(1280, 720);
  auto* grid = new Grid(&window, QStringLiteral("库管表格"));
  grid->setGeometry(window.rect());
  LayOutStockGrid(*grid);
  new ColumnShares(*grid, window, kStockFirstColWidth, StockShares(true));
  window.show();
  QCoreApplication::processEvents();

  // The first round reads a cold page cache; the rest are the steady state.
  const double cold_base = BareRead(ctx);
  const double cold_fill = StockFill(ctx, *grid);
  std::vector<double> base, fill;
  for (int i = 0; i < kRuns; ++i) {
    base.push_back(BareRead(ctx));
    fill.push_back(StockFill(ctx, *grid));
  }
  const double b = Median(base), f = Median(fill);
  std::printf("# first round (cold cache): fill %.0f ms, bare read %.0f ms; shown rows %d\n", cold_fill, cold_base,
              grid->Rows() - grid->FixedRows() - 1);
  std::printf("stock_fill_100k: %.0f ms (baseline %.0f ms, ratio %.2f)\n", f, b, f / b);
  std::printf("stock_fill_100k_memory: peak resident %.1f MB (VmHWM), resident now %.1f MB\n",
              StatusKb("VmHWM:") / 1024.0, StatusKb("VmRSS:") / 1024.0);

  // What a user waits for on the filled list: a click on a caption (the name column in
  // pinyin order, the date column by date) and an export.
  for (const auto& [col, what] : {std::pair{2, "name (pinyin)"}, std::pair{14, "date"}}) {
    QElapsedTimer t;
    t.start();
    grid->SortColumn(col);
    QCoreApplication::processEvents();
    grid->repaint();
    std::printf("# user sort by %s: %.0f ms\n", what, t.nsecsElapsed() / 1e6);
  }
  SearchKeystrokes(ctx);

  QElapsedTimer t;
  t.start();
  const auto exported = ExportToExcel(*grid, dir.filePath("my.xlsx"), true, true);
  std::printf("# export to .xlsx: %.0f ms%s; peak resident since start %.1f MB\n", t.nsecsElapsed() / 1e6,
              exported ? "" : qPrintable(QStringLiteral(" (failed: %1)").arg(exported.error())),
              StatusKb("VmHWM:") / 1024.0);

  // The sales cases in a process of their own, so that each part's peak memory is its own.
  QProcess sales;
  sales.setProcessChannelMode(QProcess::ForwardedChannels);
  sales.start(QCoreApplication::applicationFilePath(), {QStringLiteral("sales")});
  sales.waitForFinished(-1);
  return sales.exitCode();
}
