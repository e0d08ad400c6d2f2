// Methods that Foundation's run-time services add to existing classes (NSObject), as categories
// do on the platform. Private to Foundation.
#pragma once

#include "platform/objc/Object.h"

namespace qv::foundation {

// Adds an instance method (or, given a metaclass, a class method) typed from its C++ signature.
// An existing method of that name is left alone.
template <typename R, typename... Args>
void addMethod(Class cls, const char* selector, R (*implementation)(id, SEL, Args...)) {
  const std::string types = methodEncoding<R, Args...>();
  class_addMethod(cls, sel_registerName(selector), toIMP(implementation), types.c_str());
}

}  // namespace qv::foundation

namespace qv::foundation {

// Performs `selector` on `target` as the platform's deferred and timed calls do: with the
// argument when the method takes one, without it when it takes none. The result, if any, is
// dropped, so methods of any return type qualify. An unknown selector raises.
inline void performDropping(id target, SEL selector, id argument) {
  Method method = class_getInstanceMethod(object_getClass(target), selector);
  IMP imp = objc_msg_lookup(target, selector);
  if (method != nullptr && method_getNumberOfArguments(method) == 2) {
    invoke(imp, target, selector);
  } else {
    invoke(imp, target, selector, argument);
  }
}

}  // namespace qv::foundation
