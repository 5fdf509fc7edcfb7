// The store's rows keep their own styles through everything that moves them: sorts,
// column changes, rows turning into header rows and back, and a refill.
#include <gtest/gtest.h>

#include <QStringList>

#include "lists/GridStore.h"

using namespace hemulu;

namespace {

constexpr int kRed = 255, kBlue = 0xFF0000;

// Four data rows under one header row; column 1 holds a count, column 2 a name.
GridStore FourRows() {
  GridStore store;
  store.SetCols(4);
  store.SetFixedRows(1);
  store.SetRows(1);
  for (const char* row : {"3\t丙", "1\t甲", "4\t丁", "2\t乙"}) store.AddRow(QString::fromUtf8(row));
  return store;
}

std::uint32_t Fore(const GridStore& store, int row, int col) {
  const CellStyle& s = store.Style(row, col);
  return (s.flags & CellStyle::kHasFore) ? s.fore : 0;
}

}  // namespace

TEST(GridStore, RowStylesFollowTheirRowsThroughSortsColumnsAndHeaderRows) {
  GridStore store = FourRows();
  store.SetRangeForeColor(CellRange{3, 1, 3, 2}, kRed);   // 丁
  store.SetRangeForeColor(CellRange{1, 2, 1, 2}, kBlue);  // 丙, its name only
  store.SetRangeFontBold(CellRange{0, 1, 0, 3}, true);    // the header row
  store.SetRangeBorders(CellRange{1, 1, 4, 3}, kInsideVertical);

  store.SortByColumn(1, CellKind::Number);
  ASSERT_EQ(store.Text(1, 2), "甲");
  ASSERT_EQ(store.Text(3, 2), "丙");
  ASSERT_EQ(store.Text(4, 2), "丁");
  EXPECT_EQ(Fore(store, 4, 1), RgbFromWin(kRed));
  EXPECT_EQ(Fore(store, 4, 2), RgbFromWin(kRed));
  EXPECT_EQ(Fore(store, 3, 1), 0u);
  EXPECT_EQ(Fore(store, 3, 2), RgbFromWin(kBlue));
  EXPECT_EQ(Fore(store, 1, 2), 0u);
  for (int r = 1; r <= 4; ++r) {
    EXPECT_TRUE(store.Style(r, 1).borders & kBorderRight) << r;
    EXPECT_FALSE(store.Style(r, 3).borders & kBorderRight) << r;  // the range's last column
  }
  EXPECT_TRUE(store.Style(0, 2).flags & CellStyle::kBold);
  EXPECT_FALSE(store.Style(1, 2).flags & CellStyle::kBold);

  // Rows that look alike share a look; a row given another's look takes its styles.
  EXPECT_EQ(store.RowLook(1), store.RowLook(2));
  EXPECT_NE(store.RowLook(1), store.RowLook(4));
  store.SetRowLook(1, store.RowLook(4));
  EXPECT_EQ(Fore(store, 1, 1), RgbFromWin(kRed));
  store.SetRowLook(1, 100000);  // no such look: nothing changes
  EXPECT_EQ(Fore(store, 1, 1), RgbFromWin(kRed));

  // More columns: the old cells keep their styles and texts, the new ones are plain.
  store.SetCols(6);
  EXPECT_EQ(Fore(store, 4, 2), RgbFromWin(kRed));
  EXPECT_EQ(store.Text(4, 2), "丁");
  EXPECT_EQ(store.Style(4, 5), CellStyle{});
  store.SetRangeBackColor(CellRange{2, 5, 2, 5}, kBlue);
  EXPECT_EQ(store.Style(2, 5).back, RgbFromWin(kBlue));
  EXPECT_FALSE(store.Style(3, 5).flags & CellStyle::kHasBack);
  // Fewer columns drop the styles of the columns that go.
  store.SetCols(3);
  EXPECT_EQ(Fore(store, 3, 2), RgbFromWin(kBlue));
  EXPECT_EQ(store.Text(3, 2), "丙");

  // The first data row becomes a header row with its styles, and back.
  store.SetFixedRows(2);
  EXPECT_EQ(Fore(store, 1, 1), RgbFromWin(kRed));
  EXPECT_EQ(store.Text(1, 2), "甲");
  EXPECT_EQ(store.Text(2, 2), "乙");
  store.SetRangeFontBold(CellRange{1, 2, 1, 2}, true);
  store.SetFixedRows(1);
  EXPECT_EQ(Fore(store, 1, 1), RgbFromWin(kRed));
  EXPECT_TRUE(store.Style(1, 2).flags & CellStyle::kBold);
  EXPECT_EQ(store.Text(1, 2), "甲");
  EXPECT_TRUE(store.Style(0, 2).flags & CellStyle::kBold);

  // A refill starts from plain rows, and a changed text keeps its row's styles.
  store.SetRows(1);
  store.AddRow(QStringLiteral("9\t戊"));
  EXPECT_EQ(store.Style(1, 1), CellStyle{});
  EXPECT_EQ(store.RowLook(1), 0u);
  store.SetRangeForeColor(CellRange{1, 1, 1, 2}, kRed);
  store.SetText(1, 2, QStringLiteral("己\t庚"));
  EXPECT_EQ(store.Text(1, 2), "己\t庚");
  EXPECT_EQ(store.Text(1, 1), "9");
  EXPECT_EQ(Fore(store, 1, 2), RgbFromWin(kRed));
}

