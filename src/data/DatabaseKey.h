#pragma once

namespace hemulu {
// The fixed key of data.db; every connection, backup and copy is keyed with it.
inline constexpr char kDatabasePassword[] = "5806127";
}  // namespace hemulu
