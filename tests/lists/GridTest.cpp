#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QImage>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include "lists/ColumnShares.h"
#include "lists/Grid.h"
#include "lists/GridPrinter.h"

using namespace hemulu;

namespace {

// Records the model tester's complaints instead of letting them scroll by.
struct ModelTesterWarnings {
  ModelTesterWarnings() {
    messages().clear();
    previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& ctx, const QString& msg) {
      if (type != QtDebugMsg && ctx.category && QByteArray(ctx.category) == "qt.modeltest") messages().push_back(msg);
    });
  }
  ~ModelTesterWarnings() { qInstallMessageHandler(previous); }
  static std::vector<QString>& messages() {
    static std::vector<QString> m;
    return m;
  }
  QtMessageHandler previous;
};

// Two header rows over five columns (column 0 is the row header).
void LayOut(Grid& grid) {
  grid.SetCols(5);
  grid.SetFixedRows(2);
  grid.SetRows(2);
  grid.SetRangeMerge(0, 1, 0, 2);
  grid.SetCellText(0, 1, "甲组");
  grid.SetCellText(1, 1, "名称");
  grid.SetCellText(1, 2, "数量");
  grid.SetCellText(1, 3, "日期");
  grid.SetCellText(1, 4, "备注");
}

std::vector<QString> Column(const Grid& grid, int col) {
  std::vector<QString> out;
  for (int r = grid.FixedRows(); r < grid.Rows(); ++r) out.push_back(grid.CellText(r, col));
  return out;
}

QPoint CellCentre(QTableView* view, int model_row, int col) {
  return view->visualRect(view->model()->index(model_row, col)).center();
}

}  // namespace

namespace {
// A list of 17 columns under two header rows, the ID column merged over both.
void LayOutTwoHeaderRows(hemulu::Grid& grid) {
  grid.BeginUpdate();
  grid.SetCols(17);
  grid.SetFixedRows(2);
  grid.SetRows(2);
  grid.SetExtendLastCol(true);
  grid.SetRowHeight(0, 26);
  grid.SetRowHeight(1, 23);
  grid.SetRangeMerge(0, 1, 1, 1);
  grid.SetColumnLockedHidden(1, true);
  grid.SetRangeMerge(0, 2, 0, 5);
  grid.SetCellText(0, 2, QStringLiteral("商品信息"));
  for (int c = 2; c < 17; ++c) grid.SetCellText(1, c, QStringLiteral("列%1").arg(c));
  grid.EndUpdate();
}
}  // namespace

TEST(Grid, WinColoursAreBlueGreenRed) {
  EXPECT_EQ(ColorFromWin(255), QColor(255, 0, 0));
  EXPECT_EQ(ColorFromWin(65535), QColor(255, 255, 0));
  EXPECT_EQ(ColorFromWin(57472), QColor(128, 224, 0));
  EXPECT_EQ(ColorFromWin(0x12345678), QColor(0x78, 0x56, 0x34));  // the top byte is not a colour
  EXPECT_EQ(WinFromColor(QColor(128, 224, 0)), 57472);
}

