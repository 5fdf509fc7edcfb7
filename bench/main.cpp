// hemulu-bench: generates a big shop in a temporary program folder prepared by the real
// start-up code and times each case against the bare read of the same rows through the
// data layer (baseline) and from an unencrypted copy (plain), in the same run.
//
//   hemulu-bench            every case
//   hemulu-bench WORD ...   the cases whose names contain one of the words
//
// The pg_ cases time the same shop on a database server (scripts/with-pg-cluster
// hemulu-bench ...); a run with both engines' cases ends with them side by side.

#include <QApplication>
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "BenchSupport.h"

using namespace hemulu::bench;

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  std::vector<Case> cases = Cases();
  std::stable_sort(cases.begin(), cases.end(), [](const Case& a, const Case& b) { return a.order < b.order; });
  BenchShop shop;
  for (const Case& c : cases) {
    bool wanted = argc < 2;
    for (int i = 1; i < argc && !wanted; ++i) wanted = std::strstr(c.name, argv[i]) != nullptr;
    if (wanted) c.run(shop);
  }
  PrintEngineComparison();
  return 0;
}
