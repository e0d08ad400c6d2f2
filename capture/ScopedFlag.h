// A process-wide flag that is YES exactly while a replaced implementation runs: set on entry,
// put back as it was on the way out, also around a nested run and when the run raises.
#pragma once

#include <objc/objc.h>

#include <atomic>

namespace quorvane {

class ScopedFlag {
 public:
  // Relaxed atomic access: other threads may read the flag while the main thread sets it.
  explicit ScopedFlag(BOOL& flag)
      : flag_(flag), outer_(std::atomic_ref<BOOL>(flag).exchange(YES)) {}
  ~ScopedFlag() { std::atomic_ref<BOOL>(flag_).store(outer_); }
  ScopedFlag(const ScopedFlag&) = delete;
  ScopedFlag& operator=(const ScopedFlag&) = delete;

 private:
  BOOL& flag_;
  BOOL outer_;
};

}  // namespace quorvane
