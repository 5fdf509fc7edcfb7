// Number text: a typed number is finite or refused, a box's value is the strict value
// or 0, and every double's cell text reads back to a value with the same text.
#include <QString>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "FuzzCheck.h"
#include "data/TextFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const auto parsed = hemulu::ParseNumber(text);
  if (parsed) FUZZ_CHECK(std::isfinite(*parsed));
  const double value = hemulu::NumberValue(text);
  FUZZ_CHECK(std::isfinite(value));
  FUZZ_CHECK(parsed ? value == *parsed : value == 0.0);

  // The first eight bytes as a double: the fast path and "%.13g" agree, and the text
  // reads back to a number that prints the same.
  if (size >= sizeof(double)) {
    double v;
    std::memcpy(&v, data, sizeof v);
    if (std::isfinite(v)) {
      char buf[40];
      const std::size_t n = hemulu::NumberChars(v, buf);
      FUZZ_CHECK(n > 0 && n < sizeof buf);
      char reference[64];
      std::snprintf(reference, sizeof reference, "%.13g", v == 0.0 ? 0.0 : v);
      FUZZ_CHECK(std::strlen(reference) == n && std::memcmp(reference, buf, n) == 0);
      const QString cell = hemulu::NumberText(v);
      const auto back = hemulu::ParseNumber(cell);
      FUZZ_CHECK(back.has_value());
      FUZZ_CHECK(hemulu::NumberText(*back) == cell);
    }
  }
  return 0;
}
