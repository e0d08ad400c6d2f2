#include "host/App.h"

#include <algorithm>

#include "host/AppWindow.h"
#include "host/DeviceSetup.h"
#include "host/ios8/CameraApp.h"
#include "host/ios8/CameraScreen.h"
#include "host/ios8/CaptureController.h"
#include "host/ios8/PhotosApp.h"
#include "platform/UIKit/UIKit.h"
#include "platform/objc/AutoreleasePool.h"

namespace qv::host {
namespace {

// Host classes registered together, and skipped together when a scenario removes any of them.
struct HostUnit {
  std::vector<std::string> classes;
  void (*registerClasses)(HostGeneration generation);
};

std::vector<HostUnit> cameraUnits(HostGeneration generation) {
  if (generation == HostGeneration::iOS7) return {};
  return {
      {{"CAMCaptureController", "CMKCaptureController"}, &registerCaptureController},
      {{"CAMCameraSpec", "CAMPadApplicationSpec"}, [](HostGeneration) { registerCameraSpecs(); }},
      {{"CAMSlalomIndicatorView"}, [](HostGeneration) { registerSlalomIndicatorView(); }},
      {{"CAMBottomBar"}, [](HostGeneration) { registerBottomBar(); }},
      {{"CAMApplicationViewController", "CAMCameraView"},
       [](HostGeneration) {
         registerCameraView();
         registerCameraAppIOS8();
       }},
  };
}

bool isRemoved(const HostUnit& unit, const std::vector<Removal>& removals) {
  return std::any_of(unit.classes.begin(), unit.classes.end(),
                     [&](const std::string& name) { return removesClass(removals, name); });
}

void registerHostClasses(const AppLaunch& launch) {
  if (launch.name != kCameraApp) return;
  for (const HostUnit& unit : cameraUnits(launch.device.system.generation)) {
    if (!isRemoved(unit, launch.removals)) unit.registerClasses(launch.device.system.generation);
  }
}

// Removals of methods that a class of this app exists for but never had.
void noteUnusedRemovals(std::vector<std::string>& notes) {
  for (const Removal& removal : unusedMethodRemovals()) {
    if (objc_getClass(removal.className.c_str()) == Nil) continue;  // no such class in this app
    notes.push_back("nothing to remove for " + removal.describe() + ": " + removal.className +
                    " does not define it");
  }
}

void launchAppShell(const AppLaunch& launch) {
  const bool cameraShell =
      launch.name == kCameraApp && objc_getClass("CAMApplicationViewController") != Nil;
  if (cameraShell) return launchCameraAppIOS8();
  if (launch.name == kPhotosApp) return launchPhotosAppIOS8();
  openAppWindow(make(objc_getClass("UIViewController")));
}

}  // namespace

AppStart startApp(const AppLaunch& launch) {
  AutoreleasePool pool;
  AppStart start;
  applyDevice(launch.device);
  applyScreen(launch.device.idiom);
  leaveOutMethods(launch.removals);
  registerHostClasses(launch);
  noteUnusedRemovals(start.notes);
  start.library = mapTweakLibrary(launch.device.system.generation, launch.library);
  launchAppShell(launch);
  return start;
}

}  // namespace qv::host
