#include "lists/ListPlan.h"

#include <utility>

namespace hemulu {

CellKind KindOf(FieldKind kind) {
  switch (kind) {
    case FieldKind::Number:
    case FieldKind::OptionalNumber:
      return CellKind::Number;
    case FieldKind::Date:
    case FieldKind::Day:
      return CellKind::Date;
    case FieldKind::Text:
      return CellKind::Text;
  }
  return CellKind::Auto;
}

FieldTest NumberTest(int field, std::function<bool(double)> test) { return FieldTest{field, std::move(test), {}}; }

FieldTest TextTest(int field, std::function<bool(QStringView)> test) { return FieldTest{field, {}, std::move(test)}; }

int ValueSortField(const ListPlan& plan) {
  const int field = plan.sort_column - 1;
  if (field < 0 || static_cast<std::size_t>(field) >= plan.fields.size()) return -1;
  return IsNumberField(plan.fields[static_cast<std::size_t>(field)].kind) ? field : -1;
}

}  // namespace hemulu
