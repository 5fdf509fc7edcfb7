// The program's POSIX locks on data.db and data.db-shm survive every dialog that lists
// the program folder and every print path. Closing any descriptor of a file drops every
// POSIX lock the process holds on it, so a dialog that opens data.db to guess its type
// leaves the database looking unused to every other SQLite client.
//
// The real dialogs run here (offscreen), on a real program folder with its database
// open in WAL mode, behind the program's own prompter.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPrintDialog>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <set>

#include "TestSupport.h"
#include "admin/MaintenanceWindow.h"
#include "app/MainMenus.h"
#include "app/QtPrompter.h"
#include "data/EmbeddedFiles.h"
#include "sales/ReceiptPrinter.h"
#include "sales/SalesLogic.h"
#include "sales/SalesMenus.h"
#include "sales/SalesPage.h"

using namespace hemulu;
using namespace hemulu::test;

namespace {

constexpr int kWaitMs = 20000;

quint64 InodeOf(const QString& path) {
  struct stat st {};
  return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

// This process's locks on the given files, one "inode kind start end" text each, as
// /proc/locks lists them.
std::multiset<std::string> OurLocks(const std::set<quint64>& inodes) {
  std::multiset<std::string> found;
  QFile file(QStringLiteral("/proc/locks"));
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return found;
  const QString pid = QString::number(getpid());
  for (const QByteArray& raw : file.readAll().split('\n')) {
    // "1: POSIX  ADVISORY  READ 29608 fe:00:10953027 128 128"; a waiter has "->" first.
    const QStringList f = QString::fromLatin1(raw).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (f.size() != 8 || f[4] != pid) continue;
    const quint64 inode = f[5].section(QLatin1Char(':'), 2).toULongLong();
    if (inodes.contains(inode))
      found.insert(QStringLiteral("%1 %2 %3 %4 %5").arg(inode).arg(f[1], f[3], f[6], f[7]).toStdString());
  }
  return found;
}

// Counts the folders the file models of every window list, once loaded: a model lists a
// folder in a thread of its own and says so with directoryLoaded.
class ListingWatch final : public QObject {
 public:
  ListingWatch() { qApp->installEventFilter(this); }
  ~ListingWatch() override { qApp->removeEventFilter(this); }
  bool Listed(const QString& folder) const { return listed_.contains(QDir::cleanPath(folder)); }
  void Forget() { listed_.clear(); }
  // Waits, with the event loop running, until a model has listed `folder`.
  bool WaitListed(const QString& folder) {
    return QTest::qWaitFor([&] { return Listed(folder); }, kWaitMs);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if ((event->type() == QEvent::Polish || event->type() == QEvent::Show) && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->isWindow())
      for (QFileSystemModel* model : watched->findChildren<QFileSystemModel*>()) {
        if (models_.contains(model)) continue;
        models_.insert(model);
        connect(model, &QFileSystemModel::directoryLoaded, this,
                [this](const QString& path) { listed_.insert(QDir::cleanPath(path)); });
      }
    return false;
  }

 private:
  QSet<QObject*> models_;
  QSet<QString> listed_;
};

// Runs `answer` on the next modal window other than `below` once it is shown. When the
// answer leaves it open (an assertion inside failed), it is rejected so that the test
// goes on and reports the failure instead of hanging.
void WhenDialogShows(std::function<void(QWidget*)> answer, QWidget* below = nullptr) {
  auto* timer = new QTimer;
  timer->setInterval(0);
  QPointer<QWidget> under(below);
  QObject::connect(timer, &QTimer::timeout, [timer, answer, under, below] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog || dialog == below || (below && !under)) return;
    timer->stop();
    timer->deleteLater();
    QPointer<QWidget> guard(dialog);
    answer(dialog);
    if (guard && guard->isVisible()) {
      ADD_FAILURE() << "the answer left " << guard->windowTitle().toStdString() << " open";
      if (auto* box = qobject_cast<QDialog*>(guard.data())) box->reject();
    }
  });
  timer->start();
}

