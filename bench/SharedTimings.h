#pragma once
// What both engines' cases time the same way: the stock page's grid filled with every
// goods row, and 1,000 sales one after another through the sale logic.

#include <QWidget>

namespace hemulu {
struct AppContext;
class Grid;
}  // namespace hemulu

namespace hemulu::bench {

// The stock page's grid in a window of the bench's size, laid out with its column shares.
struct StockGridWindow {
  StockGridWindow();
  QWidget window;
  Grid* grid;
};

// The stock list's fill as the page runs it, up to the grid painted once; in ms.
double TimeStockFill(AppContext& ctx, Grid& grid);

// 1,000 sales of one goods row made for them, each its own transaction; prints
// "`name`: median ms" with the slowest, records the median, and removes the rows.
void TimeSaleCommits(AppContext& ctx, const char* name, const char* what);

}  // namespace hemulu::bench
