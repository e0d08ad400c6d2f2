// The expectations: `expect` checks observable state of an app, each key against the value the
// file gives, in the shape its observable takes.
#include <string>
#include <vector>

#include "sim/language/Observables.h"
#include "sim/language/StepKinds.h"

namespace qv::sim {

Expect readExpect(const YamlReading& yaml, const YAML::Node& item, const YAML::Node& body) {
  if (!body || !body.IsMap() || body.size() == 0) {
    yaml.fail(item, "expect takes a map of observable state, such as 'expect: {preview: running}'");
  }
  Expect expect{host::kCameraApp, {}};
  for (const auto& entry : body) {
    const std::string key = entry.first.Scalar();
    if (key == "app") {
      Fields fields{yaml, item, "expect", {{"app", entry.second}}, {}};
      expect.app = fields.app();
      continue;
    }
    const Observable* observable = findObservable(key);
    if (observable == nullptr) {
      std::vector<std::string> known{"app"};
      for (const Observable& o : observables()) known.push_back(o.key);
      yaml.fail(entry.first,
                "unknown state '" + key + "' in expect (known: " + listNames(known) + ")");
    }
    const Value expected = yaml.value(entry.second);
    const std::string problem = shapeProblem(*observable, expected);
    if (!problem.empty()) yaml.fail(entry.second, key + " " + problem);
    expect.checks.push_back({observable, normalized(*observable, expected), yaml.at(entry.second)});
  }
  if (expect.checks.empty()) yaml.fail(item, "expect has nothing to check");
  return expect;
}

}  // namespace qv::sim
