#pragma once
// What logic hands back when a user's action (a save, a change, a delete) is refused
// or fails: one type for every subsystem, shown by one function of the windows
// (ui/ShowActionError.h).

#include <QString>

#include "data/Database.h"
#include "data/Prompter.h"

namespace hemulu {

struct ActionError {
  enum class Kind {
    NotAllowed,   // not for this user (an operator deleting, ...)
    Invalid,      // a typed value was refused; nothing was tried
    Gone,         // the row is no longer there
    Changed,      // the row changed meanwhile (a sale from the goods being edited)
    Field,        // a field of the row was refused by its column ("错误代码 [...]")
    Database,     // the database failed; `db_kind` says how
    Unavailable,  // the database did not open; nothing was tried
  };
  Kind kind;
  QString message;      // the text to show ("打开数据库失败！" for Unavailable)
  QString reason = {};  // the engine's own words, for the log only
  // The objectName of the control that takes the focus after the message; none when empty.
  QString focus = {};
  MessageKind icon = MessageKind::Stop;
  // What the database said when a database failure caused the error.
  DbError::Kind db_kind = DbError::Kind::Other;
};

// The error of an action stopped by a database failure: Unavailable when it did not
// open, else Database with the write failure's text; the engine's words in `reason`.
ActionError DatabaseActionError(const DbError& error);

// An action stopped by a failed read ("读取数据失败：" and the reason in the user's
// words), or Unavailable when the database did not open.
ActionError ReadActionError(const DbError& error);

inline const QString kReadFailedText = QStringLiteral("读取数据失败：");

// What follows a field's label when its text is over the columns' 50 characters.
inline const QString kTooLongSuffix = QStringLiteral("不能超过50个字");

}  // namespace hemulu
