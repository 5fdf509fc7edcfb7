#pragma once

#include <QString>

namespace hemulu {

// The short code a goods name is found by: the upper-case first letter of the
// pinyin of each GB2312 hanzi, ASCII kept as typed, everything else dropped
// ("可口可乐500ml" -> "KKKL500ml"). Safe to call from several threads at once.
QString NameInitials(const QString& text);

}  // namespace hemulu
