// The HUD's C++ state: the instance variable of RuvelProgressHUD, which the stand-in's class
// builder adds at run time and the device's class declares at build time
// (device/hud/RuvelProgressHUDClass.mm). Its methods live in hud/.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>

#include "port/CoreGraphics/CGGeometry.h"
#include "port/objc/Ref.h"

namespace quorvane::hud {

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

}  // namespace quorvane::hud
