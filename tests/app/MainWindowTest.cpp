#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <map>

#include "TestSupport.h"
#include "app/MainMenus.h"
#include "app/MainWindow.h"
#include "app/NavigationBar.h"
#include "app/QtNotifier.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

// Captions, "—" for a separator, sub-menu items after "<caption>>".
QStringList Outline(const QMenu* menu, const QString& prefix = {}) {
  QStringList out;
  for (QAction* action : menu->actions()) {
    if (action->isSeparator()) {
      out << prefix + QStringLiteral("—");
    } else if (action->menu()) {
      out << prefix + action->text() + QStringLiteral(">");
      out << Outline(action->menu(), prefix + action->text() + QStringLiteral(">"));
    } else {
      EXPECT_EQ(action->objectName(), action->text());
      out << prefix + action->text();
    }
  }
  return out;
}

const std::vector<std::pair<QString, QString>> kOperatorHidden = {
    {kStockMenu, "修改(退货)"},   {kStockMenu, "删除"},     {kStockMenu, "隐藏进货单价"}, {kStockMenu, "隐藏进货金额"},
    {kStockMenu, "隐藏存货金额"}, {kSalesMenu, "删除数据"}, {kLedgerMenu, "删 除 数 据"}, {kBankMenu, "删除存取"}};

}  // namespace

// A shop on a server names the server, not the folder that holds only its config.ini.
// Nothing connects for this: the line comes from the configured address.
TEST(MainWindow, AShopOnAServerNamesTheServerUnderTheAboutPicture) {
  QTemporaryDir dir;
  ScriptedPrompter prompter;
  FixedClock clock;
  RecordingNotifier notifier;
  ServerAddress server;
  server.host = QStringLiteral("till-server");
  server.port = 5433;
  server.database = QStringLiteral("shop");
  AppContext ctx(dir.path(), server, prompter, clock, notifier);
  MainWindow window(ctx);
  auto* folder = window.findChild<QLabel*>("数据文件夹");
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(folder->text(), "数据库服务器：till-server:5433，数据库 shop（设置在 " + dir.path() + "）");
}

TEST(MainWindow, OpensOnTheAboutPageWithTitleItemsAndInformationLine) {
  TestApp app;
  app.clock.Set(QDateTime(QDate(2027, 1, 5), QTime(9, 0)));
  MainWindow window(app.ctx());
  EXPECT_EQ(window.windowTitle(), "禾木鹭商品进销存系统v1.0  - 简单版");
  EXPECT_EQ(window.CurrentPage(), kAboutPage);
  auto* about = window.findChild<QLabel*>("关于页面");
  ASSERT_NE(about, nullptr);
  EXPECT_FALSE(about->pixmap().isNull());
  // Which shop is open, under the picture.
  auto* folder = window.findChild<QLabel*>("数据文件夹");
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(folder->text(), "数据文件夹：" + app.Dir());
  EXPECT_EQ(folder->parentWidget(), about->parentWidget());

  EXPECT_EQ(window.findChild<QLabel*>("信息栏")->text(),
            "您好，超级管理员" + QString(20, ' ') + "今天是：2027-1-5" + QString(40, ' '));

  const QStringList captions = {"商品库",   "销售明细", "销售图表", "其他收支", "存款管理",
                                "汇总统计", "系统设置", "用户管理", "数据管理", "关于我们"};
  NavigationBar* nav = window.Navigation();
  ASSERT_EQ(nav->Count(), 10);
  QSet<QByteArray> icons;  // each item has a picture of its own
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(nav->Item(i)->text(), captions[i]);
    EXPECT_FALSE(nav->Item(i)->icon().isNull());
    const QImage image = nav->Item(i)->icon().pixmap(32, 32).toImage();
    icons.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
  }
  EXPECT_EQ(icons.size(), 10);
  EXPECT_TRUE(nav->Item(kAboutItem)->isChecked());

  // The window fits a 1366 x 768 screen.
  EXPECT_LE(window.width(), 1366);
  EXPECT_LE(window.height(), 768);
}

TEST(MainWindow, ADeepShopFolderIsShownWithoutWideningTheWindow) {
  TestApp app;
  MainWindow usual(app.ctx());
  QString deep = app.Dir();
  for (int i = 0; i < 30; ++i) deep += "/很长的文件夹名称";
  AppContext deep_ctx(deep, app.prompter, app.clock, app.notifier);
  deep_ctx.session.SetUser("超级管理员", "735");
  MainWindow window(deep_ctx);
  auto* folder = window.findChild<QLabel*>("数据文件夹");
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(folder->text(), "数据文件夹：" + deep);  // whole, for the tool tip and a reader
  EXPECT_EQ(folder->toolTip(), deep);
  EXPECT_EQ(window.minimumSizeHint().width(), usual.minimumSizeHint().width());
}

