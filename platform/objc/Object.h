// The root class NSObject, reference counting, and the builder through which the platform and
// the hosts make their classes at run time: the tweak's part (port/objc/Object.h, whose builder
// is the stand-in's backend/objc/Object.h) and what only the stand-in offers.
#pragma once

#include <objc/runtime.h>

#include <cstdint>

#include "platform/objc/Message.h"
#include "port/objc/Object.h"

namespace qv {

// The class method of a class with one instance (sharedApplication, mainScreen): made by the
// first call, it lives as long as the process.
template <Class (*TheClass)()>
id sharedInstance(id, SEL) {
  static const id instance = make(TheClass()).leak();
  return instance;
}

// Retain count as the platform would report it (tests and diagnostics).
std::uint64_t retainCount(id object);

}  // namespace qv