TEST(Grid, NumbersRowsAndColumnsLikeTheListPages) {
  Grid grid(nullptr, "库管表格");
  EXPECT_EQ(grid.objectName(), "库管表格");
  LayOut(grid);
  EXPECT_EQ(grid.Rows(), 2);
  grid.AddItem("可乐\t10\t2026年1月2日\t甲\textra field");
  grid.AddItem("雪碧");  // missing fields stay empty
  EXPECT_EQ(grid.Rows(), 4);
  EXPECT_EQ(grid.CellText(2, 0), "");
  EXPECT_EQ(grid.CellText(2, 1), "可乐");
  EXPECT_EQ(grid.CellText(2, 4), "甲");  // fields beyond the last column are dropped
  EXPECT_EQ(grid.CellText(3, 1), "雪碧");
  EXPECT_EQ(grid.CellText(3, 2), "");
  EXPECT_EQ(grid.CellText(1, 2), "数量");
  EXPECT_EQ(grid.CellText(9, 1), "");  // outside the grid

  grid.SetCellText(2, 2, "11");
  grid.SetCellText(2, 0, "*");
  EXPECT_EQ(grid.CellText(2, 0), "*");
  EXPECT_EQ(grid.CellText(2, 1), "可乐");
  EXPECT_EQ(grid.CellText(2, 2), "11");
  EXPECT_EQ(grid.CellText(2, 3), "2026年1月2日");

  grid.RemoveItem(1);  // a header row is never removed
  EXPECT_EQ(grid.Rows(), 4);
  grid.RemoveItem(2);
  EXPECT_EQ(grid.Rows(), 3);
  EXPECT_EQ(grid.CellText(2, 1), "雪碧");

  grid.SetRows(6);  // appended rows are empty
  EXPECT_EQ(grid.Rows(), 6);
  EXPECT_EQ(grid.CellText(5, 1), "");
  grid.SetRows(grid.FixedRows());
  EXPECT_EQ(grid.Rows(), 2);
  EXPECT_EQ(grid.CellText(0, 1), "甲组");
}

TEST(Grid, FixedRowsTakeTheirRowsFromTheTop) {
  Grid grid;
  grid.SetCols(3);
  grid.SetFixedRows(0);
  grid.SetRows(0);
  grid.AddItem("a\tb");
  grid.AddItem("c\td");
  grid.SetFixedRows(1);
  EXPECT_EQ(grid.Rows(), 2);
  EXPECT_EQ(grid.CellText(0, 1), "a");
  EXPECT_EQ(grid.CellText(1, 2), "d");
  grid.SetFixedRows(0);
  EXPECT_EQ(grid.Rows(), 2);
  EXPECT_EQ(grid.CellText(0, 2), "b");
}

TEST(Grid, SortsNumbersDatesAndPinyinKeepingTheTotalsRowLast) {
  Grid grid;
  LayOut(grid);
  grid.AddItem("中\t9\t2026年1月2日\t乙");
  grid.AddItem("阿\t10\t2025年12月31日\t");
  grid.AddItem("北\t-1.5\t2026年1月2日3时\t甲");
  grid.AddItem("\t100\t2026年1月10日\t丙");
  grid.AddItem("合计：\t0\t\t");  // the totals row
  grid.SetFrozenBottomRows(1);

  grid.SortColumn(2);
  EXPECT_EQ(Column(grid, 2), (std::vector<QString>{"-1.5", "9", "10", "100", "0"}));
  EXPECT_EQ(grid.SortIndicatorColumn(), 2);

  grid.SortColumn(3);
  EXPECT_EQ(Column(grid, 3),
            (std::vector<QString>{"2025年12月31日", "2026年1月2日", "2026年1月2日3时", "2026年1月10日", ""}));

  grid.SortColumn(1);  // pinyin: a, bei, zhong; the empty name first
  EXPECT_EQ(Column(grid, 1), (std::vector<QString>{"", "阿", "北", "中", "合计："}));

  // Equal keys keep their order; empty cells come first in a numeric column.
  grid.SetCellText(2, 2, "");
  grid.SetCellText(3, 2, "5");
  grid.SetCellText(4, 2, "5");
  grid.SortColumn(2);
  EXPECT_EQ(Column(grid, 1), (std::vector<QString>{"", "阿", "北", "中", "合计："}));
  EXPECT_EQ(grid.CellText(grid.Rows() - 1, 1), "合计：");
}

TEST(Grid, DeclaredKindsDecideTheSort) {
  Grid grid;
  LayOut(grid);
  for (const char* code : {"20", "100", "3"}) grid.AddItem(QString("x\t%1").arg(code));
  grid.SetColumnKind(2, CellKind::Text);  // codes that look like numbers sort as text
  grid.SortColumn(2);
  EXPECT_EQ(Column(grid, 2), (std::vector<QString>{"100", "20", "3"}));
  grid.SetColumnKind(2, CellKind::Auto);
  grid.SetColumnMask(2, ColumnMask::Value, 1);
  EXPECT_EQ(grid.ColumnKind(2), CellKind::Number);
  grid.SortColumn(2);
  EXPECT_EQ(Column(grid, 2), (std::vector<QString>{"3", "20", "100"}));
}