TEST(MainWindow, BuildsAllSevenMenusWithTheirItemsInOrder) {
  TestApp app;
  MainWindow window(app.ctx());
  const std::map<QString, QStringList> expected = {
      {kSystemMenu, {"系统设置", "用户管理", "数据备份", "—", "官方网站", "关于我们", "—", "退出程序"}},
      {kHelpMenu, {"最新特性", "—", "使用帮助", "在线帮助"}},
      {kStockMenu,
       {"商品入库",
        "—",
        "商品续存",
        "修改(退货)",
        "删除",
        "商品流水",
        "—",
        "查看记录>",
        "查看记录>销售记录",
        "查看记录>汇总统计",
        "—",
        "刷新显示",
        "导出Excel",
        "打印",
        "—",
        "显示模式>",
        "显示模式>隐藏进货单价",
        "显示模式>隐藏进货金额",
        "显示模式>隐藏存货金额",
        "显示模式>查看进货单价"}},
      {kSalesMenu,
       {"修改数据",
        "—",
        "删除数据",
        "—",
        "小票打印",
        "按小票号查询",
        "—",
        "客户对账单",
        "—",
        "输出Excel",
        "—",
        "打印销售",
        "设置显示信息>",
        "设置显示信息>隐藏销售单价",
        "设置显示信息>隐藏销售日期",
        "设置显示信息>隐藏欠款金额",
        "设置显示信息>隐藏净利润",
        "设置显示信息>—",
        "设置显示信息>隐藏全部客户信息",
        "设置显示信息>—",
        "设置显示信息>显示全部信息"}},
      {kLedgerMenu, {"删 除 数 据", "—", "导出Excel", "打印"}},
      {kBankMenu, {"新建存取", "修改存取", "删除存取", "—", "存取细节", "存取汇总", "—", "导出Excel", "打印"}},
      {kSummaryMenu, {"刷新显示"}},
  };
  for (const auto& [name, items] : expected) {
    QMenu* menu = window.Menu(name);
    ASSERT_NE(menu, nullptr) << name.toStdString();
    EXPECT_EQ(menu->objectName(), name);
    EXPECT_EQ(Outline(menu), items) << name.toStdString();
  }
  EXPECT_EQ(window.Menu("没有这个菜单"), nullptr);
  EXPECT_EQ(FindMenuItem(window.Menu(kStockMenu), "查看进货单价")->text(), "查看进货单价");
}

// The seven items of the menus' own rules, and the bank's delete as the ledger's.
TEST(MainWindow, EightItemsAreHiddenForAnOperatorOnly) {
  TestApp super_app;
  MainWindow super_window(super_app.ctx());
  for (const auto& [menu, item] : kOperatorHidden) {
    QAction* action = FindMenuItem(super_window.Menu(menu), item);
    ASSERT_NE(action, nullptr) << item.toStdString();
    EXPECT_TRUE(action->isVisible()) << item.toStdString();
  }

  TestApp operator_app("张三");
  MainWindow operator_window(operator_app.ctx());
  int visible = 0, hidden = 0;
  for (QMenu* menu : operator_window.findChildren<QMenu*>()) {
    for (QAction* action : menu->actions()) {
      if (action->isSeparator() || action->menu()) continue;
      const bool listed = std::find(kOperatorHidden.begin(), kOperatorHidden.end(),
                                    std::pair(menu->objectName() == "显示模式" ? kStockMenu : menu->objectName(),
                                              action->text())) != kOperatorHidden.end();
      EXPECT_EQ(action->isVisible(), !listed) << action->text().toStdString();
      (action->isVisible() ? visible : hidden)++;
    }
  }
  EXPECT_EQ(hidden, 8);
  EXPECT_GT(visible, 30);
  // The operator keeps the item guarded by the super-administrator password.
  EXPECT_TRUE(FindMenuItem(operator_window.Menu(kStockMenu), "查看进货单价")->isVisible());
}

