#pragma once
// Printing a list as it is shown: the visible columns, the header rows with their
// merged captions on every page, the data rows and the totals row.

#include <QString>

class QPagedPaintDevice;
class QWidget;

namespace hemulu {

class Grid;

// Lays the grid out on the device's pages; returns the number of pages.
int RenderGridPages(const Grid& grid, const QString& title, QPagedPaintDevice& device);

// Shows the print preview of the grid; the user prints from there.
void PrintGrid(const Grid& grid, const QString& title, QWidget* parent);

}  // namespace hemulu
