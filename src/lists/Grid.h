#pragma once
// The list grid of every page. Rows and columns are numbered as the list pages expect:
// rows 0..FixedRows()-1 are header rows, column 0 is the row-header column, and
// AddItem() appends one row from a tab-separated text whose first field lands in
// column 1. The frozen bottom rows (the totals row) stay in view below the scrolling
// rows, with the same column widths and horizontal scroll.
//
// Colours are given as Windows colour values (0x00BBGGRR), as config.ini stores them.

#include <QColor>
#include <QEvent>
#include <QFrame>
#include <QHash>
#include <QPixmap>
#include <memory>
#include <utility>
#include <vector>

#include "lists/GridStore.h"
#include "lists/RowSource.h"

class QHeaderView;
class QScrollBar;
class QTableView;

namespace hemulu {

// 0x00BBGGRR → QColor; the top byte is ignored.
QColor ColorFromWin(int win_color);
int WinFromColor(const QColor& color);

// The value mask lets only a number with `decimal length` decimals be typed into a
// cell; list grids are read-only, so it marks the column as holding numbers.
enum class ColumnMask { None, Value };

class GridModel;
class GridHeader;
class GridTableView;
class GridDelegate;

class Grid : public QFrame {
  Q_OBJECT
 public:
  explicit Grid(QWidget* parent = nullptr, const QString& object_name = QString());
  ~Grid() override;

  // ---- Rows, columns and cells ----
  int Rows() const { return store_.Rows() + SourceRows(); }
  // Rows(FixedRows()) drops every data row; more rows are appended empty.
  void SetRows(int rows);
  int Cols() const { return store_.Cols(); }
  void SetCols(int cols);
  int FixedRows() const { return store_.FixedRows(); }
  void SetFixedRows(int rows);
  void AddItem(QStringView tab_text);
  void AddItem(const QString& tab_text) { AddItem(QStringView(tab_text)); }
  // Removes a data row; header rows stay.
  void RemoveItem(int row);
  QString CellText(int row, int col) const;
  // The first data row whose cell in `col` shows `text`, or -1; a keyed list finds its
  // key column without reading its rows.
  int FindRow(int col, QStringView text) const;
  void SetCellText(int row, int col, const QString& text);

  // A header row keeps its own height; every data row shares one fixed height, so
  // setting any data row's height sets them all.
  void SetRowHeight(int row, int height);
  int RowHeight(int row) const;
  // Width 0 hides the column. A locked hidden column keeps width 0 whatever is set.
  void SetColumnWidth(int col, int width);
  int ColumnWidth(int col) const;
  // The width the user gave the column by dragging its header's edge, 0 when none. It
  // is kept for the grid's life (the session), by the column and its caption, so a
  // refill or another layout of the same columns keeps it; ApplyColumnShares uses it.
  int UserColumnWidth(int col) const;
  // The cell's whole text when the column is too narrow to show it, else empty.
  QString CutCellText(int row, int col) const;
  void SetColumnAlignment(int col, Qt::Alignment alignment);
  Qt::Alignment ColumnAlignment(int col) const;
  void SetCellAlignment(int row, int col, Qt::Alignment alignment);
  // The alignment a cell is drawn with: its own, else its column's (header cells centre).
  Qt::Alignment CellAlignment(int row, int col) const;
  void SetColumnMask(int col, ColumnMask mask, int decimal_length = 0);
  ColumnMask ColumnMaskOf(int col) const;
  int ColumnDecimalLength(int col) const;
  // How a column sorts and exports; Auto (the default) decides from the cells, and a
  // value mask counts as Number.
  void SetColumnKind(int col, CellKind kind);
  CellKind ColumnKind(int col) const;
  // Width 0 and not resizable by the user; left out of spreadsheet exports.
  void SetColumnLockedHidden(int col, bool locked);
  bool IsColumnLockedHidden(int col) const;
  // The last column takes the rest of the width.
  void SetExtendLastCol(bool extend);

