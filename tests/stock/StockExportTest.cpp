#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QProgressDialog>
#include <QTimer>
#include <QXmlStreamReader>
#include <algorithm>

#include "TestSupport.h"
#include "lists/Grid.h"
#include "lists/GridExport.h"
#include "lists/GridKeyedFill.h"
#include "lists/WorkProgress.h"
#include "stock/StockList.h"

using namespace hemulu;

namespace {

// The stock page's own parts: the header rows and the row-header column.
constexpr GridExportParts kWholeGrid{.header_rows = true, .row_header_column = true};

QByteArray Unzip(const QString& file, const QString& member) {
  QProcess unzip;
  unzip.start("unzip", {"-p", file, member});
  if (!unzip.waitForFinished(30000)) return {};
  return unzip.readAllStandardOutput();
}

struct Sheet {
  struct Cell {
    bool is_text = false;
    QString value;  // the string, or the number as written
    int style = 0;  // the index into the workbook's cell formats
  };
  QMap<QString, Cell> cells;
  QStringList merges;
  QStringList hidden_cols;  // "min:max" of hidden column ranges
};

// Reads the cells of sheet1 with their shared strings resolved.
Sheet ReadSheet(const QString& file) {
  QStringList strings;
  QXmlStreamReader ss(Unzip(file, "xl/sharedStrings.xml"));
  QString current;
  while (!ss.atEnd()) {
    ss.readNext();
    if (ss.isStartElement() && ss.name() == u"si") current.clear();
    if (ss.isStartElement() && ss.name() == u"t") current += ss.readElementText();
    if (ss.isEndElement() && ss.name() == u"si") strings << current;
  }
  Sheet sheet;
  QXmlStreamReader xml(Unzip(file, "xl/worksheets/sheet1.xml"));
  QString ref;
  bool text = false;
  int style = 0;
  while (!xml.atEnd()) {
    xml.readNext();
    if (!xml.isStartElement()) continue;
    if (xml.name() == u"c") {
      ref = xml.attributes().value("r").toString();
      text = xml.attributes().value("t") == u"s";
      style = xml.attributes().value("s").toInt();
    } else if (xml.name() == u"t") {  // an inline string
      sheet.cells[ref] = {true, xml.readElementText(), style};
    } else if (xml.name() == u"v") {
      const QString v = xml.readElementText();
      sheet.cells[ref] = {text, text ? strings.value(v.toInt()) : v, style};
    } else if (xml.name() == u"mergeCell") {
      sheet.merges << xml.attributes().value("ref").toString();
    } else if (xml.name() == u"col" && xml.attributes().value("hidden") == u"1") {
      sheet.hidden_cols << xml.attributes().value("min").toString() + ":" + xml.attributes().value("max").toString();
    }
  }
  return sheet;
}

// The number format code of cell format `style` (from xl/styles.xml), empty for a built-in one.
QString NumberFormatOf(const QString& file, int style) {
  QMap<QString, QString> codes;
  QStringList xf_formats;
  bool in_cell_xfs = false;
  QXmlStreamReader xml(Unzip(file, "xl/styles.xml"));
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isEndElement() && xml.name() == u"cellXfs") in_cell_xfs = false;
    if (!xml.isStartElement()) continue;
    if (xml.name() == u"numFmt")
      codes[xml.attributes().value("numFmtId").toString()] = xml.attributes().value("formatCode").toString();
    if (xml.name() == u"cellXfs") in_cell_xfs = true;
    if (in_cell_xfs && xml.name() == u"xf") xf_formats << xml.attributes().value("numFmtId").toString();
  }
  return codes.value(xf_formats.value(style));
}

}  // namespace

