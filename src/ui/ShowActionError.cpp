#include "ui/ShowActionError.h"

#include <QWidget>
#include <cstdio>

namespace hemulu {

void ShowActionError(AppContext& ctx, const ActionError& error, QWidget* window) {
  if (error.kind == ActionError::Kind::Unavailable) {
    ctx.ReportDatabaseUnavailable(error.reason);
  } else {
    // The engine's words are for a bug report, not for the box.
    if (!error.reason.isEmpty())
      std::fprintf(stderr, "hemulu: %s: %s\n", qUtf8Printable(ctx.db.Path()), qUtf8Printable(error.reason));
    ctx.ShowMessage(error.message, error.icon);
  }
  if (!window || error.focus.isEmpty()) return;
  if (auto* control = window->findChild<QWidget*>(error.focus)) control->setFocus();
}

}  // namespace hemulu
