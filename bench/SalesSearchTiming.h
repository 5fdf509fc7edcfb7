#pragma once
// The keystrokes both engines' sales search cases time: one key, then a second, in each
// of the sales page's two busiest search boxes, on the full list, three tries each.

#include <QChar>
#include <QString>
#include <vector>

#include "sales/SalesLogic.h"

class QWidget;

namespace hemulu {
struct AppContext;
class Grid;
}  // namespace hemulu

namespace hemulu::bench {

// Types one character into a box and waits for the list to be painted; in ms.
double Keystroke(QWidget* box, Grid& grid, QChar ch);

struct SalesSearchTiming {
  const char* box_name;
  SalesSearchField field;
  QString text;                         // the two keys typed
  std::vector<double> firsts, seconds;  // ms per try
  std::vector<int> rows;                // rows shown after the first and the second key
};

std::vector<SalesSearchTiming> TimeSalesSearches(AppContext& ctx);

}  // namespace hemulu::bench
