// Autorelease pools: the runtime's per-thread pool stack (objc_autoreleasePoolPush and Pop), as a
// scope for C++ code.
#pragma once

#include <objc/runtime.h>

namespace qv {

class AutoreleasePool {
 public:
  AutoreleasePool();
  ~AutoreleasePool();
  AutoreleasePool(const AutoreleasePool&) = delete;
  AutoreleasePool& operator=(const AutoreleasePool&) = delete;

  // Releases what was autoreleased since the pool began; the pool stays in place.
  void drain();

 private:
  void* token_;
};

}  // namespace qv
