#include "lists/Withheld.h"

namespace hemulu {

void WithholdFromOperators(const Session& session, ListPlan& plan, const std::vector<int>& fields) {
  if (session.IsSuperAdministrator()) return;
  for (int field : fields) {
    if (field < 0 || field >= static_cast<int>(plan.fields.size())) continue;
    // No result column has an empty name: the cell stays empty, the value 0.
    plan.fields[static_cast<std::size_t>(field)] = {std::string(), FieldKind::OptionalNumber};
  }
}

}  // namespace hemulu