// A program folder as the program starts it, its database open (WAL) with a sale in the
// -wal, behind the program's real prompter.
class LockKeeping : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    ASSERT_TRUE(WriteWorkingFiles(Dir(), Dir()).has_value());
    ctx_ = std::make_unique<AppContext>(Dir(), prompter_, clock_, notifier_);
    ctx_->session.SetUser(kSuperAdministrator, QStringLiteral("735"));
    ASSERT_TRUE(ctx_->EnsureDatabaseOpen().has_value());
    const qint64 goods = InsertGoods(ctx_->db, {});
    SaleForm form;
    form.name = QStringLiteral("可口可乐");
    form.shown_stock = QStringLiteral("10");
    form.actual_price = QStringLiteral("3");
    form.quantity = QStringLiteral("1");
    form.amount = QStringLiteral("3");
    form.debt = QStringLiteral("0");
    form.date = QDate(2026, 12, 8);
    form.customer_number = QStringLiteral("20261281030");
    const auto sale = RecordSale(*ctx_, goods, form);
    ASSERT_TRUE(sale.has_value());
    sale_id_ = *sale;
    ASSERT_TRUE(QFileInfo::exists(Path("data.db-wal")));
    inodes_ = {InodeOf(Path("data.db")), InodeOf(Path("data.db-shm"))};
    locks_ = OurLocks(inodes_);
    // The engine holds a lock on each while the connection is open.
    std::set<quint64> locked;
    for (const std::string& lock : locks_) locked.insert(std::stoull(lock));
    ASSERT_EQ(locked, inodes_) << "no locks of ours on data.db and data.db-shm to begin with";
  }

  QString Dir() const { return QDir::cleanPath(dir_.path()); }
  QString Path(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }

  void ExpectLocksKept(const char* after) {
    const auto now = OurLocks(inodes_);
    EXPECT_EQ(now, locks_) << "locks on data.db / data.db-shm lost " << after;
  }

  // Prints from the preview the next modal window is: its 打印 asks the print dialog,
  // whose output file is typed into the program folder (its completer lists the folder)
  // and then chosen with its "..." browser (which lists it too); the PDF is written.
  void PrintToPdfThroughTheDialogs(const QString& pdf, const std::function<void()>& open_preview) {
    watch_.Forget();
    WhenDialogShows([&](QWidget* preview) {
      QAction* print = preview->findChild<QAction*>(QStringLiteral("打印"));
      ASSERT_NE(print, nullptr);
      WhenDialogShows(
          [&](QWidget* window) {
            auto* dialog = qobject_cast<QPrintDialog*>(window);
            ASSERT_NE(dialog, nullptr);
            auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("printers"));
            ASSERT_NE(printers, nullptr);
            const int to_file = printers->findText(QStringLiteral("PDF"), Qt::MatchContains);
            ASSERT_GE(to_file, 0);
            printers->setCurrentIndex(to_file);
            auto* filename = dialog->findChild<QLineEdit*>(QStringLiteral("filename"));
            ASSERT_NE(filename, nullptr);
            // The completer follows the box that has the focus, as the user's typing does.
            QApplication::setActiveWindow(dialog);
            filename->setFocus();
            ASSERT_TRUE(filename->hasFocus());
            // Typed as a user types, a folder at a time: the completer lists each folder
            // as its name is finished.
            filename->clear();
            for (const QString& part : Dir().split(QLatin1Char('/'))) {
              QTest::keyClicks(filename, part + QStringLiteral("/"));
              ASSERT_TRUE(watch_.WaitListed(part.isEmpty() ? QStringLiteral("/") : QFileInfo(filename->text()).path()))
                  << "the output file completer never listed " << filename->text().toStdString();
            }
            ExpectLocksKept("once the print dialog's completer listed the program folder");
            QTest::keyClicks(filename, QFileInfo(pdf).fileName());

            auto* browse = dialog->findChild<QAbstractButton*>(QStringLiteral("fileBrowser"));
            ASSERT_NE(browse, nullptr);
            watch_.Forget();
            WhenDialogShows(
                [&](QWidget* chooser) {
                  ASSERT_NE(qobject_cast<QFileDialog*>(chooser), nullptr);
                  EXPECT_TRUE(watch_.WaitListed(Dir())) << "the print dialog's file browser never listed the folder";
                  ExpectLocksKept("once the print dialog's file browser listed the program folder");
                  static_cast<QDialog*>(chooser)->accept();
                },
                dialog);
            browse->click();
            EXPECT_EQ(QFileInfo(filename->text()).absoluteFilePath(), pdf);
            dialog->accept();
          },
          preview);
      print->trigger();
      static_cast<QDialog*>(preview)->reject();
    });
    open_preview();
    EXPECT_GT(QFileInfo(pdf).size(), 500) << "no PDF printed";
  }

  QTemporaryDir dir_;
  QtPrompter prompter_;
  FixedClock clock_;
  RecordingNotifier notifier_;
  std::unique_ptr<AppContext> ctx_;
  qint64 sale_id_ = 0;
  std::set<quint64> inodes_;
  std::multiset<std::string> locks_;
  ListingWatch watch_;
};