  // ---- Ranges (row1, col1, row2, col2 inclusive, in either order) ----
  void SetRangeForeColor(int row1, int col1, int row2, int col2, int win_color);
  void SetRangeBackColor(int row1, int col1, int row2, int col2, int win_color);
  void SetRangeFontBold(int row1, int col1, int row2, int col2, bool bold);
  // RangeBorder bits: thin lines between the range's columns and/or rows.
  void SetRangeBorders(int row1, int col1, int row2, int col2, int inside_edges);
  void SetRangeMerge(int row1, int col1, int row2, int col2);
  const std::vector<CellRange>& Merges() const { return store_.Merges(); }

  // ---- Colours and lines ----
  void SetBackColor1(int win_color);  // first alternating data-row colour
  void SetBackColor2(int win_color);  // second alternating data-row colour
  void SetBackColorSel(int win_color);
  void SetBackColorActiveCellSel(int win_color);
  void SetSelectionBorderColor(int win_color);
  void SetBackColorBkg(int win_color);  // below the last row
  void SetGridColor(int win_color);
  void SetHideGridLines(bool hide);
  bool HideGridLines() const { return hide_grid_lines_; }
  QColor GridColor() const { return grid_color_; }
  QColor BackColorSel() const { return back_sel_; }
  QColor BackColorActiveCellSel() const { return back_active_sel_; }
  QColor SelectionBorderColor() const { return selection_border_; }
  QColor BackColorBkg() const { return back_bkg_; }
  // What a cell is painted with when not selected: its own back colour, else the
  // alternating colours (data rows) or the fixed-cell colour (header rows, column 0).
  QColor DisplayedBackColor(int row, int col) const;
  // The cell's own text colour; invalid when it has none.
  QColor CellForeColor(int row, int col) const;
  bool CellFontBold(int row, int col) const;
  // Inside-border lines a cell draws (CellBorder bits).
  int CellBorders(int row, int col) const { return CellStyleAt(row, col).borders; }
  const CellStyle& CellStyleAt(int row, int col) const;
  QColor FixedBackColor() const;

  // Number of last rows kept in view below the scrolling rows.
  void SetFrozenBottomRows(int rows);
  int FrozenBottomRows() const { return store_.RequestedFrozenRows(); }

  // ---- Mouse and selection ----
  // The cell under the mouse at the last mouse event (-1 outside the cells).
  int MouseRow() const { return mouse_row_; }
  int MouseCol() const { return mouse_col_; }
  // The cell at a point in the grid's own coordinates: {row, col}, or {-1, -1}.
  std::pair<int, int> HitTest(const QPoint& pos) const;
  // The selected row, -1 when none is selected.
  int SelectionFirstRow() const;
  // Selects a data row (and scrolls it into view); a header row clears the selection.
  void SelectRow(int row);
  void SetFocusCell(int row, int col);
  void ClearSelection();

  // ---- Sorting ----
  // Sorts the data rows above the frozen bottom rows ascending by one column and shows
  // the indicator on it: numbers as numbers, cell dates as dates, texts in pinyin order.
  void SortColumn(int col);
  int SortIndicatorColumn() const { return sort_col_; }
  // A click on a caption of the last header row sorts by that column.
  void SetUserSort(bool on) { user_sort_ = on; }

  // ---- Redraw ----
  // Between BeginUpdate() and EndUpdate() changes only touch the cells; EndUpdate()
  // resets the views once. Calls nest.
  void BeginUpdate();
  void EndUpdate();
  bool Updating() const { return update_depth_ > 0; }
  // Repaints every part of the grid.
  void Refresh();

