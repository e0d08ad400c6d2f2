#include "host/ios8/PhotoBrowser.h"

#include <vector>

#include "host/App.h"
#include "host/AppWindow.h"
#include "host/ios8/PhotoLibrary.h"
#include "host/ios8/Publishing.h"
#include "platform/System/System.h"
#include "platform/UIKit/UIKit.h"

namespace qv::host {
namespace {

constexpr CGFloat kStatusBarHeight = 20;
constexpr CGFloat kBarHeight = 44;

struct BrowserState {
  Ref<> asset;
  Ref<> videoView;
  Ref<> bar;
  bool editing = false;
};

BrowserState& browserOf(id self) {
  return stateOf<BrowserState>(self);
}

Ref<>& presented() {
  static auto* browser = new Ref<>;  // for the life of the app
  return *browser;
}

Class browserClass();

Ref<> makeItem(const char* title, id target, const char* action) {
  return adopt(send<id>(send<id>(objc_getClass("UIBarButtonItem"), "alloc"_sel),
                        "initWithTitle:style:target:action:"_sel, makeString(title).get(),
                        NSInteger{0}, target, sel_registerName(action)));
}

Ref<> makeNavigationItem(const std::string& title) {
  return adopt(send<id>(send<id>(objc_getClass("UINavigationItem"), "alloc"_sel),
                        "initWithTitle:"_sel, makeString(title).get()));
}

id currentAsset(id self, SEL) {
  return browserOf(self).asset;
}
id currentVideoView(id self, SEL) {
  return browserOf(self).videoView;
}
id navigationBar(id self, SEL) {
  return browserOf(self).bar;
}
BOOL isCameraApp(id, SEL) {
  return processName() == kCameraApp ? YES : NO;
}
BOOL isEditingVideo(id self, SEL) {
  return browserOf(self).editing ? YES : NO;
}

void setEditingVideo(id self, SEL, BOOL editing) {
  browserOf(self).editing = editing != NO && browserOf(self).videoView;
  send(self, "updateOverlaysAnimated:"_sel, YES);
}

void updateOverlaysAnimated(id self, SEL, BOOL animated) {
  const bool camera = send<BOOL>(self, "isCameraApp"_sel) != NO;
  const bool editing = browserOf(self).editing;
  Ref<> right = camera    ? makeItem("Done", self, "_close:")
                : editing ? makeItem("Done", self, "_endEditing:")
                          : makeItem("Edit", self, "_beginEditing:");
  const std::vector<id> items = arrayElements(send<id>(browserOf(self).bar.get(), "items"_sel));
  for (id item : items) send(item, "setRightBarButtonItem:animated:"_sel, right.get(), animated);
  if (!items.empty()) {
    send(items.back(), "setLeftBarButtonItem:animated:"_sel,
         makeItem("Share", self, "_share:").get(), animated);
  }
}

void beginEditing(id self, SEL, id) {
  send(self, "setEditingVideo:"_sel, YES);
}
void endEditing(id self, SEL, id) {
  send(self, "setEditingVideo:"_sel, NO);
}
void close(id self, SEL, id) {
  send(self, "dismissViewControllerAnimated:completion:"_sel, YES, id{nil});
}

// The platform's own share sheet; tag 0.
void share(id self, SEL, id) {
  Ref<> sheet = adopt(sendVarargs<id, id, id, id, id, id>(
      send<id>(objc_getClass("UIActionSheet"), "alloc"_sel),
      "initWithTitle:delegate:cancelButtonTitle:destructiveButtonTitle:otherButtonTitles:"_sel, nil,
      self, "Cancel"_ns, nil, "YouTube"_ns, nil));
  send(sheet.get(), "showInView:"_sel, send<id>(self, "view"_sel));
}

void clickedButtonAtIndex(id self, SEL, id, NSInteger index) {
  if (index == 0) publishAsset(browserOf(self).asset);
}

// The completion is a block object, nil for none; it is run with -invoke.
void dismissAnimated(id self, SEL, BOOL, id completion) {
  // A sheet or button of the browser may still be calling it: it goes with the event's pool.
  autorelease(retain(self));
  send(send<id>(self, "view"_sel), "removeFromSuperview"_sel);
  if (presented().get() == self) presented() = nullptr;
  if (responds(completion, "invoke"_sel)) send(completion, "invoke"_sel);
}

void loadView(id self, SEL) {
  const CGRect bounds =
      send<CGRect>(send<id>(objc_getClass("UIScreen"), "mainScreen"_sel), "bounds"_sel);
  Ref<> view =
      adopt(send<id>(send<id>(objc_getClass("UIView"), "alloc"_sel), "initWithFrame:"_sel, bounds));
  send(view.get(), "setBackgroundColor:"_sel, send<id>(objc_getClass("UIColor"), "blackColor"_sel));
  send(self, "setView:"_sel, view.get());
}

// The item, then the bar over it.
void viewDidLoad(id self, SEL) {
  BrowserState& state = browserOf(self);
  id view = send<id>(self, "view"_sel);
  const CGRect bounds = send<CGRect>(view, "bounds"_sel);
  const CGFloat top = kStatusBarHeight + kBarHeight;
  if (send<BOOL>(state.asset.get(), "isVideo"_sel) && objc_getClass("PLVideoView") != Nil) {
    state.videoView =
        adopt(send<id>(send<id>(objc_getClass("PLVideoView"), "alloc"_sel), "initWithFrame:"_sel,
                       CGRectMake(0, top, bounds.size.width, bounds.size.height - top)));
    send(state.videoView.get(), "setVideoCameraImage:"_sel, state.asset.get());
    send(view, "addSubview:"_sel, state.videoView.get());
  }
  state.bar =
      adopt(send<id>(send<id>(objc_getClass("UINavigationBar"), "alloc"_sel), "initWithFrame:"_sel,
                     CGRectMake(0, kStatusBarHeight, bounds.size.width, kBarHeight)));
  const bool camera = send<BOOL>(self, "isCameraApp"_sel) != NO;
  send(state.bar.get(), "pushNavigationItem:animated:"_sel,
       makeNavigationItem(camera ? "Camera" : "Camera Roll").get(), NO);
  send(state.bar.get(), "pushNavigationItem:animated:"_sel,
       makeNavigationItem(state.videoView ? "Video" : "Photo").get(), NO);
  send(view, "addSubview:"_sel, state.bar.get());
  send(self, "updateOverlaysAnimated:"_sel, NO);
}

Class browserClass() {
  static const Class cls =
      ClassBuilder("PLPhotoBrowserController", objc_getClass("UIViewController"))
          .state<BrowserState>("_browserState")
          .method("loadView", &loadView)
          .method("viewDidLoad", &viewDidLoad)
          .method("currentAsset", &currentAsset)
          .method("currentVideoView", &currentVideoView)
          .method("navigationBar", &navigationBar)
          .method("isCameraApp", &isCameraApp)
          .method("isEditingVideo", &isEditingVideo)
          .method("setEditingVideo:", &setEditingVideo)
          .method("updateOverlaysAnimated:", &updateOverlaysAnimated)
          .method("actionSheet:clickedButtonAtIndex:", &clickedButtonAtIndex)
          .method("dismissViewControllerAnimated:completion:", &dismissAnimated)
          .method("_beginEditing:", &beginEditing)
          .method("_endEditing:", &endEditing)
          .method("_close:", &close)
          .method("_share:", &share)
          .registerClass();
  return cls;
}

}  // namespace

void registerPhotoBrowser() {
  browserClass();
}

std::string presentPhotoBrowser(id asset) {
  Class cls = objc_getClass("PLPhotoBrowserController");
  if (cls == Nil) return "the app has no photo browser (PLPhotoBrowserController)";
  id window = appWindow();
  if (window == nil) return "the app has no window";
  if (presented()) {
    send(presented().get(), "dismissViewControllerAnimated:completion:"_sel, NO, id{nil});
  }
  Ref<> browser = make(cls);
  browserOf(browser).asset = Ref<>(asset);
  send(window, "addSubview:"_sel, send<id>(browser.get(), "view"_sel));
  presented() = browser;
  return "";
}

id presentedPhotoBrowser() {
  return presented();
}

}  // namespace qv::host
