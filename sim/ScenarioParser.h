// The scenario language: YAML files of a setup and steps (docs/scenarios.md). Reading stops at
// the first problem, with one error that names the file and the line.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "host/devices/Catalog.h"
#include "sim/Scenario.h"

namespace qv::sim {

class ScenarioError : public std::runtime_error {
 public:
  // "file:line: problem"
  ScenarioError(const Location& where, const std::string& problem)
      : std::runtime_error(where.describe() + ": " + problem) {}
  // A message that already names its file and line.
  explicit ScenarioError(const std::string& message) : std::runtime_error(message) {}
};

Scenario readScenario(const std::string& path, const host::Catalog& catalog);

// `file` is the name that errors give.
Scenario parseScenario(const std::string& text, const std::string& file,
                       const host::Catalog& catalog);

struct StepUsage {
  std::string name;
  std::string usage;
};

// Every step with its forms, for --help.
std::vector<StepUsage> stepUsages();

}  // namespace qv::sim
