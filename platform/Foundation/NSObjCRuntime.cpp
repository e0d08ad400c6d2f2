// Foundation's bridges between names and the runtime: a selector's name as a string, a class
// by its name.
#include "platform/Foundation/Classes.h"
#include "platform/Foundation/Foundation.h"

extern "C" {

id NSStringFromSelector(SEL selector) {
  if (selector == nullptr) return nil;
  return qv::foundation::autoreleasedString(sel_getName(selector));
}

Class NSClassFromString(id name) {
  if (name == nil) return Nil;
  return objc_getClass(qv::utf8(name).c_str());
}

}  // extern "C"
