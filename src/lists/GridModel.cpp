#include "lists/GridModel.h"

#include <QColor>
#include <QFont>

#include "lists/Grid.h"

namespace hemulu {

GridModel::GridModel(const Grid& grid, const GridStore& store, Part part, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid), store_(store), part_(part) {}

int GridModel::FirstDataRow() const {
  return part_ == Part::Body ? 0 : grid_.Rows() - store_.FixedRows() - store_.FrozenRows();
}

int GridModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  // The grid counts a row source's rows too.
  return part_ == Part::Body ? grid_.Rows() - store_.FixedRows() - store_.FrozenRows() : store_.FrozenRows();
}

int GridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : store_.Cols(); }

int GridModel::GridRow(int model_row) const { return store_.FixedRows() + FirstDataRow() + model_row; }

int GridModel::ModelRow(int grid_row) const {
  const int row = grid_row - store_.FixedRows() - FirstDataRow();
  return row >= 0 && row < rowCount() ? row : -1;
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) return {};
  const int row = GridRow(index.row());
  const int col = index.column();
  switch (role) {
    case Qt::DisplayRole:
      return grid_.CellText(row, col);
    case Qt::ForegroundRole:
      return grid_.CellForeColor(row, col);
    case Qt::BackgroundRole:
      return grid_.DisplayedBackColor(row, col);
    case Qt::TextAlignmentRole:
      return static_cast<int>(grid_.CellAlignment(row, col));
    case Qt::ToolTipRole: {
      // Only a cut text has one; one cell's text is measured, when the mouse rests on it.
      const QString cut = grid_.CutCellText(row, col);
      return cut.isEmpty() ? QVariant() : QVariant(cut);
    }
    case Qt::FontRole:
      if (grid_.CellFontBold(row, col)) {
        QFont font = grid_.font();
        font.setBold(true);
        return font;
      }
      return {};
    default:
      return {};
  }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal) {
    if (section < 0 || section >= store_.Cols() || store_.FixedRows() == 0) return {};
    return store_.Text(store_.FixedRows() - 1, section);
  }
  if (section < 0 || section >= rowCount()) return {};
  return GridRow(section);
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void GridModel::CellChanged(int grid_row, int col) {
  const int row = ModelRow(grid_row);
  if (row < 0 || col < 0 || col >= columnCount()) return;
  const QModelIndex i = index(row, col);
  emit dataChanged(i, i);
}

void GridModel::RowsRestyled() {
  if (rowCount() == 0 || columnCount() == 0) return;
  emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

}  // namespace hemulu
