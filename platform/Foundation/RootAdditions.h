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
  class_addMethod(cls, sel_registerTypedName(selector, types.c_str()), toIMP(implementation),
                  types.c_str());
}

}  // namespace qv::foundation
