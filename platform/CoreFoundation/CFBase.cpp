#include "platform/CoreFoundation/CoreFoundation.h"
#include "platform/objc/Message.h"

extern "C" {

double kCFCoreFoundationVersionNumber = 0;

Boolean CFEqual(CFTypeRef first, CFTypeRef second) {
  if (first == nullptr || second == nullptr) return false;
  return qv::send<BOOL>(qv::bridge<id>(first), "isEqual:"_sel, qv::bridge<id>(second));
}

}  // extern "C"
