#pragma once
// What a list is, whichever fill runs it: the query, the fields shown, which records are
// shown, how rows are coloured, what is totalled where, the sort and the totals row. The
// common fill (lists/ListFill.h) reads every record into the store; the keyed fill
// (lists/KeyedRows.h) reads the keys and totals in one narrow pass and the shown rows a
// page at a time. Both run the same plan by the same rules, so a list may move from one
// to the other without changing a cell.

#include <QString>
#include <QStringView>
#include <QVariant>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "data/Database.h"
#include "lists/GridStore.h"

namespace hemulu {

// OptionalNumber: a number whose missing value (NULL) shows as an empty cell. Day: a
// date shown without its time of day (the sales list's dates).
enum class FieldKind { Text, Number, Date, OptionalNumber, Day };

// Number and OptionalNumber: fields read as values, summed, sorted by value.
constexpr bool IsNumberField(FieldKind kind) { return kind == FieldKind::Number || kind == FieldKind::OptionalNumber; }
// The kind of the grid column a field's cells go into.
CellKind KindOf(FieldKind kind);

// A result column shown in the list; field i of a plan lands in grid column i + 1.
// A field with no column name is withheld: its cells stay empty, its value is 0.
struct ListField {
  std::string column;  // the name in the query's result
  FieldKind kind = FieldKind::Text;
};

// A test of one field of a record, for a row filter, a colour rule or a total's
// condition: `number` sees the field's value (0 for NULL and for a field that is not a
// number field), `text` its cell text as the list shows it. One of the two is set. A
// test that looks at a single field lets the keyed fill run it on that field alone.
struct FieldTest {
  int field = -1;
  std::function<bool(double)> number;
  std::function<bool(QStringView)> text;

  // False for an empty test and for one of a field the plan has not got: no test.
  bool IsSetFor(std::size_t fields) const {
    return field >= 0 && static_cast<std::size_t>(field) < fields && (number || text);
  }
};
FieldTest NumberTest(int field, std::function<bool(double)> test);
FieldTest TextTest(int field, std::function<bool(QStringView)> test);

// When `when` holds, the row's text takes the colour stored under `key` in config.ini;
// a later rule that holds wins.
struct RowColourRule {
  QString key;
  FieldTest when;
};

// The sum of a number field in a column of the totals row, over every record of the
// query, shown or not; with a condition, over the records it holds for.
struct ListTotal {
  int field = 0;
  int column = 0;
  FieldTest counts = {};  // not set: every record counts
};

struct ListPlan {
  std::string sql;  // values go in `values`, bound to its ? marks
  std::vector<QVariant> values;
  std::vector<ListField> fields;  // the record's ID first
  FieldTest row_filter;           // not set: every record is shown
  std::vector<RowColourRule> colour_rules;
  int colour_first_col = 1;  // row colours cover these columns
  int colour_last_col = -1;  // (-1: the last column)
  std::vector<ListTotal> totals;
  QString total_label = QStringLiteral("合计：");
  int label_column = -1;     // -1: no label
  int sort_column = -1;      // sorted ascending when beepview is on; -1: never
  int totals_first_col = 2;  // back colour and bold of the totals row
  int totals_last_col = -1;
  int line_first_col = 2;  // line-style range, from the first data row to the totals row
  int line_last_col = -1;
  bool plain_last_row = false;  // a list without totals: its last, empty row is not coloured or frozen

  // Read by key (FillKeyedList) only.
  std::string table;  // the rows are read from it by fields[0], its integer key
  // When not empty: what the rows are read from instead of `table`, a named sub-query
  // over it, for fields worked out rather than stored (an amount of quantity × price).
  std::string rows_from;
  // When not empty: the same rows as `sql`, in the same order, by a narrower path, with
  // the same ? marks: the key, each total's field (in the order of `totals`), then the
  // filter's field (with a filter), each total condition's field (with a condition) and
  // the sort field (when the fill sorts by values), in that order.
  std::string keys_sql;

  // The server's own texts of `sql` and `keys_sql` where the two engines need different
  // ones (data/EngineSql.h); empty: the same text serves both.
  std::string server_sql;
  std::string server_keys_sql;
  const std::string& SqlFor(const Database& db) const {
    return db.IsServer() && !server_sql.empty() ? server_sql : sql;
  }
  const std::string& KeysSqlFor(const Database& db) const {
    return db.IsServer() && !server_sql.empty() ? server_keys_sql : keys_sql;
  }
};

// The one rule both fills sort by: a sort column whose field is a number field is
// sorted by the values read at the fill; this gives that field, or -1 when the column
// is sorted by its texts (or is no field's).
int ValueSortField(const ListPlan& plan);

}  // namespace hemulu
