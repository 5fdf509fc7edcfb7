#include "lists/ColumnShares.h"

#include <QEvent>
#include <QWidget>
#include <cmath>

#include "lists/Grid.h"

namespace hemulu {

int ShareWidth(double share, int host_width) {
  const double w = std::trunc(share * host_width);
  return w > 0 ? static_cast<int>(w) : 0;
}

void ApplyColumnShares(Grid& grid, int host_width, int first_col_width, const std::vector<double>& shares) {
  grid.SetColumnWidth(0, first_col_width);
  for (int c = 1; c < grid.Cols() && c < static_cast<int>(shares.size()); ++c) {
    if (shares[c] < 0) continue;
    // A column the user has widened or narrowed keeps that width while it is shown.
    const int user = shares[c] > 0 ? grid.UserColumnWidth(c) : 0;
    grid.SetColumnWidth(c, user > 0 ? user : ShareWidth(shares[c], host_width));
  }
}

ColumnShares::ColumnShares(Grid& grid, QWidget& host, int first_col_width, std::vector<double> shares)
    : QObject(&host), grid_(&grid), host_(host), first_col_width_(first_col_width), shares_(std::move(shares)) {
  host_.installEventFilter(this);
  Apply();
}

void ColumnShares::SetShare(int col, double share) {
  if (col < 0) return;
  if (col >= static_cast<int>(shares_.size())) shares_.resize(static_cast<std::size_t>(col) + 1, -1.0);
  shares_[col] = share;
  Apply();
}

void ColumnShares::SetShares(std::vector<double> shares) {
  shares_ = std::move(shares);
  Apply();
}

double ColumnShares::Share(int col) const {
  return col >= 0 && col < static_cast<int>(shares_.size()) ? shares_[col] : -1.0;
}

void ColumnShares::ApplyOnce(int col, double share) {
  if (grid_ && col > 0 && col < grid_->Cols()) grid_->SetColumnWidth(col, ShareWidth(share, host_.width()));
}

void ColumnShares::Apply() {
  if (grid_) ApplyColumnShares(*grid_, host_.width(), first_col_width_, shares_);
}

bool ColumnShares::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &host_ && event->type() == QEvent::Resize) Apply();
  return QObject::eventFilter(watched, event);
}

}  // namespace hemulu
