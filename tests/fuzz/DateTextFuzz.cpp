// Date text: whatever reads as a date is a valid date, and its own text reads back to it.
#include <QDateTime>
#include <QString>
#include <cstdint>

#include "FuzzCheck.h"
#include "data/TextFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  if (const auto cell = hemulu::ParseDateCellText(text)) {
    FUZZ_CHECK(cell->isValid());
    const auto again = hemulu::ParseDateCellText(hemulu::DateCellText(*cell));
    FUZZ_CHECK(again && *again == *cell);
  }
  if (const auto stored = hemulu::ParseDateSqlText(text)) {
    FUZZ_CHECK(stored->isValid());
    const auto again = hemulu::ParseDateSqlText(hemulu::DateSqlText(*stored));
    FUZZ_CHECK(again && *again == *stored);
  }
  return 0;
}
