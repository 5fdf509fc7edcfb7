#include "sales/BarChartView.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QFontMetricsF>
#include <QGraphicsSimpleTextItem>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "data/TextFormat.h"

namespace hemulu {

namespace {

// Room left above the tallest bar (and below the lowest) for its value when the axis grows.
constexpr double kHeadroom = 1.12;

// The value as written on a bar: at most two decimals.
QString ShortValueText(double value) { return NumberText(std::round(value * 100.0) / 100.0); }

}  // namespace

QColor WindowsColour(int value) { return QColor(value & 0xff, (value >> 8) & 0xff, (value >> 16) & 0xff); }

BarChartView::BarChartView(const QString& object_name, const QString& title, const QString& category_caption,
                           const QString& unit, QWidget* parent)
    : QWidget(parent) {
  setObjectName(object_name);
  data_.title = title;
  data_.category_caption = category_caption;
  data_.unit = unit;

  chart_ = new QChart;
  chart_->legend()->hide();
  chart_->setAnimationOptions(QChart::NoAnimation);
  chart_->setMargins(QMargins(4, 2, 4, 2));
  QFont title_font = chart_->titleFont();
  title_font.setBold(true);
  title_font.setPointSizeF(11);
  chart_->setTitleFont(title_font);

  set_ = new QBarSet(QString());
  series_ = new QBarSeries;
  series_->append(set_);
  series_->setBarWidth(0.7);
  chart_->addSeries(series_);
  category_axis_ = new QBarCategoryAxis;
  value_axis_ = new QValueAxis;
  QFont axis_font = category_axis_->labelsFont();
  axis_font.setPointSizeF(8.5);
  category_axis_->setLabelsFont(axis_font);
  value_axis_->setLabelsFont(axis_font);
  chart_->addAxis(category_axis_, Qt::AlignBottom);
  chart_->addAxis(value_axis_, Qt::AlignLeft);
  series_->attachAxis(category_axis_);
  series_->attachAxis(value_axis_);

  view_ = new QChartView(chart_, this);
  view_->setRenderHint(QPainter::Antialiasing);
  // Low enough for both charts of the charts page and their tables to fit the smallest
  // main window (1240 x 690) without scrolling; a taller window gives them the rest.
  view_->setMinimumHeight(200);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);

  connect(set_, &QBarSet::hovered, this, [this](bool on, int bar) {
    if (on)
      QToolTip::showText(QCursor::pos(), ToolTipText(bar), view_);
    else
      QToolTip::hideText();
  });
  connect(chart_, &QChart::plotAreaChanged, this, [this](const QRectF& plot) {
    const int divisions = data_.divisions > 0 ? data_.divisions : 10;
    // With some slack before going back, so that the relayout a change causes cannot
    // switch it back and forth.
    const double spacing = plot.height() / divisions;
    const double label = QFontMetricsF(value_axis_->labelsFont()).height();
    const bool compact = compact_scale_ ? spacing < label * 1.7 : spacing < label * 1.2;
    if (compact != compact_scale_) {
      compact_scale_ = compact;
      ApplyScale();
    }
    PlaceValueTexts();
  });
  Redraw();
}

BarChartView::~BarChartView() = default;

void BarChartView::Redraw() {
  chart_->setTitle(data_.title);
  category_axis_->setTitleText(data_.category_caption);
  value_axis_->setTitleText(data_.unit);
  set_->setColor(WindowsColour(data_.colour));
  set_->setBorderColor(WindowsColour(data_.colour).darker(130));

  set_->remove(0, set_->count());
  QList<qreal> values(data_.values.begin(), data_.values.end());
  set_->append(values);
  category_axis_->clear();
  category_axis_->append(data_.labels);

  ApplyScale();

  // One text per bar, shown for the non-zero ones.
  for (auto* item : value_texts_) delete item;
  value_texts_.clear();
  QFont font = category_axis_->labelsFont();
  for (std::size_t i = 0; i < data_.values.size(); ++i) {
    auto* item = new QGraphicsSimpleTextItem(chart_);
    item->setFont(font);
    item->setBrush(QColor(40, 40, 40));
    const double v = data_.values[i];
    const bool shown = data_.values_on_bars != 0 && std::abs(v) > kTolerance;
    item->setText(shown ? ShortValueText(v) : QString());
    item->setVisible(shown);
    item->setZValue(10);
    value_texts_.push_back(item);
  }
  PlaceValueTexts();
}

