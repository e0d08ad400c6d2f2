#include "host/Removals.h"

#include <algorithm>
#include <cstdlib>
#include <regex>

namespace qv::host {
namespace {

// The layout of a method in gcc's runtime (struct objc_method of its ABI), to which a Method
// points. The runtime has no call that removes a method.
struct RuntimeMethod {
  SEL name;
  const char* types;
  IMP implementation;
};

}  // namespace

std::string Removal::describe() const {
  if (selector.empty()) return className;
  return std::string(classMethod ? "+[" : "-[") + className + " " + selector + "]";
}

bool parseRemoval(const std::string& text, Removal& removal) {
  static const std::regex kClass(R"([A-Za-z_][A-Za-z0-9_]*)");
  static const std::regex kMethod(
      R"(([-+])\[([A-Za-z_][A-Za-z0-9_]*) ([A-Za-z_:][A-Za-z0-9_:]*)\])");
  std::smatch parts;
  if (std::regex_match(text, kClass)) {
    removal = {text, "", false};
    return true;
  }
  if (!std::regex_match(text, parts, kMethod)) return false;
  removal = {parts[2].str(), parts[3].str(), parts[1].str() == "+"};
  return true;
}

bool removesClass(const std::vector<Removal>& removals, const std::string& className) {
  return std::any_of(removals.begin(), removals.end(), [&](const Removal& removal) {
    return removal.selector.empty() && removal.className == className;
  });
}

bool removeMethod(Class cls, SEL selector) {
  unsigned count = 0;
  Method* methods = class_copyMethodList(cls, &count);
  bool removed = false;
  for (unsigned i = 0; i < count; ++i) {
    if (!sel_isEqual(method_getName(methods[i]), selector)) continue;
    // Lookups match by name: under a name nobody sends, the method is out of reach.
    const std::string hidden = std::string("qv_removed_") + sel_getName(selector);
    reinterpret_cast<RuntimeMethod*>(methods[i])->name = sel_registerName(hidden.c_str());
    removed = true;
  }
  std::free(methods);
  return removed;
}

}  // namespace qv::host
