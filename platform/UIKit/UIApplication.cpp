// The application, its screen, windows and view controllers.
#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/UIKit/UIKitPrivate.h"

id UIApplicationDidChangeStatusBarOrientationNotification = nil;

namespace qv::ui {
namespace {

CGRect screenBounds = CGRectMake(0, 0, 320, 568);

// UIScreen.

CGRect screenBoundsOf(id, SEL) {
  return screenBounds;
}
CGFloat screenScale(id, SEL) {
  return 2.0;
}

Class screenClass() {
  static const Class cls = ClassBuilder("UIScreen", NSObjectClass())
                               .classMethod("mainScreen", &sharedInstance<&screenClass>)
                               .method("bounds", &screenBoundsOf)
                               .method("applicationFrame", &screenBoundsOf)
                               .method("scale", &screenScale)
                               .registerClass();
  return cls;
}

// Windows, known to the application while they live; not retained by it.
struct Windows {
  std::mutex mutex;
  std::vector<id> all;
  id key = nil;
};

Windows& windows() {
  static auto* list = new Windows;
  return *list;
}

// UIApplication.

struct ApplicationState {
  NSInteger statusBarOrientation = UIInterfaceOrientationPortrait;
};

void setStatusBarOrientation(id self, SEL, NSInteger orientation) {
  auto& state = stateOf<ApplicationState>(self);
  if (state.statusBarOrientation == orientation) return;
  state.statusBarOrientation = orientation;
  id center = send<id>(objc_getClass("NSNotificationCenter"), "defaultCenter"_sel);
  send(center, "postNotificationName:object:"_sel,
       UIApplicationDidChangeStatusBarOrientationNotification, self);
}

void setStatusBarOrientationAnimated(id self, SEL, NSInteger orientation, BOOL) {
  setStatusBarOrientation(self, nullptr, orientation);
}

NSInteger statusBarOrientation(id self, SEL) {
  return stateOf<ApplicationState>(self).statusBarOrientation;
}

id keyWindow(id, SEL) {
  std::lock_guard lock(windows().mutex);
  return windows().key;
}

id windowList(id, SEL) {
  std::vector<id> all;
  {
    std::lock_guard lock(windows().mutex);
    all = windows().all;
  }
  return autorelease(makeArray(all).leak());
}

Class applicationClass() {
  static const Class cls =
      ClassBuilder("UIApplication", NSObjectClass())
          .classMethod("sharedApplication", &sharedInstance<&applicationClass>)
          .state<ApplicationState>()
          .method("statusBarOrientation", &statusBarOrientation)
          .method("setStatusBarOrientation:", &setStatusBarOrientation)
          .method("setStatusBarOrientation:animated:", &setStatusBarOrientationAnimated)
          .method("keyWindow", &keyWindow)
          .method("windows", &windowList)
          .registerClass();
  return cls;
}

// UIWindow.

struct WindowState {
  Ref<> rootViewController;
};

id windowInitWithFrame(id self, SEL, CGRect frame) {
  self = sendSuper<id>(self, windowClass(), "initWithFrame:"_sel, frame);
  if (self == nil) return nil;
  viewState(self).hidden = true;  // until made visible, as on the platform
  std::lock_guard lock(windows().mutex);
  windows().all.push_back(self);
  return self;
}

void windowDealloc(id self, SEL) {
  {
    std::lock_guard lock(windows().mutex);
    std::erase(windows().all, self);
    if (windows().key == self) windows().key = nil;
  }
  sendSuper(self, windowClass(), "dealloc"_sel);
}

void makeKeyWindow(id self, SEL) {
  std::lock_guard lock(windows().mutex);
  windows().key = self;
}

void makeKeyAndVisible(id self, SEL) {
  send(self, "setHidden:"_sel, static_cast<BOOL>(NO));
  makeKeyWindow(self, nullptr);
}

BOOL isKeyWindow(id self, SEL) {
  return keyWindow(nil, nullptr) == self;
}

id rootViewController(id self, SEL) {
  return stateOf<WindowState>(self).rootViewController;
}

void setRootViewController(id self, SEL, id controller) {
  auto& state = stateOf<WindowState>(self);
  if (state.rootViewController) {
    send(send<id>(state.rootViewController, "view"_sel), "removeFromSuperview"_sel);
  }
  state.rootViewController = Ref<>(controller);
  if (controller == nil) return;
  id view = send<id>(controller, "view"_sel);
  send(view, "setFrame:"_sel, viewState(self).bounds);
  send(self, "addSubview:"_sel, view);
}

// UIViewController.

struct ControllerState {
  Ref<> view;
};

id controllerView(id self, SEL) {
  auto& state = stateOf<ControllerState>(self);
  if (!state.view) {
    send(self, "loadView"_sel);
    send(self, "viewDidLoad"_sel);
  }
  return state.view;
}

void setControllerView(id self, SEL, id view) {
  stateOf<ControllerState>(self).view = Ref<>(view);
}
BOOL isViewLoaded(id self, SEL) {
  return static_cast<bool>(stateOf<ControllerState>(self).view);
}

void loadView(id self, SEL) {
  Ref<> view =
      adopt(send<id>(send<id>(viewClass(), "alloc"_sel), "initWithFrame:"_sel, screenBounds));
  send(self, "setView:"_sel, view.get());
}

void viewDidLoad(id, SEL) {}

Class controllerClass() {
  static const Class cls = ClassBuilder("UIViewController", NSObjectClass())
                               .state<ControllerState>()
                               .method("view", &controllerView)
                               .method("setView:", &setControllerView)
                               .method("isViewLoaded", &isViewLoaded)
                               .method("loadView", &loadView)
                               .method("viewDidLoad", &viewDidLoad)
                               .registerClass();
  return cls;
}

__attribute__((constructor(130))) void registerApplicationClasses() {
  UIApplicationDidChangeStatusBarOrientationNotification =
      "UIApplicationDidChangeStatusBarOrientationNotification"_ns;
  screenClass();
  applicationClass();
  windowClass();
  controllerClass();
}

}  // namespace

Class windowClass() {
  static const Class cls = ClassBuilder("UIWindow", viewClass())
                               .state<WindowState>("_windowState")
                               .method("initWithFrame:", &windowInitWithFrame)
                               .method("dealloc", &windowDealloc)
                               .method("makeKeyWindow", &makeKeyWindow)
                               .method("makeKeyAndVisible", &makeKeyAndVisible)
                               .method("isKeyWindow", &isKeyWindow)
                               .method("rootViewController", &rootViewController)
                               .method("setRootViewController:", &setRootViewController)
                               .registerClass();
  return cls;
}

void setScreenBounds(CGRect bounds) {
  screenBounds = bounds;
}

}  // namespace qv::ui
