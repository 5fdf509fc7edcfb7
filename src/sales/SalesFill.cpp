#include "sales/SalesFill.h"

#include <cmath>

#include "data/TextFormat.h"
#include "lists/Withheld.h"

namespace hemulu {

namespace {

// Field numbers of a sales record (field i lands in grid column i + 1).
enum SaleField {
  kFId,
  kFGoodsId,
  kFName,
  kFModel,
  kFCode,
  kFCategory,
  kFPrice,
  kFQuantity,
  kFAmount,
  kFDate,
  kFDebt,
  kFProfit
};

}  // namespace

ListPlan SalesListPlan(const SalesQuery& query) {
  ListPlan plan;
  plan.table = "sell";
  plan.sql = query.sql.toStdString();
  plan.keys_sql = query.keys_sql.toStdString();
  plan.server_sql = query.server_sql.toStdString();
  plan.server_keys_sql = query.server_keys_sql.toStdString();
  plan.values.assign(query.params.begin(), query.params.end());
  plan.fields = {{"ID", FieldKind::Number},
                 {"UID", FieldKind::Number},
                 {"名称"},
                 {"型号"},
                 {"编码"},
                 {"类型"},
                 {"销售单价", FieldKind::Number},
                 {"销售数量", FieldKind::Number},
                 {"销售金额", FieldKind::Number},
                 {"销售日期", FieldKind::Day},
                 {"欠款额", FieldKind::Number},
                 {"净利润", FieldKind::Number},
                 {"客户编号"},
                 {"客户名称"},
                 {"联系方式"},
                 {"客户地址"},
                 {"备注"}};
  plan.colour_rules.push_back(
      {QStringLiteral("rmbcolor"), NumberTest(kFDebt, [](double debt) { return std::fabs(debt) > kTolerance; })});
  plan.colour_last_col = kSaleNoteCol;
  plan.totals = {
      {kFQuantity, kSaleQuantityCol}, {kFAmount, kSaleAmountCol}, {kFDebt, kSaleDebtCol}, {kFProfit, kSaleProfitCol}};
  plan.label_column = kSaleNameCol;
  plan.sort_column = -1;
  plan.totals_first_col = 1;
  plan.totals_last_col = kSaleNoteCol;
  plan.line_first_col = 1;
  plan.line_last_col = kSaleNoteCol;
  return plan;
}

ListPlan SalesListPlan(const Session& session, const SalesQuery& query) {
  ListPlan plan = SalesListPlan(query);
  WithholdFromOperators(session, plan, {kFProfit});
  return plan;
}

}  // namespace hemulu