TEST(ExcelExport, WritesHeaderMergesRowsInOrderAndNumbersAsNumbers) {
  test::TestApp app;
  test::GoodsRow a;
  a.name = "可口可乐";
  a.code = "007";
  a.stock = 3;
  test::GoodsRow b = a;
  b.name = "雪碧";
  b.stock = 1.5;
  const qint64 id_a = test::InsertGoods(app.ctx().db, a);
  test::InsertGoods(app.ctx().db, b);
  Grid grid;
  LayOutStockGrid(grid);
  for (int c = 0; c < grid.Cols(); ++c) grid.SetColumnWidth(c, 60);
  grid.SetColumnLockedHidden(1, false);  // the ID column, merely narrow: exported, hidden
  grid.SetColumnWidth(1, 0);
  grid.SetColumnLockedHidden(7, true);                                             // the purchase price: left out
  (void)FillGridKeyed(app.ctx(), grid, StockListPlan(AllGoodsQuery(), 2, false));  // sorted by stock

  const QString file = app.FilePath("my.xlsx");
  const auto written = ExportGridToExcel(grid, file, kWholeGrid);
  ASSERT_TRUE(written.has_value()) << written.error().toStdString();
  const Sheet sheet = ReadSheet(file);
  ASSERT_FALSE(sheet.cells.isEmpty()) << "is unzip installed?";

  // Column 7 is left out: grid columns 8..16 shift one to the left (H..P).
  EXPECT_EQ(sheet.merges, (QStringList{"B1:B2", "C1:F1", "G1:H1", "I1:K1", "L1:M1", "N1:P1"}));
  EXPECT_EQ(sheet.cells["C1"].value, "商品信息");
  EXPECT_EQ(sheet.cells["G1"].value, "进货信息");
  EXPECT_EQ(sheet.cells["C2"].value, "名称");
  EXPECT_EQ(sheet.cells["H2"].value, "金额");
  EXPECT_EQ(sheet.cells["N2"].value, "入库日期");
  EXPECT_EQ(sheet.hidden_cols, QStringList{"2:2"});

  // Rows in the grid's order: the lower stock first.
  EXPECT_EQ(sheet.cells["C3"].value, "雪碧");
  EXPECT_EQ(sheet.cells["C4"].value, "可口可乐");
  EXPECT_FALSE(sheet.cells["B4"].is_text);
  EXPECT_EQ(sheet.cells["B4"].value, QString::number(id_a));
  EXPECT_TRUE(sheet.cells["E4"].is_text);  // a code stays text
  EXPECT_EQ(sheet.cells["E4"].value, "007");
  EXPECT_FALSE(sheet.cells["L3"].is_text);
  EXPECT_EQ(sheet.cells["L3"].value, "1.5");
  // The date is the spreadsheet's own date (days from 1899-12-30), shown as on screen.
  EXPECT_FALSE(sheet.cells["N3"].is_text);
  EXPECT_EQ(sheet.cells["N3"].value, "46357");
  EXPECT_EQ(NumberFormatOf(file, sheet.cells["N3"].style), "yyyy\"年\"m\"月\"d\"日\"");
  EXPECT_FALSE(sheet.cells.contains("P3"));  // an empty note writes nothing

  // The totals row last, its totals as numbers.
  EXPECT_EQ(sheet.cells["F5"].value, "合计：");
  EXPECT_FALSE(sheet.cells["L5"].is_text);
  EXPECT_EQ(sheet.cells["L5"].value, "4.5");
  EXPECT_FALSE(sheet.cells.contains("A6") || sheet.cells.contains("C6"));

  // Without the header rows and column 0, the first data row is row 1 from column A.
  ASSERT_TRUE(ExportGridToExcel(grid, file, {.header_rows = false, .row_header_column = false}).has_value());
  const Sheet bare = ReadSheet(file);
  EXPECT_TRUE(bare.merges.isEmpty());
  EXPECT_EQ(bare.cells["B1"].value, "雪碧");
  EXPECT_EQ(bare.cells["E3"].value, "合计：");
}

TEST(ExcelExport, FailedWriteIsReportedAndLeavesNothingBehind) {
  test::TestApp app;
  Grid grid;
  LayOutStockGrid(grid);
  const auto missing = ExportGridToExcel(grid, app.FilePath("no/such/folder/my.xlsx"), kWholeGrid);
  ASSERT_FALSE(missing.has_value());
  EXPECT_TRUE(missing.error().startsWith("导出Excel文件失败")) << missing.error().toStdString();

  // A target that cannot be replaced: the partial file is removed again.
  ASSERT_TRUE(QDir(app.Dir()).mkdir("my.xlsx"));
  const auto blocked = ExportGridToExcel(grid, app.FilePath("my.xlsx"), kWholeGrid);
  ASSERT_FALSE(blocked.has_value());
  EXPECT_FALSE(QFile::exists(app.FilePath(".my.xlsx.part")));
}

