#pragma once
// Private to the data layer (and to tests of the engine itself): the engine's own
// header, and its result codes turned into DbError.

#include <sqlcipher/sqlite3.h>

#include "data/Database.h"
#include "data/EngineKey.h"

namespace hemulu {

// The kind a result code (primary or extended) stands for.
DbError::Kind KindOfEngineCode(int code);

// The error the engine reports for `code`, in its own words from `db` (or its generic
// words for the code when there is no connection).
DbError EngineError(sqlite3* db, int code);
// An error of our own making, of the kind `code` stands for.
DbError EngineError(int code, const QString& message);

}  // namespace hemulu
