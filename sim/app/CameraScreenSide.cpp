#include "sim/app/CameraScreenSide.h"

#include <vector>

#include "host/ios7/CameraView.h"
#include "platform/UIKit/UIKit.h"
#include "sim/app/AppSide.h"
#include "sim/app/AppState.h"

namespace qv::sim::app {
namespace {

const std::string kNoCameraScreen = "the app has no camera screen (CAMCameraView, PLCameraView)";

id indicator() {
  return send<id>(send<id>(cameraScreen(), "_bottomBar"_sel), "slalomIndicatorView"_sel);
}

id frontAlert() {
  const std::vector<id> alerts = ui::visibleAlerts();
  return alerts.empty() ? nil : alerts.back();
}

Value textOf(id string) {
  return string == nil ? Value() : Value(utf8(string));
}

Value frameOf(id view) {
  const CGRect frame = send<CGRect>(view, "frame"_sel);
  return ValueList{frame.origin.x, frame.origin.y, frame.size.width, frame.size.height};
}

Value recognizersOf(id view) {
  ValueList recognizers;
  for (id recognizer : arrayElements(send<id>(view, "gestureRecognizers"_sel))) {
    for (SEL action : ui::actionsOf(recognizer)) {
      const long taps =
          responds(recognizer, "numberOfTapsRequired"_sel)
              ? static_cast<long>(send<NSUInteger>(recognizer, "numberOfTapsRequired"_sel))
              : 0L;
      recognizers.push_back(ValueMap{{"action", sel_getName(action)}, {"taps", taps}});
    }
  }
  return recognizers;
}

std::string buttonTitles(id alert) {
  std::string titles;
  const auto count = send<NSInteger>(alert, "numberOfButtons"_sel);
  for (NSInteger i = 0; i < count; ++i) {
    titles += (i > 0 ? ", " : "") + utf8(send<id>(alert, "buttonTitleAtIndex:"_sel, i));
  }
  return titles;
}

id firstField(id alert) {
  if (send<NSInteger>(alert, "alertViewStyle"_sel) == UIAlertViewStyleDefault) return nil;
  return send<id>(alert, "textFieldAtIndex:"_sel, NSInteger{0});
}

// The dial's label for a mode, as the bottom bar names its control.
const char* dialLabel(long mode) {
  static const char* const kLabels[] = {"PHOTO", "VIDEO", "SLO-MO"};
  return mode >= 0 && mode < 3 ? kLabels[mode] : "";
}

// A tap on the mode's label where the dial shows it (the current mode and its neighbours; a tap
// on the current one sets it again).
bool tapDial(id screen, long mode) {
  id label = controlLabelled(send<id>(screen, "_bottomBar"_sel), dialLabel(mode));
  if (!reachable(label)) return false;
  tapAtCentre("camera_mode", label, 1);
  return true;
}

}  // namespace

id cameraScreen() {
  id view = send<id>(send<id>(host::appWindow(), "rootViewController"_sel), "view"_sel);
  for (const char* name : {"CAMCameraView", "PLCameraView"}) {
    Class cameraView = objc_getClass(name);
    if (cameraView != Nil && isKindOf(view, cameraView)) return view;
  }
  return nil;
}

std::string setCameraScreenMode(long mode) {
  id screen = cameraScreen();
  if (screen == nil) return "camera_mode: " + kNoCameraScreen;
  // Where the dial does not show the mode's label (two labels away, hidden while recording, or
  // gone with its bar), the mode is set as a swipe of the dial sets it.
  if (!tapDial(screen, mode)) send(screen, "setCameraMode:"_sel, mode);
  return "";
}

std::string tapIndicator(unsigned taps) {
  const std::string step = taps == 2 ? "double_tap_indicator" : "tap_indicator";
  if (cameraScreen() == nil) return step + ": " + kNoCameraScreen;
  id target = indicator();
  if (target == nil) return step + ": the camera screen has no slow-motion indicator";
  ui::runPendingPasses();
  if (send<BOOL>(target, "isHidden"_sel)) return step + ": the slow-motion indicator is hidden";
  return tapOnto(step, target, taps, "the indicator");
}

// Into the field being edited; the alert's field is tapped first where none is.
std::string typeIntoAlert(const Value& text) {
  id field = ui::firstResponder();
  if (!responds(field, "setText:"_sel)) {
    id alert = frontAlert();
    if (alert == nil) return "type: no alert is on screen";
    field = firstField(alert);
    if (field == nil) return "type: the alert has no text field";
    const std::string problem = tapOnto("type", field, 1, "the field");
    if (!problem.empty()) return problem;
  }
  send(field, "setText:"_sel, makeString(text.text() != nullptr ? *text.text() : "").get());
  return "";
}

std::string pressAlertButton(const Value& title) {
  id alert = frontAlert();
  if (alert == nil) return "press_alert: no alert is on screen";
  const std::string wanted = title.text() != nullptr ? *title.text() : "";
  const auto count = send<NSInteger>(alert, "numberOfButtons"_sel);
  for (NSInteger i = 0; i < count; ++i) {
    if (utf8(send<id>(alert, "buttonTitleAtIndex:"_sel, i)) != wanted) continue;
    return tapOnto("press_alert", controlLabelled(alert, wanted), 1, "the button '" + wanted + "'");
  }
  return "press_alert: the alert has no button '" + wanted + "' (buttons: " + buttonTitles(alert) +
         ")";
}

Value indicatorState() {
  id view = indicator();
  if (view == nil) return {};
  ui::runPendingPasses();
  return ValueMap{
      {"fps", static_cast<long long>(send<NSUInteger>(view, "framesPerSecond"_sel))},
      {"hidden", send<BOOL>(view, "isHidden"_sel) != NO},
      {"frame", frameOf(view)},
      {"recognizers", recognizersOf(view)},
  };
}

Value debugControlsState() {
  id panel = host::slalomDebugView(cameraScreen());
  if (panel == nil) return {};
  ui::runPendingPasses();
  ValueList lines;
  for (const std::string& line : host::slalomDebugLines()) lines.emplace_back(line);
  return ValueMap{{"hidden", send<BOOL>(panel, "isHidden"_sel) != NO}, {"lines", lines}};
}

Value firstResponderState() {
  id field = ui::firstResponder();
  if (field == nil) return {};
  const CGRect frame = ui::frameInRoot(field);
  return ValueMap{
      {"text", textOf(send<id>(field, "text"_sel))},
      {"frame", ValueList{frame.origin.x, frame.origin.y, frame.size.width, frame.size.height}}};
}

Value doubleTapAreas() {
  ValueList areas;
  for (const CGRect& frame : ui::doubleTapAreas(host::appWindow())) {
    areas.push_back(ValueList{frame.origin.x, frame.origin.y, frame.size.width, frame.size.height});
  }
  return areas;
}

Value alertState() {
  id alert = frontAlert();
  if (alert == nil) return {};
  ValueList buttons;
  const auto count = send<NSInteger>(alert, "numberOfButtons"_sel);
  for (NSInteger i = 0; i < count; ++i) {
    buttons.push_back(textOf(send<id>(alert, "buttonTitleAtIndex:"_sel, i)));
  }
  id field = firstField(alert);
  return ValueMap{
      {"title", textOf(send<id>(alert, "title"_sel))},
      {"message", textOf(send<id>(alert, "message"_sel))},
      {"buttons", buttons},
      {"text", field != nil ? textOf(send<id>(field, "text"_sel)) : Value()},
      {"placeholder", field != nil ? textOf(send<id>(field, "placeholder"_sel)) : Value()},
      {"tag", static_cast<long long>(send<NSInteger>(alert, "tag"_sel))},
  };
}

}  // namespace qv::sim::app
