#include "lists/GridPrinter.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QStringList>
#include <algorithm>
#include <cmath>

#include "data/AppContext.h"
#include "data/TextFormat.h"
#include "lists/Grid.h"
#include "lists/PrintPreview.h"

namespace hemulu {

namespace {

constexpr double kCellPadding = PageUnitsFromPoints(2.2);
const QColor kCellLineColor(160, 160, 160);
const QColor kHeaderBackColor(235, 235, 235);

// The list's own font family (narrow figures and letters, as on screen) at a size for paper.
QFont UnitFont(const QFont& list_font, double points, QFont::Weight weight) {
  QFont f = list_font;
  f.setPixelSize(static_cast<int>(std::lround(PageUnitsFromPoints(points))));
  f.setWeight(weight);
  return f;
}

// Rows measured for the column widths: every row of a list up to this many, else this
// many in a few runs spread over the list (a keyed list reads its rows by the page).
constexpr int kMeasuredRows = 1024;
constexpr int kMeasuredRuns = 4;

}  // namespace

std::vector<double> FitColumnWidths(const std::vector<double>& needs, const std::vector<double>& shares,
                                    double page_width) {
  const std::size_t n = needs.size();
  std::vector<double> widths(n, 0.0);
  if (n == 0 || page_width <= 0) return widths;
  double needed = 0, share_sum = 0;
  for (std::size_t i = 0; i < n; ++i) {
    needed += std::max(needs[i], 0.0);
    share_sum += i < shares.size() ? std::max(shares[i], 0.0) : 0.0;
  }
  if (needed <= page_width) {
    // Everything fits: the room left goes by the screen's shares (evenly without them).
    const double room = page_width - needed;
    for (std::size_t i = 0; i < n; ++i) {
      const double share = i < shares.size() ? std::max(shares[i], 0.0) : 0.0;
      widths[i] = std::max(needs[i], 0.0) + room * (share_sum > 0 ? share / share_sum : 1.0 / n);
    }
    return widths;
  }
  // Too wide: find the one width `cap` that the widest columns are cut to so the rest fit
  // whole, taking the narrow columns one by one.
  std::vector<double> sorted(needs);
  for (double& v : sorted) v = std::max(v, 0.0);
  std::sort(sorted.begin(), sorted.end());
  double below = 0, cap = page_width / n;
  for (std::size_t i = 0; i < n; ++i) {
    const double even = (page_width - below) / static_cast<double>(n - i);
    if (sorted[i] > even) {
      cap = even;
      break;
    }
    below += sorted[i];
  }
  for (std::size_t i = 0; i < n; ++i) widths[i] = std::min(std::max(needs[i], 0.0), cap);
  return widths;
}

QString PrintedCellText(const QFontMetricsF& metrics, const QString& text, double width) {
  return metrics.elidedText(text, Qt::ElideRight, std::max(width, 0.0));
}

QPageLayout ListPageLayout() {
  return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10),
                     QPageLayout::Millimeter);
}

GridPrintDocument::GridPrintDocument(const Grid& grid, ListHeading heading, const QPageLayout& layout)
    : grid_(grid),
      heading_(std::move(heading)),
      layout_(layout),
      font_(UnitFont(grid.font(), 8, QFont::Normal)),
      bold_font_(UnitFont(grid.font(), 8, QFont::Bold)),
      title_font_(UnitFont(grid.font(), 12, QFont::Bold)),
      footer_font_(UnitFont(grid.font(), 7, QFont::Normal)) {
  metrics_.emplace(font_);
  bold_metrics_.emplace(bold_font_);
  LayOut();
}

void GridPrintDocument::SetPageLayout(const QPageLayout& layout) {
  layout_ = layout;
  LayOut();
}

void GridPrintDocument::LayOut() {
  const QSizeF size = PrintableSizeInUnits(layout_);
  width_ = size.width();
  height_ = size.height();
  row_height_ = metrics_->height() * 1.5;
  title_height_ = QFontMetricsF(title_font_).height() * 1.6;
  heading_line_height_ = HeadingLine().isEmpty() ? 0.0 : QFontMetricsF(footer_font_).height() * 1.6;
  footer_height_ = QFontMetricsF(footer_font_).height() * 1.5;
  LayOutColumns();

  // Every data row has the same height, so each page holds the same number of rows;
  // a paper too small for even one still prints one row a page.
  const double body = height_ - title_height_ - heading_line_height_ - grid_.FixedRows() * row_height_ - footer_height_;
  rows_per_page_ = std::max(1, static_cast<int>(std::floor(body / row_height_)));
  const int data_rows = std::max(grid_.Rows() - grid_.FixedRows(), 0);
  pages_ = std::max(1, (data_rows + rows_per_page_ - 1) / rows_per_page_);
}