// The stated maximum and its divisions as they are, unless a bar needs more room; in a
// chart too short for a label at every division, every other division is marked.
void BarChartView::ApplyScale() {
  double low = 0, high = data_.scale_maximum;
  double largest = 0, smallest = 0;
  for (double v : data_.values) {
    largest = std::max(largest, v);
    smallest = std::min(smallest, v);
  }
  if (largest > high) high = largest * kHeadroom;
  if (smallest < 0) low = smallest * kHeadroom;
  if (high <= low) high = low + 100;
  const int divisions = data_.divisions > 0 ? data_.divisions : 10;
  const int ticks = (compact_scale_ && divisions % 2 == 0 ? divisions / 2 : divisions) + 1;
  value_axis_->setRange(low, high);
  value_axis_->setTickCount(ticks);
  if (low != 0 || high != data_.scale_maximum) value_axis_->applyNiceNumbers();
  value_axis_->setLabelFormat(high - low >= 20 ? QStringLiteral("%.0f") : QStringLiteral("%.1f"));
}

void BarChartView::PlaceValueTexts() {
  const QRectF plot = chart_->plotArea();
  const int count = static_cast<int>(value_texts_.size());
  if (count == 0 || plot.isEmpty()) return;
  // All texts of a chart run the same way: upwards when any one is wider than its bar.
  const double slot = plot.width() / count;
  bool upright = false;
  for (const auto* item : value_texts_)
    if (!item->text().isEmpty() && item->boundingRect().width() > slot * 0.95) upright = true;
  for (int i = 0; i < count; ++i) {
    QGraphicsSimpleTextItem* item = value_texts_[static_cast<std::size_t>(i)];
    if (!item->isVisible() && item->text().isEmpty()) continue;
    const double v = data_.values[static_cast<std::size_t>(i)];
    const QPointF end = chart_->mapToPosition(QPointF(i, v), series_);
    const QPointF base = chart_->mapToPosition(QPointF(i, 0), series_);
    const QRectF box = item->boundingRect();
    item->setRotation(upright ? -90 : 0);
    const double along = upright ? box.width() : box.height();  // extent along the bar
    const double across = upright ? box.height() : box.width();
    const double x = end.x() - across / 2;
    double top;  // top edge of the text's footprint
    if (v > 0) {
      top = end.y() - along - 2;
      if (top < plot.top()) top = std::min(end.y() + 2, base.y() - along);  // inside the bar's top
    } else {
      top = end.y() + 2;
      if (top + along > plot.bottom()) top = std::max(end.y() - along - 2, base.y());
    }
    item->setPos(upright ? QPointF(x, top + along) : QPointF(x, top));
  }
}

double BarChartView::AxisMinimum() const { return value_axis_->min(); }
double BarChartView::AxisMaximum() const { return value_axis_->max(); }

QStringList BarChartView::ValueTexts() const {
  QStringList texts;
  for (auto* item : value_texts_) texts << (item->isVisible() ? item->text() : QString());
  return texts;
}

QString BarChartView::ToolTipText(int bar) const {
  if (bar < 0 || static_cast<std::size_t>(bar) >= data_.values.size()) return {};
  const QString label = bar < data_.labels.size() ? data_.labels[bar] : QString();
  const QString name = data_.category_caption == QStringLiteral("日") ? label + QStringLiteral("日") : label;
  return QStringLiteral("%1：%2%3").arg(name, NumberText(data_.values[static_cast<std::size_t>(bar)]), data_.unit);
}

}  // namespace hemulu
