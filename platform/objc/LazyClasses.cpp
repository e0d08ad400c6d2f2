#include <objc/runtime.h>

#include <cstdio>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/objc/Object.h"

namespace qv {
namespace {

struct LazyClasses {
  std::mutex lock;  // guards `makers`
  std::unordered_map<std::string, Class (*)()> makers;
  std::recursive_mutex making;  // one class made at a time; a maker may look up others
};

// Never destroyed: lookups may still come while the process exits.
LazyClasses& lazyClasses() {
  static auto* classes = new LazyClasses;
  return *classes;
}

Class (*findMaker(const char* name))() {
  LazyClasses& classes = lazyClasses();
  std::lock_guard guard(classes.lock);
  const auto found = classes.makers.find(name);
  return found == classes.makers.end() ? nullptr : found->second;
}

// Names being made on this thread: a maker that asks for its own class gets Nil, not itself again.
thread_local std::vector<std::string_view> namesInMaking;

objc_get_unknown_class_handler previousHandler = nullptr;

Class makeUnknownClass(const char* name) {
  Class (*make)() = findMaker(name);
  if (make == nullptr) return previousHandler != nullptr ? previousHandler(name) : Nil;
  for (std::string_view making : namesInMaking) {
    if (making == name) return Nil;
  }
  std::lock_guard guard(lazyClasses().making);
  if (Class made = objc_lookUpClass(name)) return made;  // another thread was first
  namesInMaking.push_back(name);
  Class made = Nil;
  try {
    made = make();
  } catch (const std::exception& error) {
    // The runtime's lookup is C: nothing may unwind through it.
    std::fprintf(stderr, "class %s could not be made: %s\n", name, error.what());
  }
  namesInMaking.pop_back();
  return made;
}

// Installed while the process is still single-threaded, before any library can ask.
__attribute__((constructor(102))) void installUnknownClassHandler() {
  previousHandler = objc_setGetUnknownClassHandler(&makeUnknownClass);
}

}  // namespace

void makeClassOnFirstLookup(const char* name, Class (*make)()) {
  LazyClasses& classes = lazyClasses();
  std::lock_guard guard(classes.lock);
  classes.makers.emplace(name, make);
}

Class completedClass(const char* name) {
  // Here a class exists only once its builder has registered it with its methods; and
  // objc_lookUpClass, unlike objc_getClass, does not make a class on first lookup.
  return objc_lookUpClass(name);
}

}  // namespace qv
