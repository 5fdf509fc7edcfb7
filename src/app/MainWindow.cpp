#include "app/MainWindow.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QGraphicsView>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstdio>
#include <optional>

#include "app/Artwork.h"
#include "app/Login.h"
#include "app/LoginWindow.h"
#include "app/MainMenus.h"
#include "app/NavigationBar.h"
#include "app/NoticePopup.h"

namespace hemulu {

namespace {

const std::array<QString, kItemCount> kItemCaptions = {
    QStringLiteral("商品库"),   QStringLiteral("销售明细"), QStringLiteral("销售图表"), QStringLiteral("其他收支"),
    QStringLiteral("存款管理"), QStringLiteral("汇总统计"), QStringLiteral("系统设置"), QStringLiteral("用户管理"),
    QStringLiteral("数据管理"), QStringLiteral("关于我们")};

// The page an item shows; none for the items that open a window.
std::optional<PageIndex> PageOfItem(int item_index) {
  if (item_index >= kStockItem && item_index <= kSummaryItem) return static_cast<PageIndex>(item_index);
  if (item_index == kAboutItem) return kAboutPage;
  return std::nullopt;
}

int ItemOfPage(PageIndex page_index) {
  // The pages' items stand at their page's index; only the about page's does not.
  return page_index == kAboutPage ? static_cast<int>(kAboutItem) : static_cast<int>(page_index);
}

// One line of plain text that never widens its window: too long for its width, it loses
// its middle to "…" (a deep folder); the tool tip holds it whole.
class ElidedLabel : public QLabel {
 public:
  ElidedLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  }
  QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const QRect area = contentsRect();
    style()->drawItemText(&painter, area, static_cast<int>(alignment()), palette(), isEnabled(),
                          fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width()), foregroundRole());
  }
};

// A window size that fits a 1366 x 768 screen with its task bar and frame.
constexpr QSize kSmallestSize(1240, 690);
constexpr auto kGeometryKey = "main/geometry";

}  // namespace

QString PageCaption(PageIndex page_index) {
  if (page_index < 0 || page_index >= kPageCount) return {};
  return kItemCaptions[static_cast<std::size_t>(ItemOfPage(page_index))];
}

QString MainWindow::InformationLine(const QString& user_name, const QDate& today) {
  return QStringLiteral("您好，") + user_name + QString(20, QLatin1Char(' ')) + QStringLiteral("今天是：") +
         QStringLiteral("%1-%2-%3").arg(today.year()).arg(today.month()).arg(today.day()) +
         QString(40, QLatin1Char(' '));
}

MainWindow::MainWindow(AppContext& ctx, MainWindowParts parts, QWidget* parent)
    : QMainWindow(parent), ctx_(ctx), parts_(std::move(parts)) {
  setObjectName(QStringLiteral("主窗口"));
  setWindowIcon(ProgramIcon());
  menus_ = BuildMainMenus(this, ctx_.session.IsSuperAdministrator());

  auto* central = new QWidget(this);
  auto* outer = new QVBoxLayout(central);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  outer->addWidget(BuildHeader());
  auto* body = new QHBoxLayout;
  body->setContentsMargins(0, 0, 0, 0);
  body->setSpacing(0);
  BuildNavigation();
  body->addWidget(navigation_);
  stack_ = new QStackedWidget(central);
  stack_->setObjectName(QStringLiteral("页面栈"));
  for (int i = 0; i < kPageCount; ++i) {
    // Each page lives in a host that the page fills, whatever the window's size.
    auto* host = new QWidget(stack_);
    auto* host_layout = new QVBoxLayout(host);
    host_layout->setContentsMargins(3, 3, 3, 3);
    hosts_[static_cast<std::size_t>(i)] = host;
    stack_->addWidget(host);
  }
  body->addWidget(stack_, 1);
  outer->addLayout(body, 1);
  setCentralWidget(central);
  notice_ = new NoticePopup(central);
  notice_->SetArea([this] { return NoticeArea(); });

  information_->setText(InformationLine(ctx_.session.UserName(), ctx_.clock.Now().date()));
  ConnectOwnMenuItems();
  setWindowTitle(kProgramTitle);
  CreateTrayIcon();

  if (!restoreGeometry(QSettings(WindowStatePath(), QSettings::IniFormat).value(kGeometryKey).toByteArray())) {
    // First run: most of the screen, so every column of the lists shows its text whole;
    // never below the smallest size the pages are laid out for unless the screen is smaller.
    const QRect available = screen()->availableGeometry();
    const QSize most(available.width() * 19 / 20, available.height() * 9 / 10);
    resize(most.expandedTo(kSmallestSize).boundedTo(available.size()));
    move(available.center() - QPoint(width() / 2, height() / 2));
  }
  ShowPage(kAboutPage);
}

