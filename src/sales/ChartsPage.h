#pragma once
// The page "销售图表": the monthly and the daily bar chart of sales amount or net profit,
// each with its year (and month) list, its two query buttons and a one-line table of the
// same figures with their total; and an export of both to a spreadsheet.

#include <QWidget>

#include "data/AppContext.h"
#include "sales/SalesStatistics.h"

class QComboBox;
class QPushButton;
class QTableWidget;

namespace hemulu {

class BarChartView;

class ChartsPage : public QWidget {
  Q_OBJECT
 public:
  explicit ChartsPage(AppContext& ctx, QWidget* parent = nullptr);
  ~ChartsPage() override;

  // Each time the page is shown: the year lists are refilled, the current year and month
  // chosen, and the sales amounts of the current year by month and of the current month
  // by day computed again.
  void Refill();
  // After a sale made elsewhere: the same reports again, with the years, month and
  // figures the user chose (a new year joins the lists).
  void RefillInPlace();

  // 按钮10 / 按钮11 and 按钮9 / 按钮8: the report of the chosen year (and month). An empty
  // list takes the focus and nothing else happens.
  void QueryMonthly(SalesFigure figure);
  void QueryDaily(SalesFigure figure);
  // Writes the figures of both charts to 销售图表.xlsx in the shop's folder.
  void Export();

  BarChartView* MonthlyChart() const { return monthly_chart_; }
  BarChartView* DailyChart() const { return daily_chart_; }
  QTableWidget* MonthlyTable() const { return monthly_table_; }
  QTableWidget* DailyTable() const { return daily_table_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Show(const BarReport& report, BarChartView* chart, QTableWidget* table);
  void FillYearList(QComboBox* list, const std::vector<int>& years, int chosen);
  void ReportError(const DbError& error);

  AppContext& ctx_;
  QComboBox* monthly_year_ = nullptr;  // 组合框1
  QComboBox* daily_year_ = nullptr;    // 组合框2
  QComboBox* daily_month_ = nullptr;   // 组合框3
  BarChartView* monthly_chart_ = nullptr;
  BarChartView* daily_chart_ = nullptr;
  QTableWidget* monthly_table_ = nullptr;
  QTableWidget* daily_table_ = nullptr;
  SalesFigure monthly_figure_ = SalesFigure::Amount;  // what each chart shows
  SalesFigure daily_figure_ = SalesFigure::Amount;
  BarReport monthly_report_;
  BarReport daily_report_;
};

}  // namespace hemulu
