#pragma once

#include <QDateTime>

namespace hemulu {

// Today's date and time, injected so that tests can fix it.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual QDateTime Now() const = 0;
};

class SystemClock final : public Clock {
 public:
  QDateTime Now() const override { return QDateTime::currentDateTime(); }
};

}  // namespace hemulu
