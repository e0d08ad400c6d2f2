// A call step: the replacement the library handed to the hooking function, called through the
// exact C++ function type that the step's typed arguments and result spell, with the stock
// implementation's behaviour in the hook's slot.
#pragma once

#include <yaml-cpp/yaml.h>

#include <optional>
#include <string>
#include <vector>

#include "core/HookTable.h"
#include "tests/device/emulation/Values.h"

namespace quorvane::emulation {

// What the replaced (stock) implementation does when the replacement forwards to it.
struct StockBehaviour {
  std::string name;  // "-[Class selector]", "+[Class selector]" or the function's name
  std::vector<std::string> argTypes;
  std::optional<Value> answers;
  std::optional<std::pair<CMTimeValue, CMTimeScale>> makeTime;
};

struct CallStep {
  std::string target;     // "function", "method", "class_method" or "export"
  std::string className;  // for a method
  std::string name;       // the function, selector or export
  std::vector<Value> args;
  std::string returns;  // "" for void
  std::vector<std::pair<std::string, bool>> selfAnswers;
  StockBehaviour stock;
};

CallStep readCallStep(const YAML::Node& node);

// The call's result event, nothing for void, or nullopt when the table does not hook the call's
// class or function. Throws CaseError when the hook is missing or the types do not fit it.
std::optional<std::string> takeCall(const CallStep& step, const HookTable& table);

}  // namespace quorvane::emulation
