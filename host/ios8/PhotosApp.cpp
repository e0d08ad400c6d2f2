#include "host/ios8/PhotosApp.h"

#include "host/AppWindow.h"
#include "platform/UIKit/UIKit.h"

namespace qv::host {

void launchPhotosAppIOS8() {
  openAppWindow(make(objc_getClass("UIViewController")));
}

}  // namespace qv::host
