#include "host/ios8/CameraApp.h"

#include "host/AppWindow.h"
#include "platform/UIKit/UIKit.h"

namespace qv::host {
namespace {

id captureController() {
  return send<id>(objc_getClass("CAMCaptureController"), "sharedInstance"_sel);
}

void kickoffCameraControllerPreview(id, SEL) {
  send(captureController(), "startPreview"_sel);
}

// The camera screen is black where no preview shows.
void viewDidLoad(id self, SEL) {
  send(send<id>(self, "view"_sel), "setBackgroundColor:"_sel,
       send<id>(objc_getClass("UIColor"), "blackColor"_sel));
}

}  // namespace

void registerCameraAppIOS8() {
  ClassBuilder("CAMApplicationViewController", objc_getClass("UIViewController"))
      .method("viewDidLoad", &viewDidLoad)
      .method("_kickoffCameraControllerPreview", &kickoffCameraControllerPreview)
      .registerClass();
}

void launchCameraAppIOS8() {
  Ref<> controller = make(objc_getClass("CAMApplicationViewController"));
  openAppWindow(controller);
  send(captureController(), "setDelegate:"_sel, send<id>(controller, "view"_sel));
}

}  // namespace qv::host
