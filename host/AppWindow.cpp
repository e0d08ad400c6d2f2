#include "host/AppWindow.h"

#include "platform/UIKit/UIKit.h"

namespace qv::host {

CGSize screenSize(Idiom idiom) {
  return idiom == Idiom::Pad ? CGSizeMake(768, 1024) : CGSizeMake(320, 568);
}

void applyScreen(Idiom idiom) {
  const CGSize size = screenSize(idiom);
  ui::setScreenBounds(CGRectMake(0, 0, size.width, size.height));
  ui::setInterfaceIdiom(idiom == Idiom::Pad ? UIUserInterfaceIdiomPad : UIUserInterfaceIdiomPhone);
}

void openAppWindow(id rootViewController) {
  const CGRect bounds =
      send<CGRect>(send<id>(objc_getClass("UIScreen"), "mainScreen"_sel), "bounds"_sel);
  id window = send<id>(send<id>(objc_getClass("UIWindow"), "alloc"_sel), "initWithFrame:"_sel,
                       bounds);  // kept for the life of the app
  send(window, "setRootViewController:"_sel, rootViewController);
  send(window, "makeKeyAndVisible"_sel);
}

id appWindow() {
  return send<id>(send<id>(objc_getClass("UIApplication"), "sharedApplication"_sel),
                  "keyWindow"_sel);
}

}  // namespace qv::host
