#include "host/ios8/CameraApp.h"

#include <cstdio>

#include "host/AppWindow.h"
#include "host/ios8/ControllerCore.h"
#include "host/ios8/ScreenDrawing.h"
#include "platform/UIKit/UIKit.h"

namespace qv::host {
namespace {

id captureController() {
  return sharedCaptureController();
}

// The classes of the generation's camera app, named at registration.
CameraAppClasses appClasses;

void kickoffCameraControllerPreview(id, SEL) {
  send(captureController(), "startPreview"_sel);
}

// What the running preview shows: the camera's format and frame rate, where the device would
// show its video.
std::string previewCaption() {
  id device = send<id>(captureController(), "currentDevice"_sel);
  char rate[32];
  std::snprintf(rate, sizeof rate, " at %g fps", activeFrameRate(device));
  return formatSize(send<id>(device, "activeFormat"_sel)) + rate;
}

void drawPreview(id self, SEL, CGRect) {
  if (!send<BOOL>(captureController(), "isPreviewRunning"_sel)) return;
  CGContextRef context = UIGraphicsGetCurrentContext();
  const CGRect bounds = send<CGRect>(self, "bounds"_sel);
  CGContextSetGrayFillColor(context, 0.18, 1);
  CGContextFillRect(context, bounds);
  drawCentredText(previewCaption(), systemFont(17), rgbColor(1, 1, 1),
                  CGPointMake(CGRectGetMidX(bounds), CGRectGetMidY(bounds)));
}

Class controllerClass = Nil;

// The camera screen is the camera view, where the build has one.
void loadView(id self, SEL) {
  Class cameraView = objc_getClass(appClasses.cameraView);
  if (cameraView == Nil) return sendSuper(self, controllerClass, "loadView"_sel);
  const CGRect bounds =
      send<CGRect>(send<id>(objc_getClass("UIScreen"), "mainScreen"_sel), "bounds"_sel);
  Ref<> view = adopt(send<id>(send<id>(cameraView, "alloc"_sel), "initWithFrame:"_sel, bounds));
  send(self, "setView:"_sel, view.get());
}

// The camera screen: black, with the preview filling it behind the controls.
void viewDidLoad(id self, SEL) {
  id view = send<id>(self, "view"_sel);
  send(view, "setBackgroundColor:"_sel, send<id>(objc_getClass("UIColor"), "blackColor"_sel));
  Ref<> preview = adopt(send<id>(send<id>(objc_getClass(appClasses.preview), "alloc"_sel),
                                 "initWithFrame:"_sel, send<CGRect>(view, "bounds"_sel)));
  send(view, "insertSubview:atIndex:"_sel, preview.get(), NSInteger{0});
}

}  // namespace

void registerCameraApp(const CameraAppClasses& classes) {
  appClasses = classes;
  ClassBuilder(classes.preview, objc_getClass("UIView"))
      .method("drawRect:", &drawPreview)
      .registerClass();
  controllerClass = ClassBuilder(classes.viewController, objc_getClass("UIViewController"))
                        .method("loadView", &loadView)
                        .method("viewDidLoad", &viewDidLoad)
                        .method("_kickoffCameraControllerPreview", &kickoffCameraControllerPreview)
                        .registerClass();
}

void launchCameraApp() {
  Ref<> controller = make(objc_getClass(appClasses.viewController));
  openAppWindow(controller);
  send(captureController(), "setDelegate:"_sel, send<id>(controller, "view"_sel));
}

}  // namespace qv::host