TEST(Grid, RangesStyleCellsAndInsideBorders) {
  Grid grid;
  LayOut(grid);
  for (int i = 0; i < 3; ++i) grid.AddItem("a\tb\tc\td");
  grid.SetRangeForeColor(2, 1, 2, 4, 255);
  grid.SetRangeBackColor(3, 4, 3, 1, 65535);  // corners in either order
  grid.SetRangeFontBold(4, 2, 4, 3, true);
  grid.SetRangeBorders(2, 2, 4, 4, kInsideVertical);
  EXPECT_EQ(grid.CellForeColor(2, 3), QColor(255, 0, 0));
  EXPECT_FALSE(grid.CellForeColor(3, 3).isValid());
  EXPECT_EQ(grid.DisplayedBackColor(3, 2), QColor(255, 255, 0));
  EXPECT_TRUE(grid.CellFontBold(4, 3));
  EXPECT_FALSE(grid.CellFontBold(4, 4));
  EXPECT_EQ(grid.CellBorders(3, 2), kBorderRight);
  EXPECT_EQ(grid.CellBorders(3, 4), 0);  // the range's outer edge is not an inside line
  grid.SetRangeBorders(2, 2, 4, 4, kInsideHorizontal);
  EXPECT_EQ(grid.CellBorders(2, 4), kBorderBottom);
  EXPECT_EQ(grid.CellBorders(4, 2), kBorderRight);

  grid.SetBackColor1(0xEEEEEE);
  grid.SetBackColor2(0xDDDDDD);
  EXPECT_EQ(grid.DisplayedBackColor(2, 1), QColor(0xEE, 0xEE, 0xEE));
  EXPECT_EQ(grid.DisplayedBackColor(4, 1), QColor(0xEE, 0xEE, 0xEE));
  EXPECT_EQ(grid.DisplayedBackColor(0, 1), grid.FixedBackColor());
  EXPECT_EQ(grid.CellAlignment(1, 2), Qt::AlignCenter);  // captions centre
  grid.SetColumnAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
  EXPECT_EQ(grid.CellAlignment(2, 2), Qt::AlignRight | Qt::AlignVCenter);
}

TEST(Grid, LockedHiddenColumnCannotBeDraggedOpen) {
  Grid grid;
  LayOutTwoHeaderRows(grid);
  grid.resize(1400, 400);
  for (int c = 0; c < grid.Cols(); ++c) grid.SetColumnWidth(c, 60);
  grid.SetColumnLockedHidden(7, true);
  grid.SetColumnWidth(7, 90);  // a later width keeps a locked column closed
  grid.show();
  EXPECT_EQ(grid.ColumnWidth(7), 0);

  QHeaderView* header = grid.Header();
  QWidget* vp = header->viewport();
  const int edge = header->sectionViewportPosition(6) + header->sectionSize(6) - 1;  // where 7 would start
  const int y = 30;                                                                  // in the caption row
  QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(edge, y));
  QTest::mouseMove(vp, QPoint(edge + 40, y));
  QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(edge + 40, y));
  EXPECT_EQ(grid.ColumnWidth(7), 0);
  EXPECT_EQ(grid.ColumnWidth(6), 100);                // the drag itself worked, on the column left of the edge
  EXPECT_EQ(grid.FooterView()->columnWidth(6), 100);  // the totals row follows

  // The header's own resize path refuses too.
  header->resizeSection(7, 80);
  EXPECT_EQ(grid.ColumnWidth(7), 0);
  EXPECT_TRUE(header->isSectionHidden(7));

  grid.SetColumnLockedHidden(7, false);
  EXPECT_EQ(grid.ColumnWidth(7), 90);
}

