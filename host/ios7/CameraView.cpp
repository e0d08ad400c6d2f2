#include "host/ios7/CameraView.h"

#include <cstdio>

#include "host/ios8/CameraScreen.h"
#include "host/ios8/ControllerCore.h"
#include "host/ios8/ScreenDrawing.h"
#include "platform/Foundation/Foundation.h"
#include "platform/MobileGestalt/MobileGestalt.h"
#include "platform/UIKit/UIKit.h"

namespace qv::host {
namespace {

constexpr const char* kDebugViewClass = "PLCameraSlalomDebugView";
const CGRect kDebugFrame = CGRectMake(10, 30, 160, 74);
constexpr double kDebugInset = 8;
constexpr double kDebugLineHeight = 15;

std::string formatted(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string captureRateLine(id device) {
  const double rate = activeFrameRate(device);
  return rate > 0 ? formatted("capture: %g fps", rate) : "capture: none";
}

std::string formatLine(id device) {
  id format = send<id>(device, "activeFormat"_sel);
  if (format == nil) return "format: none";
  return "format: " + formatSize(format) + formatted(", up to %g", bestRateOf(format));
}

void drawDebugView(id self, SEL, CGRect) {
  const CGRect bounds = send<CGRect>(self, "bounds"_sel);
  // Grey with a yellow edge, so that it reads over the black of a stopped preview too.
  id panel = send<id>(objc_getClass("UIBezierPath"), "bezierPathWithRoundedRect:cornerRadius:"_sel,
                      CGRectInset(bounds, 0.5, 0.5), CGFloat{6});
  send(rgbColor(0.12, 0.12, 0.12, 0.85), "setFill"_sel);
  send(panel, "fill"_sel);
  send(rgbColor(1, 0.8, 0, 0.8), "setStroke"_sel);
  send(panel, "setLineWidth:"_sel, CGFloat{1});
  send(panel, "stroke"_sel);
  double y = kDebugInset - 2;
  bool title = true;
  for (const std::string& line : slalomDebugLines()) {
    drawTextAt(line, systemFont(title ? 11 : 10, title),
               title ? rgbColor(1, 0.8, 0) : rgbColor(1, 1, 1), CGPointMake(kDebugInset, y));
    y += kDebugLineHeight;
    title = false;
  }
}

id debugViewOf(id cameraView) {
  for (id child : arrayElements(send<id>(cameraView, "subviews"_sel))) {
    if (isKindOf(child, objc_getClass(kDebugViewClass))) return child;
  }
  return nil;
}

bool debugCowbell() {
  return send<BOOL>(send<id>(objc_getClass("NSUserDefaults"), "standardUserDefaults"_sel),
                    "boolForKey:"_sel, "PLDebugCowbell"_ns) != NO;
}

void showDebugControls(id cameraView, bool shown) {
  id panel = debugViewOf(cameraView);
  if (panel == nil && shown) {
    Ref<> made = adopt(send<id>(send<id>(objc_getClass(kDebugViewClass), "alloc"_sel),
                                "initWithFrame:"_sel, kDebugFrame));
    send(made, "setOpaque:"_sel, BOOL{NO});
    send(cameraView, "addSubview:"_sel, made.get());
    panel = made;
  }
  send(panel, "setHidden:"_sel, BOOL{!shown});
  send(panel, "setNeedsDisplay"_sel);
}

void setCameraMode(id self, SEL, long mode) {
  applyCameraMode(self, mode);
  showDebugControls(self, mode == kCameraModeSlowMotion && debugCowbell());
}

void createSlalomIndicatorIfNecessary(id self, SEL) {
  if (!needsSlalomIndicator(self)) return;
  if (!MGGetBoolAnswer("RearFacingCameraHFRCapability"_ns)) return;
  Ref<> indicator = makeSlalomIndicator();
  if (indicator) placeSlalomIndicator(self, indicator);
}

}  // namespace

void registerCameraViewIOS7() {
  ClassBuilder(kDebugViewClass, objc_getClass("UIView"))
      .method("drawRect:", &drawDebugView)
      .registerClass();
  ClassBuilder builder = cameraViewBuilder("PLCameraView");
  builder.method("setCameraMode:", &setCameraMode)
      .method("_createSlalomIndicatorIfNecessary", &createSlalomIndicatorIfNecessary);
  registerCameraViewClass(builder);
}

id slalomDebugView(id cameraView) {
  return debugViewOf(cameraView);
}

std::vector<std::string> slalomDebugLines() {
  id controller = sharedCaptureController();
  id device = send<id>(controller, "currentDevice"_sel);
  return {"SLALOM DEBUG", captureRateLine(device), formatLine(device),
          formatted("mogul: %g fps", send<double>(controller, "mogulFrameRate"_sel))};
}

}  // namespace qv::host
