// The camera view, its bottom bar and the slow-motion indicator (CameraScreen.h).
#include "host/ios8/CameraScreen.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "host/ios8/ControllerCore.h"
#include "host/ios8/ScreenDrawing.h"
#include "platform/AVFoundation/AVFoundation.h"
#include "platform/CoreMedia/CoreMedia.h"
#include "platform/Foundation/Foundation.h"

namespace qv::host {
namespace {

constexpr double kBarHeight = 150;
constexpr double kIndicatorSide = 40;
constexpr double kIndicatorInset = 55;  // from the bar's right edge to the indicator's left
constexpr double kIndicatorTop = 20;
constexpr double kDialY = 70;
constexpr double kDialSpacing = 85;
constexpr double kDialLabelHeight = 20;  // clear of the indicator above the dial
constexpr double kShutterY = 112;
constexpr double kShutterRadius = 30;
constexpr double kBothRates = 240;  // a camera reaching it switches between 120 and 240

id cameraYellow() {
  return rgbColor(1, 0.8, 0);
}

id captureController() {
  return sharedCaptureController();
}

// CAMSlalomIndicatorView.

struct IndicatorState {
  NSUInteger framesPerSecond = 0;
};

NSUInteger framesPerSecond(id self, SEL) {
  return stateOf<IndicatorState>(self).framesPerSecond;
}

void setFramesPerSecond(id self, SEL, NSUInteger rate) {
  stateOf<IndicatorState>(self).framesPerSecond = rate;
  send(self, "setNeedsDisplay"_sel);
}

void drawIndicator(id self, SEL, CGRect) {
  const CGRect bounds = send<CGRect>(self, "bounds"_sel);
  send(cameraYellow(), "set"_sel);
  id frame = send<id>(objc_getClass("UIBezierPath"), "bezierPathWithRoundedRect:cornerRadius:"_sel,
                      CGRectInset(bounds, 1, 1), CGFloat{6});
  send(frame, "setLineWidth:"_sel, CGFloat{1.5});
  send(frame, "stroke"_sel);
  const double midX = CGRectGetMidX(bounds);
  const std::string rate = std::to_string(stateOf<IndicatorState>(self).framesPerSecond);
  drawCentredText(rate, fittingSystemFont(rate, 14, bounds.size.width - 8, true), cameraYellow(),
                  CGPointMake(midX, bounds.size.height * 0.4));
  drawCentredText("FPS", systemFont(9), cameraYellow(),
                  CGPointMake(midX, bounds.size.height * 0.75));
}

// CAMBottomBar.

struct BarState {
  Ref<> indicator;
  long mode = kCameraModePhoto;
  bool dialHidden = false;
  std::vector<Ref<>> dialControls;  // over the labels, in the dial's order
  Ref<> shutterControl;
};

// The mode dial in its order on screen.
constexpr std::array<std::pair<long, const char*>, 3> kDial{
    {{kCameraModeSlowMotion, "SLO-MO"}, {kCameraModeVideo, "VIDEO"}, {kCameraModePhoto, "PHOTO"}}};

std::size_t dialPosition(long mode) {
  for (std::size_t i = 0; i < kDial.size(); ++i) {
    if (kDial[i].first == mode) return i;
  }
  return 0;
}

// A label's offset from the middle of the dial, where the current mode is: -1, 0 or 1 when
// it shows.
double dialOffset(std::size_t position, long mode) {
  return static_cast<double>(position) - static_cast<double>(dialPosition(mode));
}

BarState& barOf(id bar) {
  return stateOf<BarState>(bar);
}

id slalomIndicatorView(id self, SEL) {
  return barOf(self).indicator;
}

void setSlalomIndicatorView(id self, SEL, id indicator) {
  BarState& bar = barOf(self);
  if (bar.indicator.get() == indicator) return;
  send(bar.indicator, "removeFromSuperview"_sel);
  bar.indicator = Ref<>(indicator);
  send(self, "addSubview:"_sel, indicator);
  send(self, "setNeedsLayout"_sel);
}

void layoutForVerticalOrientation(id self, SEL) {
  const CGRect bounds = send<CGRect>(self, "bounds"_sel);
  send(barOf(self).indicator, "setFrame:"_sel,
       CGRectMake(bounds.size.width - kIndicatorInset, kIndicatorTop, kIndicatorSide,
                  kIndicatorSide));
}

Ref<> makeControl(id bar, SEL action, const char* label) {
  Ref<> control = adopt(send<id>(send<id>(objc_getClass("UIControl"), "alloc"_sel),
                                 "initWithFrame:"_sel, CGRectZero));
  send(control.get(), "addTarget:action:forControlEvents:"_sel, bar, action,
       NSUInteger{UIControlEventTouchUpInside});
  send(control.get(), "setAccessibilityLabel:"_sel, makeString(label).get());
  send(bar, "addSubview:"_sel, control.get());
  return control;
}

// The dial's labels and the shutter take touches where they are drawn.
void placeControls(id self) {
  BarState& bar = barOf(self);
  if (bar.dialControls.empty()) {
    for (std::size_t i = 0; i < kDial.size(); ++i) {
      bar.dialControls.push_back(makeControl(self, "_modeDialTapped:"_sel, kDial[i].second));
      send(bar.dialControls.back().get(), "setTag:"_sel, NSInteger{kDial[i].first});
    }
    bar.shutterControl = makeControl(self, "_shutterButtonTapped:"_sel, "Shutter");
  }
  const double midX = CGRectGetMidX(send<CGRect>(self, "bounds"_sel));
  for (std::size_t i = 0; i < kDial.size(); ++i) {
    const double offset = dialOffset(i, bar.mode);
    send(bar.dialControls[i].get(), "setHidden:"_sel,
         BOOL{bar.dialHidden || offset < -1 || offset > 1});
    send(bar.dialControls[i].get(), "setFrame:"_sel,
         CGRectMake(midX + offset * kDialSpacing - kDialSpacing / 2, kDialY - kDialLabelHeight / 2,
                    kDialSpacing, kDialLabelHeight));
  }
  send(bar.shutterControl.get(), "setFrame:"_sel,
       CGRectMake(midX - kShutterRadius, kShutterY - kShutterRadius, 2 * kShutterRadius,
                  2 * kShutterRadius));
}

void layoutBar(id self, SEL) {
  send(self, "_layoutForVerticalOrientation"_sel);
  placeControls(self);
}

// The camera view switches modes as the user turns the dial.
void modeDialTapped(id self, SEL, id control) {
  send(send<id>(self, "superview"_sel), "setCameraMode:"_sel,
       long{send<NSInteger>(control, "tag"_sel)});
}

void shutterButtonTapped(id self, SEL, id) {
  send(send<id>(self, "superview"_sel), "_shutterButtonClicked"_sel);
}

// The mode dial in its order on screen, the current mode in the middle.
void drawDial(const BarState& bar, double midX) {
  for (std::size_t i = 0; i < kDial.size(); ++i) {
    const double offset = dialOffset(i, bar.mode);
    if (offset < -1 || offset > 1) continue;  // only the neighbours show
    const double x = midX + offset * kDialSpacing;
    const bool chosen = offset == 0;
    drawCentredText(kDial[i].second, systemFont(13, chosen),
                    chosen ? cameraYellow() : rgbColor(1, 1, 1), CGPointMake(x, kDialY));
  }
}

void drawShutter(const BarState& bar, double midX) {
  const CGPoint centre = CGPointMake(midX, kShutterY);
  const auto circle = [&](double radius) {
    return send<id>(objc_getClass("UIBezierPath"), "bezierPathWithOvalInRect:"_sel,
                    CGRectMake(centre.x - radius, centre.y - radius, 2 * radius, 2 * radius));
  };
  send(rgbColor(1, 1, 1), "set"_sel);
  id ring = circle(kShutterRadius);
  send(ring, "setLineWidth:"_sel, CGFloat{4});
  send(ring, "stroke"_sel);
  const bool video = bar.mode == kCameraModeVideo || bar.mode == kCameraModeSlowMotion;
  send(video ? rgbColor(1, 0.23, 0.19) : rgbColor(1, 1, 1), "setFill"_sel);
  send(circle(kShutterRadius - 6), "fill"_sel);
}

void drawBar(id self, SEL, CGRect) {
  const double midX = CGRectGetMidX(send<CGRect>(self, "bounds"_sel));
  if (!barOf(self).dialHidden) drawDial(barOf(self), midX);
  drawShutter(barOf(self), midX);
}

id initBar(id self, SEL, CGRect frame);

// CAMCameraView.

struct CameraViewState {
  Ref<> bottomBar;
  long mode = kCameraModePhoto;
};

Class cameraViewClass = Nil;
Class bottomBarClass = Nil;

CameraViewState& cameraOf(id view) {
  return stateOf<CameraViewState>(view);
}

id bottomBar(id self, SEL) {
  return cameraOf(self).bottomBar;
}

id indicatorOf(id cameraView) {
  return send<id>(send<id>(cameraView, "_bottomBar"_sel), "slalomIndicatorView"_sel);
}

void showRate(id cameraView) {
  const double rate = send<double>(captureController(), "mogulFrameRate"_sel);
  send(indicatorOf(cameraView), "setFramesPerSecond:"_sel,
       static_cast<NSUInteger>(rate > 0 ? rate : 0));
}

void createSlalomIndicatorIfNecessary(id self, SEL) {
  if (!needsSlalomIndicator(self)) return;
  id spec = send<id>(objc_getClass("CAMCameraSpec"), "specForCurrentDevice"_sel);
  if (!send<BOOL>(spec, "shouldCreateSlalomIndicator"_sel) || !send<BOOL>(spec, "isPhone"_sel)) {
    return;
  }
  Ref<> indicator = makeSlalomIndicator();
  if (!indicator) return;
  Ref<> tap = adopt(send<id>(send<id>(objc_getClass("UITapGestureRecognizer"), "alloc"_sel),
                             "initWithTarget:action:"_sel, self, "_slalomIndicatorTapped:"_sel));
  send(indicator, "addGestureRecognizer:"_sel, tap.get());
  placeSlalomIndicator(self, indicator);
}

// The best rate of the camera's 1280×720 formats.
double bestSlowMotionRate() {
  double best = 0;
  for (id format : formatsOf(send<id>(captureController(), "currentDevice"_sel))) {
    if (isHDFormat(format)) best = std::max(best, bestRateOf(format));
  }
  return best;
}

void slalomIndicatorTapped(id self, SEL, id) {
  if (bestSlowMotionRate() < kBothRates) return;
  id controller = captureController();
  const double rate = send<double>(controller, "mogulFrameRate"_sel);
  send(controller, "setMogulFrameRate:"_sel, rate >= kBothRates ? 120.0 : kBothRates);
  send(controller, "setCameraMode:device:"_sel, long{kCameraModeSlowMotion}, long{0});
  showRate(self);
}

void setControlsShown(id self, bool shown) {
  if (id bar = cameraOf(self).bottomBar) {
    barOf(bar).dialHidden = !shown;
    send(bar, "setNeedsLayout"_sel);
    send(bar, "setNeedsDisplay"_sel);
  }
  send(indicatorOf(self), "setHidden:"_sel,
       BOOL{!shown || cameraOf(self).mode != kCameraModeSlowMotion});
}

void showControlsForCapturingVideo(id self, SEL, BOOL) {
  setControlsShown(self, true);
}
void hideControlsForCapturingVideo(id self, SEL, BOOL) {
  setControlsShown(self, false);
}

// As the capture controller's delegate: the controls go while video is captured.
void videoCaptureStarted(id self, SEL, id) {
  send(self, "_hideControlsForCapturingVideoAnimated:"_sel, BOOL{YES});
}
void videoCaptureStopped(id self, SEL, id) {
  send(self, "_showControlsForCapturingVideoAnimated:"_sel, BOOL{YES});
}

long cameraMode(id self, SEL) {
  return cameraOf(self).mode;
}

// In video and slow motion the shutter starts recording, and stops it the next time; a camera
// whose controller does not record does nothing.
void shutterButtonClicked(id self, SEL) {
  const long mode = cameraOf(self).mode;
  id controller = captureController();
  if (mode == kCameraModePhoto || !responds(controller, "startVideoCapture"_sel)) return;
  const bool capturing = send<BOOL>(controller, "isCapturingVideo"_sel);
  send(controller, capturing ? "stopVideoCapture"_sel : "startVideoCapture"_sel);
}

void setCameraMode(id self, SEL, long mode) {
  applyCameraMode(self, mode);
}

void layoutCameraView(id self, SEL) {
  const CGRect bounds = send<CGRect>(self, "bounds"_sel);
  send(cameraOf(self).bottomBar, "setFrame:"_sel,
       CGRectMake(0, bounds.size.height - kBarHeight, bounds.size.width, kBarHeight));
}

id initCameraView(id self, SEL, CGRect frame) {
  self = sendSuper<id>(self, cameraViewClass, "initWithFrame:"_sel, frame);
  if (self == nil || objc_getClass("CAMBottomBar") == Nil) return self;
  cameraOf(self).bottomBar = adopt(send<id>(send<id>(objc_getClass("CAMBottomBar"), "alloc"_sel),
                                            "initWithFrame:"_sel, CGRectZero));
  send(self, "addSubview:"_sel, cameraOf(self).bottomBar.get());
  send(self, "setNeedsLayout"_sel);
  return self;
}

id initBar(id self, SEL, CGRect frame) {
  self = sendSuper<id>(self, bottomBarClass, "initWithFrame:"_sel, frame);
  send(self, "setBackgroundColor:"_sel, rgbColor(0, 0, 0, 0.8));
  send(self, "setOpaque:"_sel, BOOL{NO});
  return self;
}

}  // namespace

void registerSlalomIndicatorView() {
  ClassBuilder("CAMSlalomIndicatorView", objc_getClass("UIView"))
      .state<IndicatorState>("_indicatorState")
      .method("framesPerSecond", &framesPerSecond)
      .method("setFramesPerSecond:", &setFramesPerSecond)
      .method("drawRect:", &drawIndicator)
      .registerClass();
}

void registerBottomBar() {
  bottomBarClass = ClassBuilder("CAMBottomBar", objc_getClass("UIView"))
                       .state<BarState>("_barState")
                       .method("initWithFrame:", &initBar)
                       .method("slalomIndicatorView", &slalomIndicatorView)
                       .method("setSlalomIndicatorView:", &setSlalomIndicatorView)
                       .method("_layoutForVerticalOrientation", &layoutForVerticalOrientation)
                       .method("layoutSubviews", &layoutBar)
                       .method("_modeDialTapped:", &modeDialTapped)
                       .method("_shutterButtonTapped:", &shutterButtonTapped)
                       .method("drawRect:", &drawBar)
                       .registerClass();
}

void applyCameraMode(id self, long mode) {
  cameraOf(self).mode = mode;
  if (id bar = cameraOf(self).bottomBar) {
    barOf(bar).mode = mode;
    send(bar, "setNeedsLayout"_sel);
    send(bar, "setNeedsDisplay"_sel);
  }
  send(captureController(), "setCameraMode:device:"_sel, mode, long{0});
  if (mode == kCameraModeSlowMotion) send(self, "_createSlalomIndicatorIfNecessary"_sel);
  send(self, "_showControlsForCapturingVideoAnimated:"_sel, BOOL{NO});
  if (mode == kCameraModeSlowMotion) showRate(self);
}

bool needsSlalomIndicator(id cameraView) {
  id bar = cameraOf(cameraView).bottomBar;
  return bar != nil && send<id>(bar, "slalomIndicatorView"_sel) == nil;
}

Ref<> makeSlalomIndicator() {
  return adopt(send<id>(send<id>(objc_getClass("CAMSlalomIndicatorView"), "alloc"_sel),
                        "initWithFrame:"_sel, CGRectMake(0, 0, kIndicatorSide, kIndicatorSide)));
}

void placeSlalomIndicator(id cameraView, id indicator) {
  send(cameraOf(cameraView).bottomBar, "setSlalomIndicatorView:"_sel, indicator);
  showRate(cameraView);
}

ClassBuilder cameraViewBuilder(const char* name) {
  ClassBuilder builder(name, objc_getClass("UIView"));
  builder.state<CameraViewState>("_cameraViewState")
      .method("initWithFrame:", &initCameraView)
      .method("_bottomBar", &bottomBar)
      .method("cameraMode", &cameraMode)
      .method("_shutterButtonClicked", &shutterButtonClicked)
      .method("_showControlsForCapturingVideoAnimated:", &showControlsForCapturingVideo)
      .method("_hideControlsForCapturingVideoAnimated:", &hideControlsForCapturingVideo)
      .method("cameraControllerDidStartVideoCapture:", &videoCaptureStarted)
      .method("cameraControllerDidStopVideoCapture:", &videoCaptureStopped)
      .method("layoutSubviews", &layoutCameraView);
  return builder;
}

Class registerCameraViewClass(ClassBuilder& builder) {
  cameraViewClass = builder.registerClass();
  return cameraViewClass;
}

void registerCameraView() {
  ClassBuilder builder = cameraViewBuilder("CAMCameraView");
  builder.method("setCameraMode:", &setCameraMode)
      .method("_createSlalomIndicatorIfNecessary", &createSlalomIndicatorIfNecessary)
      .method("_slalomIndicatorTapped:", &slalomIndicatorTapped);
  registerCameraViewClass(builder);
}

}  // namespace qv::host
