// The scenario language: YAML files of a setup and steps (docs/scenarios.md). Reading stops at
// the first problem, with one error that names the file and the line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/devices/Catalog.h"
#include "sim/language/Scenario.h"

namespace qv::sim {

Scenario readScenario(const std::string& path, const host::Catalog& catalog);

// `file` is the name that errors give; relative paths in the scenario are taken from its folder.
Scenario parseScenario(const std::string& text, const std::string& file,
                       const host::Catalog& catalog);

// One step, as a line of a scenario file's list writes it ("launch: Camera", "- start_preview"),
// read as if it stood at `where`: its errors are those the file would give. Relative paths are
// taken from `base` (empty: the working directory).
Step parseStep(const std::string& line, const Location& where, const std::string& base,
               const host::Catalog& catalog);

// The process name of an app as a scenario names it ("Photos" is MobileSlideShow); nullopt for
// an app the device does not have, which `unknownApp` describes.
std::optional<std::string> appName(const std::string& written);
std::string unknownApp(const std::string& written);

// A device of the catalog by name, running `system` when that is not empty; the error says what
// the catalog has.
host::Device catalogDevice(const host::Catalog& catalog, const std::string& name,
                           const std::string& system);

struct StepUsage {
  std::string name;
  std::string usage;
};

// Every step with its forms, for --help.
std::vector<StepUsage> stepUsages();

}  // namespace qv::sim
