#include "data/RowWriter.h"

#include <cmath>

#include "data/AppContext.h"
#include "data/TextFormat.h"

namespace hemulu {

QString WriteFailureText(DbError::Kind kind) {
  // Never "not saved" when it may well have been.
  if (kind == DbError::Kind::OutcomeUnknown)
    return QStringLiteral("与数据库服务器的连接在保存时中断，数据可能已经保存，也可能没有保存。\n") +
           EngineFailureText(kind);
  return QStringLiteral("数据没有保存：数据库写入失败。\n") + EngineFailureText(kind);
}

WriteError UnavailableWriteError(const DbError& error) { return {QString(), error.message, true, error.kind}; }

QString WriteError::Message() const {
  if (unavailable) return kDatabaseUnavailableText;
  if (!code.isEmpty()) return QStringLiteral("错误代码 [") + code + QLatin1Char(']');
  return WriteFailureText(kind);
}

namespace {

// The value as the column stores it, or nullopt when the column would refuse it.
std::optional<QVariant> Checked(schema::ColumnType type, const QVariant& value) {
  using enum schema::ColumnType;
  const bool is_number = value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Int ||
                         value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Float;
  switch (type) {
    case AutoId:
      return std::nullopt;
    case Text50: {
      const QString s = value.toString();
      if (CharacterCount(s) > schema::kTextLimit) return std::nullopt;
      return QVariant(s);
    }
    case Memo:
      return QVariant(value.toString());
    case Double: {
      if (is_number) {
        const double d = value.toDouble();
        if (!std::isfinite(d)) return std::nullopt;
        return QVariant(d);
      }
      if (auto d = ParseNumber(value.toString())) return QVariant(*d);
      return std::nullopt;
    }
    case Long: {
      if (is_number) {
        const double d = value.toDouble();
        if (!std::isfinite(d) || d != std::floor(d) || std::fabs(d) > 2147483647.0) return std::nullopt;
        return QVariant(static_cast<qint64>(d));
      }
      bool ok = false;
      const qint64 v = value.toString().trimmed().toLongLong(&ok);
      if (!ok) return std::nullopt;
      return QVariant(v);
    }
    case DateTime: {
      if (value.typeId() == QMetaType::QDateTime) {
        const QDateTime dt = value.toDateTime();
        if (!dt.isValid()) return std::nullopt;
        return QVariant(DateSqlText(dt));
      }
      if (value.typeId() == QMetaType::QDate) {
        const QDate d = value.toDate();
        if (!d.isValid()) return std::nullopt;
        return QVariant(DateSqlText(QDateTime(d, QTime(0, 0))));
      }
      if (auto dt = ParseDateSqlText(value.toString())) return QVariant(DateSqlText(*dt));
      return std::nullopt;
    }
  }
  return std::nullopt;
}

}  // namespace

RowWriter::RowWriter(Database& db, std::string_view table) : db_(db), table_(schema::FindTable(table)) {}

RowWriter& RowWriter::Set(std::string_view column, const QVariant& value, const QString& code) {
  if (failure_) return *this;
  const schema::Column* c = table_ ? schema::FindColumn(*table_, column) : nullptr;
  std::optional<QVariant> stored = c ? Checked(c->type, value) : std::nullopt;
  if (!stored) {
    failure_ = WriteError{code, QString()};
    return *this;
  }
  for (Field& f : fields_) {
    if (column == f.column) {
      f.value = *stored;
      return *this;
    }
  }
  fields_.push_back({c->name, *stored});
  return *this;
}

std::expected<qint64, WriteError> RowWriter::Insert() {
  if (failure_) return std::unexpected(*failure_);
  if (!table_) return std::unexpected(WriteError{QString(), QStringLiteral("unknown table")});
  // Only the schema's own table and column names go into the text; values are bound.
  std::string sql = std::string("INSERT INTO \"") + table_->name + "\" (";
  std::string marks;
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (i) {
      sql += ", ";
      marks += ", ";
    }
    sql += std::string("\"") + fields_[i].column + "\"";
    marks += "?";
  }
  sql += ") VALUES (" + marks + ")";
  if (fields_.empty()) sql = std::string("INSERT INTO \"") + table_->name + "\" DEFAULT VALUES";

  auto st = db_.Prepare(sql);
  if (!st) return std::unexpected(WriteError{QString(), st.error().message, false, st.error().kind});
  for (std::size_t i = 0; i < fields_.size(); ++i) st->Bind(static_cast<int>(i) + 1, fields_[i].value);
  if (auto r = st->Run(); !r) return std::unexpected(WriteError{QString(), r.error().message, false, r.error().kind});
  return db_.LastInsertId();
}

}  // namespace hemulu
