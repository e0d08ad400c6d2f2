// The steps of an app's life and the device's time: starting and ending an app, letting time
// pass, a screen's snapshot, and the defaults an app reads when it starts.
#include <string>
#include <variant>
#include <vector>

#include "host/App.h"
#include "sim/language/StepKinds.h"
#include "sim/settings/SettingsScreen.h"

namespace qv::sim {
namespace {

using YAML::Node;

constexpr double kLongestWait = 24 * 3600;

bool defaultsFlag(const Fields& fields) {
  const Value value = fields.yaml.value(fields["value"]);
  const bool* flag = std::get_if<bool>(&value.data);
  if (flag == nullptr) {
    fields.yaml.fail(fields["value"],
                     "defaults value should be true or false, not " + toText(value));
  }
  return *flag;
}

}  // namespace

std::vector<StepKind> appSteps() {
  return {
      {"launch",
       {"app"},
       {"app"},
       [](const Fields& f) -> Action { return Launch{f.app()}; },
       "launch: APP                     start Camera or MobileSlideShow (Photos)"},
      {"quit",
       {"app"},
       {"app"},
       [](const Fields& f) -> Action { return Quit{f.app()}; },
       "quit: APP                       end the app as the app switcher does"},
      {"wait",
       {"seconds"},
       {"seconds"},
       [](const Fields& f) -> Action {
         return Wait{f.yaml.number(f["seconds"], "wait", 0, kLongestWait)};
       },
       "wait: SECONDS                   let virtual time pass, every app in lock step"},
      {"snapshot",
       {"name", "app"},
       {},
       [](const Fields& f) -> Action {
         const std::string written = f.has("app") ? f.yaml.text(f["app"], "snapshot app") : "";
         if (f.has("app") && written != kSettingsScreen && !appName(written)) {
           f.yaml.fail(f["app"], "unknown screen '" + written +
                                     "' (snapshot takes Camera, MobileSlideShow or Settings)");
         }
         const std::string app = written == kSettingsScreen ? kSettingsScreen : f.app();
         const std::string name = f.has("name")
                                      ? f.yaml.text(f["name"], "snapshot name")
                                      : app + "-" + std::to_string(f.yaml.at(f.step).line);
         if (!f.has("name")) f.settle("name", name);
         if (name.find('/') != std::string::npos || name[0] == '.') {
           f.yaml.fail(f["name"], "a snapshot name is a plain file name, not '" + name + "'");
         }
         return Snapshot{app, name};
       },
       "snapshot [: NAME]               write the app's screen (or Settings) as NAME.png"},
      {"defaults",
       {"key", "value", "app"},
       {"key", "value"},
       [](const Fields& f) -> Action {
         return StoreDefault{f.app(), f.yaml.text(f["key"], "defaults key"), defaultsFlag(f)};
       },
       "defaults: {app: APP, key: KEY, value: BOOL}\n" + std::string(34, ' ') +
           "store a bool in the app's own defaults (read when it next starts)"},
  };
}

}  // namespace qv::sim
