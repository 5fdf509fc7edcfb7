#pragma once
// The bar chart widget: keeps what it is told through the BarChart interface and
// draws it with Qt Charts on Redraw(). Non-zero bars carry their value, hovering a bar
// shows its exact figure, and the value axis grows past the stated maximum (and below
// zero) when a bar would not fit, so no bar is ever cut off.

#include <QWidget>
#include <vector>

#include "sales/BarChart.h"

class QBarCategoryAxis;
class QBarSeries;
class QBarSet;
class QChart;
class QChartView;
class QGraphicsSimpleTextItem;
class QValueAxis;

namespace hemulu {

class BarChartView : public QWidget, public BarChartRecord {
  Q_OBJECT
 public:
  BarChartView(const QString& object_name, const QString& title, const QString& category_caption, const QString& unit,
               QWidget* parent = nullptr);
  ~BarChartView() override;

  // Draws the chart from what it has been told since.
  void Redraw();

  QChart* Chart() const { return chart_; }
  // The drawn value range.
  double AxisMinimum() const;
  double AxisMaximum() const;
  // The texts shown on the bars, "" for a bar without one.
  QStringList ValueTexts() const;
  // The tooltip of a bar: its label and exact figure with the unit.
  QString ToolTipText(int bar) const;

 private:
  void ApplyScale();
  void PlaceValueTexts();

  QChartView* view_ = nullptr;
  QChart* chart_ = nullptr;
  QBarSeries* series_ = nullptr;
  QBarSet* set_ = nullptr;
  QBarCategoryAxis* category_axis_ = nullptr;
  QValueAxis* value_axis_ = nullptr;
  std::vector<QGraphicsSimpleTextItem*> value_texts_;
  bool compact_scale_ = false;
};

// A Windows colour value (0x00BBGGRR) as Qt's colour.
QColor WindowsColour(int value);

}  // namespace hemulu
