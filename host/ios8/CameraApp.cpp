#include "host/ios8/CameraApp.h"

#include <cstdio>

#include "host/AppWindow.h"
#include "platform/CoreMedia/CoreMedia.h"
#include "platform/UIKit/UIKit.h"

namespace qv::host {
namespace {

id captureController() {
  return send<id>(objc_getClass("CAMCaptureController"), "sharedInstance"_sel);
}

void kickoffCameraControllerPreview(id, SEL) {
  send(captureController(), "startPreview"_sel);
}

// What the running preview shows: the camera's format and frame rate, where the device would
// show its video.
std::string previewCaption() {
  id device = send<id>(captureController(), "currentDevice"_sel);
  const CMVideoDimensions size = CMVideoFormatDescriptionGetDimensions(
      send<CMFormatDescriptionRef>(send<id>(device, "activeFormat"_sel), "formatDescription"_sel));
  const CMTime frame = send<CMTime>(device, "activeVideoMinFrameDuration"_sel);
  char caption[96];
  std::snprintf(caption, sizeof caption, "%dx%d at %g fps", size.width, size.height,
                frame.value > 0 ? static_cast<double>(frame.timescale) / frame.value : 0.0);
  return caption;
}

void drawPreview(id self, SEL, CGRect) {
  if (!send<BOOL>(captureController(), "isPreviewRunning"_sel)) return;
  CGContextRef context = UIGraphicsGetCurrentContext();
  const CGRect bounds = send<CGRect>(self, "bounds"_sel);
  CGContextSetGrayFillColor(context, 0.18, 1);
  CGContextFillRect(context, bounds);
  Ref<> caption = makeString(previewCaption());
  Ref<> attributes = makeDictionary(
      {{NSFontAttributeName,
        send<id>(objc_getClass("UIFont"), "systemFontOfSize:"_sel, CGFloat{17})},
       {NSForegroundColorAttributeName, send<id>(objc_getClass("UIColor"), "whiteColor"_sel)}});
  const CGSize size = send<CGSize>(caption.get(), "sizeWithAttributes:"_sel, attributes.get());
  const CGPoint at =
      CGPointMake((bounds.size.width - size.width) / 2, (bounds.size.height - size.height) / 2);
  send(caption.get(), "drawAtPoint:withAttributes:"_sel, at, attributes.get());
}

// The camera screen: black, with the preview filling it.
void viewDidLoad(id self, SEL) {
  id view = send<id>(self, "view"_sel);
  send(view, "setBackgroundColor:"_sel, send<id>(objc_getClass("UIColor"), "blackColor"_sel));
  Ref<> preview = adopt(send<id>(send<id>(objc_getClass("CAMPreviewView"), "alloc"_sel),
                                 "initWithFrame:"_sel, send<CGRect>(view, "bounds"_sel)));
  send(view, "addSubview:"_sel, preview.get());
}

}  // namespace

void registerCameraAppIOS8() {
  ClassBuilder("CAMPreviewView", objc_getClass("UIView"))
      .method("drawRect:", &drawPreview)
      .registerClass();
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
