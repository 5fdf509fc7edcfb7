#pragma once
// Printing a list as it is shown: the visible columns, the header rows with their
// merged captions on every page, the data rows and the totals row.

#include <QString>

class QFontMetricsF;
class QPagedPaintDevice;
class QWidget;

namespace hemulu {

class Grid;

// A cell's text as printed in `width` device pixels: whole when it fits, else cut with "…".
QString PrintedCellText(const QFontMetricsF& metrics, const QString& text, double width);

// Lays the grid out on the device's pages; returns the number of pages.
int RenderGridPages(const Grid& grid, const QString& title, QPagedPaintDevice& device);

// Shows the print preview of the grid; the user prints from there.
void PrintGrid(const Grid& grid, const QString& title, QWidget* parent);

}  // namespace hemulu