TEST(Grid, ModelsPassTheModelTester) {
  ModelTesterWarnings warnings;
  Grid grid;
  LayOutTwoHeaderRows(grid);
  QAbstractItemModelTester body(grid.BodyView()->model(), QAbstractItemModelTester::FailureReportingMode::Warning);
  QAbstractItemModelTester footer(grid.FooterView()->model(), QAbstractItemModelTester::FailureReportingMode::Warning);
  grid.BeginUpdate();
  grid.SetRows(2);
  for (int i = 0; i < 30; ++i) grid.AddItem(QString("%1\t商品%2\t\t\t\t%3").arg(i).arg(i).arg(30 - i));
  grid.SortColumn(6);
  grid.AddItem("");
  grid.SetFrozenBottomRows(1);
  grid.SetRangeBackColor(grid.Rows() - 1, 2, grid.Rows() - 1, 16, 33023);
  grid.EndUpdate();
  grid.SetCellText(5, 3, "型号");
  grid.RemoveItem(4);
  grid.AddItem("99\t外加");
  grid.SortColumn(2);
  grid.SetCols(18);
  grid.SetRows(2);
  EXPECT_EQ(grid.BodyView()->model()->rowCount(), 0);
  EXPECT_TRUE(warnings.messages().empty()) << warnings.messages().front().toStdString();
}

TEST(Grid, FrozenRowsLiveInTheFooter) {
  Grid grid;
  LayOut(grid);
  for (int i = 0; i < 50; ++i) grid.AddItem(QString("行%1").arg(i));
  grid.AddItem("合计：");
  grid.SetFrozenBottomRows(1);
  QAbstractItemModel* body = grid.BodyView()->model();
  QAbstractItemModel* footer = grid.FooterView()->model();
  EXPECT_EQ(body->rowCount(), 50);
  ASSERT_EQ(footer->rowCount(), 1);
  EXPECT_EQ(footer->index(0, 1).data().toString(), "合计：");
  EXPECT_FALSE(grid.FooterView()->isHidden());
  grid.SetFrozenBottomRows(0);
  EXPECT_EQ(body->rowCount(), 51);
  EXPECT_TRUE(grid.FooterView()->isHidden());
}

TEST(Grid, MouseEventsCarryGridRowsAndColumns) {
  Grid grid;
  LayOut(grid);
  for (int c = 0; c < grid.Cols(); ++c) grid.SetColumnWidth(c, 80);
  for (int i = 0; i < 5; ++i) grid.AddItem(QString("行%1\t%1").arg(i));
  grid.AddItem("合计：");
  grid.SetFrozenBottomRows(1);
  grid.resize(600, 400);
  grid.show();
  QSignalSpy double_clicks(&grid, &Grid::DoubleClicked);
  QSignalSpy releases(&grid, &Grid::MouseReleased);

  QTableView* body = grid.BodyView();
  QTest::mouseDClick(body->viewport(), Qt::LeftButton, {}, CellCentre(body, 2, 3));
  ASSERT_EQ(double_clicks.count(), 1);
  EXPECT_EQ(double_clicks[0][0].value<Qt::MouseButton>(), Qt::LeftButton);
  EXPECT_EQ(double_clicks[0][1].toInt(), 4);  // model row 2 below two header rows
  EXPECT_EQ(double_clicks[0][2].toInt(), 3);
  EXPECT_EQ(grid.MouseRow(), 4);
  EXPECT_EQ(grid.SelectionFirstRow(), 4);
  EXPECT_EQ(grid.HitTest(body->viewport()->mapTo(&grid, CellCentre(body, 2, 3))), std::make_pair(4, 3));
  EXPECT_EQ(grid.HitTest(grid.FooterView()->viewport()->mapTo(&grid, CellCentre(grid.FooterView(), 0, 1))),
            std::make_pair(7, 1));
  EXPECT_EQ(
      grid.HitTest(grid.Header()->viewport()->mapTo(&grid, QPoint(grid.Header()->sectionViewportPosition(4) + 5, 3))),
      std::make_pair(0, 4));

  releases.clear();
  QTableView* footer = grid.FooterView();
  QTest::mouseClick(footer->viewport(), Qt::RightButton, {}, CellCentre(footer, 0, 2));
  ASSERT_EQ(releases.count(), 1);
  EXPECT_EQ(releases[0][0].value<Qt::MouseButton>(), Qt::RightButton);
  EXPECT_EQ(releases[0][1].toInt(), 7);  // the totals row
  EXPECT_EQ(grid.MouseCol(), 2);

  releases.clear();
  QHeaderView* header = grid.Header();
  QTest::mouseClick(header->viewport(), Qt::RightButton, {},
                    QPoint(header->sectionViewportPosition(2) + 10, grid.RowHeight(0) + 3));
  ASSERT_EQ(releases.count(), 1);
  EXPECT_EQ(releases[0][1].toInt(), 1);  // the caption row
  EXPECT_EQ(releases[0][2].toInt(), 2);
}