TEST(MainWindow, AnOperatorIsRefusedUserManagementFromTheItemAndTheMenu) {
  for (const QString& user : {QStringLiteral("张三"), kSuperAdministrator}) {
    TestApp app(user);
    int opened = 0;
    MainWindowParts parts;
    parts.open_user_management = [&](QWidget*) { ++opened; };
    MainWindow window(app.ctx(), parts);

    window.Navigation()->Item(kUserManagementItem)->click();
    FindMenuItem(window.Menu(kSystemMenu), "用户管理")->trigger();

    if (user == kSuperAdministrator) {
      EXPECT_EQ(opened, 2);
      EXPECT_TRUE(app.notifier.notices.empty());
    } else {
      EXPECT_EQ(opened, 0);
      ASSERT_EQ(app.notifier.notices.size(), 2u);
      for (const auto& notice : app.notifier.notices) {
        EXPECT_EQ(notice.title, "出错了");
        EXPECT_EQ(notice.text, " 对不起，您不能这么做!\n\n请使用超级管理员账号登陆");
      }
    }
    EXPECT_TRUE(app.prompter.Prompts().empty());
    EXPECT_EQ(window.CurrentPage(), kAboutPage);
    EXPECT_FALSE(window.Navigation()->Item(kUserManagementItem)->isChecked());
    EXPECT_TRUE(window.Navigation()->Item(kAboutItem)->isChecked());
  }
}

TEST(MainWindow, GridPagesAreCreatedOnceAndTheChartsRecomputeOnEveryShowing) {
  TestApp app;
  std::map<int, int> created;
  std::vector<MainWindow*> owners;
  int recomputed = 0;
  QWidget* charts_seen = nullptr;
  MainWindowParts parts;
  parts.create_page = [&](int index, QWidget* parent) -> QWidget* {
    ++created[index];
    owners.push_back(MainWindow::Of(parent));
    if (index == kStockPage || index == kChartsPage) {
      auto* page = new QWidget(parent);
      page->setObjectName(QStringLiteral("测试页%1").arg(index));
      return page;
    }
    return nullptr;  // not plugged in yet
  };
  parts.recompute_charts = [&](QWidget* page) {
    ++recomputed;
    charts_seen = page;
  };
  MainWindow window(app.ctx(), parts);
  EXPECT_TRUE(created.empty());  // nothing is built before it is shown

  NavigationBar* nav = window.Navigation();
  for (int item : {kStockItem, kSalesItem, kStockItem, kChartsItem, kLedgerItem, kChartsItem, kStockItem})
    nav->Item(item)->click();
  EXPECT_EQ(created, (std::map<int, int>{{kStockPage, 1}, {kSalesPage, 1}, {kChartsPage, 1}, {kLedgerPage, 1}}));
  EXPECT_EQ(recomputed, 2);
  EXPECT_EQ(owners, std::vector<MainWindow*>(4, &window));  // pages reach the menus and ShowPage
  EXPECT_EQ(charts_seen, window.Page(kChartsPage));
  EXPECT_EQ(window.CurrentPage(), kStockPage);
  EXPECT_TRUE(nav->Item(kStockItem)->isChecked());
  EXPECT_EQ(window.Page(kStockPage)->objectName(), "测试页0");
  auto* placeholder = qobject_cast<QLabel*>(window.Page(kSalesPage));
  ASSERT_NE(placeholder, nullptr);
  EXPECT_EQ(placeholder->text(), "销售明细");
  EXPECT_EQ(window.Page(kBankPage), nullptr);

  // Pages fill their page area at every window size.
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  for (QSize size : {QSize(780, 560), QSize(700, 520)}) {
    window.resize(size);
    QApplication::processEvents();
    QWidget* page = window.Page(kStockPage);
    const QSize area = page->parentWidget()->size();
    EXPECT_EQ(page->size(), area - QSize(6, 6)) << size.width();
    EXPECT_GT(page->width(), size.width() / 2);
  }

  window.ShowPage(kAboutPage);
  window.ShowPage(kStockPage);
  EXPECT_EQ(created[kStockPage], 1);
}

