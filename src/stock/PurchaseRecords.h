#pragma once
// The purchase records "进货记录": every delivery the journal holds (new goods and
// restocks) with its quantity, price, amount and supplier, as a list read by key, so a
// journal of millions of movements lists at once. Purchase prices are for
// 超级管理员 only: an operator gets a refusal, never a list.

#include <QDate>
#include <expected>
#include <optional>

#include "data/ActionError.h"
#include "data/Session.h"
#include "lists/ListPlan.h"

namespace hemulu {

// Columns of the purchase records grid (field i of the plan lands in column i + 1).
inline constexpr int kPurchaseIdCol = 1;
inline constexpr int kPurchaseDateCol = 2;
inline constexpr int kPurchaseNameCol = 3;
inline constexpr int kPurchaseModelCol = 4;
inline constexpr int kPurchaseCodeCol = 5;
inline constexpr int kPurchaseQuantityCol = 6;
inline constexpr int kPurchasePriceCol = 7;
inline constexpr int kPurchaseAmountCol = 8;
inline constexpr int kPurchaseSupplierCol = 9;
inline constexpr int kPurchaseUserCol = 10;
inline constexpr int kPurchaseCols = 11;

// The search boxes, all applied together; an empty text or no day bounds nothing.
struct PurchaseFilter {
  QString goods = {};     // the goods name, or its initials (首拼 of the goods row)
  QString supplier = {};  // contained in the delivery's supplier
  std::optional<QDate> first_day = std::nullopt, last_day = std::nullopt;  // both days included
};

inline const QString kPurchaseNotAllowedMessage = QStringLiteral("对不起，只有超级管理员才能查看进货记录。");

// The list of deliveries matching the filter, oldest first, totalled (数量, 金额).
// Refused (NotAllowed) to everyone but 超级管理员.
[[nodiscard]] std::expected<ListPlan, ActionError> PurchaseRecordsPlan(const Session& session,
                                                                       const PurchaseFilter& filter);
// What the list covers, for its printed heading.
QString PurchaseScope(const PurchaseFilter& filter);

}  // namespace hemulu