QString GridPrintDocument::HeadingLine() const {
  QStringList parts;
  if (!heading_.scope.isEmpty()) parts << QStringLiteral("范围：") + heading_.scope;
  if (heading_.printed.isValid()) {
    const QDate d = heading_.printed.date();
    parts << QStringLiteral("打印日期：") + PeriodText(d, d);
  }
  return parts.join(QStringLiteral("　　"));
}

double GridPrintDocument::TextWidth(int row, int col) const {
  const QString text = grid_.CellText(row, col);
  if (text.isEmpty()) return 0;
  return (grid_.CellFontBold(row, col) ? *bold_metrics_ : *metrics_).horizontalAdvance(text);
}

bool GridPrintDocument::IsCut(int row, int col) const {
  const auto it = std::find(cols_.begin(), cols_.end(), col);
  if (it == cols_.end()) return false;
  const auto i = static_cast<std::size_t>(it - cols_.begin());
  const double room = x_[i + 1] - x_[i] - 2 * kCellPadding;
  const QString text = grid_.CellText(row, col);
  return PrintedCellText(grid_.CellFontBold(row, col) ? *bold_metrics_ : *metrics_, text, room) != text;
}

void GridPrintDocument::LayOutColumns() {
  cols_.clear();
  x_.clear();
  std::vector<double> shares;
  for (int c = 1; c < grid_.Cols(); ++c)
    if (grid_.ColumnWidth(c) > 0) {
      cols_.push_back(c);
      shares.push_back(grid_.ColumnWidth(c));
    }
  // What each column needs: its caption in the last header row and its widest text over
  // the measured rows, with the cell's padding.
  std::vector<double> needs(cols_.size(), 0.0);
  const auto measure = [&](int row) {
    for (std::size_t i = 0; i < cols_.size(); ++i) needs[i] = std::max(needs[i], TextWidth(row, cols_[i]));
  };
  const int fixed = std::min(grid_.FixedRows(), grid_.Rows());
  if (fixed > 0) {
    const int caption_row = fixed - 1;
    for (std::size_t i = 0; i < cols_.size(); ++i) {
      const CellRange* merge = grid_.Store().MergeAt(caption_row, cols_[i]);
      if (!merge || merge->col1 == merge->col2)
        needs[i] = std::max(needs[i], bold_metrics_->horizontalAdvance(grid_.CellText(caption_row, cols_[i])));
    }
  }
  const int first = fixed, rows = std::max(grid_.Rows() - fixed, 0);
  if (rows <= kMeasuredRows) {
    for (int r = first; r < first + rows; ++r) measure(r);
  } else {
    const int run = kMeasuredRows / kMeasuredRuns;
    for (int k = 0; k < kMeasuredRuns; ++k) {
      const int start = first + static_cast<int>(static_cast<std::int64_t>(rows - run) * k / (kMeasuredRuns - 1));
      for (int r = start; r < start + run; ++r) measure(r);
    }
    // The totals row, last, carries the largest figures.
    for (int r = std::max(first, grid_.Rows() - grid_.FrozenBottomRows()); r < grid_.Rows(); ++r) measure(r);
  }
  for (double& need : needs)
    if (need > 0) need += 2 * kCellPadding + PageUnitsFromPoints(1);
  const std::vector<double> widths = FitColumnWidths(needs, shares, width_);
  double x = 0;
  for (double w : widths) {
    x_.push_back(x);
    x += w;
  }
  x_.push_back(x);
}

void GridPrintDocument::DrawCell(QPainter& p, const QRectF& rect, const QString& text, Qt::Alignment align,
                                 const QColor& fore, QFont::Weight weight, const QColor& back) const {
  if (back.isValid()) p.fillRect(rect, back);
  p.setPen(kCellLineColor);
  p.drawRect(rect);
  if (text.isEmpty()) return;
  const bool bold = weight == QFont::Bold;
  p.setFont(bold ? bold_font_ : font_);
  p.setPen(fore.isValid() ? fore : QColor(Qt::black));
  // The text stays inside its own column, cut short with "…" as on screen.
  const QRectF inner = rect.adjusted(kCellPadding, 0, -kCellPadding, 0);
  p.save();
  p.setClipRect(inner, Qt::IntersectClip);
  p.drawText(inner, static_cast<int>(align | Qt::TextSingleLine),
             PrintedCellText(bold ? *bold_metrics_ : *metrics_, text, inner.width()));
  p.restore();
}

