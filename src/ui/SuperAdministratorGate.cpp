#include "ui/SuperAdministratorGate.h"

#include "app/Login.h"

namespace hemulu {

bool SuperAdministratorGate(AppContext& ctx, const QString& prompt, const QString& title) {
  const auto stored = SuperAdministratorPassword(ctx);
  if (!stored && stored.error().Unavailable()) {
    ctx.ReportDatabaseUnavailable(stored.error().message);
    return false;
  }
  if (!stored || !*stored) {
    ctx.ShowMessage(kNoSuperAdministratorMessage, MessageKind::Stop);
    return false;
  }
  const std::optional<QString> typed = ctx.prompter.AskText(prompt, title, TextEcho::Masked);
  if (!typed) return false;
  if (*typed != **stored) {
    ctx.ShowMessage(kWrongSuperAdministratorPasswordMessage, MessageKind::Stop);
    return false;
  }
  return true;
}

}  // namespace hemulu
