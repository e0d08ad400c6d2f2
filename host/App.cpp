#include "host/App.h"

#include <algorithm>

#include "host/AppWindow.h"
#include "host/DeviceSetup.h"
#include "host/ios7/CameraController.h"
#include "host/ios7/CameraView.h"
#include "host/ios7/SlalomClasses.h"
#include "host/ios8/CameraApp.h"
#include "host/ios8/CameraScreen.h"
#include "host/ios8/CaptureController.h"
#include "host/ios8/MediaClasses.h"
#include "host/ios8/PhotoBrowser.h"
#include "host/ios8/PhotoLibrary.h"
#include "host/ios8/PhotosApp.h"
#include "host/ios8/PhotosUI.h"
#include "host/ios8/Publishing.h"
#include "platform/Foundation/UserDefaults.h"
#include "platform/UIKit/UIKit.h"
#include "platform/objc/AutoreleasePool.h"

namespace qv::host {
namespace {

// Host classes registered together, and skipped together when a scenario removes any of them.
struct HostUnit {
  std::vector<std::string> classes;
  void (*registerClasses)(HostGeneration generation);
};

// The iOS 7 Camera holds the indicator and the bottom bar too, but no CAMCameraSpec.
std::vector<HostUnit> cameraUnitsIOS7() {
  return {
      {{"PLCameraController"}, [](HostGeneration) { registerCameraControllerIOS7(); }},
      {{"CAMSlalomIndicatorView"}, [](HostGeneration) { registerSlalomIndicatorView(); }},
      {{"CAMBottomBar"}, [](HostGeneration) { registerBottomBar(); }},
      {{"PLApplicationCameraViewController", "PLCameraView"},
       [](HostGeneration) {
         registerCameraViewIOS7();
         registerCameraApp(kCameraAppIOS7);
       }},
  };
}

std::vector<HostUnit> cameraUnits(HostGeneration generation) {
  if (generation == HostGeneration::iOS7) return cameraUnitsIOS7();
  return {
      {{"CAMCaptureController", "CMKCaptureController"}, &registerCaptureController},
      {{"CAMCameraSpec", "CAMPadApplicationSpec"}, [](HostGeneration) { registerCameraSpecs(); }},
      {{"CAMSlalomIndicatorView"}, [](HostGeneration) { registerSlalomIndicatorView(); }},
      {{"CAMBottomBar"}, [](HostGeneration) { registerBottomBar(); }},
      {{"CAMApplicationViewController", "CAMCameraView"},
       [](HostGeneration) {
         registerCameraView();
         registerCameraApp(kCameraAppIOS8);
       }},
  };
}

// The media classes of the generation: iOS 7 has PLSlalomConfiguration and PLSlalomUtilities
// where iOS 8 has the PF classes, and no PhotosUI (PUVideoBannerView).
std::vector<HostUnit> generationMediaUnits(HostGeneration generation) {
  if (generation == HostGeneration::iOS7) {
    return {{{"PLSlalomConfiguration", "PLSlalomUtilities"},
             [](HostGeneration) { registerSlalomClassesIOS7(); }},
            {{"PLManagedAsset"}, &registerPhotoLibrary},
            {{"PLVideoView"}, &registerPhotosUI}};
  }
  return {{{"PFSlowMotionUtilities", "PFSlowMotionConfiguration", "PFVideoAdjustments",
            "PFVideoAVObjectBuilder"},
           [](HostGeneration) { registerMediaClassesIOS8(); }},
          {{"PLManagedAsset"}, &registerPhotoLibrary},
          {{"PUVideoBannerView", "PLVideoView"}, &registerPhotosUI}};
}

// The media, photo-library and Photos UI classes that both apps have.
std::vector<HostUnit> sharedMediaUnits(HostGeneration generation) {
  std::vector<HostUnit> units = generationMediaUnits(generation);
  units.push_back(
      {{"PLPublishingAgent", "PLProgressHUD"}, [](HostGeneration) { registerPublishing(); }});
  units.push_back({{"PLPhotoBrowserController"}, [](HostGeneration) { registerPhotoBrowser(); }});
  return units;
}

bool isRemoved(const HostUnit& unit, const std::vector<Removal>& removals) {
  return std::any_of(unit.classes.begin(), unit.classes.end(),
                     [&](const std::string& name) { return removesClass(removals, name); });
}

void registerUnits(const std::vector<HostUnit>& units, const AppLaunch& launch) {
  for (const HostUnit& unit : units) {
    if (!isRemoved(unit, launch.removals)) unit.registerClasses(launch.device.system.generation);
  }
}

void registerHostClasses(const AppLaunch& launch) {
  registerUnits(sharedMediaUnits(launch.device.system.generation), launch);
  if (launch.name == kCameraApp)
    registerUnits(cameraUnits(launch.device.system.generation), launch);
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
      launch.name == kCameraApp && (objc_getClass("CAMApplicationViewController") != Nil ||
                                    objc_getClass("PLApplicationCameraViewController") != Nil);
  if (cameraShell) return launchCameraApp();
  if (launch.name == kPhotosApp) return launchPhotosApp(launch.device.system.generation);
  openAppWindow(make(objc_getClass("UIViewController")));
}

}  // namespace

void setUpAppProcess(const AppLaunch& launch) {
  applyDevice(launch.device);
  applyScreen(launch.device.idiom);
  leaveOutMethods(launch.removals);
  // Each app keeps its defaults in a file named after it.
  registerUserDefaults(launch.name);
  registerHostClasses(launch);
}

AppStart startApp(const AppLaunch& launch) {
  AutoreleasePool pool;
  AppStart start;
  setUpAppProcess(launch);
  noteUnusedRemovals(start.notes);
  start.library = mapTweakLibrary(launch.device.system.generation, launch.library);
  launchAppShell(launch);
  return start;
}

}  // namespace qv::host
