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

// Leaves the removed methods out of every class the process makes from now on: an app makes
// its host classes once, at its start, after this.
void leaveOutMethods(const std::vector<Removal>& removals);

// The method removals that no class made since `leaveOutMethods` had a method for.
std::vector<Removal> unusedMethodRemovals();

}  // namespace qv::host
