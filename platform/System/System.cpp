#include "platform/System/System.h"

#include <errno.h>

#include <memory>
#include <mutex>

#include "platform/Seams.h"
#include "platform/System/ForkSafety.h"

namespace qv {
namespace {

using SystemHandler = std::function<int(const std::string&)>;

struct ProcessState {
  std::mutex mutex;
  std::shared_ptr<const SystemHandler> handler;
  std::vector<std::string> commands;
  std::string name = program_invocation_short_name;
};

ProcessState& processState() {
  static ProcessState* state = [] {
    auto* created = new ProcessState;
    guardAcrossFork(created->mutex);
    return created;
  }();
  return *state;
}

}  // namespace

int system(const char* command) {
  ProcessState& state = processState();
  std::shared_ptr<const SystemHandler> handler;
  {
    std::lock_guard lock(state.mutex);
    handler = state.handler;
    if (command != nullptr) state.commands.emplace_back(command);
  }
  if (command == nullptr) return handler ? 1 : 0;
  // Called outside the lock: the handler may take its time or run commands of its own.
  return handler ? (*handler)(command) : 0;
}

void setSystemHandler(std::function<int(const std::string& command)> handler) {
  ProcessState& state = processState();
  auto installed = handler ? std::make_shared<const SystemHandler>(std::move(handler)) : nullptr;
  std::lock_guard lock(state.mutex);
  state.handler = std::move(installed);
}

std::vector<std::string> recordedSystemCommands() {
  ProcessState& state = processState();
  std::lock_guard lock(state.mutex);
  return state.commands;
}

void clearRecordedSystemCommands() {
  ProcessState& state = processState();
  std::lock_guard lock(state.mutex);
  state.commands.clear();
}

std::string processName() {
  ProcessState& state = processState();
  std::lock_guard lock(state.mutex);
  return state.name;
}

void setProcessName(const std::string& name) {
  ProcessState& state = processState();
  std::lock_guard lock(state.mutex);
  state.name = name;
}

}  // namespace qv