MainWindow::~MainWindow() = default;

QWidget* MainWindow::BuildHeader() {
  auto* header = new QFrame(this);
  header->setObjectName(QStringLiteral("标题栏"));
  header->setStyleSheet(QStringLiteral(
      "#标题栏 { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #17607e, stop:1 #2bb6a3); }"
      "#标题栏 QLabel { color: #ffffff; }"
      "#程序名称 { font-size: 18px; font-weight: bold; }"
      "#标题栏 QToolButton { color: #ffffff; border: 1px solid transparent; border-radius: 5px; padding: 3px 8px; }"
      "#标题栏 QToolButton:hover, #标题栏 QToolButton:focus { border-color: #bfe9ef; background: #2a8ea0; }"
      "#标题栏 QToolButton::menu-indicator { image: none; }"));
  auto* logo = new QLabel(header);
  logo->setPixmap(ProgramIcon().pixmap(40, 40));
  auto* name = new QLabel(kProgramName, header);
  name->setObjectName(QStringLiteral("程序名称"));
  information_ = new QLabel(header);
  information_->setObjectName(QStringLiteral("信息栏"));
  information_->setTextFormat(Qt::PlainText);

  auto make_menu_button = [&](const QString& object_name, const QString& text, const QIcon& icon, QMenu* menu) {
    auto* button = new QToolButton(header);
    button->setObjectName(object_name);
    button->setText(text);
    button->setIcon(icon);
    button->setIconSize(QSize(22, 22));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setMenu(menu);
    return button;
  };
  QToolButton* system_button =
      make_menu_button(QStringLiteral("系统按钮"), QStringLiteral("系统"), SystemMenuIcon(), Menu(kSystemMenu));
  QToolButton* help_button =
      make_menu_button(QStringLiteral("帮助按钮"), QStringLiteral("帮助"), HelpMenuIcon(), Menu(kHelpMenu));
  // The counter is what a shop opens most: one click in the header, F2 from anywhere.
  auto* checkout_button = new QToolButton(header);
  checkout_button->setObjectName(QStringLiteral("收银台按钮"));
  checkout_button->setText(QStringLiteral("收银台 (F2)"));
  checkout_button->setIcon(NavigationIcon(kSalesItem));
  checkout_button->setIconSize(QSize(22, 22));
  checkout_button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  checkout_button->setToolTip(QStringLiteral("打开收银台：扫码收银、挂单取单、退货"));
  connect(checkout_button, &QToolButton::clicked, this, &MainWindow::OpenCheckout);
  auto* checkout_key = new QAction(QStringLiteral("收银台"), this);
  checkout_key->setObjectName(QStringLiteral("收银台快捷键"));
  checkout_key->setShortcut(QKeySequence(Qt::Key_F2));
  checkout_key->setShortcutContext(Qt::ApplicationShortcut);
  connect(checkout_key, &QAction::triggered, this, [this] {
    // Not over a modal window's head: that window has the user's attention.
    if (!QApplication::activeModalWidget()) OpenCheckout();
  });
  addAction(checkout_key);

  auto* layout = new QHBoxLayout(header);
  layout->setContentsMargins(12, 8, 12, 8);
  layout->setSpacing(10);
  layout->addWidget(logo);
  auto* titles = new QVBoxLayout;
  titles->setSpacing(2);
  titles->addWidget(name);
  titles->addWidget(information_);
  layout->addLayout(titles, 1);
  layout->addWidget(checkout_button);
  layout->addSpacing(8);
  layout->addWidget(system_button);
  layout->addWidget(help_button);
  return header;
}

void MainWindow::BuildNavigation() {
  navigation_ = new NavigationBar(this);
  for (int i = 0; i < kItemCount; ++i)
    navigation_->AddItem(kItemCaptions[static_cast<std::size_t>(i)], NavigationIcon(i), PageOfItem(i).has_value());
  connect(navigation_, &NavigationBar::ItemActivated, this, &MainWindow::ActivateItem);
}

void MainWindow::ConnectOwnMenuItems() {
  const auto on = [this](const QString& menu, ShellCommand command, std::function<void()> run) {
    OnCommand(Menu(menu), command, this, std::move(run));
  };
  using enum ShellCommand;
  on(kSystemMenu, Settings, [this] { ActivateItem(kSettingsItem); });
  // The same rule as the navigation item: an operator is refused here too.
  on(kSystemMenu, UserManagement, [this] { ActivateItem(kUserManagementItem); });
  on(kSystemMenu, DataBackup, [this] { ActivateItem(kDataMaintenanceItem); });
  on(kSystemMenu, Website, [this] { ShowHelp(QStringLiteral("about")); });
  on(kSystemMenu, About, [this] { ShowPage(kAboutPage); });
  on(kSystemMenu, Quit, [this] { close(); });
  on(kHelpMenu, Features, [this] { ShowHelp(QStringLiteral("features")); });
  on(kHelpMenu, Help, [this] { ctx_.ShowMessage(kHelpInPreparation, MessageKind::Information); });
  on(kHelpMenu, OnlineHelp, [this] { ShowHelp(QStringLiteral("help")); });
}

