// NameInitials on any text: never longer than the text, and only ASCII (hanzi give
// upper-case letters, ASCII is kept, the rest is dropped).
#include <QString>
#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "stock/NameInitials.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The bytes as UTF-8 (damaged sequences included) and as UTF-16 (lone surrogates included).
  const QString texts[] = {
      QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)),
      QString(reinterpret_cast<const QChar*>(data), static_cast<qsizetype>(size / 2)),
  };
  for (const QString& text : texts) {
    const QString initials = hemulu::NameInitials(text);
    FUZZ_CHECK(initials.size() <= text.size());
    for (QChar c : initials) FUZZ_CHECK(c.unicode() < 0x80);
    FUZZ_CHECK(hemulu::NameInitials(initials) == initials);  // ASCII is kept as typed
  }
  return 0;
}
