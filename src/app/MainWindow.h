#pragma once
// The main window: navigation bar, header with the two menu buttons and the
// information line, the seven pages, the pop-up menus and the notification-area icon.

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>

#include "data/AppContext.h"
#include "ui/Pages.h"

class QLabel;
class QMenu;
class QStackedWidget;
class QSystemTrayIcon;
class QTextBrowser;

namespace hemulu {

class NavigationBar;
class NoticePopup;

// The navigation items, in display order.
enum NavigationItem : int {
  kStockItem = 0,
  kSalesItem = 1,
  kChartsItem = 2,
  kLedgerItem = 3,
  kBankItem = 4,
  kSummaryItem = 5,
  kSettingsItem = 6,
  kUserManagementItem = 7,
  kDataMaintenanceItem = 8,
  kAboutItem = 9,
  kItemCount = 10
};

// Creates the widget of a page inside `parent` the first time the page is
// shown; nullptr leaves the page's placeholder in place. MainWindow::Of(parent) gives
// the main window, for its menus and ShowPage.
using PageFactory = std::function<QWidget*(PageIndex page, QWidget* parent)>;

// What the subsystems plug into the main window. Every member may be empty.
struct MainWindowParts {
  PageFactory create_page;
  // Runs every time the charts page is shown, after it exists.
  std::function<void(QWidget* charts_page)> recompute_charts;
  // The modal windows of the navigation items and of 系统菜单, owned by `parent`.
  std::function<void(QWidget* parent)> open_settings;
  std::function<void(QWidget* parent)> open_user_management;
  std::function<void(QWidget* parent)> open_data_maintenance;
  // The checkout counter (the header's "收银台" button and F2 from any page).
  std::function<void(QWidget* parent)> open_checkout;
  // Refills a page that has been created (with `page` as create_page returned it) after
  // data.db was replaced as a whole, by a re-initialisation or a restore. Each subsystem
  // refills its own pages and forgets any chosen row; pages it does not know are left.
  std::function<void(PageIndex page, QWidget* widget)> refill_page;
  // After the same replacement: forgets every row of the old data held outside the
  // pages (closes the edit and change windows that hold one, clears a chosen goods row)
  // and gives how many windows it closed.
  std::function<int(QWidget* main)> forget_old_rows;
};

inline const QString kOperatorRefusedTitle = QStringLiteral("出错了");
inline const QString kHelpInPreparation = QStringLiteral("帮助文件制作中.");
// Said once data.db has been replaced as a whole, when it closed windows or ends the login.
inline const QString kRowWindowsClosedText =
    QStringLiteral("数据库已被替换，已打开的修改窗口中的记录属于原来的数据，这些窗口已关闭。");
inline const QString kAccountGoneText = QStringLiteral("当前登录的账号 [%1] 在新的数据中已不存在，请重新登录。");

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  // The current user must be set: the menus and the information line follow it.
  explicit MainWindow(AppContext& ctx, MainWindowParts parts = {}, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Asks the program to end this run and start again (a changed database setting).
  void RequestRestart() { emit RestartNeeded(); }

  // The main window that holds `widget`, or nullptr.
  static MainWindow* Of(QWidget* widget);

  // One of the seven pop-up menus by its name (kStockMenu, ...); nullptr for others.
  // The page that owns a menu connects its items with CommandAction / OnCommand.
  QMenu* Menu(const QString& name) const;

  NavigationBar* Navigation() const { return navigation_; }
  PageIndex CurrentPage() const;
  // The widget of a page, nullptr until the page has been shown once.
  QWidget* Page(PageIndex page) const;
  // The notification-area icon; nullptr where the desktop has none.
  QSystemTrayIcon* TrayIcon() const { return tray_; }

  // "您好，" + user + 20 blanks + "今天是：" + y-m-d without leading zeros + 40 blanks.
  static QString InformationLine(const QString& user_name, const QDate& today);

 public slots:
  // Makes a page visible, creating it the first time; the charts page recomputes.
  void ShowPage(PageIndex page);
  // The action of a navigation item.
  void ActivateItem(int item_index);
  // A balloon notice: through the notification-area icon where there is one,
  // otherwise inside this window. Never modal.
  void ShowNotice(const QString& title, const QString& text);
  // Opens the local help page at one of its sections ("help", "features", "about").
  void ShowHelp(const QString& section);
  // Shows the window in its normal state and in front.
  void Restore();
  // data.db now holds other rows: every created page is refilled (refill_page), the
  // charts page recomputed. Pages not yet created fill themselves when first shown.
  void RefillPages();
  // data.db has been replaced as a whole (a restore or a re-initialisation): the pages
  // refill, windows that hold a row of the old data close, and one message says why.
  // False when the logged-in account is not in the new data: the caller leaves its
  // modal window and calls ReturnToLogin.
  bool DataReplaced();
  // The checkout counter, in front.
  void OpenCheckout();
  // Ends this login: the program shows the login window again (LoginNeeded).
  void ReturnToLogin() { emit LoginNeeded(); }

  // Where the window's size, position and maximised state are kept between runs.
  static QString WindowStatePath();

 signals:
  void RestartNeeded();
  // The window has been closed; the program ends.
  void Closed();
  // The logged-in account is gone: the program closes this window and shows the login.
  void LoginNeeded();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QWidget* BuildHeader();
  void BuildNavigation();
  void ConnectOwnMenuItems();
  void CreateTrayIcon();
  QWidget* MakePlaceholder(PageIndex page, QWidget* host) const;
  // Where an in-window notice lies, in the central widget's coordinates.
  QRect NoticeArea() const;
  void OpenUserManagement();

  AppContext& ctx_;
  MainWindowParts parts_;
  QHash<QString, QMenu*> menus_;
  NavigationBar* navigation_ = nullptr;
  QLabel* information_ = nullptr;
  QStackedWidget* stack_ = nullptr;
  std::array<QWidget*, kPageCount> hosts_{};
  std::array<QWidget*, kPageCount> pages_{};
  NoticePopup* notice_ = nullptr;
  QSystemTrayIcon* tray_ = nullptr;
  QPointer<QWidget> help_window_;
  QTextBrowser* help_browser_ = nullptr;
};

// The caption of a page (the caption of its navigation item).
QString PageCaption(PageIndex page);

}  // namespace hemulu
