#include "sales/BarChart.h"

#include <algorithm>

namespace hemulu {

void BarChartRecord::SetBarCount(int count) {
  count = std::max(count, 0);
  data_.labels = QStringList(count, QString());
  data_.values.assign(static_cast<std::size_t>(count), 0.0);
  current_ = 0;
}

// A bar index outside the count is ignored rather than growing the chart.
void BarChartRecord::SetBarLabel(const QString& label) {
  if (current_ >= 0 && current_ < data_.labels.size()) data_.labels[current_] = label;
}

void BarChartRecord::SetBarValue(double value) {
  if (current_ >= 0 && static_cast<std::size_t>(current_) < data_.values.size())
    data_.values[static_cast<std::size_t>(current_)] = value;
}

}  // namespace hemulu
