// The steps an app performs, through the messages its own user interface would send.
#include <functional>

#include "platform/UIKit/Snapshot.h"
#include "platform/UIKit/UIKit.h"
#include "sim/AppSide.h"
#include "sim/AppState.h"
#include "sim/BrowserSide.h"
#include "sim/CameraScreenSide.h"
#include "sim/MediaSide.h"

namespace qv::sim::app {
namespace {

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

std::string snapshot(const Value& path) {
  id window = host::appWindow();
  if (window == nil) return "snapshot: the app has no window";
  ui::runPendingPasses();
  const Value* named = path.map() != nullptr ? path.find("file") : &path;
  const std::string file = named != nullptr && named->text() != nullptr ? *named->text() : "";
  return ui::writeSnapshot(window, file) ? "" : "snapshot: cannot write " + file;
}

// A step's own argument, as the supervisor sends it beside the step's label.
Value stepArgument(const Value& argument) {
  const Value* inner = argument.find("argument");
  return inner != nullptr ? *inner : Value();
}

}  // namespace

std::string perform(const std::string& action, const Value& argument) {
  if (action == "camera_mode") return setCameraMode(argument);
  if (action == "start_preview") return startPreview();
  if (action == "stop_preview") return stopPreview();
  if (action == "snapshot") return snapshot(argument);
  if (action == "tap_indicator") return tapIndicator(1);
  if (action == "double_tap_indicator") return tapIndicator(2);
  if (action == "type") return typeIntoAlert(stepArgument(argument));
  if (action == "press_alert") return pressAlertButton(stepArgument(argument));
  if (auto media = performMedia(action, argument)) return *media;
  if (auto browser = performBrowser(action, argument)) return *browser;
  return "unknown action " + action;
}

}  // namespace qv::sim::app
