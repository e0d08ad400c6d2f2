#include "capture/IndicatorChooser.h"

#include <array>
#include <functional>

#include "capture/CameraScreenHooks.h"
#include "capture/CameraScreenRules.h"
#include "capture/CaptureHooks.h"
#include "capture/DeviceFormats.h"
#include "core/Settings.h"
#include "port/CoreMedia/CoreMedia.h"
#include "port/Foundation/Foundation.h"
#include "port/UIKit/UIKit.h"

namespace quorvane::CAMSlalomIndicatorView {
namespace {

using qv::send;

constexpr double kFakeRateSeconds = 3.0;

void notify(id indicator, const char* message, double seconds,
            std::function<void()> completion = {}) {
  showCameraNotice(cameraView(indicator), qv::makeString(message).get(), std::move(completion),
                   seconds);
}

qv::Ref<> makeTap(id target, SEL action, unsigned long taps) {
  qv::Ref<> recognizer =
      qv::adopt(send<id>(send<id>(objc_getClass("UITapGestureRecognizer"), "alloc"_sel),
                         "initWithTarget:action:"_sel, target, action));
  send(recognizer, "setNumberOfTapsRequired:"_sel, taps);
  return recognizer;
}

// What the alert's field gives as a number; 0 for an alert without a field.
std::int32_t typedRate(id alert) {
  if (send<long>(alert, "alertViewStyle"_sel) == 0) return 0;
  id field = send<id>(alert, "textFieldAtIndex:"_sel, long{0});
  return send<int>(send<id>(field, "text"_sel), "intValue"_sel);
}

id currentDevice() {
  Class controller = objc_getClass("CAMCaptureController");
  if (controller == Nil) controller = objc_getClass("PLCameraController");
  return send<id>(send<id>(controller, "sharedInstance"_sel), "currentDevice"_sel);
}

// Sets both frame durations to one frame at the rate, when the device can take it; the device
// raises on a duration its active format does not allow, which would end the camera.
bool applyToDevice(std::uint64_t framesPerSecond) {
  const std::optional<CMTimeScale> timescale = frameRateTimescale(framesPerSecond);
  if (!timescale) return false;
  id device = currentDevice();
  const CMTime duration = CMTimeMake(1, *timescale);
  if (!frameDurationAllowed(send<id>(device, "activeFormat"_sel), duration)) return false;
  if (!send<BOOL>(device, "lockForConfiguration:"_sel, static_cast<id*>(nullptr))) return false;
  send(device, "setActiveVideoMinFrameDuration:"_sel, duration);
  send(device, "setActiveVideoMaxFrameDuration:"_sel, duration);
  send(device, "unlockForConfiguration"_sel);
  return true;
}

}  // namespace

void replaced_setFramesPerSecond_(id self, SEL _cmd, unsigned long framesPerSecond) {
  if (settings.FakeFPS) framesPerSecond = static_cast<unsigned long>(long{settings.aFPS});
  original_setFramesPerSecond_(self, _cmd, framesPerSecond);
}

id replaced_initWithFrame_(id self, SEL _cmd, CGRect frame) {
  id view = original_initWithFrame_(self, _cmd, frame);
  if (view == nil || !settings.indicatorTap) return view;
  qv::Ref<> doubleTap = makeTap(view, "autoSetFPS"_sel, 2);
  qv::Ref<> singleTap = makeTap(view, "setFPS:"_sel, 1);
  send(singleTap, "requireGestureRecognizerToFail:"_sel, doubleTap.get());
  send(view, "addGestureRecognizer:"_sel, doubleTap.get());
  send(view, "addGestureRecognizer:"_sel, singleTap.get());
  return view;
}

void alertView_clickedButtonAtIndex_(id self, SEL, id alert, NSInteger buttonIndex) {
  const long tag = send<long>(alert, "tag"_sel);
  const bool reads = buttonIndex == kSetButton && tag == kChooserTag;
  const ChooserOutcome outcome =
      decideAlertPress(buttonIndex, tag, reads ? typedRate(alert) : 0, maximumFPS());
  switch (outcome.kind) {
    case ChooserOutcome::Kind::Nothing:
      return;
    case ChooserOutcome::Kind::Apply:
      send(self, "hv_setFPS:"_sel, static_cast<unsigned long long>(outcome.rate));
      return;
    case ChooserOutcome::Kind::AskAgain:
      notify(self, outcome.message, outcome.seconds,
             [alert = qv::Ref<>(alert)] { send(alert.get(), "show"_sel); });
      return;
  }
}

void hv_setFPS_(id self, SEL, unsigned long long framesPerSecond) {
  if (!applyToDevice(framesPerSecond)) {
    notify(self, kUnsupportedRateMessage, kUnsupportedRateSeconds);
    return;
  }
  send(self, "setFramesPerSecond:"_sel, static_cast<unsigned long>(framesPerSecond));
}

void autoSetFPS(id self, SEL) {
  send(self, "hv_setFPS:"_sel, static_cast<unsigned long long>(maximumFPS()));
}

void setFPS_(id self, SEL, id) {
  if (settings.FakeFPS) {
    notify(self, "❗ Fake Framerate option is enabled, disable it first if you want to change this.",
           kFakeRateSeconds);
    return;
  }
  qv::Ref<> alert = qv::adopt(qv::sendVarargs<id, id, id, id, id, id>(
      send<id>(objc_getClass("UIAlertView"), "alloc"_sel),
      "initWithTitle:message:delegate:cancelButtonTitle:otherButtonTitles:"_sel, nil,
      "Enter new FPS"_ns, self, "Cancel"_ns, "Set"_ns, "Auto Set"_ns, nil));
  send(alert, "setAlertViewStyle:"_sel, NSInteger{UIAlertViewStylePlainTextInput});
  id field = send<id>(alert, "textFieldAtIndex:"_sel, long{0});
  send(field, "setKeyboardType:"_sel, NSInteger{UIKeyboardTypeNumberPad});
  send(field, "setPlaceholder:"_sel, "FPS to be set"_ns);
  send(field, "setTextAlignment:"_sel, NSInteger{NSTextAlignmentCenter});
  send(alert, "setTag:"_sel, kChooserTag);
  send(alert, "show"_sel);
}

}  // namespace quorvane::CAMSlalomIndicatorView

namespace quorvane {

std::span<const MethodHook> slalomIndicatorHooks() {
  namespace indicator = CAMSlalomIndicatorView;
  static const std::array<MethodHook, 6> rows{
      instanceHook(indicator::method_setFramesPerSecond_()),
      addedMethod<"v@:@q">(indicator::method_alertView_clickedButtonAtIndex_()),
      addedMethod<"v@:Q">(indicator::method_hv_setFPS_()),
      addedMethod<"v@:">(indicator::method_autoSetFPS()),
      addedMethod<"v@:@">(indicator::method_setFPS_()),
      instanceHook(indicator::method_initWithFrame_()),
  };
  return rows;
}

}  // namespace quorvane
