#pragma once
// A read-only table model over a window of the grid's data rows: the body shows the
// rows above the frozen bottom rows, the footer shows the frozen rows. Both read the
// same GridStore; data() does constant work and never touches the database.

#include <QAbstractTableModel>

#include "lists/GridStore.h"

namespace hemulu {

class Grid;

class GridModel final : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum class Part { Body, Footer };
  GridModel(const Grid& grid, const GridStore& store, Part part, QObject* parent);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  Part WhichPart() const { return part_; }
  // Grid row number of a model row, and the reverse (-1 when the row is not in this part).
  int GridRow(int model_row) const;
  int ModelRow(int grid_row) const;

  // The grid brackets every change of rows with these (one reset per fill).
  void BeginReset() { beginResetModel(); }
  void EndReset() { endResetModel(); }
  void CellChanged(int grid_row, int col);
  void RowsRestyled();

 private:
  int FirstDataRow() const;

  const Grid& grid_;
  const GridStore& store_;
  const Part part_;
};

}  // namespace hemulu