// The header rows at `top`; a merged caption spans the printed columns of its merge.
double GridPrintDocument::DrawHeader(QPainter& p, double top) const {
  const double h = row_height_;
  const int fixed = std::min(grid_.FixedRows(), grid_.Rows());
  for (int r = 0; r < fixed; ++r) {
    for (std::size_t i = 0; i < cols_.size(); ++i) {
      const int c = cols_[i];
      const auto merge = std::find_if(grid_.Merges().begin(), grid_.Merges().end(),
                                      [&](const CellRange& m) { return m.Contains(r, c); });
      std::size_t last = i;
      int row1 = r, row2 = r, text_col = c;
      if (merge != grid_.Merges().end()) {
        const bool drawn_above = merge->row1 != r;
        const bool drawn_left = i > 0 && merge->Contains(r, cols_[i - 1]);
        if (drawn_above || drawn_left) continue;
        while (last + 1 < cols_.size() && merge->Contains(r, cols_[last + 1])) ++last;
        row1 = merge->row1, row2 = merge->row2, text_col = merge->col1;
      }
      const QRectF rect(x_[i], top + row1 * h, x_[last + 1] - x_[i], (row2 - row1 + 1) * h);
      DrawCell(p, rect, grid_.CellText(row1, text_col), Qt::AlignCenter, QColor(), QFont::Bold, kHeaderBackColor);
    }
  }
  return top + grid_.FixedRows() * h;
}

void GridPrintDocument::PaintPage(QPainter& p, int index) const {
  if (index < 0 || index >= pages_) return;
  p.setFont(title_font_);
  p.setPen(Qt::black);
  p.drawText(QRectF(0, 0, width_, title_height_), Qt::AlignCenter, heading_.title);
  if (heading_line_height_ > 0) {
    p.setFont(footer_font_);
    p.drawText(QRectF(0, title_height_, width_, heading_line_height_), Qt::AlignLeft | Qt::AlignVCenter, HeadingLine());
  }

  double top = DrawHeader(p, title_height_ + heading_line_height_);
  // The grid may have lost rows since the layout (a refill behind the preview): paint
  // what is still there.
  const int first = grid_.FixedRows() + index * rows_per_page_;
  const int end = std::min(first + rows_per_page_, grid_.Rows());
  for (int r = first; r < end; ++r) {
    for (std::size_t i = 0; i < cols_.size(); ++i) {
      const int c = cols_[i];
      if (c >= grid_.Cols()) continue;
      const QRectF rect(x_[i], top, x_[i + 1] - x_[i], row_height_);
      DrawCell(p, rect, grid_.CellText(r, c), grid_.CellAlignment(r, c), grid_.CellForeColor(r, c),
               grid_.CellFontBold(r, c) ? QFont::Bold : QFont::Normal, QColor());
    }
    top += row_height_;
  }

  p.setFont(footer_font_);
  p.setPen(Qt::black);
  p.drawText(QRectF(0, height_ - footer_height_, width_, footer_height_), Qt::AlignCenter | Qt::AlignBottom,
             QStringLiteral("第 %1 页，共 %2 页").arg(index + 1).arg(pages_));
}

int RenderGridPages(const Grid& grid, const ListHeading& heading, QPagedPaintDevice& device) {
  GridPrintDocument document(grid, heading, device.pageLayout());
  return PrintPages(document, device, AllPages(document)) == PrintOutcome::Printed ? document.PageCount() : 0;
}

void PrintGrid(const Grid& grid, const ListHeading& heading, Prompter& prompter, QWidget* parent) {
  GridPrintDocument document(grid, heading);
  // The layout read rows to fit the columns: a failed read stops the print, never a
  // preview of blank rows.
  if (const RowSource* source = grid.Source(); source && source->ReadFailure()) {
    source->TakeFailureToTell();  // this message tells it
    LogDbFailure(QStringLiteral("data.db"), *source->ReadFailure());
    prompter.ShowMessage(kNotPrintedText + ReadFailureReason(*source->ReadFailure()), MessageKind::Stop);
    return;
  }
  ShowPrintPreview(document, QStringLiteral("打印预览 - ") + heading.title, prompter, parent);
}

}  // namespace hemulu
