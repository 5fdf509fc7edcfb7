#pragma once
// Figures a list never gives to an operator (purchase prices, amounts, profit): the
// fill leaves their cells empty and their totals at 0, whichever window shows, prints
// or exports the list.

#include <vector>

#include "data/Session.h"
#include "lists/KeyedRows.h"
#include "lists/ListFill.h"

namespace hemulu {

// For anyone but 超级管理员, the fields are read from no column (empty cells) and the
// totals of those fields count no record. The plan is unchanged for 超级管理员.
void WithholdFromOperators(const Session& session, ListFillSpec& plan, const std::vector<int>& fields);
// The same for a keyed list, whose totals add up only fields read from a column.
void WithholdFromOperators(const Session& session, KeyedListPlan& plan, const std::vector<int>& fields);

}  // namespace hemulu
