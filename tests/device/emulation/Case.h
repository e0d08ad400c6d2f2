// One case of the case file for one library: the host, the settings file, the library's start,
// then the steps, in the calling process (the runner forks one for each).
#pragma once

#include <yaml-cpp/yaml.h>

#include <string>

#include "core/HookTable.h"
#include "core/Installation.h"

namespace quorvane::emulation {

struct Library {
  const char* name;
  const HookTable& (*table)();
  const LibraryIdentity& identity;
};

// The case's JSON line; a failing step ends the case with an "error" member.
std::string runCase(const Library& library, const YAML::Node& theCase);

}  // namespace quorvane::emulation
