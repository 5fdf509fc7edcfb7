#pragma once
// The pieces the Grid is drawn with; used by Grid only.

#include <QAbstractItemDelegate>
#include <QHeaderView>
#include <QTableView>

namespace hemulu {

class Grid;
class GridModel;

// The body's horizontal header: paints every header row of the grid with merged,
// centred captions and the sort indicator. Resizing and clicks come from QHeaderView,
// which works on columns whatever the height.
class GridHeader final : public QHeaderView {
  Q_OBJECT
 public:
  GridHeader(Grid& grid, QWidget* parent);
  QSize sizeHint() const override;
  // The header row at a height in the header, -1 below the last one.
  int HeaderRowAt(int y) const;
  int PressedRow() const { return pressed_row_; }
  void HeightChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void PaintCell(QPainter& painter, const QRect& rect, int row, int col, int last_col, bool touches_bottom);
  Grid& grid_;
  int pressed_row_ = -1;
};

// The body (scrolling rows) and the footer (frozen rows).
class GridTableView final : public QTableView {
  Q_OBJECT
 public:
  GridTableView(Grid& grid, QWidget* parent);
  GridModel* Model() const;
  void SetRightMargin(int margin) { setViewportMargins(0, 0, margin, 0); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ReportMouse(QMouseEvent* event);
  Grid& grid_;
};

// Paints one cell: back colour, text, grid lines, inside borders and the current-row
// marker in column 0.
class GridDelegate final : public QAbstractItemDelegate {
  Q_OBJECT
 public:
  GridDelegate(Grid& grid, QObject* parent) : QAbstractItemDelegate(parent), grid_(grid) {}
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  Grid& grid_;
};

}  // namespace hemulu