void MainWindow::CreateTrayIcon() {
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
  tray_ = new QSystemTrayIcon(ProgramIcon(), this);
  tray_->setToolTip(kProgramName);
  // A right click pops up the system menu; Qt shows the context menu itself.
  tray_->setContextMenu(Menu(kSystemMenu));
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::DoubleClick) Restore();
  });
  tray_->show();
}

MainWindow* MainWindow::Of(QWidget* widget) { return widget ? qobject_cast<MainWindow*>(widget->window()) : nullptr; }

QMenu* MainWindow::Menu(const QString& name) const { return menus_.value(name); }

PageIndex MainWindow::CurrentPage() const { return static_cast<PageIndex>(stack_->currentIndex()); }

QWidget* MainWindow::Page(PageIndex page_index) const {
  if (page_index < 0 || page_index >= kPageCount) return nullptr;
  return pages_[static_cast<std::size_t>(page_index)];
}

QWidget* MainWindow::MakePlaceholder(PageIndex page_index, QWidget* host) const {
  if (page_index == kAboutPage) {
    auto* page = new QWidget(host);
    auto* about = new QLabel(page);
    about->setObjectName(QStringLiteral("关于页面"));
    about->setPixmap(AboutPicture());
    about->setAlignment(Qt::AlignCenter);
    // Which shop is open: with several on one computer (--data), or the program run both
    // from a copied folder and from the package, the folder tells them apart.
    // A shop on a server keeps only config.ini in the folder: the server is what tells
    // shops apart there.
    QString where = QStringLiteral("数据文件夹：") + QDir::toNativeSeparators(ctx_.shop_dir);
    if (const ServerAddress* server = ctx_.db.Server())
      where = QStringLiteral("数据库服务器：%1:%2，数据库 %3（设置在 %4）")
                  .arg(server->host)
                  .arg(server->port)
                  .arg(server->database, QDir::toNativeSeparators(ctx_.shop_dir));
    auto* folder = new ElidedLabel(where, page);
    folder->setObjectName(QStringLiteral("数据文件夹"));
    folder->setAlignment(Qt::AlignCenter);
    folder->setToolTip(ctx_.db.Server() ? where : ctx_.shop_dir);
    folder->setStyleSheet(QStringLiteral("color: #4a5a60;"));
    auto* layout = new QVBoxLayout(page);
    layout->addStretch(1);
    layout->addWidget(about);
    layout->addSpacing(12);
    layout->addWidget(folder);
    layout->addStretch(1);
    return page;
  }
  // A page whose subsystem has not been plugged in: its caption only.
  auto* placeholder = new QLabel(PageCaption(page_index), host);
  placeholder->setObjectName(QStringLiteral("占位页面"));
  placeholder->setAlignment(Qt::AlignCenter);
  placeholder->setStyleSheet(QStringLiteral("font-size: 22px; color: #7a8a90;"));
  return placeholder;
}

void MainWindow::ShowPage(PageIndex page_index) {
  if (page_index < 0 || page_index >= kPageCount) return;
  const auto slot = static_cast<std::size_t>(page_index);
  if (!pages_[slot]) {
    QWidget* host = hosts_[slot];
    QWidget* page = nullptr;
    if (page_index != kAboutPage && parts_.create_page) page = parts_.create_page(page_index, host);
    if (!page) page = MakePlaceholder(page_index, host);
    if (page->parentWidget() != host) page->setParent(host);
    host->layout()->addWidget(page);
    pages_[slot] = page;
  }
  stack_->setCurrentIndex(page_index);
  navigation_->SetCurrentItem(ItemOfPage(page_index));
  notice_->Replace();
  if (page_index == kChartsPage && parts_.recompute_charts) parts_.recompute_charts(pages_[slot]);
}

void MainWindow::ActivateItem(int item_index) {
  if (const auto page = PageOfItem(item_index)) {
    ShowPage(*page);
    return;
  }
  switch (item_index) {
    case kSettingsItem:
      if (parts_.open_settings) parts_.open_settings(this);
      break;
    case kUserManagementItem:
      OpenUserManagement();
      break;
    case kDataMaintenanceItem:
      if (parts_.open_data_maintenance) parts_.open_data_maintenance(this);
      break;
    default:
      break;
  }
  // A window item never stays marked: the shown page keeps its mark.
  navigation_->SetCurrentItem(ItemOfPage(CurrentPage()));
}

