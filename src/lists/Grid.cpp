#include "lists/Grid.h"

#include <QEvent>
#include <QFontDatabase>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QShortcut>
#include <QVBoxLayout>

#include "lists/GridModel.h"
#include "lists/GridViews.h"

namespace hemulu {

QColor ColorFromWin(int win_color) { return QColor::fromRgb(RgbFromWin(win_color)); }

int WinFromColor(const QColor& color) { return color.red() | (color.green() << 8) | (color.blue() << 16); }

// Opens a model reset around a change of rows or columns, unless BeginUpdate() already
// opened one; closing it lays the views out again.
class Grid::ModelResetScope {
 public:
  explicit ModelResetScope(Grid& grid) : grid_(grid), own_(grid.update_depth_ == 0) {
    if (own_) grid_.BeginUpdate();
  }
  ~ModelResetScope() {
    if (own_) grid_.EndUpdate();
  }
  ModelResetScope(const ModelResetScope&) = delete;
  ModelResetScope& operator=(const ModelResetScope&) = delete;

 private:
  Grid& grid_;
  bool own_;
};

namespace {

// The lists' font, Tahoma 8 points; where Tahoma is not installed, the Chinese sans
// whose letters and figures are about as narrow (the usual stand-in is far wider), so a
// column holds the codes, prices and dates its share of the width was chosen for.
QFont ListFont() {
  QFont font;
  for (const QString& family : {QStringLiteral("Tahoma"), QStringLiteral("WenQuanYi Micro Hei")})
    if (QFontDatabase::hasFamily(family)) {
      font.setFamily(family);
      break;
    }
  font.setPointSize(8);
  return font;
}

}  // namespace

Grid::Grid(QWidget* parent, const QString& object_name) : QFrame(parent) {
  if (!object_name.isEmpty()) setObjectName(object_name);
  for (const QKeySequence& keys : {QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)}) {
    auto* shortcut = new QShortcut(keys, this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    connect(shortcut, &QShortcut::activated, this,
            [this] { emit MenuKeyPressed(SelectionFirstRow(), mapToGlobal(rect().center())); });
  }
  setFrameShape(QFrame::Box);
  setFrameShadow(QFrame::Plain);
  setLineWidth(1);
  QPalette frame_palette = palette();
  frame_palette.setColor(QPalette::WindowText, QColor(0x80, 0x80, 0x80));
  setPalette(frame_palette);

  columns_.resize(static_cast<std::size_t>(store_.Cols()));
  back_sel_ = QColor(0xCC, 0xE8, 0xFF);
  back_active_sel_ = back_sel_;
  selection_border_ = QColor(0x33, 0x66, 0xCC);
  setFont(ListFont());
  data_row_height_ = fontMetrics().height() + 8;

  body_model_ = new GridModel(*this, store_, GridModel::Part::Body, this);
  footer_model_ = new GridModel(*this, store_, GridModel::Part::Footer, this);
  delegate_ = new GridDelegate(*this, this);

  body_ = new GridTableView(*this, this);
  body_->setObjectName(QStringLiteral("gridBody"));
  header_ = new GridHeader(*this, body_);
  body_->setHorizontalHeader(header_);
  body_->setModel(body_model_);
  body_->setItemDelegate(delegate_);
  body_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  body_->verticalHeader()->setDefaultSectionSize(data_row_height_);

  footer_ = new GridTableView(*this, this);
  footer_->setObjectName(QStringLiteral("gridFooter"));
  footer_->setModel(footer_model_);
  footer_->setItemDelegate(delegate_);
  footer_->horizontalHeader()->hide();
  footer_->horizontalHeader()->setMinimumSectionSize(0);  // takes the body's widths as they are
  footer_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  footer_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  footer_->verticalHeader()->setDefaultSectionSize(data_row_height_);
  footer_->setFocusPolicy(Qt::ClickFocus);

  // One horizontal scroll bar below the frozen rows drives the body; the footer follows.
  hbar_ = new QScrollBar(Qt::Horizontal, this);
  hbar_->hide();
  QScrollBar* body_bar = body_->horizontalScrollBar();
  connect(body_bar, &QScrollBar::rangeChanged, this, [this, body_bar](int min, int max) {
    hbar_->setRange(min, max);
    hbar_->setPageStep(body_bar->pageStep());
    hbar_->setSingleStep(body_bar->singleStep());
    hbar_->setVisible(max > min);
  });
  connect(body_bar, &QScrollBar::valueChanged, this, [this](int v) {
    hbar_->setValue(v);
    footer_->horizontalScrollBar()->setValue(v);
  });
  connect(hbar_, &QScrollBar::valueChanged, body_bar, &QScrollBar::setValue);

  connect(header_, &QHeaderView::sectionResized, this, [this](int col, int, int size) {
    if (col < 0 || col >= Cols()) return;
    if (!applying_widths_ && size > 0 && !columns_[col].locked_hidden) {
      columns_[col].width = size;
      // A drag of a column's edge; the stretched last column only follows it.
      if (user_resizing_ && !(header_->stretchLastSection() && col == LastVisibleColumn()))
        user_widths_.insert(UserWidthKey(col), size);
    }
    footer_->setColumnWidth(col, size);
  });
  connect(header_, &QHeaderView::sectionClicked, this, &Grid::OnHeaderClicked);
  connect(body_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { OnSelectionChanged(body_); });
  connect(footer_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { OnSelectionChanged(footer_); });
  body_viewport_ = body_->viewport();
  body_viewport_->installEventFilter(this);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(body_, 1);
  layout->addWidget(footer_);
  layout->addWidget(hbar_);

  SetBackColorBkg(0xFFFFFF);
  Relayout();
}

Grid::~Grid() {
  // The views go first: they hold the models and the delegate.
  delete body_;
  delete footer_;
}

QTableView* Grid::BodyView() const { return body_; }
QTableView* Grid::FooterView() const { return footer_; }
QHeaderView* Grid::Header() const { return header_; }

// ---- Update brackets and layout ----

void Grid::BeginUpdate() {
  if (update_depth_++ == 0) {
    body_model_->BeginReset();
    footer_model_->BeginReset();
  }
}

void Grid::EndUpdate() {
  if (update_depth_ == 0) return;
  if (--update_depth_ > 0) return;
  body_model_->EndReset();
  footer_model_->EndReset();
  Relayout();
}

void Grid::Refresh() {
  header_->viewport()->update();
  body_->viewport()->update();
  footer_->viewport()->update();
}

void Grid::Relayout() {
  header_->setVisible(FixedRows() > 0);
  header_->HeightChanged();
  const int frozen = store_.FrozenRows();
  footer_->setFixedHeight(frozen * data_row_height_);
  footer_->setVisible(frozen > 0);
  ApplyColumnWidths();
  SyncFooterMargin();
  body_->viewport()->update();
  footer_->viewport()->update();
}

void Grid::ApplyColumnWidth(int col) {
  const Column& c = columns_[col];
  const bool hide = c.locked_hidden || c.width <= 0;
  if (hide) {
    if (!header_->isSectionHidden(col)) header_->hideSection(col);
  } else {
    if (header_->isSectionHidden(col)) header_->showSection(col);
    if (header_->sectionSize(col) != c.width) header_->resizeSection(col, c.width);
  }
  header_->setSectionResizeMode(col, c.locked_hidden ? QHeaderView::Fixed : QHeaderView::Interactive);
}

void Grid::ApplyColumnWidths() {
  if (header_->count() != Cols()) return;  // the model is between resets
  applying_widths_ = true;
  for (int c = 0; c < Cols(); ++c) ApplyColumnWidth(c);
  applying_widths_ = false;
  FitLastColumn();
  SyncFooterColumns();
}

int Grid::LastVisibleColumn() const {
  int last = Cols() - 1;
  while (last > 0 && header_->isSectionHidden(last)) --last;
  return last;
}

void Grid::FitLastColumn() {
  // An extended last column takes exactly the width the others leave in the view, not
  // its own share: shares of a frame a few pixels wider than the view would otherwise
  // overflow it and bring up a needless scroll bar (the frame, the vertical scroll bar).
  // When the others leave much less than its own width (the user widened them), it
  // keeps its own width and the list scrolls.
  if (!header_->stretchLastSection() || header_->count() != Cols() || Cols() == 0) return;
  const int last = LastVisibleColumn();
  if (last < 0 || header_->isSectionHidden(last)) return;
  int others = 0;
  for (int c = 0; c < last; ++c)
    if (!header_->isSectionHidden(c)) others += header_->sectionSize(c);
  const int rest = body_->viewport()->width() - others;
  const int own = std::max(columns_[last].width, header_->minimumSectionSize());
  const int width = rest >= own / 2 ? rest : own;
  if (header_->sectionSize(last) == width) return;
  const bool applying = applying_widths_;
  applying_widths_ = true;
  header_->resizeSection(last, width);
  applying_widths_ = applying;
}

void Grid::SyncFooterColumns() {
  for (int c = 0; c < Cols(); ++c) {
    footer_->setColumnHidden(c, header_->isSectionHidden(c));
    footer_->setColumnWidth(c, header_->sectionSize(c));
  }
}

void Grid::SyncFooterMargin() {
  // The footer's cells line up with the body's when both viewports are equally wide.
  footer_->SetRightMargin(std::max(0, body_->width() - body_->viewport()->width()));
}

bool Grid::eventFilter(QObject* watched, QEvent* event) {
  if (watched == body_viewport_ && event->type() == QEvent::Resize) {
    SyncFooterMargin();
    FitLastColumn();
    SyncFooterColumns();
  }
  return QFrame::eventFilter(watched, event);
}

// ---- Rows, columns and cells ----

void Grid::SetRows(int rows) {
  ModelResetScope change(*this);
  source_.reset();
  store_.SetRows(rows);
  if (store_.DataRows() == 0) sort_col_ = -1;  // a refill starts in its own order
}

void Grid::SetCols(int cols) {
  ModelResetScope change(*this);
  store_.SetCols(cols);
  columns_.resize(static_cast<std::size_t>(store_.Cols()));
  if (sort_col_ >= Cols()) sort_col_ = -1;
}

void Grid::SetFixedRows(int rows) {
  ModelResetScope change(*this);
  store_.SetFixedRows(rows);
}

void Grid::AddItem(QStringView tab_text) {
  ModelResetScope change(*this);
  store_.AddRow(tab_text);
}

void Grid::RemoveItem(int row) {
  if (row < FixedRows() || row >= Rows()) return;
  ModelResetScope change(*this);
  if (const int r = SourceRow(row); r >= 0)
    source_->Remove(r);
  else
    store_.RemoveRow(StoreRow(row));
}

void Grid::SetRowSource(std::shared_ptr<RowSource> source) {
  ModelResetScope change(*this);
  source_ = std::move(source);
}

QString Grid::CellText(int row, int col) const {
  if (const int r = SourceRow(row); r >= 0) return source_->Text(r, col);
  return store_.Text(StoreRow(row), col);
}

int Grid::FindRow(int col, QStringView text) const {
  if (source_)
    if (const int r = source_->FindRow(col, text); r >= 0) return store_.FixedRows() + r;
  for (int r = store_.FixedRows(); r < store_.Rows(); ++r)
    if (store_.TextView(r, col) == text) return r + SourceRows();
  return -1;
}

const CellStyle& Grid::CellStyleAt(int row, int col) const {
  if (const int r = SourceRow(row); r >= 0) return source_->Style(r, col);
  return store_.Style(StoreRow(row), col);
}

void Grid::SetCellText(int row, int col, const QString& text) {
  if (SourceRow(row) >= 0) return;  // the source's rows are read, not written
  store_.SetText(StoreRow(row), col, text);
  if (Updating()) return;
  if (row < FixedRows()) {
    header_->viewport()->update();
  } else {
    body_model_->CellChanged(row, col);
    footer_model_->CellChanged(row, col);
  }
}

void Grid::SetRowHeight(int row, int height) {
  if (row < 0 || row >= Rows()) return;
  height = std::max(height, 1);
  if (row < FixedRows()) {
    store_.SetHeaderRowHeight(row, height);
    if (!Updating()) header_->HeightChanged();
    return;
  }
  data_row_height_ = height;
  body_->verticalHeader()->setDefaultSectionSize(height);
  footer_->verticalHeader()->setDefaultSectionSize(height);
  if (!Updating()) Relayout();
}

int Grid::RowHeight(int row) const {
  if (row >= 0 && row < FixedRows()) {
    const int h = store_.HeaderRowHeight(row);
    return h > 0 ? h : data_row_height_;
  }
  return data_row_height_;
}

int Grid::HeaderHeight() const {
  int h = 0;
  for (int r = 0; r < FixedRows(); ++r) h += RowHeight(r);
  return h;
}

const Grid::Column& Grid::ColumnAt(int col) const {
  static const Column kNone;
  return col >= 0 && col < Cols() ? columns_[col] : kNone;
}

void Grid::SetColumnWidth(int col, int width) {
  if (col < 0 || col >= Cols()) return;
  columns_[col].width = std::max(width, 0);
  if (header_->count() != Cols()) return;
  applying_widths_ = true;
  ApplyColumnWidth(col);
  applying_widths_ = false;
  FitLastColumn();
  SyncFooterColumns();
}

QString Grid::UserWidthKey(int col) const {
  const QString caption = FixedRows() > 0 ? store_.Text(FixedRows() - 1, col) : QString();
  return QString::number(col) + u'\t' + caption;
}

int Grid::UserColumnWidth(int col) const {
  if (col < 0 || col >= Cols() || columns_[col].locked_hidden) return 0;
  return user_widths_.value(UserWidthKey(col), 0);
}

QString Grid::CutCellText(int row, int col) const {
  if (col < 0 || col >= Cols() || header_->isSectionHidden(col)) return {};
  QString text = CellText(row, col);
  if (text.isEmpty()) return {};
  // As the cell is painted: 3 pixels of padding each side, bold where the cell is bold.
  const int room = header_->sectionSize(col) - 6;
  QFont f = font();
  if (CellFontBold(row, col)) f.setBold(true);
  if (QFontMetrics(f).horizontalAdvance(text) <= room) return {};
  return text;
}

int Grid::ColumnWidth(int col) const {
  if (col < 0 || col >= Cols() || columns_[col].locked_hidden) return 0;
  if (header_->count() != Cols()) return columns_[col].width;
  return header_->isSectionHidden(col) ? 0 : header_->sectionSize(col);
}

void Grid::SetColumnLockedHidden(int col, bool locked) {
  if (col < 0 || col >= Cols()) return;
  columns_[col].locked_hidden = locked;
  SetColumnWidth(col, columns_[col].width);
}

bool Grid::IsColumnLockedHidden(int col) const { return ColumnAt(col).locked_hidden; }

void Grid::SetExtendLastCol(bool extend) { header_->setStretchLastSection(extend); }

void Grid::SetColumnAlignment(int col, Qt::Alignment alignment) {
  if (col < 0 || col >= Cols()) return;
  columns_[col].alignment = alignment;
  StylesChanged();
}

Qt::Alignment Grid::ColumnAlignment(int col) const { return ColumnAt(col).alignment; }

void Grid::SetCellAlignment(int row, int col, Qt::Alignment alignment) {
  if (SourceRow(row) >= 0) return;
  row = StoreRow(row);
  store_.ChangeStyle(CellRange{row, col, row, col},
                     [&](CellStyle& s) { s.align = static_cast<std::uint16_t>(alignment.toInt()); });
  StylesChanged();
}

Qt::Alignment Grid::CellAlignment(int row, int col) const {
  const std::uint16_t own = CellStyleAt(row, col).align;
  if (own != 0) return Qt::Alignment::fromInt(own);
  if (row < FixedRows() || col == 0) return Qt::AlignCenter;
  return ColumnAt(col).alignment;
}

void Grid::SetColumnMask(int col, ColumnMask mask, int decimal_length) {
  if (col < 0 || col >= Cols()) return;
  columns_[col].mask = mask;
  columns_[col].decimals = std::max(decimal_length, 0);
}

ColumnMask Grid::ColumnMaskOf(int col) const { return ColumnAt(col).mask; }
int Grid::ColumnDecimalLength(int col) const { return ColumnAt(col).decimals; }

void Grid::SetColumnKind(int col, CellKind kind) { store_.SetColumnKind(col, kind); }

CellKind Grid::ColumnKind(int col) const {
  const CellKind kind = store_.ColumnKind(col);
  if (kind == CellKind::Auto && ColumnAt(col).mask == ColumnMask::Value) return CellKind::Number;
  return kind;
}

// ---- Ranges ----

void Grid::StylesChanged() {
  if (Updating()) return;
  body_->viewport()->update();
  footer_->viewport()->update();
  header_->viewport()->update();
}

void Grid::SetRangeForeColor(int row1, int col1, int row2, int col2, int win_color) {
  store_.SetRangeForeColor(CellRange{row1, col1, row2, col2}, win_color);
  StylesChanged();
}

void Grid::SetRangeBackColor(int row1, int col1, int row2, int col2, int win_color) {
  store_.SetRangeBackColor(CellRange{row1, col1, row2, col2}, win_color);
  StylesChanged();
}

void Grid::SetRangeFontBold(int row1, int col1, int row2, int col2, bool bold) {
  store_.SetRangeFontBold(CellRange{row1, col1, row2, col2}, bold);
  StylesChanged();
}

void Grid::SetRangeBorders(int row1, int col1, int row2, int col2, int inside_edges) {
  store_.SetRangeBorders(CellRange{row1, col1, row2, col2}, inside_edges);
  StylesChanged();
}

void Grid::SetRangeMerge(int row1, int col1, int row2, int col2) {
  store_.AddMerge(CellRange{row1, col1, row2, col2});
  StylesChanged();
}

// ---- Colours ----

void Grid::SetBackColor1(int win_color) {
  back1_ = ColorFromWin(win_color);
  StylesChanged();
}

void Grid::SetBackColor2(int win_color) {
  back2_ = ColorFromWin(win_color);
  StylesChanged();
}

void Grid::SetBackColorSel(int win_color) {
  back_sel_ = ColorFromWin(win_color);
  StylesChanged();
}

void Grid::SetBackColorActiveCellSel(int win_color) {
  back_active_sel_ = ColorFromWin(win_color);
  StylesChanged();
}

void Grid::SetSelectionBorderColor(int win_color) {
  selection_border_ = ColorFromWin(win_color);
  StylesChanged();
}

void Grid::SetBackColorBkg(int win_color) {
  back_bkg_ = ColorFromWin(win_color);
  for (QTableView* view : {static_cast<QTableView*>(body_), static_cast<QTableView*>(footer_)}) {
    QPalette p = view->palette();
    p.setColor(QPalette::Base, back_bkg_);
    view->setPalette(p);
  }
  StylesChanged();
}

void Grid::SetGridColor(int win_color) {
  grid_color_ = ColorFromWin(win_color);
  StylesChanged();
}

void Grid::SetHideGridLines(bool hide) {
  hide_grid_lines_ = hide;
  StylesChanged();
}

void Grid::SetLook(const GridLook& look) {
  SetBackColorActiveCellSel(look.back_active_sel);
  SetBackColorSel(look.back_sel);
  SetSelectionBorderColor(look.selection_border);
  SetBackColor2(look.back2);
  SetBackColor1(look.back1);
  SetBackColorBkg(look.back_bkg);
  SetGridColor(look.grid_color);
  SetHideGridLines(look.hide_grid_lines);
}

QColor Grid::FixedBackColor() const { return palette().color(QPalette::Button); }

QColor Grid::DisplayedBackColor(int row, int col) const {
  const CellStyle& s = CellStyleAt(row, col);
  if (s.flags & CellStyle::kHasBack) return QColor::fromRgb(s.back);
  if (row < FixedRows() || col == 0) return FixedBackColor();
  return (row - FixedRows()) % 2 == 0 ? back1_ : back2_;
}

QColor Grid::CellForeColor(int row, int col) const {
  const CellStyle& s = CellStyleAt(row, col);
  return (s.flags & CellStyle::kHasFore) ? QColor::fromRgb(s.fore) : QColor();
}

bool Grid::CellFontBold(int row, int col) const { return CellStyleAt(row, col).flags & CellStyle::kBold; }

void Grid::SetFrozenBottomRows(int rows) {
  ModelResetScope change(*this);
  store_.SetFrozenRows(rows);
}

// ---- Mouse and selection ----

void Grid::HandleMouse(QEvent::Type type, Qt::MouseButton button, int row, int col, const QPoint& global_pos) {
  mouse_row_ = row;
  mouse_col_ = col;
  if (type == QEvent::MouseButtonRelease) emit MouseReleased(button, row, col, global_pos);
  if (type == QEvent::MouseButtonDblClick) emit DoubleClicked(button, row, col, global_pos);
}

std::pair<int, int> Grid::HitTest(const QPoint& pos) const {
  if (!header_->isHidden()) {
    const QPoint p = header_->viewport()->mapFrom(this, pos);
    if (header_->viewport()->rect().contains(p)) return {header_->HeaderRowAt(p.y()), header_->logicalIndexAt(p.x())};
  }
  for (GridTableView* view : {body_, footer_}) {
    if (view->isHidden()) continue;
    const QPoint p = view->viewport()->mapFrom(this, pos);
    if (!view->viewport()->rect().contains(p)) continue;
    const QModelIndex index = view->indexAt(p);
    if (index.isValid()) return {view->Model()->GridRow(index.row()), index.column()};
    break;
  }
  return {-1, -1};
}

int Grid::SelectionFirstRow() const {
  for (GridTableView* view : {body_, footer_}) {
    const QItemSelection selection = view->selectionModel()->selection();
    if (!selection.isEmpty()) return view->Model()->GridRow(selection.first().top());
  }
  return -1;
}

void Grid::OnSelectionChanged(GridTableView* view) {
  // One selected row across the scrolling and the frozen rows.
  if (!view->selectionModel()->hasSelection()) return;
  GridTableView* other = view == body_ ? footer_ : body_;
  if (other->selectionModel()->hasSelection()) other->clearSelection();
}

void Grid::SelectRow(int row) { SetFocusCell(row, 1); }

void Grid::SetFocusCell(int row, int col) {
  for (GridTableView* view : {body_, footer_}) {
    const int model_row = view->Model()->ModelRow(row);
    if (model_row < 0) continue;
    const QModelIndex index = view->model()->index(model_row, std::clamp(col, 0, Cols() - 1));
    view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view->scrollTo(index);
    return;
  }
  ClearSelection();
}

void Grid::ClearSelection() {
  body_->clearSelection();
  footer_->clearSelection();
}

// ---- Sorting ----

void Grid::SortColumn(int col) {
  if (col < 0 || col >= Cols()) return;
  ModelResetScope change(*this);
  if (source_)
    source_->Sort(col, ColumnKind(col));
  else
    store_.SortByColumn(col, ColumnKind(col));
  sort_col_ = col;
}

void Grid::OnHeaderClicked(int col) {
  if (!user_sort_ || col < 1) return;
  // Only a caption of the last header row sorts (or a merge reaching down to it).
  const int row = header_->PressedRow();
  if (row < 0) return;
  const CellRange* merge = store_.MergeAt(row, col);
  if ((merge ? merge->row2 : row) < FixedRows() - 1) return;
  SortColumn(col);
}

// ---- The current-row marker ----

QPixmap Grid::CurrentRowMarker() {
  static const QPixmap marker = [] {
    // A blue arrow pointing at the row, drawn at twice the size for sharp screens.
    constexpr qreal kRatio = 2.0;
    QPixmap pm(QSize(16, 16) * kRatio);
    pm.setDevicePixelRatio(kRatio);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath arrow;
    arrow.moveTo(3.5, 4.5);
    arrow.lineTo(8.0, 4.5);
    arrow.lineTo(8.0, 1.5);
    arrow.lineTo(14.5, 8.0);
    arrow.lineTo(8.0, 14.5);
    arrow.lineTo(8.0, 11.5);
    arrow.lineTo(3.5, 11.5);
    arrow.closeSubpath();
    QLinearGradient fill(0, 1.5, 0, 14.5);
    fill.setColorAt(0.0, QColor(0x5A, 0xA9, 0xFF));
    fill.setColorAt(1.0, QColor(0x0B, 0x4F, 0xB3));
    p.fillPath(arrow, fill);
    p.setPen(QPen(QColor(0x08, 0x3A, 0x85), 1.0));
    p.drawPath(arrow);
    return pm;
  }();
  return marker;
}

}  // namespace hemulu
