#pragma once
// The program's own pictures, embedded in the executable.

#include <QIcon>
#include <QPixmap>

namespace hemulu {

QIcon ProgramIcon();
// The icon of navigation item 0..9.
QIcon NavigationIcon(int item_index);
QIcon SystemMenuIcon();
QIcon HelpMenuIcon();
QPixmap AboutPicture();
// The text of the local help page (HTML).
QString HelpPageHtml();

}  // namespace hemulu
