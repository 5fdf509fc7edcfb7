#pragma once
// Which tables a committed write changed: in this program (either engine), or on a
// server in any program connected to the same database. Pages that show one of them
// refill by it instead of being refreshed by hand after each write.

#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

namespace hemulu {

// The server's notification channel; each notification's payload names the tables one
// transaction changed, separated by commas.
inline constexpr const char* kChangeChannel = "hemulu_changes";

// Every table of the database, for "anything may have changed" (after a reconnection,
// when notifications may have been missed).
QSet<QString> AllTables();

class ChangeFeed : public QObject {
  Q_OBJECT

 public:
  // A burst of writes (a restore of many rows, several tills selling at once) is told
  // once: changes within this many milliseconds of the first are gathered.
  static constexpr int kGatherMs = 100;

  explicit ChangeFeed(QObject* parent = nullptr);

  // Tables a commit changed; told through TablesChanged from the event loop, never from
  // inside the write that committed them.
  void Note(const QSet<QString>& tables);

 signals:
  void TablesChanged(const QSet<QString>& tables);

 private:
  void Tell();

  QSet<QString> pending_;
  QTimer timer_;
};

}  // namespace hemulu
