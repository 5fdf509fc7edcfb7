#pragma once
// One goods' movements from the journal (stock_move), newest first, with the stock after
// each and the totals per kind: what the goods history window shows.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <expected>
#include <optional>
#include <vector>

#include "data/AppContext.h"

namespace hemulu {

struct HistoryLine {
  qint64 id = 0;  // the movement's
  QDateTime date;
  QString kind;  // 业务
  double change = 0;
  double stock_after = 0;
  std::optional<double> buy_price;  // never filled for an operator
  QString supplier;
  QString user;
  std::optional<qint64> sale_id;
};

// The sum of one kind's movements over the lines read.
struct HistoryTotal {
  QString kind;
  double change = 0;
  int count = 0;
};

struct GoodsHistory {
  // The goods' texts as its newest movement recorded them (the goods row may be gone).
  QString name, model, code;
  std::vector<HistoryLine> lines;    // newest first
  std::vector<HistoryTotal> totals;  // in the journal's order of kinds, present ones only
  bool with_prices = false;          // the reader may see purchase prices
};

// Both days included; an unset period reads every movement.
struct HistoryPeriod {
  QDate first, last;
};

// The goods' movements within `period`. Purchase prices are read only for 超级管理员.
[[nodiscard]] std::expected<GoodsHistory, DbError> LoadGoodsHistory(AppContext& ctx, qint64 goods_id,
                                                                    std::optional<HistoryPeriod> period = {});

// "名称 型号 编码" with the empty parts left out.
QString GoodsHistoryTitle(const GoodsHistory& history);

}  // namespace hemulu