TEST_F(LockKeeping, TheBackupFolderBrowserListsTheProgramFolderAndOpensWhereTheBackupGoes) {
  MaintenanceWindow window(*ctx_, {});
  window.findChild<QLineEdit*>(QStringLiteral("编辑框1"))->setText(Path("BackupData.db"));
  QString opened_in;
  WhenDialogShows([&](QWidget* dialog) {
    auto* browser = qobject_cast<QFileDialog*>(dialog);
    ASSERT_NE(browser, nullptr);
    opened_in = QDir::cleanPath(browser->directory().absolutePath());
    EXPECT_TRUE(watch_.WaitListed(Dir())) << "the folder browser never listed the program folder";
    ExpectLocksKept("while the folder browser shows the program folder");
    browser->reject();
  });
  window.findChild<QPushButton*>(QStringLiteral("选择位置"))->click();
  EXPECT_EQ(opened_in.toStdString(), Dir().toStdString());
  ExpectLocksKept("after the folder browser");

  // The box names a file in a folder not made yet: the browser opens in the nearest
  // folder of it that exists.
  QTemporaryDir other;
  window.findChild<QLineEdit*>(QStringLiteral("编辑框1"))->setText(other.filePath("新建/备份/BackupData.db"));
  WhenDialogShows([&](QWidget* dialog) {
    opened_in = QDir::cleanPath(static_cast<QFileDialog*>(dialog)->directory().absolutePath());
    static_cast<QDialog*>(dialog)->reject();
  });
  window.findChild<QPushButton*>(QStringLiteral("选择位置"))->click();
  EXPECT_EQ(opened_in.toStdString(), QDir::cleanPath(other.path()).toStdString());
}

TEST_F(LockKeeping, TheRestoreChooserListsTheProgramFolderAndShowsTheKeptDatabase) {
  {
    QFile kept(Path("data.db.before-restore"));
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
  }
  MaintenanceWindow window(*ctx_, {});
  window.findChild<QLineEdit*>(QStringLiteral("编辑框1"))->setText(Path("BackupData.db"));
  QStringList shown;
  WhenDialogShows([&](QWidget* dialog) {
    auto* chooser = qobject_cast<QFileDialog*>(dialog);
    ASSERT_NE(chooser, nullptr);
    EXPECT_TRUE(watch_.WaitListed(Dir())) << "the restore chooser never listed the program folder";
    ExpectLocksKept("while the restore chooser shows the program folder");
    auto* model = chooser->findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    const QModelIndex folder = model->index(Dir());
    for (int r = 0; r < model->rowCount(folder); ++r) shown << model->index(r, 0, folder).data().toString();
    chooser->reject();
  });
  window.findChild<QPushButton*>(QStringLiteral("恢复备份数据库"))->click();
  ExpectLocksKept("after the restore chooser");
  // The database kept by the last restore is offered, as the window's hint names it.
  EXPECT_TRUE(shown.contains(QStringLiteral("data.db.before-restore"))) << shown.join(' ').toStdString();
  EXPECT_TRUE(shown.contains(QStringLiteral("data.db")));
  EXPECT_FALSE(shown.contains(QStringLiteral("config.ini")));
}

TEST_F(LockKeeping, PrintingTheSalesListAndAReceiptToPdfAndExportingKeepTheLocks) {
  QWidget owner;
  const auto menus = BuildMainMenus(&owner, true);
  SalesPage page(*ctx_, menus.value(kSalesMenu), &owner);
  page.resize(1200, 600);

  PrintToPdfThroughTheDialogs(Path("list.pdf"), [&] { page.Print(); });
  ExpectLocksKept("after printing the sales list to PDF");

  const auto receipt = LoadReceipt(*ctx_, sale_id_);
  ASSERT_TRUE(receipt.has_value());
  PrintToPdfThroughTheDialogs(Path("receipt.pdf"), [&] { PrintReceipt(*receipt, prompter_, &owner); });
  ExpectLocksKept("after printing a receipt to PDF");

  // An export is written into the program folder beside the database.
  ASSERT_TRUE(page.Export().has_value());
  EXPECT_TRUE(QFileInfo::exists(Path("sales.xlsx")));
  ExpectLocksKept("after exporting the sales list");
}

}  // namespace
