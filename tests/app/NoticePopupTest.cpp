#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QTest>

#include "app/NoticePopup.h"

using namespace hemulu;

// The notice lies over the page's lower right corner, where the zero-stock box is.
TEST(NoticePopup, ClicksPassThroughToThePageAndCloseTheNotice) {
  QWidget host;
  host.resize(600, 400);
  auto* box = new QCheckBox(QStringLiteral("显示零库存商品"), &host);
  auto* notice = new NoticePopup(&host);
  host.show();
  notice->Show(QStringLiteral("提示"), QStringLiteral("续存商品完成"));
  ASSERT_TRUE(notice->isVisible());
  box->setGeometry(QRect(notice->geometry().center() - QPoint(60, 10), QSize(120, 20)));
  const QPoint in_box = box->geometry().center();
  ASSERT_TRUE(notice->geometry().contains(in_box));

  // A click elsewhere leaves the notice in place.
  QTest::mouseClick(&host, Qt::LeftButton, {}, QPoint(20, 20));
  EXPECT_TRUE(notice->isVisible());

  // The control under the notice is what the mouse finds there, and its click arrives.
  QWidget* target = host.childAt(in_box);
  ASSERT_EQ(target, box);
  QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(&host, in_box));
  EXPECT_TRUE(box->isChecked());
  EXPECT_FALSE(notice->isVisible());

  // The next notice shows again, and still lets the box be clicked.
  notice->Show(QStringLiteral("提示"), QStringLiteral("新建入库完成"));
  EXPECT_TRUE(notice->isVisible());
  QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
  EXPECT_FALSE(box->isChecked());
}
