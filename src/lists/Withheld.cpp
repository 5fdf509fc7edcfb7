#include "lists/Withheld.h"

#include <algorithm>

namespace hemulu {

namespace {

void WithholdFields(std::vector<ListField>& list_fields, const std::vector<int>& fields) {
  for (int field : fields) {
    if (field < 0 || field >= static_cast<int>(list_fields.size())) continue;
    // No result column has an empty name: the cell stays empty, the value 0.
    list_fields[static_cast<std::size_t>(field)] = {std::string(), FieldKind::OptionalNumber};
  }
}

}  // namespace

void WithholdFromOperators(const Session& session, KeyedListPlan& plan, const std::vector<int>& fields) {
  if (!session.IsSuperAdministrator()) WithholdFields(plan.fields, fields);
}

void WithholdFromOperators(const Session& session, ListFillSpec& plan, const std::vector<int>& fields) {
  if (session.IsSuperAdministrator()) return;
  WithholdFields(plan.fields, fields);
  // The totals keep their places (pages read them by index) but add nothing up.
  for (ListTotal& total : plan.totals)
    if (std::find(fields.begin(), fields.end(), total.field) != fields.end())
      total.applies = [](const FillRecord&) { return false; };
}

}  // namespace hemulu
