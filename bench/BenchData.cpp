#include "BenchData.h"

#include <QDateTime>
#include <cmath>
#include <random>

#include "BenchSupport.h"
#include "data/TextFormat.h"
#include "stock/NameInitials.h"

namespace hemulu::bench {

namespace {

const char* const kBrands[] = {"康师傅", "统一",   "农夫山泉", "娃哈哈",   "伊利",   "蒙牛",   "旺旺",
                               "达利园", "金龙鱼", "海天",     "雕牌",     "立白",   "舒肤佳", "晨光",
                               "得力",   "恒顺",   "老干妈",   "六神",     "心相印", "维达",   "青岛",
                               "雪花",   "洽洽",   "百事",     "可口可乐", "王老吉", "好丽友", "三只松鼠"};
const char* const kProducts[] = {"红烧牛肉面", "冰红茶", "矿泉水", "AD钙奶", "纯牛奶",  "酸奶", "雪饼",
                                 "小面包",     "调和油", "生抽",   "洗衣粉", "洗洁精",  "香皂", "中性笔",
                                 "订书机",     "香醋",   "辣椒酱", "花露水", "抽纸",    "卷纸", "啤酒",
                                 "瓜子",       "可乐",   "凉茶",   "派",     "坚果礼盒"};
const char* const kModels[] = {"500ml", "330ml*24", "1L",      "250g", "5L",   "1.8kg", "12支装", "A4",
                               "袋装",  "箱装",     "100抽*3", "盒装", "礼盒", "大号",  "小号",   "经典款"};
const char* const kCategories[] = {"方便食品", "饮料",     "乳制品",   "休闲零食", "粮油调味",
                                   "日化用品", "文具办公", "个人护理", "纸品",     "酒类"};
const char* const kSuppliers[] = {"城东批发部", "华联商贸有限公司", "宏达食品经销处", "鑫源日化批发", "顺发文具店",
                                  "永辉供货站", "万家乐商行",       "利民副食批发",   "金桥贸易公司", ""};
const char* const kNotes[] = {"",           "",         "",     "",          "", "", "促销商品", "临期请尽快处理",
                              "老顾客预订", "退货换新", "样品", "货架第三排"};
const char* const kSurnames[] = {"王", "李", "张", "刘", "陈", "杨", "赵", "黄", "周", "吴", "徐", "孙", "胡", "朱"};
const char* const kGiven[] = {"伟", "芳", "娜", "敏", "静", "丽", "强", "磊",   "军",   "洋",
                              "勇", "艳", "杰", "娟", "涛", "明", "超", "秀英", "桂兰", "建华"};
const char* const kStreets[] = {"人民路", "解放路", "建设路", "中山路", "和平街", "新华街", "东风路", "幸福里"};
const char* const kLedgerItems[] = {"房租",     "水电费", "员工工资", "运费",     "废品回收",
                                    "货架出租", "网络费", "维修费",   "招牌制作", "代收快递费"};
const char* const kBanks[] = {"工商银行", "农业银行", "建设银行", "邮政储蓄"};
const char* const kAccounts[] = {"6222 0210 0101 2345", "6228 4800 1234 5678", "6217 0000 9876 5432"};
const char* const kBankWays[] = {"存款", "取款", "转入", "转出"};

template <std::size_t N>
QString Pick(std::mt19937& rng, const char* const (&items)[N]) {
  return QString::fromUtf8(items[std::uniform_int_distribution<std::size_t>(0, N - 1)(rng)]);
}

double Round2(double v) { return std::round(v * 100.0) / 100.0; }

// The three years up to the end of November 2026.
const QDateTime kFirstDay(QDate(2023, 12, 1), QTime(0, 0));
constexpr int kDays = 3 * 365;

Statement Prepare(Database& db, const char* sql) {
  auto st = db.Prepare(sql);
  if (!st) Fail("prepare insert", st.error());
  return std::move(*st);
}

void RunAndReset(Statement& st) {
  if (auto r = st.Run(); !r) Fail("insert", r.error());
  st.Reset();
}

template <class Fill>
void InOneTransaction(Database& db, Fill fill) {
  auto tx = Transaction::Begin(db);
  if (!tx) Fail("begin", tx.error());
  fill();
  if (auto r = tx->Commit(); !r) Fail("commit", r.error());
}

}  // namespace

void GenerateGoods(Database& db, int count) {
  std::mt19937 rng(20261208);
  InOneTransaction(db, [&] {
    Statement st = Prepare(db,
                           "insert into buy (名称,型号,编码,类型,进货数量,进货单价,进货金额,销售数量,销售单价,销售金额,"
                           "存货数量,存货金额,入库日期,供货商,备注,首拼) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    std::uniform_int_distribution<int> bought_dist(1, 500), day_dist(0, kDays), second_dist(0, 86399);
    std::uniform_real_distribution<double> price_dist(0.5, 300.0), markup_dist(1.05, 1.6), unit(0.0, 1.0);
    for (int i = 0; i < count; ++i) {
      const QString name = Pick(rng, kBrands) + Pick(rng, kProducts);
      const QString model = Pick(rng, kModels);
      const double bought = bought_dist(rng);
      const double buy_price = Round2(price_dist(rng));
      const double sell_price = Round2(buy_price * markup_dist(rng));
      // Most goods partly sold; some sold out, a few oversold.
      const double u = unit(rng);
      const double sold = u < 0.08 ? bought : u < 0.09 ? bought + 1 : std::floor(bought * unit(rng));
      const double stock = bought - sold;
      QDateTime date = kFirstDay.addDays(day_dist(rng));
      if (unit(rng) < 0.3) date = date.addSecs(second_dist(rng));
      st.BindAll(name, model, QStringLiteral("SP%1").arg(100000 + i), Pick(rng, kCategories), bought, buy_price,
                 Round2(bought * buy_price), sold, sell_price, Round2(sold * sell_price), stock,
                 Round2(stock * buy_price), DateSqlText(date), Pick(rng, kSuppliers), Pick(rng, kNotes),
                 NameInitials(name));
      RunAndReset(st);
    }
  });
}

void GenerateSales(Database& db, int count, int goods_count) {
  // The sales copy their goods' texts; read them once.
  struct Goods {
    QString name, model, code, category, initials;
    double buy_price, sell_price;
  };
  std::vector<Goods> goods;
  goods.reserve(static_cast<std::size_t>(goods_count));
  {
    auto st = db.Prepare("select 名称,型号,编码,类型,首拼,进货单价,销售单价 from buy order by ID");
    if (!st) Fail("read goods", st.error());
    while (st->Step().value_or(false))
      goods.push_back({st->Text(0), st->Text(1), st->Text(2), st->Text(3), st->Text(4), st->Double(5), st->Double(6)});
  }
  if (goods.empty()) Fail("sales", QStringLiteral("no goods"));

  // A million rows go in far faster without the secondary indexes and the per-day
  // totals' triggers; they are made afterwards as a reopen makes them for an older file.
  if (auto r = db.ExecScript(
          "DROP INDEX IF EXISTS \"UID\"; DROP INDEX IF EXISTS \"sell_首拼\"; DROP INDEX IF EXISTS \"sell_客户名称\";"
          "DROP INDEX IF EXISTS \"sell_首拼_合计\"; DROP INDEX IF EXISTS \"sell_客户名称_合计\";"
          "DROP INDEX IF EXISTS \"sell_类型\"; DROP TRIGGER IF EXISTS sell_day_insert;"
          "DROP TRIGGER IF EXISTS sell_day_delete; DROP TRIGGER IF EXISTS sell_day_update;");
      !r)
    Fail("drop indexes", r.error());

  std::mt19937 rng(20121208);
  InOneTransaction(db, [&] {
    Statement st =
        Prepare(db,
                "insert into sell (名称,型号,编码,类型,进货单价,存货数量,销售单价,销售数量,销售金额,销售日期,"
                "欠款额,净利润,客户编号,客户名称,联系方式,客户地址,备注,首拼,UID) "
                "values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    std::uniform_int_distribution<std::size_t> goods_dist(0, goods.size() - 1);
    std::uniform_int_distribution<int> quantity_dist(1, 12), stock_dist(0, 400), second_dist(8 * 3600, 21 * 3600);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    // Sales in time order, about 900 a day.
    for (int i = 0; i < count; ++i) {
      const std::size_t g = goods_dist(rng);
      const Goods& item = goods[g];
      const int day = static_cast<int>(static_cast<long long>(i) * kDays / count);
      const QDateTime when = kFirstDay.addDays(day).addSecs(second_dist(rng));
      const double quantity = quantity_dist(rng);
      const double discount = unit(rng) < 0.2 ? 0.9 : 1.0;
      const double actual = Round2(item.sell_price * discount * (unit(rng) < 0.02 ? 0.6 : 1.0));
      const double amount = Round2(actual * quantity);
      const double debt = unit(rng) < 0.1 ? Round2(amount * unit(rng)) : 0.0;
      const QDate d = when.date();
      const QTime tm = when.time();
      const QString customer_number = QStringLiteral("%1%2%3%4%5%6")
                                          .arg(d.year())
                                          .arg(d.month())
                                          .arg(d.day())
                                          .arg(tm.hour())
                                          .arg(tm.minute())
                                          .arg(tm.second());
      const bool named = unit(rng) < 0.3;
      const QString customer = named ? Pick(rng, kSurnames) + Pick(rng, kGiven) : QString();
      const QString phone =
          named ? QStringLiteral("13%1").arg(std::uniform_int_distribution<int>(100000000, 999999999)(rng)) : QString();
      const QString address =
          named ? Pick(rng, kStreets) + QString::number(quantity_dist(rng) * 7) + QStringLiteral("号") : QString();
      st.BindAll(item.name, item.model, item.code, item.category, item.buy_price, static_cast<double>(stock_dist(rng)),
                 actual, quantity, amount, DateSqlText(when), debt, Round2((actual - item.buy_price) * quantity),
                 customer_number, customer, phone, address, debt > 0 ? QStringLiteral("月底结清") : QString(),
                 item.initials, static_cast<qint64>(g + 1));
      RunAndReset(st);
    }
  });
  if (auto r = db.ExecScript("CREATE INDEX \"UID\" ON sell(UID)"); !r) Fail("index", r.error());
  db.Close();
  if (auto r = db.Open(); !r) Fail("reopen", r.error());
}

void GenerateLedger(Database& db, int count) {
  std::mt19937 rng(20121104);
  InOneTransaction(db, [&] {
    Statement st = Prepare(db, "insert into other (类型,编号,项目,数量,单价,金额,日期,备注) values (?,?,?,?,?,?,?,?)");
    std::uniform_int_distribution<int> day_dist(0, kDays), second_dist(0, 86399), quantity_dist(1, 20);
    std::uniform_real_distribution<double> unit(0.0, 1.0), price_dist(5.0, 3000.0);
    for (int i = 0; i < count; ++i) {
      const double u = unit(rng);
      const QString type = u < 0.45   ? QStringLiteral("收入")
                           : u < 0.97 ? QStringLiteral("支出")
                                      : QStringLiteral("其他");
      const QDateTime when = kFirstDay.addDays(day_dist(rng)).addSecs(second_dist(rng));
      const double price = Round2(price_dist(rng));
      const bool with_quantity = unit(rng) < 0.6;
      const double quantity = with_quantity ? quantity_dist(rng) : 1;
      st.BindAll(type, QStringLiteral("%1").arg(20231201000000LL + i), Pick(rng, kLedgerItems),
                 with_quantity ? QVariant(quantity) : QVariant(), price, Round2(price * quantity), DateSqlText(when),
                 Pick(rng, kNotes));
      RunAndReset(st);
    }
  });
}

void GenerateBank(Database& db, int count) {
  std::mt19937 rng(20121105);
  InOneTransaction(db, [&] {
    Statement st = Prepare(db, "insert into bank (银行,账户,方式,金额,日期,备注) values (?,?,?,?,?,?)");
    std::uniform_int_distribution<int> day_dist(0, kDays), second_dist(0, 86399), way_dist(0, 3);
    std::uniform_real_distribution<double> amount_dist(10.0, 50000.0);
    for (int i = 0; i < count; ++i) {
      const int way = way_dist(rng);
      const double amount = Round2(amount_dist(rng)) * (way == 0 || way == 2 ? 1 : -1);
      const QDateTime when = kFirstDay.addDays(day_dist(rng)).addSecs(second_dist(rng));
      st.BindAll(Pick(rng, kBanks), Pick(rng, kAccounts), QString::fromUtf8(kBankWays[way]), amount, DateSqlText(when),
                 Pick(rng, kNotes));
      RunAndReset(st);
    }
  });
}

}  // namespace hemulu::bench
