// Host classes and methods taken away, to model system builds that lack them. A removed class is
// never registered; a removed method is gone from its class as if the build never had it:
// class_getInstanceMethod finds nothing and a message raises "unrecognized selector".
#pragma once

#include <objc/runtime.h>

#include <string>
#include <vector>

namespace qv::host {

struct Removal {
  std::string className;
  std::string selector;  // empty: the whole class
  bool classMethod = false;

  // "CAMCaptureController", "-[CAMCaptureController mogulFrameRate]" or "+[Class selector]".
  std::string describe() const;
};

// Reads the forms `describe` writes; false for anything else.
bool parseRemoval(const std::string& text, Removal& removal);

bool removesClass(const std::vector<Removal>& removals, const std::string& className);

// Takes the method the class itself defines away; false when the class defines none of that
// name. Must run before the class receives its first message: the runtime builds a class's
// dispatch table from its method lists on the first message.
bool removeMethod(Class cls, SEL selector);

}  // namespace qv::host
