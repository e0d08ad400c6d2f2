// Where a class's C++ state lives inside its instances, the same on every target: an instance
// variable whose offset the class's builder records once the class is in place.
#pragma once

#include <cstddef>
#include <new>

#include <objc/runtime.h>

namespace qv {

// Where a state type lives inside an object; set once its class is registered. It starts zero,
// as data shared by every object file starts on the device's armv7 slice.
template <typename State>
struct StateSlot {
  static inline std::ptrdiff_t offset = 0;
};

template <typename State>
State& stateOf(id object) {
  return *std::launder(
      reinterpret_cast<State*>(reinterpret_cast<char*>(object) + StateSlot<State>::offset));
}

}  // namespace qv
