#include "capture/CameraScreenHooks.h"

#include <array>

#include "capture/CameraScreenRules.h"
#include "capture/CaptureHooks.h"
#include "capture/DeviceFormats.h"
#include "capture/ScopedFlag.h"
#include "core/Settings.h"
#include "hud/Notice.h"
#include "port/CoreFoundation/CoreFoundation.h"
#include "port/Foundation/Foundation.h"
#include "port/dispatch/dispatch.h"

namespace quorvane {

BOOL creatingSlalomIndicator = NO;

namespace {

using qv::send;

// The version from which the indicator sits two levels below the camera's own view.
constexpr double kIndicatorInCameraViewVersion = 1217.11;

// Filled on the first tap, and looked up again while the host has no such class.
Class captureControllerClass = Nil;

id indicatorOf(id cameraView) {
  return send<id>(send<id>(cameraView, "_bottomBar"_sel), "slalomIndicatorView"_sel);
}

bool isStockTap(id target, Ivar actionIvar) {
  // The action is a selector, which the ivar holds as a pointer.
  const SEL action = reinterpret_cast<SEL>(object_getIvar(target, actionIvar));
  return send<BOOL>(NSStringFromSelector(action), "isEqualToString:"_sel,
                    "_slalomIndicatorTapped:"_ns) != NO;
}

// Removes every recognizer of the indicator with a target whose action is the stock tap.
void removeStockTap(id cameraView) {
  Ivar targetsIvar = class_getInstanceVariable(objc_getClass("UIGestureRecognizer"), "_targets");
  Ivar actionIvar =
      class_getInstanceVariable(NSClassFromString("UIGestureRecognizerTarget"_ns), "_action");
  if (targetsIvar == nullptr || actionIvar == nullptr) return;
  // The snapshot array holds the recognizers while they leave the indicator.
  id snapshot = send<id>(indicatorOf(cameraView), "gestureRecognizers"_sel);
  for (id recognizer : elementsOf(snapshot)) {
    for (id target : elementsOf(object_getIvar(recognizer, targetsIvar))) {
      if (isStockTap(target, actionIvar)) {
        send(indicatorOf(cameraView), "removeGestureRecognizer:"_sel, recognizer);
      }
    }
  }
}

}  // namespace

void showCameraNotice(id view, id message, std::function<void()> completion, double seconds) {
  if (view == nil) {
    if (completion) dispatch_async(dispatch_get_main_queue(), std::move(completion));
    return;
  }
  showNotice(view, TWEAK_NAME, message, std::move(completion), seconds);
}

namespace CAMCameraView {

void replaced__slalomIndicatorTapped_(id self, SEL _cmd, id sender) {
  if (captureControllerClass == Nil) captureControllerClass = objc_getClass("CAMCaptureController");
  const double rate =
      send<double>(send<id>(captureControllerClass, "sharedInstance"_sel), "mogulFrameRate"_sel);
  if (!stockTapAllowed(rate)) return;
  original__slalomIndicatorTapped_(self, _cmd, sender);
}

void replaced__createSlalomIndicatorIfNecessary(id self, SEL _cmd) {
  {
    ScopedFlag creating(creatingSlalomIndicator);
    original__createSlalomIndicatorIfNecessary(self, _cmd);
  }
  if (!settings.indicatorTap) return;
  removeStockTap(self);
}

void replaced__showControlsForCapturingVideoAnimated_(id self, SEL _cmd, BOOL animated) {
  original__showControlsForCapturingVideoAnimated_(self, _cmd, animated);
  if (send<long>(self, "cameraMode"_sel) != 2) return;
  send(indicatorOf(self), "setHidden:"_sel, BOOL{settings.hideIndicator});
}

void replaced__hideControlsForCapturingVideoAnimated_(id self, SEL _cmd, BOOL animated) {
  original__hideControlsForCapturingVideoAnimated_(self, _cmd, animated);
  if (send<long>(self, "cameraMode"_sel) != 2) return;
  send(indicatorOf(self), "setHidden:"_sel, BOOL{NO});
}

}  // namespace CAMCameraView

namespace CAMApplicationViewController {

void replaced__kickoffCameraControllerPreview(id self, SEL _cmd) {
  const std::uint64_t rate = settings.MogulFramerate;
  if (mogulFramerateSupported()) {
    original__kickoffCameraControllerPreview(self, _cmd);
    return;
  }
  // The rate is unsigned: printed as such, a saturated setting does not read as negative.
  id message =
      qv::sendVarargs<id, id>(objc_getClass("NSString"), "stringWithFormat:"_sel,
                              "❗ Unsupported FPS: %lu\nHead to settings to change this."_ns,
                              static_cast<unsigned long>(rate));
  showCameraNotice(send<id>(self, "view"_sel), message, {}, 10.0);
  previewBlocked = YES;
}

}  // namespace CAMApplicationViewController

namespace CAMCameraSpec {

BOOL replaced_shouldCreateSlalomIndicator(id, SEL) {
  return YES;
}

BOOL replaced_isPhone(id self, SEL _cmd) {
  if (creatingSlalomIndicator) return YES;
  return original_isPhone(self, _cmd);
}

}  // namespace CAMCameraSpec

namespace CAMBottomBar {

void replaced__layoutForVerticalOrientation(id self, SEL _cmd) {
  original__layoutForVerticalOrientation(self, _cmd);
  const double width = send<CGRect>(self, "frame"_sel).size.width;
  send(send<id>(self, "slalomIndicatorView"_sel), "setFrame:"_sel, indicatorFrame(width));
}

}  // namespace CAMBottomBar
}  // namespace quorvane

