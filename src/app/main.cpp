// hemulu: bookkeeping for a small shop.
#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLockFile>
#include <QTranslator>
#include <cstdio>

#include "app/Artwork.h"
#include "app/Program.h"
#include "app/QtNotifier.h"
#include "app/QtPrompter.h"
#include "data/AppContext.h"
#include "data/Clock.h"
#include "data/EmbeddedFiles.h"

namespace hemulu {
const QString kAlreadyRunningText =
    QStringLiteral("禾木鹭进销存已经在运行。\n\n同一文件夹中的程序只能同时打开一个，请使用已经打开的窗口。");
}  // namespace hemulu

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("hemulu"));
  QApplication::setWindowIcon(hemulu::ProgramIcon());
  // Qt's own texts (dialog buttons, the folder browser, edit menus) in Chinese, where
  // the system has Qt's translations.
  QTranslator qt_texts;
  if (qt_texts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&qt_texts);
  // Closing a window of ours ends the run only through Program::Finished.
  QApplication::setQuitOnLastWindowClosed(false);

  const QString program_dir = QCoreApplication::applicationDirPath();
  hemulu::QtPrompter prompter;
  // One program per folder: two would each sell from figures the other has changed.
  // The lock is taken before anything is written, so a second start touches nothing; a
  // lock left by a killed program names a process that no longer runs and is taken over.
  QLockFile lock(QDir(program_dir).filePath(QStringLiteral("hemulu.lock")));
  lock.setStaleLockTime(0);
  if (!lock.tryLock(0) && lock.error() == QLockFile::LockFailedError) {
    std::fprintf(stderr, "hemulu: already running in %s\n", qUtf8Printable(program_dir));
    prompter.ShowMessage(hemulu::kAlreadyRunningText, hemulu::MessageKind::Information);
    return 1;
  }
  if (auto written = hemulu::WriteWorkingFiles(program_dir, QDir::homePath()); !written) {
    std::fprintf(stderr, "hemulu: cannot write %s\n", qUtf8Printable(written.error()));
    prompter.ShowMessage(hemulu::WorkingFileFailureText(written.error()), hemulu::MessageKind::Stop);
    return 1;
  }

  hemulu::SystemClock clock;
  hemulu::QtNotifier notifier;
  hemulu::AppContext ctx(program_dir, prompter, clock, notifier);

  hemulu::Program program(ctx, hemulu::ProgramParts(ctx), &notifier);
  QObject::connect(&program, &hemulu::Program::Finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
  program.Start();
  return app.exec();
}