void MainWindow::OpenUserManagement() {
  if (!ctx_.session.IsSuperAdministrator()) {
    ctx_.notifier.Notify(kOperatorRefusedTitle, kOperatorRefusedText);
    return;
  }
  if (parts_.open_user_management) parts_.open_user_management(this);
}

void MainWindow::ShowNotice(const QString& title, const QString& text) {
  if (tray_ && tray_->isVisible() && QSystemTrayIcon::supportsMessages()) {
    tray_->showMessage(title, text, QSystemTrayIcon::Information, NoticePopup::kShowMs);
    return;
  }
  notice_->Show(title, text);
}

QRect MainWindow::NoticeArea() const {
  // Over the shown page's list (or chart), never over its boxes and buttons: the list
  // is the largest view on the page; the lowest of equals.
  const QWidget* page = Page(CurrentPage());
  if (!page || !page->isVisible()) return {};
  QWidget* central = centralWidget();
  const QRect shown(page->mapTo(central, QPoint(0, 0)), page->size());
  QRect best;
  const auto consider = [&](const QAbstractScrollArea* view) {
    const QWidget* viewport = view->viewport();
    if (!viewport->isVisible()) return;
    // Only the part in sight: a page that scrolls may hold a view partly outside it.
    const QRect r = QRect(viewport->mapTo(central, QPoint(0, 0)), viewport->size()) & shown;
    const qint64 area = qint64(r.width()) * r.height(), best_area = qint64(best.width()) * best.height();
    if (area > best_area || (area == best_area && r.top() > best.top())) best = r;
  };
  for (const QAbstractItemView* view : page->findChildren<QAbstractItemView*>()) consider(view);
  for (const QGraphicsView* view : page->findChildren<QGraphicsView*>()) consider(view);
  return best.isEmpty() ? shown : best;
}

void MainWindow::ShowHelp(const QString& section) {
  if (!help_window_) {
    auto* window = new QDialog(this);
    window->setObjectName(QStringLiteral("帮助窗口"));
    window->setWindowTitle(QStringLiteral("禾木鹭进销存 - 帮助"));
    window->setModal(false);
    help_browser_ = new QTextBrowser(window);
    help_browser_->setObjectName(QStringLiteral("帮助内容"));
    help_browser_->setHtml(HelpPageHtml());
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(help_browser_);
    window->resize(560, 460);
    help_window_ = window;
  }
  help_browser_->scrollToAnchor(section);
  help_window_->show();
  help_window_->raise();
  help_window_->activateWindow();
}

void MainWindow::OpenCheckout() {
  if (parts_.open_checkout) parts_.open_checkout(this);
}

void MainWindow::Restore() {
  showNormal();
  raise();
  activateWindow();
}

void MainWindow::RefillPages() {
  for (int n = 0; n < kPageCount; ++n) {
    const auto i = static_cast<PageIndex>(n);
    QWidget* page = pages_[static_cast<std::size_t>(n)];
    if (!page || i == kAboutPage) continue;
    if (i == kChartsPage) {
      if (parts_.recompute_charts) parts_.recompute_charts(page);
    } else if (parts_.refill_page) {
      parts_.refill_page(i, page);
    }
  }
}

bool MainWindow::DataReplaced() {
  RefillPages();
  const int closed = parts_.forget_old_rows ? parts_.forget_old_rows(this) : 0;
  // The account is looked up again; found, the session takes its stored password.
  bool account_kept = true;
  if (auto found = LookUpUser(ctx_, ctx_.session.UserName()); !found)
    std::fprintf(stderr, "hemulu: %s: %s\n", qUtf8Printable(ctx_.db.Path()), qUtf8Printable(found.error().message));
  else
    account_kept = *found;
  QStringList said;
  if (closed > 0) said << kRowWindowsClosedText;
  if (!account_kept) said << kAccountGoneText.arg(ctx_.session.UserName());
  if (!said.isEmpty()) ctx_.ShowMessage(said.join(QStringLiteral("\n\n")), MessageKind::Information);
  return account_kept;
}

QString MainWindow::WindowStatePath() {
  // The user's own settings of the window, apart from the shop's config.ini.
  return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/window.ini");
}

void MainWindow::closeEvent(QCloseEvent* event) {
  QSettings(WindowStatePath(), QSettings::IniFormat).setValue(kGeometryKey, saveGeometry());
  if (tray_) tray_->hide();
  event->accept();
  emit Closed();
}

}  // namespace hemulu
