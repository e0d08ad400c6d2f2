// What the HUD's source files share: its C++ state and the guarded access to it. Private to
// hud/.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>

#include "port/CoreGraphics/CGGeometry.h"
#include "port/Foundation/FoundationRuntime.h"

namespace quorvane::hud {

// The HUD's files message and hold objects throughout.
using qv::Ref;
using qv::send;

struct HUDState {
  // Object-valued and size-valued properties are read and written whole under this lock.
  std::mutex lock;
  std::function<void()> completionBlock;
  qv::Ref<> customView;
  id delegate = nil;  // not owned
  qv::Ref<> labelText;
  qv::Ref<> detailsLabelText;
  qv::Ref<> color;
  qv::Ref<> labelFont;
  qv::Ref<> labelColor;
  qv::Ref<> detailsLabelFont;
  qv::Ref<> detailsLabelColor;
  qv::Ref<> activityIndicatorColor;
  CGSize minSize;
  CGSize size;
  qv::Ref<> indicator;
  qv::Ref<> graceTimer;
  qv::Ref<> minShowTimer;
  qv::Ref<> showStarted;
  SEL methodForExecution = nullptr;
  qv::Ref<> targetForExecution;
  qv::Ref<> objectForExecution;

  // Scalar properties. A task may set them from its own thread while the main thread reads
  // them: relaxed atomics keep that free of data races at the cost of a plain load.
  std::atomic<int> mode{0};
  std::atomic<int> animationType{0};
  std::atomic<float> opacity{0};
  std::atomic<float> xOffset{0};
  std::atomic<float> yOffset{0};
  std::atomic<float> margin{0};
  std::atomic<float> cornerRadius{0};
  std::atomic<float> graceTime{0};
  std::atomic<float> minShowTime{0};
  std::atomic<float> progress{0};
  std::atomic<BOOL> dimBackground{NO};
  std::atomic<BOOL> taskInProgress{NO};
  std::atomic<BOOL> removeFromSuperViewOnHide{NO};
  std::atomic<BOOL> square{NO};

  // Main thread only.
  bool useAnimation = false;
  qv::Ref<> label;
  qv::Ref<> detailsLabel;
  CGAffineTransform rotationTransform = CGAffineTransformIdentity;
  bool registered = false;  // observation and notification subscriptions are in place
};

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
