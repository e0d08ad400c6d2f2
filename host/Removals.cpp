#include "host/Removals.h"

#include <algorithm>
#include <regex>

namespace qv::host {

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

}  // namespace qv::host
