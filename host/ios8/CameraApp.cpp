#include "host/ios8/CameraApp.h"

#include <algorithm>
#include <cstdio>

#include "host/AppWindow.h"
#include "host/ios8/ControllerCore.h"
#include "host/ios8/ScreenDrawing.h"
#include "host/ios8/VideoRecording.h"
#include "platform/AVFoundation/Scene.h"
#include "platform/UIKit/UIKit.h"

namespace qv::host {
namespace {

constexpr double kCaptionInset = 8;  // from the picture's bottom right corner

id captureController() {
  return sharedCaptureController();
}

// The classes of the generation's camera app, named at registration.
CameraAppClasses appClasses;

void kickoffCameraControllerPreview(id, SEL) {
  send(captureController(), "startPreview"_sel);
}

// The status over the picture: the camera's format and frame rate.
std::string previewCaption() {
  id device = send<id>(captureController(), "currentDevice"_sel);
  char rate[32];
  std::snprintf(rate, sizeof rate, " at %g fps", activeFrameRate(device));
  return formatSize(send<id>(device, "activeFormat"_sel)) + rate;
}

// The scene as the camera films it now, at the active format's size and rate, the whole picture
// scaled to fit the screen; answers where the picture is.
CGRect drawLivePicture(CGContextRef context, CGRect bounds) {
  const media::ClipSpec clip = activeClip(captureController());
  const double scale = std::min(bounds.size.width / clip.width, bounds.size.height / clip.height);
  const CGRect picture = CGRectMake((bounds.size.width - clip.width * scale) / 2,
                                    (bounds.size.height - clip.height * scale) / 2,
                                    clip.width * scale, clip.height * scale);
  CGContextSaveGState(context);
  CGContextTranslateCTM(context, picture.origin.x, picture.origin.y);
  CGContextScaleCTM(context, scale, scale);
  media::drawScene(context,
                   media::shotAt(clip.sceneStart, clip.frameRate, clip.width, clip.height));
  CGContextRestoreGState(context);
  return picture;
}

// In a pill over the picture's bottom right corner, clear of the controls an app puts at the top.
void drawCaption(CGRect picture) {
  const std::string caption = previewCaption();
  id font = systemFont(12);
  Ref<> string = makeString(caption);
  Ref<> attributes = makeDictionary({{NSFontAttributeName, font}});
  const double width =
      send<CGSize>(string.get(), "sizeWithAttributes:"_sel, attributes.get()).width;
  const CGRect pill = CGRectMake(CGRectGetMaxX(picture) - width - 16 - kCaptionInset,
                                 CGRectGetMaxY(picture) - 20 - kCaptionInset, width + 16, 20);
  send(rgbColor(0, 0, 0, 0.5), "setFill"_sel);
  send(send<id>(objc_getClass("UIBezierPath"), "bezierPathWithRoundedRect:cornerRadius:"_sel, pill,
                CGFloat{10}),
       "fill"_sel);
  drawCentredText(caption, font, rgbColor(1, 1, 1),
                  CGPointMake(CGRectGetMidX(pill), CGRectGetMidY(pill)));
}

void drawPreview(id self, SEL, CGRect) {
  if (!send<BOOL>(captureController(), "isPreviewRunning"_sel)) return;
  CGContextRef context = UIGraphicsGetCurrentContext();
  const CGRect bounds = send<CGRect>(self, "bounds"_sel);
  drawCaption(drawLivePicture(context, bounds));
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
