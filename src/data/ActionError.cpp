#include "data/ActionError.h"

#include "data/AppContext.h"
#include "data/RowWriter.h"

namespace hemulu {

ActionError DatabaseActionError(const DbError& e) {
  if (e.Unavailable())
    return {.kind = ActionError::Kind::Unavailable,
            .message = kDatabaseUnavailableText,
            .reason = e.message,
            .db_kind = e.kind};
  return {
      .kind = ActionError::Kind::Database, .message = WriteFailureText(e.kind), .reason = e.message, .db_kind = e.kind};
}

ActionError ReadActionError(const DbError& e) {
  if (e.Unavailable()) return DatabaseActionError(e);
  return {.kind = ActionError::Kind::Database,
          .message = kReadFailedText + ReadFailureReason(e),
          .reason = e.message,
          .db_kind = e.kind};
}

}  // namespace hemulu
