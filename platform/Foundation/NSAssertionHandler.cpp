// NSAssertionHandler: a failed precondition logs the platform's "*** Assertion failure in ..."
// line and raises NSInternalInconsistencyException.
#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/Foundation/FoundationRuntime.h"

namespace qv {
namespace {

std::string describedFailure(id format, va_list arguments) {
  return format == nil ? std::string() : formatString(utf8(format).c_str(), arguments);
}

std::string fileText(id file) {
  return file == nil ? "(null)" : utf8(file);
}

// The reason carries the platform's two lines: where the assertion failed, then the caller's
// description exactly as formatted.
[[noreturn]] void raiseFailure(const std::string& where, id file, NSInteger line,
                               const std::string& description) {
  const std::string location =
      "*** Assertion failure in " + where + ", " + fileText(file) + ":" + std::to_string(line);
  std::fprintf(stderr, "%s\n", location.c_str());
  raise("NSInternalInconsistencyException", location + "\n" + description);
}

void handleFailureInMethod(id, SEL, SEL method, id object, id file, NSInteger line, id format,
                           ...) {
  va_list arguments;
  va_start(arguments, format);
  const std::string description = describedFailure(format, arguments);
  va_end(arguments);
  const std::string where = object == nil ? std::string("-[(null) ") + sel_getName(method) + "]"
                                          : methodName(object, method);
  raiseFailure(where, file, line, description);
}

void handleFailureInFunction(id, SEL, id function, id file, NSInteger line, id format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const std::string description = describedFailure(format, arguments);
  va_end(arguments);
  raiseFailure(function == nil ? "(null)" : utf8(function), file, line, description);
}

Class handlerClass();

// One handler per thread, as the platform keeps it in the thread's dictionary.
id currentHandler(id, SEL) {
  thread_local Ref<> handler = make(handlerClass());
  return handler;
}

Class handlerClass() {
  static const Class cls = ClassBuilder("NSAssertionHandler", NSObjectClass())
                               .method("handleFailureInMethod:object:file:lineNumber:description:",
                                       toIMP(&handleFailureInMethod), "v@::@@q@")
                               .method("handleFailureInFunction:file:lineNumber:description:",
                                       toIMP(&handleFailureInFunction), "v@:@@q@")
                               .classMethod("currentHandler", &currentHandler)
                               .registerClass();
  return cls;
}

__attribute__((constructor(120))) void registerAssertionHandler() {
  handlerClass();
}

}  // namespace
}  // namespace qv
