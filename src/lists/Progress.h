#pragma once
// How long work reports how far it has come, with no widget: the window that started
// the work turns the reports into a progress dialog (lists/WorkProgress.h).

#include <cstdint>
#include <functional>

namespace hemulu {

// Hears `done` of `total` steps, the counts rising; returning false asks the work to stop
// (the user cancelled). An empty function hears nothing and never stops the work.
using Progress = std::function<bool(std::int64_t done, std::int64_t total)>;

// Reports a stretch of longer work: the stretch's steps, whatever their number, are
// heard as the `span` steps from `offset` on, of `total`.
inline Progress StretchOf(const Progress& whole, std::int64_t offset, std::int64_t span, std::int64_t total) {
  if (!whole) return {};
  return [whole, offset, span, total](std::int64_t done, std::int64_t of) {
    return whole(offset + (of > 0 ? done * span / of : span), total);
  };
}

// Calls `progress` once every `every` steps and at the last one, so tight loops pay for
// a report only now and then; false once the work is to stop.
inline bool Report(const Progress& progress, std::int64_t done, std::int64_t total, std::int64_t every = 256) {
  if (!progress || (done % every != 0 && done != total)) return true;
  return progress(done, total);
}

}  // namespace hemulu