  // The header rows and the frozen rows; without a row source, every row.
  const GridStore& Store() const { return store_; }
  // Data rows read on demand, shown after the store's header rows and before its own
  // data rows (the totals row). Range colours, borders and cell texts set through the
  // grid apply to the store's rows only. Set between BeginUpdate() and EndUpdate();
  // SetRows() drops it.
  void SetRowSource(std::shared_ptr<RowSource> source);
  const RowSource* Source() const { return source_.get(); }
  // The cells for a bulk change (a fill), only between BeginUpdate() and EndUpdate():
  // EndUpdate() then shows the finished store at once.
  GridStore& EditStore() { return store_; }
  // The colours of the whole list at once.
  void SetLook(const GridLook& look);
  // Shows the sort indicator on a column the store has been sorted by (-1: none).
  void MarkSorted(int col) { sort_col_ = col; }
  QTableView* BodyView() const;
  QTableView* FooterView() const;
  QHeaderView* Header() const;
  QScrollBar* HorizontalScrollBar() const { return hbar_; }
  // The current-row marker drawn in column 0 of the selected row.
  static QPixmap CurrentRowMarker();

 signals:
  void DoubleClicked(Qt::MouseButton button, int row, int col, const QPoint& global_pos);
  void MouseReleased(Qt::MouseButton button, int row, int col, const QPoint& global_pos);
  // Enter or Return on the selected row.
  void RowActivated(int row);
  // The keyboard's menu key or Shift+F10: the selected row (-1 when none) and where
  // its pop-up menu should appear.
  void MenuKeyPressed(int row, const QPoint& global_pos);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class GridHeader;
  friend class GridTableView;

  struct Column {
    int width = 64;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    ColumnMask mask = ColumnMask::None;
    int decimals = 0;
    bool locked_hidden = false;
  };
  // A model-reset scope around a change of rows or columns: resets the views unless an
  // update is already open.
  class ModelResetScope;

  void StylesChanged();
  void Relayout();
  void ApplyColumnWidths();
  void ApplyColumnWidth(int col);
  void FitLastColumn();
  int LastVisibleColumn() const;
  void SyncFooterColumns();
  void SyncFooterMargin();
  void OnSelectionChanged(GridTableView* view);
  void OnHeaderClicked(int col);
  void HandleMouse(QEvent::Type type, Qt::MouseButton button, int row, int col, const QPoint& global_pos);
  int HeaderHeight() const;
  int DataRowHeight() const { return data_row_height_; }
  const Column& ColumnAt(int col) const;
  int SourceRows() const { return source_ ? source_->Count() : 0; }
  // The source's row number of a grid row, or -1 when the store holds it.
  int SourceRow(int row) const {
    const int r = row - store_.FixedRows();
    return source_ && r >= 0 && r < source_->Count() ? r : -1;
  }
  // The store's row number of a grid row the source does not hold.
  int StoreRow(int row) const { return row >= store_.FixedRows() ? row - SourceRows() : row; }

  GridStore store_;
  std::shared_ptr<RowSource> source_;
  std::vector<Column> columns_;
  QString UserWidthKey(int col) const;

  QHash<QString, int> user_widths_;
  bool user_resizing_ = false;  // the mouse is down on the header: a resize is the user's
  int update_depth_ = 0;
  int data_row_height_ = 20;
  int sort_col_ = -1;
  bool user_sort_ = true;
  bool applying_widths_ = false;
  int mouse_row_ = -1, mouse_col_ = -1;

  QColor back1_{Qt::white}, back2_{Qt::white};
  QColor back_sel_, back_active_sel_, selection_border_, back_bkg_{Qt::white};
  QColor grid_color_{0xC0, 0xC0, 0xC0};
  bool hide_grid_lines_ = false;

  GridModel* body_model_ = nullptr;
  GridModel* footer_model_ = nullptr;
  GridTableView* body_ = nullptr;
  // Kept at construction: while the view is being destroyed its viewport still sends
  // events, and body_ is then no longer a whole scroll area to ask.
  QObject* body_viewport_ = nullptr;
  GridTableView* footer_ = nullptr;
  GridHeader* header_ = nullptr;
  GridDelegate* delegate_ = nullptr;
  QScrollBar* hbar_ = nullptr;
};

}  // namespace hemulu
