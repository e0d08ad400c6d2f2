// Steps written back as the lines of a scenario file's list, in YAML's flow style, so that they
// read again as the same steps.
#pragma once

#include <yaml-cpp/yaml.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host/loader/Loader.h"

namespace qv::sim {

// A step's node as one line: "start_preview", "launch: Camera", "expect: {preview: running}".
std::string stepLine(const YAML::Node& step);

// The step `name` with the fields given and, over them, the settled ones, which are text.
std::string stepLine(const std::string& name, const std::map<std::string, YAML::Node>& given,
                     const std::vector<std::pair<std::string, std::string>>& settled);

// Text as a scalar that reads back as that text: plain where it can be, else double-quoted.
std::string textScalar(const std::string& text);

// Steps taken one at a time (`origin`: "typed in quorvane-sim shell") as a scenario file that `run`
// replays, with the library option the session had; `system` empty: the device's own.
std::string savedScenario(const std::string& origin, const std::string& device,
                          const std::string& system, host::LibraryChoice library,
                          const std::vector<std::string>& steps);

}  // namespace qv::sim
