#include "app/Artwork.h"

#include <QFile>
#include <array>

// Q_INIT_RESOURCE must be used outside any namespace. Calling it here also keeps the
// static library's resource data from being dropped by the linker.
static void InitAppResources() {
  static const bool done = [] {
    Q_INIT_RESOURCE(app);
    return true;
  }();
  (void)done;
}

namespace hemulu {

QIcon ProgramIcon() {
  InitAppResources();
  QIcon icon(QStringLiteral(":/hemulu/program.png"));
  icon.addFile(QStringLiteral(":/hemulu/program-256.png"));
  return icon;
}

QIcon NavigationIcon(int item_index) {
  InitAppResources();
  static constexpr std::array<const char*, 10> kNames = {"stock",   "sales",    "charts", "ledger", "bank",
                                                         "summary", "settings", "users",  "data",   "about"};
  if (item_index < 0 || item_index >= static_cast<int>(kNames.size())) return {};
  return QIcon(QStringLiteral(":/hemulu/nav/%1.png").arg(QLatin1String(kNames[item_index])));
}

QIcon SystemMenuIcon() {
  InitAppResources();
  return QIcon(QStringLiteral(":/hemulu/header/menu.png"));
}

QIcon HelpMenuIcon() {
  InitAppResources();
  return QIcon(QStringLiteral(":/hemulu/header/help.png"));
}

QPixmap AboutPicture() {
  InitAppResources();
  return QPixmap(QStringLiteral(":/hemulu/about.png"));
}

QString HelpPageHtml() {
  InitAppResources();
  QFile file(QStringLiteral(":/hemulu/help.html"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

}  // namespace hemulu
