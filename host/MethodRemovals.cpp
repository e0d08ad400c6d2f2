#include <string_view>

#include "host/Removals.h"
#include "platform/Seams.h"
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
