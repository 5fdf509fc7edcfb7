#pragma once
// The password gate in front of commands that only 超级管理员 may use.

#include <QString>

#include "data/AppContext.h"

namespace hemulu {

// Reads the stored password of 超级管理员, asks for it (masked, as at the login), and
// tells whether the typed text matches exactly (nothing trimmed). Cancel refuses
// without a message; every other refusal is shown (stop icon).
bool SuperAdministratorGate(AppContext& ctx, const QString& prompt, const QString& title);

}  // namespace hemulu
