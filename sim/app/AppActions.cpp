// The steps an app performs, through the messages its own user interface would send, and the
// taps of a person's finger.
#include <functional>
#include <sstream>

#include "host/ios8/PhotosActions.h"
#include "host/ios8/PhotosApp.h"
#include "host/ios8/PhotosUI.h"
#include "platform/UIKit/Snapshot.h"
#include "platform/UIKit/UIKit.h"
#include "sim/app/AppSide.h"
#include "sim/app/AppState.h"
#include "sim/app/BrowserSide.h"
#include "sim/app/CameraScreenSide.h"
#include "sim/app/MediaSide.h"
#include "sim/app/MediaState.h"

namespace qv::sim::app {
namespace {

// Devices draw at 1, 2 or 3 pixels per point; 4 leaves room and keeps images small enough.
constexpr double kLargestScale = 4;

// A step's own argument, as the supervisor sends it beside the step's label.
Value stepArgument(const Value& argument) {
  const Value* inner = argument.find("argument");
  return inner != nullptr ? *inner : Value();
}

StepEventSink& stepEventSink() {
  static StepEventSink sink;
  return sink;
}

std::string pointText(CGPoint point) {
  std::ostringstream text;
  text << "(" << point.x << ", " << point.y << ")";
  return text.str();
}

std::string takenText(const ui::TapOutcome& outcome) {
  if (outcome.taken.empty()) return "nothing takes it; nothing changed";
  std::string text;
  for (const std::string& what : outcome.taken) text += (text.empty() ? "" : "; ") + what;
  return text;
}

// A tap step: {x, y, taps} in screen points. Opening another clip starts without playback.
std::string tap(const Value& argument) {
  const Value given = stepArgument(argument);
  const Value* x = given.find("x");
  const Value* y = given.find("y");
  const Value* taps = given.find("taps");
  const std::string step = taps != nullptr && taps->number() == 2 ? "double_tap" : "tap";
  id window = host::appWindow();
  if (window == nil || x == nullptr || y == nullptr) return step + ": the app has no window";
  const CGPoint point = CGPointMake(x->number(), y->number());
  const CGRect screen = send<CGRect>(window, "bounds"_sel);
  if (!CGRectContainsPoint(screen, point)) {
    std::ostringstream size;
    size << screen.size.width << " x " << screen.size.height;
    return step + ": " + pointText(point) + " is outside the screen (" + size.str() + " points)";
  }
  // What the playback observable keeps follows the clip the tap opened or played.
  id clip = host::openVideoView();
  const bool playing = clip != nil && host::isVideoPlaying(clip);
  tapAt(step, point, step == "double_tap" ? 2 : 1);
  id shown = host::openVideoView();
  if (shown != clip) {
    mediaState().playback.reset();
  } else if (shown != nil && !playing && host::isVideoPlaying(shown)) {
    mediaState().playback = host::playbackPlanOf(send<id>(shown, "videoCameraImage"_sel));
  }
  return "";
}

bool isShown(id view) {
  for (id v = view; v != nil; v = send<id>(v, "superview"_sel)) {
    if (send<BOOL>(v, "isHidden"_sel)) return false;
  }
  return true;
}

CGPoint centreOnScreen(id view) {
  const CGRect frame = ui::frameInRoot(view);
  return CGPointMake(CGRectGetMidX(frame), CGRectGetMidY(frame));
}

std::string withController(const char* action, const std::function<void(id)>& work) {
  id controller = captureController();
  if (controller == nil) {
    return std::string(action) + ": the app has no capture controller (CAMCaptureController, " +
           "PLCameraController)";
  }
  work(controller);
  return "";
}

// Through the camera screen where the app has one, as the user switches modes; through the
// capture controller otherwise.
std::string setCameraMode(const Value& mode) {
  if (cameraScreen() != nil) return setCameraScreenMode(static_cast<long>(mode.number()));
  return withController("camera_mode", [&](id controller) {
    send(controller, "setCameraMode:device:"_sel, static_cast<long>(mode.number()), long{0});
  });
}

std::string startPreview() {
  id screen = send<id>(host::appWindow(), "rootViewController"_sel);
  if (!responds(screen, "_kickoffCameraControllerPreview"_sel)) {
    return "start_preview: the app has no camera screen (CAMApplicationViewController, "
           "PLApplicationCameraViewController)";
  }
  previewRequested() = true;
  send(screen, "_kickoffCameraControllerPreview"_sel);
  return "";
}

std::string stopPreview() {
  return withController("stop_preview", [](id controller) {
    previewRequested() = false;
    send(controller, "stopPreview"_sel);
  });
}

// The file's path, or {file: PATH, scale: N, quick: BOOL} for N pixels per point, written
// quickly for a screen shown live.
std::string snapshot(const Value& argument) {
  id window = host::appWindow();
  if (window == nil) return "snapshot: the app has no window";
  const Value* path = argument.map() != nullptr ? argument.find("file") : &argument;
  const Value* scale = argument.find("scale");
  const std::string file = path != nullptr && path->text() != nullptr ? *path->text() : "";
  const double factor = scale != nullptr ? scale->number() : 1;
  if (!(factor >= 1 && factor <= kLargestScale)) {
    return "snapshot: the scale is from 1 to " + toText(Value(kLargestScale)) + ", not " +
           (scale != nullptr ? toText(*scale) : "");
  }
  const Value* quick = argument.find("quick");
  const bool* quickly = quick != nullptr ? std::get_if<bool>(&quick->data) : nullptr;
  const auto writing =
      quickly != nullptr && *quickly ? ui::PngWriting::Quick : ui::PngWriting::Small;
  ui::runPendingPasses();
  return ui::writeSnapshot(window, file, factor, writing) ? "" : "snapshot: cannot write " + file;
}

}  // namespace

void setStepEventSink(StepEventSink sink) {
  stepEventSink() = std::move(sink);
}

void traceStepEvent(const std::string& kind, const std::string& text) {
  if (stepEventSink()) stepEventSink()(kind, text);
}

ui::TapOutcome tapAt(const std::string& step, CGPoint point, unsigned taps) {
  ui::TapOutcome outcome = ui::tap(host::appWindow(), point, taps);
  traceStepEvent("tap", step + " at " + pointText(point) + " landed on " +
                            ui::describeView(outcome.landedOn) + ": " + takenText(outcome));
  return outcome;
}

ui::TapOutcome tapAtCentre(const std::string& step, id view, unsigned taps) {
  ui::runPendingPasses();
  return tapAt(step, centreOnScreen(view), taps);
}

std::string tapOnto(const std::string& step, id target, unsigned taps, const std::string& what) {
  if (target == nil) return step + ": the screen shows no " + what;
  Ref<> held(target);  // the tap may take it off the screen
  const ui::TapOutcome outcome = tapAtCentre(step, target, taps);
  id landed = outcome.landedOn;
  if (landed != nil && send<BOOL>(landed, "isDescendantOfView:"_sel, target)) return "";
  return step + ": the tap landed on " + (landed != nil ? object_getClassName(landed) : "nothing") +
         ", in front of " + what;
}

bool reachable(id view) {
  id window = host::appWindow();
  ui::runPendingPasses();
  if (view == nil || window == nil || !isShown(view)) return false;
  id hit = send<id>(window, "hitTest:withEvent:"_sel, centreOnScreen(view), id{nil});
  return hit != nil && send<BOOL>(hit, "isDescendantOfView:"_sel, view);
}

id controlLabelled(id root, const std::string& label) {
  if (isKindOf(root, objc_getClass("UIControl"))) {
    id given = send<id>(root, "accessibilityLabel"_sel);
    if (given != nil && utf8(given) == label) return root;
  }
  for (id child : arrayElements(send<id>(root, "subviews"_sel))) {
    if (id found = controlLabelled(child, label)) return found;
  }
  return nil;
}

std::string perform(const std::string& action, const Value& argument) {
  if (action == "camera_mode") return setCameraMode(argument);
  if (action == "start_preview") return startPreview();
  if (action == "stop_preview") return stopPreview();
  if (action == "snapshot") return snapshot(argument);
  if (action == "tap") return tap(argument);
  if (action == "tap_indicator") return tapIndicator(1);
  if (action == "double_tap_indicator") return tapIndicator(2);
  if (action == "type") return typeIntoAlert(stepArgument(argument));
  if (action == "press_alert") return pressAlertButton(stepArgument(argument));
  if (auto media = performMedia(action, argument)) return *media;
  if (auto browser = performBrowser(action, argument)) return *browser;
  return "unknown action " + action;
}

}  // namespace qv::sim::app
