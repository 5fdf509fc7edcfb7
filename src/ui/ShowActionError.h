#pragma once
// The one way a window shows a refused or failed action.

#include "data/ActionError.h"
#include "data/AppContext.h"

class QWidget;

namespace hemulu {

// "打开数据库失败！" (reason to standard error) for Unavailable, else the error's text
// with its icon; then the control named by `error.focus` inside `window` takes the focus.
void ShowActionError(AppContext& ctx, const ActionError& error, QWidget* window = nullptr);

}  // namespace hemulu
