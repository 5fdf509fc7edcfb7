#pragma once
// Column widths as shares of the host frame's width, re-applied whenever the frame is
// resized, so the list's columns follow the window.

#include <QObject>
#include <QPointer>
#include <vector>

class QWidget;

namespace hemulu {

class Grid;

// A share of the host width, truncated toward zero to whole pixels.
int ShareWidth(double share, int host_width);

// Sets the widths once: column 0 gets `first_col_width` pixels, column c ≥ 1 gets
// shares[c] of `host_width` (shares[0] is not used), or the width the user dragged it to
// (Grid::UserColumnWidth) when it has one. A share of 0 hides the column; a negative
// share leaves it alone (the extending last column takes the rest). Locked hidden
// columns stay 0.
void ApplyColumnShares(Grid& grid, int host_width, int first_col_width, const std::vector<double>& shares);

// Keeps the shares applied: installed on the host frame, it re-applies them on every
// resize of the host. Owned by the host.
class ColumnShares final : public QObject {
  Q_OBJECT
 public:
  ColumnShares(Grid& grid, QWidget& host, int first_col_width, std::vector<double> shares);

  // Changes one column's share (0 hides it) and applies the shares at once.
  void SetShare(int col, double share);
  void SetShares(std::vector<double> shares);
  double Share(int col) const;
  // Sets one column's width from `share` now, keeping its stored share for the next apply.
  void ApplyOnce(int col, double share);
  void Apply();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<Grid> grid_;
  QWidget& host_;
  int first_col_width_;
  std::vector<double> shares_;
};

}  // namespace hemulu
