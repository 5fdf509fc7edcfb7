#pragma once
// The one reading of a list's cells from a query's result, for every fill: a field's
// text as its cell shows it and its value as its tests, totals and sort see it.

#include <QStringView>
#include <string>
#include <vector>

#include "data/Database.h"
#include "lists/ListPlan.h"

namespace hemulu {

// The value of a number field's cell (NULL reads 0); 0 for any other field.
inline double FieldNumber(const Statement& st, int column, FieldKind kind) {
  return IsNumberField(kind) ? st.CellDouble(column) : 0.0;
}

// Appends the cell's text as the list shows it: a number as NumberText writes it (an
// OptionalNumber's NULL as nothing), a date in its cell form (a Day without its time;
// a stored text that is no date as it is), a text with each tab made a space, so a
// stored value never shifts the columns, and each malformed UTF-8 byte made U+FFFD.
// Returns the field's value as FieldNumber gives it; `exact`, for a number, says whether
// its text reads back as that value.
double AppendCellText(std::u16string& out, const Statement& st, int column, FieldKind kind, bool* exact = nullptr);

// One record of a result, its fields read one after another into one tab-separated
// text, as GridStore::AddRow takes a row.
class RecordCells {
 public:
  // `columns[i]`: the result column of field i, -1 for a field the result has not got
  // (value 0; its cell empty, but "0" for a Number field).
  RecordCells(std::vector<FieldKind> kinds, std::vector<int> columns);
  // The plan's fields in a result, found by name.
  static RecordCells ForPlan(const ListPlan& plan, const Statement& st);

  // Reads the statement's current row.
  void Read(const Statement& st);

  double Number(int field) const { return numbers_[static_cast<std::size_t>(field)]; }
  QStringView Text(int field) const {
    const CellSpan& span = spans_[static_cast<std::size_t>(field)];
    return QStringView(text_.data() + span.begin, static_cast<qsizetype>(span.length));
  }
  // Whether a number field's text reads back as its value (see NumberChars).
  bool Exact(int field) const { return exact_[static_cast<std::size_t>(field)] != 0; }
  QStringView RowText() const { return text_; }
  const std::vector<CellSpan>& Spans() const { return spans_; }

  // Whether a test of one of these fields holds for the record.
  bool Holds(const FieldTest& test) const {
    return test.number ? test.number(Number(test.field)) : test.text(Text(test.field));
  }

 private:
  std::vector<FieldKind> kinds_;
  std::vector<int> columns_;
  std::vector<double> numbers_;
  std::vector<unsigned char> exact_;
  std::vector<CellSpan> spans_;
  std::u16string text_;
};

}  // namespace hemulu
