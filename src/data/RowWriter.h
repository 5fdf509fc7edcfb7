#pragma once
// Adds one row, field by field in the caller's fixed order, each field with its error
// code. Each value is checked as the column would check it (a text over 50
// characters, a number that does not read as one, an unknown column); the first
// failing field stops the insertion and nothing is written.

#include <QVariant>
#include <expected>
#include <string_view>
#include <vector>

#include "data/Database.h"
#include "data/Schema.h"

namespace hemulu {

struct WriteError {
  QString code;                               // the failing field's code, empty when the database refused the row
  QString detail;                             // the database's own words when it refused the row, for the log only
  bool unavailable = false;                   // the database did not open: nothing was tried
  DbError::Kind kind = DbError::Kind::Other;  // how the database refused the row
  // "错误代码 [099]" for a field, or a plain explanation of the database failure.
  QString Message() const;
};

// What the user is told when the database refuses a write: in the user's words, never
// the engine's.
QString WriteFailureText(DbError::Kind kind);
// The write error of a database that did not open.
WriteError UnavailableWriteError(const DbError& error);

class RowWriter {
 public:
  RowWriter(Database& db, std::string_view table);

  // Sets a field; after a failed Set every later Set is ignored.
  RowWriter& Set(std::string_view column, const QVariant& value, const QString& code);
  // Inserts the row; the new row's ID on success.
  [[nodiscard]] std::expected<qint64, WriteError> Insert();

 private:
  struct Field {
    const char* column;
    QVariant value;
  };

  Database& db_;
  const schema::Table* table_;
  std::vector<Field> fields_;
  std::optional<WriteError> failure_;
};

}  // namespace hemulu
