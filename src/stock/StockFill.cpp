#include "stock/StockFill.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "data/TextFormat.h"
#include "lists/Withheld.h"

namespace hemulu {

namespace {

// Field numbers of the stock list's records (field i lands in grid column i + 1).
enum StockField {
  kId,
  kName,
  kModel,
  kCode,
  kCategory,
  kBought,
  kBuyPrice,
  kBoughtAmount,
  kSold,
  kSellPrice,
  kSoldAmount,
  kStock,
  kStockAmount,
  kDate,
  kSupplier,
  kNote
};

const std::vector<ListField>& StockFields() {
  static const std::vector<ListField> fields = {
      {"ID", FieldKind::Number},
      {"名称"},
      {"型号"},
      {"编码"},
      {"类型"},
      {"进货数量", FieldKind::Number},
      {"进货单价", FieldKind::Number},
      {"进货金额", FieldKind::Number},
      {"销售数量", FieldKind::Number},
      {"销售单价", FieldKind::Number},
      {"销售金额", FieldKind::Number},
      {"存货数量", FieldKind::Number},
      {"存货金额", FieldKind::Number},
      {"入库日期", FieldKind::Date},
      {"供货商"},
      {"备注"},
  };
  return fields;
}

// The low and zero stock tests shared by both goods lists: below the warning quantity,
// nothing in stock, anything in stock.
bool LowStock(double stock, double warning) { return stock - warning < -kTolerance; }
bool ZeroStock(double stock) { return std::fabs(stock) <= kTolerance; }
bool InStock(double stock) { return stock > kTolerance; }

// The warning colour, and either the zero colour or the zero filter, of a goods list.
void AddStockRules(ListPlan& plan, int stock_field, int warning, bool show_zero) {
  const double w = warning;
  plan.colour_rules.push_back(
      {QStringLiteral("beepcolor"), NumberTest(stock_field, [w](double stock) { return LowStock(stock, w); })});
  if (show_zero)
    plan.colour_rules.push_back({QStringLiteral("zerocolor"), NumberTest(stock_field, ZeroStock)});
  else
    plan.row_filter = NumberTest(stock_field, InStock);
}

}  // namespace

int WarningQuantityOf(const QString& text) {
  // A figure beyond what an int holds (a long row of digits) is held at the limit:
  // converting it as it stands is undefined and gave a negative warning quantity.
  const double whole = std::trunc(NumberValue(text));
  return static_cast<int>(std::clamp(whole, static_cast<double>(std::numeric_limits<int>::min()),
                                     static_cast<double>(std::numeric_limits<int>::max())));
}

int StoredWarningQuantity(const IniFile& settings) {
  return WarningQuantityOf(settings.ReadSetupValue(QStringLiteral("beep")));
}

bool GoodsSelection::HasGoods() const { return !id.isEmpty() && NumberValue(id) > kTolerance; }
qint64 GoodsSelection::GoodsId() const { return HasGoods() ? static_cast<qint64>(NumberValue(id)) : 0; }

ListPlan StockListPlan(const GoodsQuery& query, int warning_quantity, bool show_zero_stock) {
  ListPlan plan;
  plan.table = "buy";
  plan.sql = query.sql.toStdString();
  plan.server_sql = query.server_sql.toStdString();
  plan.values.assign(query.params.begin(), query.params.end());
  plan.fields = StockFields();
  AddStockRules(plan, kStock, warning_quantity, show_zero_stock);
  plan.colour_last_col = kStockNoteCol;
  plan.totals = {{kBought, kStockBoughtCol},  {kBoughtAmount, kStockBuyAmountCol},
                 {kSold, kStockSoldCol},      {kSoldAmount, kStockSoldAmountCol},
                 {kStock, kStockQuantityCol}, {kStockAmount, kStockStockAmountCol}};
  plan.label_column = kStockCategoryCol;
  plan.sort_column = kStockQuantityCol;
  plan.totals_first_col = kStockNameCol;
  plan.totals_last_col = kStockNoteCol;
  plan.line_first_col = kStockNameCol;
  plan.line_last_col = kStockNoteCol;
  return plan;
}

ListPlan SummaryListPlan(int warning_quantity, bool show_zero_stock) {
  enum {
    kSId,
    kSName,
    kSModel,
    kSCode,
    kSCategory,
    kSBought,
    kSBoughtAmount,
    kSSold,
    kSSoldAmount,
    kSStock,
    kSStockAmount
  };
  ListPlan plan;
  plan.table = "buy";
  plan.sql = "select * from buy order by \"ID\"";
  plan.fields = {{"ID", FieldKind::Number},
                 {"名称"},
                 {"型号"},
                 {"编码"},
                 {"类型"},
                 {"进货数量", FieldKind::Number},
                 {"进货金额", FieldKind::Number},
                 {"销售数量", FieldKind::Number},
                 {"销售金额", FieldKind::Number},
                 {"存货数量", FieldKind::Number},
                 {"存货金额", FieldKind::Number}};
  AddStockRules(plan, kSStock, warning_quantity, show_zero_stock);
  plan.colour_last_col = kSummaryStockAmountCol;
  // Each total stands in its own field's column.
  for (int field : {kSBought, kSBoughtAmount, kSSold, kSSoldAmount, kSStock, kSStockAmount})
    plan.totals.push_back({field, field + 1});
  plan.label_column = kSummaryNameCol;
  plan.sort_column = -1;  // the compact view keeps the table's order
  plan.totals_first_col = kSummaryNameCol;
  plan.totals_last_col = kSummaryStockAmountCol;
  plan.line_first_col = kSummaryNameCol;
  plan.line_last_col = -1;
  return plan;
}

ListPlan StockListPlan(const Session& session, const GoodsQuery& query, int warning_quantity, bool show_zero_stock) {
  ListPlan plan = StockListPlan(query, warning_quantity, show_zero_stock);
  WithholdFromOperators(session, plan, {kBuyPrice, kBoughtAmount, kSoldAmount, kStockAmount});
  return plan;
}

ListPlan SummaryListPlan(const Session& session, int warning_quantity, bool show_zero_stock) {
  ListPlan plan = SummaryListPlan(warning_quantity, show_zero_stock);
  // Field i lands in column i + 1.
  WithholdFromOperators(session, plan,
                        {kSummaryBoughtAmountCol - 1, kSummarySoldAmountCol - 1, kSummaryStockAmountCol - 1});
  return plan;
}

}  // namespace hemulu
