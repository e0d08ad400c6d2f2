#include "host/AppWindow.h"

#include "platform/UIKit/UIKit.h"

namespace qv::host {

void applyScreen(Idiom idiom) {
  ui::setScreenBounds(idiom == Idiom::Pad ? CGRectMake(0, 0, 768, 1024)
                                          : CGRectMake(0, 0, 320, 568));
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
