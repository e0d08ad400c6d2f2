#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>

#include "platform/CoreFoundation/CoreFoundation.h"
#include "platform/Foundation/Foundation.h"
#include "platform/Seams.h"
#include "platform/System/ForkSafety.h"

namespace qv {
namespace {

struct LogState {
  std::mutex mutex;
  std::vector<std::string> lines;
  std::shared_ptr<const LogSink> sink;                   // null: standard error
  std::shared_ptr<const DiagnosticSink> diagnosticSink;  // null: standard error
};

LogState& logState() {
  static LogState* state = [] {
    auto* created = new LogState;
    guardAcrossFork(created->mutex);
    return created;
  }();
  return *state;
}

void writeToStandardError(const std::string& message) {
  const std::string line = message + "\n";
  // One write, so that lines of several threads never interleave.
  std::fwrite(line.data(), 1, line.size(), stderr);
}

void writeLine(int level, const std::string& message) {
  LogState& state = logState();
  std::shared_ptr<const LogSink> sink;
  {
    std::lock_guard lock(state.mutex);
    state.lines.push_back(message);
    sink = state.sink;
  }
  // Outside the lock: a sink may log again.
  if (sink) {
    (*sink)(level, message);
  } else {
    writeToStandardError(message);
  }
}

class ArgumentList {
 public:
  explicit ArgumentList(va_list& list) : list_(list) {}
  ~ArgumentList() { va_end(list_); }
  ArgumentList(const ArgumentList&) = delete;
  ArgumentList& operator=(const ArgumentList&) = delete;

 private:
  va_list& list_;
};

}  // namespace

std::vector<std::string> processLog() {
  LogState& state = logState();
  std::lock_guard lock(state.mutex);
  return state.lines;
}

void clearProcessLog() {
  LogState& state = logState();
  std::lock_guard lock(state.mutex);
  state.lines.clear();
}

void setLogSink(LogSink sink) {
  auto installed = sink ? std::make_shared<const LogSink>(std::move(sink)) : nullptr;
  LogState& state = logState();
  std::lock_guard lock(state.mutex);
  state.sink = std::move(installed);
}

void logDiagnostic(const std::string& message) {
  LogState& state = logState();
  std::shared_ptr<const DiagnosticSink> sink;
  {
    std::lock_guard lock(state.mutex);
    sink = state.diagnosticSink;
  }
  if (sink) {
    (*sink)(message);
  } else {
    writeToStandardError(message);
  }
}

void setDiagnosticSink(DiagnosticSink sink) {
  auto installed = sink ? std::make_shared<const DiagnosticSink>(std::move(sink)) : nullptr;
  LogState& state = logState();
  std::lock_guard lock(state.mutex);
  state.diagnosticSink = std::move(installed);
}

}  // namespace qv

extern "C" void CFLog(std::int32_t level, CFStringRef format, ...) {
  if (format == nullptr) qv::raise("NSInvalidArgumentException", "CFLog: the format is NULL");
  const std::string formatText = qv::utf8(qv::bridge<id>(format));
  std::string message;
  {
    va_list arguments;
    va_start(arguments, format);
    qv::ArgumentList ended(arguments);
    message = qv::formatString(formatText.c_str(), arguments);
  }
  qv::writeLine(level, message);
}
