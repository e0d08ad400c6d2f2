// The autorelease pool as a scope for C++ code, the same on every target: it begins a pool where
// it is made and ends it where it goes.
#pragma once

#include <cstdint>

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
  // Where this pool begins: its depth in the thread's stack of pools on the stand-in, the
  // runtime's pool boundary on the device.
  std::uintptr_t token_;
};

}  // namespace qv