TEST(Grid, ClickOnACaptionSortsButNotOnAGroupCaption) {
  Grid grid;
  LayOut(grid);
  for (int c = 0; c < grid.Cols(); ++c) grid.SetColumnWidth(c, 80);
  for (const char* n : {"9", "10", "2"}) grid.AddItem(QString("x\t%1").arg(n));
  grid.resize(600, 300);
  grid.show();
  QHeaderView* header = grid.Header();
  const int x = header->sectionViewportPosition(2) + 20;
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, 3));  // the merged group caption
  EXPECT_EQ(Column(grid, 2), (std::vector<QString>{"9", "10", "2"}));
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, grid.RowHeight(0) + 3));
  EXPECT_EQ(Column(grid, 2), (std::vector<QString>{"2", "9", "10"}));
  grid.SetUserSort(false);
  grid.SetCellText(2, 2, "50");
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, grid.RowHeight(0) + 3));
  EXPECT_EQ(grid.CellText(2, 2), "50");
}

TEST(Grid, SelectionIsOneRowAcrossBodyAndFooterWithTheMarker) {
  Grid grid;
  LayOut(grid);
  for (int c = 0; c < grid.Cols(); ++c) grid.SetColumnWidth(c, 80);
  for (int i = 0; i < 4; ++i) grid.AddItem(QString("行%1").arg(i));
  grid.AddItem("合计：");
  grid.SetFrozenBottomRows(1);
  grid.resize(600, 400);
  grid.show();
  EXPECT_EQ(grid.SelectionFirstRow(), -1);
  grid.SelectRow(3);
  EXPECT_EQ(grid.SelectionFirstRow(), 3);
  grid.SelectRow(6);
  EXPECT_EQ(grid.SelectionFirstRow(), 6);
  EXPECT_FALSE(grid.BodyView()->selectionModel()->hasSelection());
  grid.SelectRow(1);
  EXPECT_EQ(grid.SelectionFirstRow(), -1);

  const QPixmap marker = Grid::CurrentRowMarker();
  EXPECT_EQ(marker.deviceIndependentSize().toSize(), QSize(16, 16));

  // The marker is painted in column 0 of the selected row only.
  grid.SelectRow(3);
  QTableView* body = grid.BodyView();
  const QImage image = body->viewport()->grab().toImage();
  const qreal ratio = image.devicePixelRatio();
  auto pixel = [&](QPoint p) { return QColor(image.pixel((p * ratio))); };
  const QPoint marked = CellCentre(body, 1, 0), plain = CellCentre(body, 2, 0);
  EXPECT_EQ(pixel(plain), grid.FixedBackColor());
  EXPECT_NE(pixel(marked), grid.FixedBackColor());
  EXPECT_GT(pixel(marked).blue(), pixel(marked).red());

  QSignalSpy activated(&grid, &Grid::RowActivated);
  body->setFocus();
  QTest::keyClick(body, Qt::Key_Return);
  ASSERT_EQ(activated.count(), 1);
  EXPECT_EQ(activated[0][0].toInt(), 3);
}

