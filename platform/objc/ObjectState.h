// Where a class's C++ state lives inside its instances, the same on every target: an instance
// variable whose offset the class's builder records once the class is in place.
#pragma once

#include <cstddef>
#include <new>

#include <objc/runtime.h>

namespace qv {

// Where a state type lives inside an object; set once its class is registered.
template <typename State>
struct StateSlot {
  static inline std::ptrdiff_t offset = -1;
};

template <typename State>
State& stateOf(id object) {
  return *std::launder(
      reinterpret_cast<State*>(reinterpret_cast<char*>(object) + StateSlot<State>::offset));
}

}  // namespace qv
