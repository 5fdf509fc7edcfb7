#pragma once
// Data rows a grid shows without holding them all: the rows between the header rows and
// the frozen bottom rows, read when they are looked at. A list of a million rows keeps
// only its keys and the pages in view.

#include <QString>
#include <optional>

#include "data/Database.h"
#include "lists/GridStore.h"
#include "lists/Progress.h"

namespace hemulu {

class RowSource {
 public:
  virtual ~RowSource() = default;

  virtual int Count() const = 0;
  // Column 0 is the row-header column and always empty. A row that cannot be read (gone,
  // or the database failed) shows empty cells; a failed read is kept in ReadFailure().
  virtual QString Text(int row, int col) const = 0;
  // The first read of rows that failed since the source was made, or none.
  virtual std::optional<DbError> ReadFailure() const { return std::nullopt; }
  // True once, for the first caller after a failed read: the one that tells the user
  // (a message, or an export's failure), so one failure is told once.
  virtual bool TakeFailureToTell() const { return false; }
  virtual const CellStyle& Style(int row, int col) const = 0;
  // The first row whose cell in `col` is `text`, or -1.
  virtual int FindRow(int col, QStringView text) const {
    for (int r = 0; r < Count(); ++r)
      if (Text(r, col) == text) return r;
    return -1;
  }
  virtual void Remove(int row) = 0;
  // Reorders the rows ascending by one column, stable, comparing as GridStore does;
  // returns the kind actually used.
  virtual CellKind Sort(int col, CellKind kind) = 0;
};

// `shown` with the source's rows put in between its header rows and its own data rows
// (the totals row): every row a grid with that source shows, for an export. `progress`
// hears the source's rows gathered; false when it stopped the copy or a read failed
// (`out` is then partial; the source's ReadFailure() says which).
bool CopyWithSourceRows(const GridStore& shown, const RowSource& source, GridStore& out, const Progress& progress = {});

}  // namespace hemulu