TEST(MainWindow, WindowItemsCallTheirHooksAndKeepThePageMarked) {
  TestApp app;
  std::vector<QString> opened;
  MainWindowParts parts;
  parts.open_settings = [&](QWidget* parent) { opened.push_back("settings:" + parent->objectName()); };
  parts.open_data_maintenance = [&](QWidget* parent) { opened.push_back("data:" + parent->objectName()); };
  MainWindow window(app.ctx(), parts);
  window.ShowPage(kSalesPage);
  window.Navigation()->Item(kSettingsItem)->click();
  window.Navigation()->Item(kDataMaintenanceItem)->click();
  FindMenuItem(window.Menu(kSystemMenu), "系统设置")->trigger();
  FindMenuItem(window.Menu(kSystemMenu), "数据备份")->trigger();
  EXPECT_EQ(opened, (std::vector<QString>{"settings:主窗口", "data:主窗口", "settings:主窗口", "data:主窗口"}));
  EXPECT_EQ(window.CurrentPage(), kSalesPage);
  EXPECT_TRUE(window.Navigation()->Item(kSalesItem)->isChecked());
  EXPECT_FALSE(window.Navigation()->Item(kSettingsItem)->isChecked());

  FindMenuItem(window.Menu(kSystemMenu), "关于我们")->trigger();
  EXPECT_EQ(window.CurrentPage(), kAboutPage);
  EXPECT_TRUE(window.Navigation()->Item(kAboutItem)->isChecked());
}

TEST(MainWindow, HelpItemsAndExit) {
  TestApp app;
  MainWindow window(app.ctx());
  QSignalSpy closed(&window, &MainWindow::Closed);
  window.show();

  app.prompter.ExpectMessage("帮助文件制作中.");
  FindMenuItem(window.Menu(kHelpMenu), "使用帮助")->trigger();
  ASSERT_EQ(app.prompter.Prompts().size(), 1u);
  EXPECT_EQ(app.prompter.Prompts()[0].text, "帮助文件制作中.");
  EXPECT_EQ(app.prompter.Prompts()[0].icon, MessageKind::Information);

  FindMenuItem(window.Menu(kHelpMenu), "在线帮助")->trigger();
  auto* help = window.findChild<QDialog*>("帮助窗口");
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());
  EXPECT_FALSE(help->isModal());
  FindMenuItem(window.Menu(kSystemMenu), "官方网站")->trigger();
  FindMenuItem(window.Menu(kHelpMenu), "最新特性")->trigger();
  EXPECT_EQ(window.findChildren<QDialog*>("帮助窗口").size(), 1);
  EXPECT_EQ(app.prompter.Prompts().size(), 1u);

  FindMenuItem(window.Menu(kSystemMenu), "退出程序")->trigger();
  EXPECT_EQ(closed.count(), 1);
  EXPECT_FALSE(window.isVisible());
}

TEST(MainWindow, WithoutATrayNoticesShowInsideTheWindowWithoutBlocking) {
  TestApp app;
  MainWindow window(app.ctx());
  ASSERT_EQ(window.TrayIcon(), nullptr);  // the offscreen desktop has no notification area
  window.show();
  QtNotifier notifier;
  notifier.Notify("提示", "没有窗口时不显示");  // before the window is known: no crash
  notifier.SetWindow(&window);
  notifier.Notify("提示", "销售商品完成");
  auto* notice = window.findChild<QWidget*>("提示窗");
  ASSERT_NE(notice, nullptr);
  EXPECT_TRUE(notice->isVisible());
  EXPECT_EQ(window.findChild<QLabel*>("提示标题")->text(), "提示");
  EXPECT_EQ(window.findChild<QLabel*>("提示内容")->text(), "销售商品完成");
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  const QRect inside = window.centralWidget()->rect();
  EXPECT_TRUE(inside.contains(notice->geometry()));
}

TEST(MainWindow, OpensOnMostOfTheScreenAndRemembersItsPlace) {
  TestApp app;
  QFile::remove(MainWindow::WindowStatePath());
  QRect available;
  QSize left_at;
  {
    MainWindow window(app.ctx());
    available = window.screen()->availableGeometry();
    const QSize expected = QSize(available.width() * 19 / 20, available.height() * 9 / 10)
                               .expandedTo(QSize(1240, 690))
                               .boundedTo(available.size());
    EXPECT_EQ(window.size(), expected);
    window.show();
    window.setGeometry(available.x() + 10, available.y() + 20, 700, 500);
    left_at = window.size();
    window.close();
  }
  EXPECT_TRUE(QFile::exists(MainWindow::WindowStatePath()));
  {
    MainWindow window(app.ctx());
    EXPECT_EQ(window.size(), left_at);
    window.showMaximized();
    window.close();
  }
  {
    MainWindow window(app.ctx());
    window.show();
    EXPECT_TRUE(window.windowState() & Qt::WindowMaximized);
    window.close();
  }
  QFile::remove(MainWindow::WindowStatePath());
}