id cameraView(id view) {
  using qv::send;
  if (kCFCoreFoundationVersionNumber >= quorvane::kIndicatorInCameraViewVersion) {
    return send<id>(send<id>(view, "superview"_sel), "superview"_sel);
  }
  Class controller = objc_getClass("CAMCaptureController");
  if (controller == Nil) controller = objc_getClass("PLCameraController");
  return send<id>(send<id>(controller, "sharedInstance"_sel), "delegate"_sel);
}

namespace quorvane {

MethodHook showControlsRow() {
  return instanceHook(CAMCameraView::method__showControlsForCapturingVideoAnimated_());
}

MethodHook hideControlsRow() {
  return instanceHook(CAMCameraView::method__hideControlsForCapturingVideoAnimated_());
}

std::span<const MethodHook> cameraViewHooks() {
  namespace view = CAMCameraView;
  static const std::array<MethodHook, 4> rows{
      instanceHook(view::method__slalomIndicatorTapped_()),
      instanceHook(view::method__createSlalomIndicatorIfNecessary()),
      showControlsRow(),
      hideControlsRow(),
  };
  return rows;
}

std::span<const MethodHook> applicationViewControllerHooks() {
  namespace controller = CAMApplicationViewController;
  static const std::array<MethodHook, 1> rows{
      instanceHook(controller::method__kickoffCameraControllerPreview()),
  };
  return rows;
}

std::span<const MethodHook> cameraSpecHooks() {
  namespace spec = CAMCameraSpec;
  static const std::array<MethodHook, 2> rows{
      instanceHook(spec::method_shouldCreateSlalomIndicator()),
      instanceHook(spec::method_isPhone()),
  };
  return rows;
}

std::span<const MethodHook> padApplicationSpecHooks() {
  static const std::array<MethodHook, 1> rows{
      addedMethod<"B@:">(CAMCameraSpec::method_shouldCreateSlalomIndicator()),
  };
  return rows;
}

std::span<const MethodHook> bottomBarHooks() {
  namespace bar = CAMBottomBar;
  static const std::array<MethodHook, 1> rows{
      instanceHook(bar::method__layoutForVerticalOrientation()),
  };
  return rows;
}

}  // namespace quorvane