TEST(ExcelExport, ProgressRisesAndACancelledExportLeavesNoFile) {
  test::TestApp app;
  test::GoodsRow row;
  row.name = "茶杯";
  row.stock = 2;
  for (int i = 0; i < 700; ++i) test::InsertGoods(app.ctx().db, row);
  Grid grid;
  LayOutStockGrid(grid);
  (void)FillGridKeyed(app.ctx(), grid, StockListPlan(AllGoodsQuery(), 2, false));
  ASSERT_NE(grid.Source(), nullptr);  // a keyed list: its rows are gathered, then written

  // Heard: rising counts of one total, ending at the total.
  std::vector<std::pair<std::int64_t, std::int64_t>> heard;
  const QString file = app.FilePath("my.xlsx");
  ASSERT_TRUE(ExportGridToExcel(grid, file, kWholeGrid, [&](std::int64_t done, std::int64_t total) {
                heard.emplace_back(done, total);
                return true;
              }).has_value());
  ASSERT_GE(heard.size(), 4u);
  for (std::size_t i = 1; i < heard.size(); ++i) {
    EXPECT_GE(heard[i].first, heard[i - 1].first) << i;
    EXPECT_EQ(heard[i].second, heard[0].second);
  }
  EXPECT_EQ(heard.back().first, heard.back().second);

  // Cancelled while gathering, and while writing: no file, no part file, nothing to say;
  // an earlier export is not spoilt.
  const qint64 earlier = QFileInfo(file).size();
  for (const std::int64_t stop_at : {heard[1].first, heard[heard.size() - 2].first}) {
    const auto cancelled =
        ExportGridToExcel(grid, file, kWholeGrid, [&](std::int64_t done, std::int64_t) { return done < stop_at; });
    ASSERT_FALSE(cancelled.has_value());
    EXPECT_TRUE(cancelled.error().isEmpty()) << cancelled.error().toStdString();
    EXPECT_FALSE(QFile::exists(app.FilePath(".my.xlsx.part")));
    EXPECT_EQ(QFileInfo(file).size(), earlier);
  }
  QFile::remove(file);
  EXPECT_FALSE(ExportGridToExcel(grid, file, kWholeGrid, [](std::int64_t, std::int64_t) { return false; }));
  EXPECT_FALSE(QFile::exists(file));
  EXPECT_FALSE(QFile::exists(app.FilePath(".my.xlsx.part")));
}

// A question in the middle of the work: the dialog is hidden and does not show itself
// over the question when its minimum duration passes; the next report starts it again.
TEST(WorkProgress, HeldForAQuestionItStaysHiddenUntilTheNextReport) {
  WorkProgress progress(QStringLiteral("正在上传……"), nullptr);
  const Progress report = progress.Reporter();
  auto clock_running = [&] {
    const auto timers = progress.Dialog()->findChildren<QTimer*>();
    return std::ranges::any_of(timers, [](const QTimer* t) { return t->isActive(); });
  };
  ASSERT_TRUE(clock_running());
  progress.Dialog()->show();
  progress.Hold();
  EXPECT_FALSE(progress.Dialog()->isVisible());
  EXPECT_FALSE(clock_running());
  EXPECT_TRUE(report(0, 10));
  EXPECT_TRUE(clock_running());
  EXPECT_FALSE(progress.Cancelled());
}

TEST(WorkProgress, CancelStopsTheWork) {
  WorkProgress progress(QStringLiteral("正在导出……"), nullptr);
  const Progress report = progress.Reporter();
  EXPECT_TRUE(report(1, 10));
  progress.Dialog()->cancel();
  EXPECT_FALSE(report(2, 10));
  EXPECT_TRUE(progress.Cancelled());
}
