// hemulu: bookkeeping for a small shop.
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLockFile>
#include <QTranslator>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/Artwork.h"
#include "app/Program.h"
#include "app/QtNotifier.h"
#include "app/QtPrompter.h"
#include "app/ServerStart.h"
#include "app/ShopFolder.h"
#include "data/AppContext.h"
#include "data/Clock.h"
#include "data/EmbeddedFiles.h"
#include "data/StockMoves.h"

namespace hemulu {
QString AlreadyRunningText(const QString& folder) {
  return QStringLiteral(
             "禾木鹭进销存已经在运行。\n\n同一个数据文件夹只能同时由一个程序打开，请使用已经打开的窗口。\n") +
         folder;
}

// The running executable's folder, without a QApplication (which needs a display).
QString ProgramFolder(const char* argv0) {
  const QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
  return QFileInfo(exe.isEmpty() ? QFile::decodeName(argv0) : exe).absolutePath();
}
}  // namespace hemulu

int main(int argc, char** argv) {
  // The command line and the shop's folder come first: --version, --help and a refused
  // command line work without a display and write nothing.
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const hemulu::CommandLine command = hemulu::ParseCommandLine(arguments);
  switch (command.action) {
    case hemulu::CommandLine::Action::PrintVersion:
      std::printf("%s\n", qUtf8Printable(hemulu::VersionText()));
      return 0;
    case hemulu::CommandLine::Action::PrintHelp:
      std::printf("%s", qUtf8Printable(hemulu::HelpText()));
      return 0;
    case hemulu::CommandLine::Action::Refuse:
      std::fprintf(stderr, "%s\n", qUtf8Printable(command.problem));
      return 1;
    case hemulu::CommandLine::Action::Run:
      break;
  }
  const auto shop = hemulu::ChooseShopFolder({.program_dir = hemulu::ProgramFolder(argv[0]),
                                              .data_option = command.data_dir,
                                              .xdg_data_home = qEnvironmentVariable("XDG_DATA_HOME"),
                                              .home = QDir::homePath(),
                                              .working_dir = QDir::currentPath()});
  if (!shop) {
    std::fprintf(stderr, "%s\n", qUtf8Printable(shop.error().Describe()));
    // Whoever typed --data reads the terminal; a start from the menu needs a window.
    if (shop.error().from_option) return 1;
  }

  // Everything of this run is gone (the database closed, the folder's lock released)
  // before a restart asked for by the server set-up starts the program again.
  bool restart = false;
  QByteArray restart_path;
  int status = 0;
  {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("hemulu"));
    // The menu entry's name: the desktop matches the window to its entry and icon.
    QApplication::setDesktopFileName(QStringLiteral("hemulu"));
    QApplication::setWindowIcon(hemulu::ProgramIcon());
    // Qt's own texts (dialog buttons, the folder browser, edit menus) in Chinese, where
    // the system has Qt's translations.
    QTranslator qt_texts;
    if (qt_texts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
      QApplication::installTranslator(&qt_texts);
    // Closing a window of ours ends the run only through Program::Finished.
    QApplication::setQuitOnLastWindowClosed(false);

    hemulu::QtPrompter prompter;
    if (!shop) {
      prompter.ShowMessage(hemulu::ShopFolderFailureText(shop.error().folder), hemulu::MessageKind::Stop);
      return 1;
    }
    const QString& shop_dir = *shop;
    // One program per folder: two would each sell from figures the other has changed.
    // The lock is taken before anything is written, so a second start touches nothing; a
    // lock left by a killed program names a process that no longer runs and is taken over.
    QLockFile lock(QDir(shop_dir).filePath(QStringLiteral("hemulu.lock")));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0) && lock.error() == QLockFile::LockFailedError) {
      std::fprintf(stderr, "hemulu: already running in %s\n", qUtf8Printable(shop_dir));
      prompter.ShowMessage(hemulu::AlreadyRunningText(shop_dir), hemulu::MessageKind::Information);
      return 1;
    }
    if (auto written = hemulu::WriteWorkingFiles(shop_dir, QDir::homePath()); !written) {
      std::fprintf(stderr, "hemulu: cannot write %s\n", qUtf8Printable(written.error()));
      prompter.ShowMessage(hemulu::WorkingFileFailureText(written.error()), hemulu::MessageKind::Stop);
      return 1;
    }

    hemulu::SystemClock clock;
    hemulu::QtNotifier notifier;
    // The server chosen in config.ini, connected before the login; or the shop's file.
    const std::unique_ptr<hemulu::AppContext> context = hemulu::MakeShopContext(shop_dir, prompter, clock, notifier);
    hemulu::AppContext& ctx = *context;

    hemulu::Program program(ctx, hemulu::ProgramParts(ctx), &notifier);
    QObject::connect(&program, &hemulu::Program::Finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    program.Start();
    status = app.exec();
    // A clean exit: the next start checks only the goods changed after this point.
    (void)hemulu::MarkCleanExit(ctx);
    restart = program.RestartRequested();
    // Its real name, so the new run is "hemulu" to the system, not "exe".
    restart_path = QFile::encodeName(QCoreApplication::applicationFilePath());
  }
  if (restart) {
    ::execv(restart_path.constData(), argv);
    std::fprintf(stderr, "hemulu: cannot start again: %s\n", std::strerror(errno));
  }
  return status;
}