TEST(Grid, ADraggedColumnKeepsItsWidthForTheSessionAndACutCellShowsItsWholeText) {
  QWidget host;
  host.resize(1000, 400);
  auto* grid = new Grid(&host);
  grid->resize(1000, 400);
  LayOutTwoHeaderRows(*grid);
  ColumnShares shares(*grid, host, 20, std::vector<double>(17, 0.05));
  host.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
  ASSERT_EQ(grid->ColumnWidth(6), 50);

  // The user drags the right edge of column 6 by 40 pixels.
  QWidget* vp = grid->Header()->viewport();
  const int edge = grid->Header()->sectionViewportPosition(6) + grid->Header()->sectionSize(6) - 1;
  QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(edge, 30));
  QTest::mouseMove(vp, QPoint(edge + 40, 30));
  QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(edge + 40, 30));
  EXPECT_EQ(grid->ColumnWidth(6), 90);
  EXPECT_EQ(grid->UserColumnWidth(6), 90);
  EXPECT_EQ(grid->UserColumnWidth(5), 0);

  // A wider window re-applies the shares to the other columns only; so do a refill and
  // hiding and showing the column again.
  host.resize(1200, 400);
  EXPECT_EQ(grid->ColumnWidth(5), 60);
  EXPECT_EQ(grid->ColumnWidth(6), 90);
  grid->SetRows(2);
  grid->AddItem(QStringLiteral("1\t\t%1\t短").arg(QString("2026年10月5日14时30分15秒").repeated(3)));
  grid->AddItem("");
  shares.Apply();
  EXPECT_EQ(grid->ColumnWidth(6), 90);
  shares.SetShare(6, 0);
  EXPECT_EQ(grid->ColumnWidth(6), 0);
  shares.SetShare(6, 0.05);
  EXPECT_EQ(grid->ColumnWidth(6), 90);
  // Another layout of the grid with other captions starts from the shares.
  grid->SetCellText(1, 6, QStringLiteral("别的列"));
  shares.Apply();
  EXPECT_EQ(grid->ColumnWidth(6), 60);

  // The tooltip: the whole text of a cut cell only.
  QAbstractItemModel* model = grid->BodyView()->model();
  EXPECT_EQ(model->data(model->index(0, 3), Qt::ToolTipRole).toString(), grid->CellText(2, 3));
  EXPECT_FALSE(model->data(model->index(0, 4), Qt::ToolTipRole).isValid());
  EXPECT_FALSE(model->data(model->index(0, 2), Qt::ToolTipRole).isValid());  // empty
}

TEST(GridPrinting, ColumnsGetWhatTheyNeedAndTheWidestGiveWayFirst) {
  // Room to spare: every column its need, the rest by the shares.
  const std::vector<double> fits = FitColumnWidths({100, 50, 30}, {1, 1, 2}, 380);
  EXPECT_DOUBLE_EQ(fits[0], 150);
  EXPECT_DOUBLE_EQ(fits[1], 100);
  EXPECT_DOUBLE_EQ(fits[2], 130);
  // Too little: the narrow ones stay whole, the two widest share what is left alike.
  const std::vector<double> cut = FitColumnWidths({400, 50, 30, 300}, {1, 1, 1, 1}, 380);
  EXPECT_DOUBLE_EQ(cut[1], 50);
  EXPECT_DOUBLE_EQ(cut[2], 30);
  EXPECT_DOUBLE_EQ(cut[0], 150);
  EXPECT_DOUBLE_EQ(cut[3], 150);
  // Even the narrowest cannot fit: all alike.
  const std::vector<double> tight = FitColumnWidths({100, 100}, {1, 3}, 50);
  EXPECT_DOUBLE_EQ(tight[0], 25);
  EXPECT_DOUBLE_EQ(tight[1], 25);
}
