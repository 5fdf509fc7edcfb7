#pragma once
// Figures a list never gives to an operator (purchase prices, amounts, profit): the
// fill leaves their cells empty and their totals at 0, whichever window shows, prints
// or exports the list.

#include <vector>

#include "data/Session.h"
#include "lists/ListPlan.h"

namespace hemulu {

// For anyone but 超级管理员, the fields are read from no column: empty cells, value 0,
// so their totals add nothing up (the totals keep their places, which pages read by
// index). The plan is unchanged for 超级管理员.
void WithholdFromOperators(const Session& session, ListPlan& plan, const std::vector<int>& fields);

}  // namespace hemulu
