// A process-wide flag that is YES exactly while a replaced implementation runs: set on entry,
// put back as it was on the way out, also around a nested run and when the run raises.
#pragma once

#include <objc/objc.h>

namespace quorvane {

class ScopedFlag {
 public:
  // Relaxed atomic access: other threads may read the flag while the main thread sets it. The
  // compiler's atomic built-ins work on the plain exported flag with every standard library.
  explicit ScopedFlag(BOOL& flag)
      : flag_(flag), outer_(__atomic_exchange_n(&flag, YES, __ATOMIC_RELAXED)) {}
  ~ScopedFlag() { __atomic_store_n(&flag_, outer_, __ATOMIC_RELAXED); }
  ScopedFlag(const ScopedFlag&) = delete;
  ScopedFlag& operator=(const ScopedFlag&) = delete;

 private:
  BOOL& flag_;
  BOOL outer_;
};

}  // namespace quorvane
