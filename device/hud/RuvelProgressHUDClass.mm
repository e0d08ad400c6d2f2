// The overlay view's class as the library declares it for the device: the runtime registers it
// when the library is mapped, and the library exports it as _OBJC_CLASS_$_RuvelProgressHUD. The
// declaration holds only the C++ state, which the runtime constructs with each instance and
// destroys after its -dealloc; the methods are C++ functions added at start-up (hud/).
#include "port/hud/HUDState.h"
#include "port/objc/Object.h"

__attribute__((objc_root_class))
@interface NSObject {
  Class isa;
}
@end

@interface UIView : NSObject
@end

__attribute__((visibility("default")))
@interface RuvelProgressHUD : UIView {
  qv::ObjectState<quorvane::hud::HUDState> _hudState;
}
@end

@implementation RuvelProgressHUD
@end
