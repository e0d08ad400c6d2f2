#include "host/Removals.h"

#include <algorithm>
#include <regex>

#include "platform/objc/Object.h"

namespace qv::host {
namespace {

struct MethodRemoval {
  Removal removal;
  bool used = false;
};

std::vector<MethodRemoval>& methodRemovals() {
  static std::vector<MethodRemoval> removals;
  return removals;
}

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

void leaveOutMethods(const std::vector<Removal>& removals) {
  methodRemovals().clear();
  for (const Removal& removal : removals) {
    if (!removal.selector.empty()) methodRemovals().push_back({removal});
  }
  setMethodFilter([](std::string_view className, std::string_view selector, bool classMethod) {
    for (MethodRemoval& entry : methodRemovals()) {
      const Removal& removal = entry.removal;
      if (removal.className == className && removal.selector == selector &&
          removal.classMethod == classMethod) {
        entry.used = true;
        return false;
      }
    }
    return true;
  });
}

std::vector<Removal> unusedMethodRemovals() {
  std::vector<Removal> unused;
  for (const MethodRemoval& entry : methodRemovals()) {
    if (!entry.used) unused.push_back(entry.removal);
  }
  return unused;
}

}  // namespace qv::host
