#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QWidget>

#include "TestSupport.h"
#include "ui/PopupMenu.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

enum class Fruit { Apple, Pear, Plum };

const std::vector<MenuItem<Fruit>> kItems = {
    {"苹果", Fruit::Apple}, {kMenuSeparator}, {"更多", {{"梨", Fruit::Pear, kSuperOnly}, {"李子", Fruit::Plum}}}};

}  // namespace

TEST(PopupMenu, CommandsAreFoundByTheirKeyWhateverTheCaption) {
  QWidget owner;
  QMenu* menu = BuildPopupMenu(QStringLiteral("水果菜单"), kItems, true, &owner);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->objectName(), "水果菜单");
  EXPECT_EQ(menu->parent(), &owner);
  ASSERT_EQ(menu->actions().size(), 3);
  EXPECT_TRUE(menu->actions()[1]->isSeparator());
  EXPECT_EQ(CommandAction(menu, Fruit::Pear)->text(), "梨");
  EXPECT_EQ(CommandAction(menu, Fruit::Pear), FindMenuItem(menu, "梨"));

  // A renamed caption keeps its command connected.
  int plums = 0;
  OnCommand(menu, Fruit::Plum, &owner, [&] { ++plums; });
  CommandAction(menu, Fruit::Plum)->setText(QStringLiteral("新名字"));
  CommandAction(menu, Fruit::Plum)->trigger();
  EXPECT_EQ(plums, 1);
  EXPECT_EQ(CommandAction(static_cast<QMenu*>(nullptr), Fruit::Apple), nullptr);
}

TEST(PopupMenu, SuperOnlyItemsAreHiddenFromOthers) {
  QWidget owner;
  QMenu* super_menu = BuildPopupMenu(QStringLiteral("甲"), kItems, true, &owner);
  QMenu* operator_menu = BuildPopupMenu(QStringLiteral("乙"), kItems, false, &owner);
  EXPECT_TRUE(CommandAction(super_menu, Fruit::Pear)->isVisible());
  EXPECT_FALSE(CommandAction(operator_menu, Fruit::Pear)->isVisible());
  EXPECT_TRUE(CommandAction(operator_menu, Fruit::Plum)->isVisible());
  EXPECT_TRUE(CommandAction(operator_menu, Fruit::Apple)->isVisible());
}