TEST(GridStore, RowsWithTheirCellsCutAreReadAsCut) {
  GridStore store;
  store.SetCols(4);
  store.SetFixedRows(0);
  store.SetRows(0);
  const QString text = QStringLiteral("甲乙丙丁");
  const std::vector<CellSpan> cells = {{0, 1}, {1, 2}, {2, 50}, {9, 1}};  // the last two lie outside the text
  store.AddRow(text, cells);
  EXPECT_EQ(store.Text(0, 0), "");
  EXPECT_EQ(store.Text(0, 1), "甲");
  EXPECT_EQ(store.Text(0, 2), "乙丙");
  EXPECT_EQ(store.Text(0, 3), "");
  store.AddRow(text, cells, 0);
  EXPECT_EQ(store.Text(1, 0), "甲");
  EXPECT_EQ(store.Text(1, 1), "乙丙");
  // A long cell is no different from a short one.
  const QString long_text(70000, u'长');
  store.AddRow(long_text, std::vector<CellSpan>{{0, 70000}});
  EXPECT_EQ(store.TextView(2, 1).size(), 70000);
  EXPECT_EQ(store.Text(2, 2), "");
}

TEST(GridStore, SortByKeysOrdersAsTheTextSortDoes) {
  // Empty cells first, then values (equal ones in their order, 0 and -0 alike), then
  // texts that are not numbers.
  GridStore by_text, by_keys;
  const std::vector<std::pair<QString, SortKey>> cells = {
      {"5", {5, 1}}, {"", {0, 0}},        {"-0", {-0.0, 1}},   {"x", {0, 2}},
      {"0", {0, 1}}, {"-7.5", {-7.5, 1}}, {"5", {5, 1}},       {"1e300", {1e300, 1}},
      {"", {0, 0}},  {"inf", {0, 2}},     {"0.25", {0.25, 1}}, {"-1e-300", {-1e-300, 1}}};
  std::vector<SortKey> keys;
  for (GridStore* s : {&by_text, &by_keys}) {
    s->SetCols(3);
    s->SetFixedRows(0);
    s->SetRows(0);
    for (std::size_t i = 0; i < cells.size(); ++i) s->AddRow(cells[i].first + u'\t' + QString::number(i));
  }
  for (const auto& cell : cells) keys.push_back(cell.second);
  by_text.SortByColumn(1, CellKind::Number);
  by_keys.SortByKeys(keys);
  QStringList order;
  for (int r = 0; r < by_text.Rows(); ++r) {
    EXPECT_EQ(by_keys.Text(r, 2), by_text.Text(r, 2)) << r;
    order << by_text.Text(r, 2);
  }
  EXPECT_EQ(order.join(u','), "1,8,5,11,2,4,10,0,6,7,3,9");
  // Keys that do not match the rows are refused rather than misapplied.
  keys.pop_back();
  by_keys.SortByKeys(keys);
  EXPECT_EQ(by_keys.Text(0, 2), "1");
}
