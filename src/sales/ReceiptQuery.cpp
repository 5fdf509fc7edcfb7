#include "sales/ReceiptQuery.h"

namespace hemulu {

SalesQuery ReceiptSalesQuery(const QString& receipt_number) {
  const QString number = receipt_number.trimmed();
  return {QStringLiteral("select * from sell where 客户编号=? order by \"ID\""),
          {number},
          {},
          QStringLiteral("小票号为%1的销售").arg(number)};
}

}  // namespace hemulu
