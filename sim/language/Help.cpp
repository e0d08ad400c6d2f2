#include "sim/language/Help.h"

#include <algorithm>

#include "sim/language/Observables.h"
#include "sim/language/ScenarioParser.h"

namespace qv::sim {

std::string stepsHelp() {
  std::string out;
  for (const StepUsage& step : stepUsages()) out += "  " + step.usage + '\n';
  return out;
}

std::string stateHelp() {
  std::string out;
  for (const Observable& observable : observables()) {
    out += "  " + observable.key +
           std::string(20 - std::min<std::size_t>(19, observable.key.size()), ' ') +
           observable.help + '\n';
  }
  return out;
}

}  // namespace qv::sim
