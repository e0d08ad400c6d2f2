// The scenario language's steps as tables, one per area (an app's life, the camera, the screen,
// the settings pane, Photos' media): each row names a step, its fields, those it requires, how
// the step is built from what was written, and its line of --help. StepKinds.cpp assembles the
// areas in the order --help lists them.
#pragma once

#include <yaml-cpp/yaml.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/App.h"
#include "sim/language/Scenario.h"
#include "sim/language/ScenarioParser.h"
#include "sim/language/YamlReading.h"

namespace qv::sim {

// The longest clip a scenario makes, or a step seeks or edits in: seconds.
inline constexpr double kLongestClip = 600;

// "a, b, c", for messages that list what is known.
std::string listNames(const std::vector<std::string>& all);

// A step's fields, from its map or from the one value of its short form.
struct Fields {
  const YamlReading& yaml;
  YAML::Node step;  // the step's node, for messages about the step as a whole
  std::string name;
  std::map<std::string, YAML::Node> given;
  // Fields whose value a step takes from where it was read (a default name from its line): the
  // step's written form spells them out. Builders settle them while reading.
  mutable std::vector<std::pair<std::string, std::string>> settled;

  bool has(const std::string& field) const { return given.count(field) != 0; }
  YAML::Node operator[](const std::string& field) const { return given.at(field); }

  std::string app(const char* fallback = host::kCameraApp) const {
    if (!has("app")) return fallback;
    const std::string written = yaml.text(given.at("app"), name + " app");
    const std::optional<std::string> app = appName(written);
    if (!app) yaml.fail(given.at("app"), unknownApp(written));
    return *app;
  }

  void settle(const std::string& field, const std::string& value) const {
    settled.emplace_back(field, value);
  }
};

struct StepKind {
  std::string name;
  std::vector<std::string> fields;  // the first one is what the short form gives
  std::vector<std::string> required;
  Action (*build)(const Fields& fields);
  std::string usage;
};

std::vector<StepKind> appSteps();
std::vector<StepKind> cameraSteps();
std::vector<StepKind> screenSteps();
std::vector<StepKind> settingsSteps();
std::vector<StepKind> mediaSteps();

// Every area's steps, in --help's order.
const std::vector<StepKind>& stepKinds();

// expect: {app: APP, STATE: VALUE...}, from the step's node and its map.
Expect readExpect(const YamlReading& yaml, const YAML::Node& item, const YAML::Node& body);

}  // namespace qv::sim
