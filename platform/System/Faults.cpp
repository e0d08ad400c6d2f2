#include "platform/System/Faults.h"

#include <cstdlib>
#include <sstream>
#include <string>

namespace qv {

bool faultSwitchedOn(const char* name) {
  const char* faults = std::getenv("QUORVANE_FAULT");
  if (faults == nullptr) return false;
  std::istringstream list(faults);
  for (std::string fault; std::getline(list, fault, ',');) {
    if (fault == name) return true;
  }
  return false;
}

}  // namespace qv
