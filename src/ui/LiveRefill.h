#pragma once
// A page that shows tables refills itself when a committed write changes one of them
// (AppContext::changes: this program's writes, and on a server every program's).

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

class QWidget;

namespace hemulu {

struct AppContext;

class LiveRefill : public QObject {
  Q_OBJECT

 public:
  // A hidden page refills when it is shown again, not for every change meanwhile. A
  // message box, an input box or a pop-up menu that is open holds the refill until it
  // closes: the code that opened it may still hold a row of the list as it was.
  static constexpr int kRetryMs = 200;

  // `refill` refills the page keeping the user's place (selection, scroll, search).
  // Owned by `page`.
  LiveRefill(AppContext& ctx, QWidget* page, QStringList tables, std::function<void()> refill);

  // A change the page has not shown yet.
  bool Pending() const { return pending_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Changed(const QSet<QString>& tables);
  void RefillWhenFree();

  QWidget* page_;
  QSet<QString> tables_;
  std::function<void()> refill_;
  bool pending_ = false;
  QTimer retry_;
};

}  // namespace hemulu
