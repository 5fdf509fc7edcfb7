#include "data/Gbk.h"

#include <iconv.h>

#include <QtGlobal>

#include "data/Utf8.h"

namespace hemulu {

namespace {

// An iconv descriptor, opened once per thread and direction; a descriptor must not be
// used by two threads at once.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (!Valid()) qWarning("hemulu: iconv cannot convert %s to %s", from, to);
  }
  ~Iconv() {
    if (Valid()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  // Converts all of `in` into `out`; the bytes written, or nullopt when any stop (an
  // unconvertible character, a truncated trailing byte) or a lack of room interrupts
  // it, and with `exact` when any character was converted only approximately. The
  // state is reset either way, so the next call starts clean.
  std::optional<std::size_t> Convert(const char* in, std::size_t in_size, char* out, std::size_t out_size,
                                     bool exact = false) {
    if (!Valid()) return std::nullopt;
    // Every call ends in the initial state (flushed or stateless, or reset on failure).
    char* src = const_cast<char*>(in);
    char* dst = out;
    std::size_t src_left = in_size, dst_left = out_size;
    const std::size_t rc = iconv(cd_, &src, &src_left, &dst, &dst_left);
    // A whole text is flushed (a stateful end would be written there); one character
    // of a stateless encoding needs no flush, and skipping it keeps the name initials fast.
    const bool ok = rc != static_cast<std::size_t>(-1) && (!exact || rc == 0) && src_left == 0 &&
                    (exact || iconv(cd_, nullptr, nullptr, &dst, &dst_left) != static_cast<std::size_t>(-1));
    if (!ok) {
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      return std::nullopt;
    }
    return out_size - dst_left;
  }
  bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

 private:
  iconv_t cd_;
};

Iconv& ToGbk() {
  thread_local Iconv cd("GBK", "UTF-8");
  return cd;
}

Iconv& FromGbk() {
  thread_local Iconv cd("UTF-8", "GBK");
  return cd;
}

std::optional<QByteArray> Convert(Iconv& cd, const QByteArray& in) {
  QByteArray out(in.size() * 4 + 16, Qt::Uninitialized);
  const auto n =
      cd.Convert(in.constData(), static_cast<std::size_t>(in.size()), out.data(), static_cast<std::size_t>(out.size()));
  if (!n) return std::nullopt;
  out.truncate(static_cast<qsizetype>(*n));
  return out;
}

}  // namespace

std::optional<QString> GbkToUnicode(const QByteArray& bytes) {
  auto utf8 = Convert(FromGbk(), bytes);
  if (!utf8) return std::nullopt;
  return QString::fromUtf8(*utf8);
}

std::optional<QByteArray> UnicodeToGbk(const QString& text) { return Convert(ToGbk(), text.toUtf8()); }

bool IsValidUtf8(const QByteArray& bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
  return IsValidUtf8(p, p + bytes.size());
}

std::size_t GbkBytesOf(char32_t code_point, std::array<char, 8>& out) {
  char utf8[4];
  const std::size_t n = EncodeUtf8(code_point, utf8);
  return ToGbk().Convert(utf8, n, out.data(), out.size(), true).value_or(0);
}

}  // namespace hemulu
