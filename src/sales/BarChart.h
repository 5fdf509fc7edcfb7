#pragma once
// The bar chart as the statistics set it: title, captions, scale, colour, then one
// label and value per bar, addressed through a current bar. The reports speak only to
// this interface, so they are tested without pixels; the page's chart widget draws it.

#include <QString>
#include <QStringList>
#include <vector>

namespace hemulu {

class BarChart {
 public:
  virtual ~BarChart() = default;
  virtual void SetTitle(const QString& title) = 0;
  // The caption of the category axis ("月份", "日").
  virtual void SetCategoryCaption(const QString& caption) = 0;
  // The caption of the value axis ("元").
  virtual void SetUnit(const QString& unit) = 0;
  // The stated top of the value scale; a drawing may extend its axis to show a taller bar.
  virtual void SetScaleMaximum(double maximum) = 0;
  virtual void SetDivisions(int divisions) = 0;
  // A Windows colour value, 0x00BBGGRR.
  virtual void SetColour(int windows_colour) = 0;
  // Two display options: values on the bars (1 on, 0 off) and a style number (0 flat).
  virtual void SetDisplayOptions(int values_on_bars, int style) = 0;
  // Sets the number of bars; every bar starts with an empty label and 0.
  virtual void SetBarCount(int count) = 0;
  // 0-based; the label and value setters act on this bar.
  virtual void SetCurrentBar(int index) = 0;
  virtual void SetBarLabel(const QString& label) = 0;
  virtual void SetBarValue(double value) = 0;
};

// Everything a chart has been told, as plain values.
struct BarChartData {
  QString title;
  QString category_caption;
  QString unit;
  double scale_maximum = 100;
  int divisions = 10;
  int colour = 0;
  int values_on_bars = 1;
  int style = 0;
  QStringList labels;
  std::vector<double> values;
};

// A chart that only keeps what it is told; the widget draws from one of these.
class BarChartRecord : public BarChart {
 public:
  void SetTitle(const QString& title) override { data_.title = title; }
  void SetCategoryCaption(const QString& caption) override { data_.category_caption = caption; }
  void SetUnit(const QString& unit) override { data_.unit = unit; }
  void SetScaleMaximum(double maximum) override { data_.scale_maximum = maximum; }
  void SetDivisions(int divisions) override { data_.divisions = divisions; }
  void SetColour(int windows_colour) override { data_.colour = windows_colour; }
  void SetDisplayOptions(int values_on_bars, int style) override {
    data_.values_on_bars = values_on_bars;
    data_.style = style;
  }
  void SetBarCount(int count) override;
  void SetCurrentBar(int index) override { current_ = index; }
  void SetBarLabel(const QString& label) override;
  void SetBarValue(double value) override;

  const BarChartData& Data() const { return data_; }

 protected:
  BarChartData data_;
  int current_ = 0;
};

}  // namespace hemulu
