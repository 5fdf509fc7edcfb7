#pragma once
// The busy cursor while a long operation runs on the interface thread, for as long as
// this object lives.

#include <QApplication>

namespace hemulu {

class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace hemulu
