#include "lists/GridViews.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <climits>

#include "lists/Grid.h"
#include "lists/GridModel.h"

namespace hemulu {

namespace {

const QColor kFixedLineColor(0xA0, 0xA0, 0xA0);
const QColor kBorderColor(0x40, 0x40, 0x40);

// Right and bottom edges of a cell: each cell draws its own, so neighbours share them.
// `edges`: CellBorder bits.
void DrawCellEdges(QPainter& p, const QRect& r, const QColor& color, std::uint8_t edges) {
  if (edges == 0) return;
  p.setPen(color);
  if (edges & kBorderRight) p.drawLine(r.right(), r.top(), r.right(), r.bottom());
  if (edges & kBorderBottom) p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
}

constexpr std::uint8_t kBothEdges = kBorderRight | kBorderBottom;

QColor StyleFore(const CellStyle& s, const QColor& fallback) {
  return (s.flags & CellStyle::kHasFore) ? QColor::fromRgb(s.fore) : fallback;
}

}  // namespace

// ---- GridHeader ----

GridHeader::GridHeader(Grid& grid, QWidget* parent) : QHeaderView(Qt::Horizontal, parent), grid_(grid) {
  setSectionsClickable(true);
  setSectionsMovable(false);
  setSortIndicatorShown(false);
  setHighlightSections(false);
  setMinimumSectionSize(2);
  setDefaultSectionSize(64);
  setSectionResizeMode(QHeaderView::Interactive);
}

QSize GridHeader::sizeHint() const { return QSize(length(), grid_.HeaderHeight()); }

int GridHeader::HeaderRowAt(int y) const {
  int top = 0;
  for (int r = 0; r < grid_.FixedRows(); ++r) {
    const int h = grid_.RowHeight(r);
    if (y >= top && y < top + h) return r;
    top += h;
  }
  return -1;
}

void GridHeader::HeightChanged() {
  updateGeometry();
  emit geometriesChanged();
  viewport()->update();
}

void GridHeader::PaintCell(QPainter& p, const QRect& rect, int row, int col, int last_col, bool touches_bottom) {
  const GridStore& store = grid_.Store();
  const CellStyle& style = store.Style(row, col);
  p.fillRect(rect, grid_.DisplayedBackColor(row, col));
  DrawCellEdges(p, rect, kFixedLineColor, kBothEdges);

  QRect text_rect = rect.adjusted(3, 0, -3, 0);
  const int sorted = grid_.SortIndicatorColumn();
  if (touches_bottom && sorted >= col && sorted <= last_col) {
    // Ascending: a small upward triangle at the right of the caption.
    const int cx = rect.right() - 8, cy = rect.center().y();
    QPainterPath arrow;
    arrow.moveTo(cx - 4, cy + 2);
    arrow.lineTo(cx + 4, cy + 2);
    arrow.lineTo(cx, cy - 3);
    arrow.closeSubpath();
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(arrow, palette().color(QPalette::ButtonText));
    p.restore();
    text_rect.setRight(rect.right() - 14);
  }
  const QStringView text = store.TextView(row, col);
  if (text.isEmpty()) return;
  QFont font = this->font();
  font.setBold(style.flags & CellStyle::kBold);
  p.setFont(font);
  p.setPen(StyleFore(style, palette().color(QPalette::ButtonText)));
  p.drawText(text_rect, static_cast<int>(grid_.CellAlignment(row, col)) | Qt::TextSingleLine, text.toString());
}

void GridHeader::paintEvent(QPaintEvent* event) {
  QPainter p(viewport());
  p.fillRect(event->rect(), grid_.BackColorBkg());
  const GridStore& store = grid_.Store();
  const int fixed = store.FixedRows();
  const int cols = count();
  auto visible = [&](int c) { return !isSectionHidden(c) && sectionSize(c) > 0; };
  std::vector<int> row_top(fixed + 1, 0);
  for (int r = 0; r < fixed; ++r) row_top[r + 1] = row_top[r] + grid_.RowHeight(r);

  for (int r = 0; r < fixed; ++r) {
    for (int c = 0; c < cols; ++c) {
      if (!visible(c)) continue;
      int first_row = r, first_col = c, last_row = r, last_col = c;
      if (const CellRange* m = store.MergeAt(r, c)) {
        // A merge is painted once, from its first visible column in its first row.
        int first_visible = -1;
        for (int k = m->col1; k <= m->col2 && first_visible < 0; ++k)
          if (k < cols && visible(k)) first_visible = k;
        if (r != m->row1 || c != first_visible) continue;
        first_row = m->row1;
        first_col = m->col1;
        last_row = std::min(m->row2, fixed - 1);
        last_col = std::min(m->col2, cols - 1);
      }
      int left = INT_MAX, right = INT_MIN;
      for (int k = first_col; k <= last_col; ++k) {
        if (!visible(k)) continue;
        const int x = sectionViewportPosition(k);
        left = std::min(left, x);
        right = std::max(right, x + sectionSize(k));
      }
      const QRect rect(left, row_top[first_row], right - left, row_top[last_row + 1] - row_top[first_row]);
      if (!rect.intersects(event->rect())) continue;
      PaintCell(p, rect, first_row, first_col, last_col, last_row == fixed - 1);
    }
  }
}

void GridHeader::mousePressEvent(QMouseEvent* event) {
  // Only the left button drags an edge; the header grabs the mouse until its release.
  grid_.user_resizing_ = event->button() == Qt::LeftButton;
  pressed_row_ = HeaderRowAt(event->position().toPoint().y());
  grid_.HandleMouse(QEvent::MouseButtonPress, event->button(), pressed_row_,
                    logicalIndexAt(event->position().toPoint()), event->globalPosition().toPoint());
  QHeaderView::mousePressEvent(event);
}

void GridHeader::mouseReleaseEvent(QMouseEvent* event) {
  QHeaderView::mouseReleaseEvent(event);
  grid_.user_resizing_ = false;
  const QPoint pos = event->position().toPoint();
  grid_.HandleMouse(QEvent::MouseButtonRelease, event->button(), HeaderRowAt(pos.y()), logicalIndexAt(pos),
                    event->globalPosition().toPoint());
}

void GridHeader::mouseDoubleClickEvent(QMouseEvent* event) {
  // A double-click on a column's edge fits the column to its texts: the user's width too.
  grid_.user_resizing_ = true;
  QHeaderView::mouseDoubleClickEvent(event);
  grid_.user_resizing_ = false;
  const QPoint pos = event->position().toPoint();
  grid_.HandleMouse(QEvent::MouseButtonDblClick, event->button(), HeaderRowAt(pos.y()), logicalIndexAt(pos),
                    event->globalPosition().toPoint());
}

// ---- GridTableView ----

GridTableView::GridTableView(Grid& grid, QWidget* parent) : QTableView(parent), grid_(grid) {
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(false);
  setWordWrap(false);
  setTabKeyNavigation(false);
  setCornerButtonEnabled(false);
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  verticalHeader()->hide();
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
}

GridModel* GridTableView::Model() const { return static_cast<GridModel*>(model()); }

void GridTableView::paintEvent(QPaintEvent* event) {
  QTableView::paintEvent(event);
  const int row = Model() ? Model()->ModelRow(grid_.SelectionFirstRow()) : -1;
  if (row < 0) return;
  // The selection border goes round the selected row's cells right of column 0.
  int left = INT_MAX, right = INT_MIN;
  for (int c = 1; c < model()->columnCount(); ++c) {
    if (isColumnHidden(c) || columnWidth(c) <= 0) continue;
    const int x = columnViewportPosition(c);
    left = std::min(left, x);
    right = std::max(right, x + columnWidth(c));
  }
  if (right <= left) return;
  QPainter p(viewport());
  QPen pen(grid_.SelectionBorderColor());
  pen.setWidth(2);
  p.setPen(pen);
  p.drawRect(QRect(left + 1, rowViewportPosition(row) + 1, right - left - 2, rowHeight(row) - 2));
}

void GridTableView::ReportMouse(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  const int row = index.isValid() ? Model()->GridRow(index.row()) : -1;
  const int col = index.isValid() ? index.column() : -1;
  grid_.HandleMouse(event->type(), event->button(), row, col, event->globalPosition().toPoint());
}

void GridTableView::mousePressEvent(QMouseEvent* event) {
  QTableView::mousePressEvent(event);
  ReportMouse(event);
}

void GridTableView::mouseReleaseEvent(QMouseEvent* event) {
  QTableView::mouseReleaseEvent(event);
  ReportMouse(event);
}

void GridTableView::mouseDoubleClickEvent(QMouseEvent* event) {
  QTableView::mouseDoubleClickEvent(event);
  ReportMouse(event);
}

void GridTableView::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
    const int row = grid_.SelectionFirstRow();
    if (row >= 0) emit grid_.RowActivated(row);
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
}

