// The child of the lost-sale test: a program process on a program folder that sells,
// lists the program folder in the backup folder browser, and sells again when told to.
// Each finished step is one line on standard output: the first sale's ID, -1 once the
// browser has listed the folder and closed, the second sale's ID. It then waits to be
// killed.
//
//   hemulu-lock-child <program folder> mended   the program's own prompter (QtPrompter)
//   hemulu-lock-child <program folder> broken   the folder browser as it was before the
//                                               mend: Qt's getExistingDirectory, whose
//                                               file model reads the files it lists

#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <string>

#include "ChildSupport.h"
#include "app/QtPrompter.h"
#include "data/AppContext.h"
#include "data/Clock.h"
#include "sales/SalesLogic.h"

namespace {

using namespace hemulu;
using namespace hemulu::test;

// Closes the folder browser once its file model has listed `folder`.
class CloseWhenListed final : public QObject {
 public:
  explicit CloseWhenListed(QString folder) : folder_(QDir::cleanPath(std::move(folder))) {
    qApp->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* dialog = qobject_cast<QFileDialog*>(watched);
    if (dialog && event->type() == QEvent::Show)
      for (QFileSystemModel* model : dialog->findChildren<QFileSystemModel*>())
        connect(model, &QFileSystemModel::directoryLoaded, dialog, [this, dialog](const QString& path) {
          if (QDir::cleanPath(path) == folder_) QTimer::singleShot(0, dialog, &QDialog::reject);
        });
    return false;
  }

 private:
  QString folder_;
};

bool Sell(AppContext& ctx) {
  SaleForm form;
  form.name = QStringLiteral("可口可乐");
  form.shown_stock = QStringLiteral("10");
  form.actual_price = QStringLiteral("3");
  form.quantity = QStringLiteral("1");
  form.amount = QStringLiteral("3");
  form.debt = QStringLiteral("0");
  form.date = QDate(2026, 12, 8);
  form.customer_number = QStringLiteral("20261281030");
  const auto id = RecordSale(ctx, 1, form);
  if (!id) {
    std::fprintf(stderr, "sale: %s\n", id.error().message.toUtf8().constData());
    return false;
  }
  AnswerLine(*id);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: hemulu-lock-child <program folder> mended|broken\n");
    return 2;
  }
  const QString dir = QString::fromLocal8Bit(argv[1]);
  const bool broken = std::string(argv[2]) == "broken";
  std::unique_ptr<Prompter> prompter;
  if (broken)
    prompter = std::make_unique<SilentPrompter>();
  else
    prompter = std::make_unique<QtPrompter>();
  SystemClock clock;
  SilentNotifier notifier;
  AppContext ctx(dir, *prompter, clock, notifier);
  ctx.session.SetUser(kSuperAdministrator, QStringLiteral("735"));
  if (auto open = ctx.EnsureDatabaseOpen(); !open) {
    std::fprintf(stderr, "open: %s\n", open.error().message.toUtf8().constData());
    return 4;
  }
  if (!Sell(ctx)) return 6;

  CloseWhenListed closer(dir);
  const QString title = QStringLiteral("请选择要备份到的目录");
  if (broken)
    (void)QFileDialog::getExistingDirectory(nullptr, title, dir);
  else
    (void)prompter->ChooseFolder(title, dir);
  AnswerLine(-1);

  // Another client reads the database now; the parent says when it is done.
  char go = 0;
  if (read(STDIN_FILENO, &go, 1) != 1) return 7;
  if (!Sell(ctx)) return 6;
  for (;;) pause();
}
