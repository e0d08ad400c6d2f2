// What the HUD's source files share: the guarded access to its state (port/hud/HUDState.h).
// Private to hud/.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>

#include "port/Foundation/FoundationRuntime.h"
#include "port/hud/HUDState.h"

namespace quorvane::hud {

// The HUD's files message and hold objects throughout.
using qv::Ref;
using qv::send;

HUDState& hudState(id hud);

template <typename T>
T load(const std::atomic<T>& value) {
  return value.load(std::memory_order_relaxed);
}

// Guarded reads and writes. A replaced value is let go after the lock: its dealloc may come
// back to the HUD.
qv::Ref<> objectOf(id hud, qv::Ref<> HUDState::*field);
void storeObject(id hud, qv::Ref<> HUDState::*field, qv::Ref<> value);
CGSize sizeOf(id hud, CGSize HUDState::*field);
void storeSize(id hud, CGSize HUDState::*field, CGSize value);

// A key name as a template argument, for setters that announce their key.
template <std::size_t N>
struct Key {
  char text[N];
  constexpr Key(const char (&name)[N]) {
    for (std::size_t i = 0; i < N; ++i) text[i] = name[i];
  }
};

// The class, once registered (RuvelProgressHUD.cpp).
Class hudClass();

// Method groups of the other source files.
void addLifecycleMethods(qv::ClassBuilder& builder);  // HUDLifecycle.cpp
void addLayoutMethods(qv::ClassBuilder& builder);     // HUDLayout.cpp

}  // namespace quorvane::hud