// ---- GridDelegate ----

void GridDelegate::paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  const auto* model = static_cast<const GridModel*>(index.model());
  const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
  const int row = model->GridRow(index.row());
  const int col = index.column();
  const CellStyle& style = grid_.CellStyleAt(row, col);
  const QRect& r = option.rect;
  const bool fixed_col = col == 0;

  QColor back;
  if (!fixed_col && (option.state & QStyle::State_Selected))
    back = view && view->currentIndex() == index ? grid_.BackColorActiveCellSel() : grid_.BackColorSel();
  else
    back = grid_.DisplayedBackColor(row, col);
  p->fillRect(r, back);

  const QString text = grid_.CellText(row, col);
  if (!text.isEmpty()) {
    if (style.flags & CellStyle::kBold) {
      QFont font = option.font;
      font.setBold(true);
      p->setFont(font);
    } else {
      p->setFont(option.font);
    }
    p->setPen(StyleFore(style, option.palette.color(fixed_col ? QPalette::ButtonText : QPalette::Text)));
    // A text wider than its cell ends in "…" rather than losing characters silently
    // (a right-aligned date would otherwise show a wrong-looking year).
    const QRect text_rect = r.adjusted(3, 0, -3, 0);
    const QString shown = p->fontMetrics().elidedText(text, Qt::ElideRight, text_rect.width());
    p->drawText(text_rect, static_cast<int>(grid_.CellAlignment(row, col)) | Qt::TextSingleLine, shown);
  }

  if (fixed_col)
    DrawCellEdges(*p, r, kFixedLineColor, kBothEdges);
  else if (!grid_.HideGridLines())
    DrawCellEdges(*p, r, grid_.GridColor(), kBothEdges);
  DrawCellEdges(*p, r, kBorderColor, style.borders);

  if (fixed_col && row == grid_.SelectionFirstRow()) {
    const QPixmap& marker = Grid::CurrentRowMarker();
    const QSize size = marker.deviceIndependentSize().toSize();
    p->drawPixmap(r.x() + (r.width() - size.width()) / 2, r.y() + (r.height() - size.height()) / 2, marker);
  }
}

QSize GridDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  const auto* model = static_cast<const GridModel*>(index.model());
  const int row = model->GridRow(index.row());
  const QString text = grid_.CellText(row, index.column());
  return QSize(option.fontMetrics.horizontalAdvance(text) + 8, grid_.RowHeight(row));
}

}  // namespace hemulu
