#include "tests/device/emulation/Recording.h"

#include <dlfcn.h>

#include <map>
#include <stdexcept>
#include <tuple>

#include "platform/CoreFoundation/CoreFoundation.h"
#include "platform/Foundation/Foundation.h"
#include "platform/MobileGestalt/MobileGestalt.h"
#include "platform/Seams.h"
#include "platform/System/System.h"
#include "port/CoreMedia/CMTime.h"
#include "port/Substrate/Substrate.h"
#include "tests/device/emulation/Json.h"

namespace quorvane::emulation {

namespace {

struct Recorder {
  bool on = false;
  int platformDepth = 0;  // inside the platform's hooking function, whose own calls are no events
  std::vector<std::string> events;
  std::vector<std::string> hudMethods;
  std::map<std::tuple<std::string, bool, std::string>, MethodHookCall> methodHooks;
  std::map<std::string, void*> functionHooks;
  std::map<std::string, CFNotificationCallback> observers;
  IMP readDictionary = nullptr;
};

Recorder& recorder() {
  static Recorder state;
  return state;
}

bool recording() {
  return recorder().on && recorder().platformDepth == 0;
}

template <typename Function>
Function platformFunction(const char* name) {
  void* found = dlsym(RTLD_NEXT, name);
  if (found == nullptr) throw std::runtime_error(std::string("no platform function ") + name);
  return reinterpret_cast<Function>(found);
}

}  // namespace

NotRecorded::NotRecorded() {
  ++recorder().platformDepth;
}

NotRecorded::~NotRecorded() {
  --recorder().platformDepth;
}

namespace {

std::string nameOf(Class cls) {
  return cls == Nil ? "null" : jsonString(class_getName(cls));
}

id readDictionary(id self, SEL cmd, id path) {
  if (recording()) record(JsonObject().add("read", jsonString(qv::utf8(path))).text());
  return qv::invoke<id>(recorder().readDictionary, self, cmd, path);
}

}  // namespace

std::string functionName(void* symbol) {
  if (symbol == reinterpret_cast<void*>(&MGGetBoolAnswer)) return "MGGetBoolAnswer";
  if (symbol == reinterpret_cast<void*>(&CMTimeMake)) return "CMTimeMake";
  Dl_info info{};
  if (dladdr(symbol, &info) != 0 && info.dli_sname != nullptr) return info.dli_sname;
  return "an unnamed function";
}

void startRecording() {
  qv::setLogSink([](int level, const std::string& line) {
    if (recording()) {
      record(JsonObject().add("log", jsonString(line)).add("level", std::to_string(level)).text());
    }
  });
  qv::setSystemHandler([](const std::string& command) {
    if (recording()) record(JsonObject().add("system", jsonString(command)).text());
    return 0;
  });
  Method read = class_getClassMethod(objc_getClass("NSDictionary"),
                                     sel_registerName("dictionaryWithContentsOfFile:"));
  recorder().readDictionary = method_setImplementation(read, qv::toIMP(&readDictionary));
  recorder().on = true;
}

void record(const std::string& event) {
  recorder().events.push_back(event);
}

std::vector<std::string> recordedEvents() {
  return recorder().events;
}

std::vector<std::string> recordedHudMethods() {
  return recorder().hudMethods;
}

const MethodHookCall* methodHookOf(const char* className, bool meta, const char* selector) {
  const auto found = recorder().methodHooks.find({className, meta, selector});
  return found == recorder().methodHooks.end() ? nullptr : &found->second;
}

void* functionHookOf(const std::string& name) {
  const auto found = recorder().functionHooks.find(name);
  return found == recorder().functionHooks.end() ? nullptr : found->second;
}

CFNotificationCallback observerOf(const std::string& name) {
  const auto found = recorder().observers.find(name);
  return found == recorder().observers.end() ? nullptr : found->second;
}

}  // namespace quorvane::emulation

using namespace quorvane::emulation;

extern "C" {

void MSHookFunction(void* symbol, void* replacement, void** result) {
  const std::string name = functionName(symbol);
  if (recording()) record(JsonObject().add("hook_function", jsonString(name)).text());
  {
    const NotRecorded inside;
    platformFunction<void (*)(void*, void*, void**)>("MSHookFunction")(symbol, replacement, result);
  }
  recorder().functionHooks[name] = replacement;
  if (result != nullptr) wrapFunctionSlot(name, result);
}

void MSHookMessageEx(Class cls, SEL selector, IMP replacement, IMP* result) {
  const bool meta = cls != Nil && class_isMetaClass(cls);
  if (recording()) {
    record(JsonObject()
               .add("hook_message", nameOf(cls))
               .add("meta", jsonBool(meta))
               .add("selector", jsonString(sel_getName(selector)))
               .text());
  }
  {
    const NotRecorded inside;
    platformFunction<void (*)(Class, SEL, IMP, IMP*)>("MSHookMessageEx")(cls, selector, replacement,
                                                                         result);
  }
  if (cls != Nil) {
    recorder().methodHooks[{class_getName(cls), meta, sel_getName(selector)}] = {replacement,
                                                                                 result};
  }
}

BOOL class_addMethod(Class cls, SEL selector, IMP implementation, const char* types) {
  if (recording()) {
    const std::string event = JsonObject()
                                  .add("add_method", nameOf(cls))
                                  .add("meta", jsonBool(cls != Nil && class_isMetaClass(cls)))
                                  .add("selector", jsonString(sel_getName(selector)))
                                  .add("types", jsonString(types))
                                  .text();
    const bool hud = cls != Nil && std::string(class_getName(cls)) == "RuvelProgressHUD";
    (hud ? recorder().hudMethods : recorder().events).push_back(event);
  }
  return platformFunction<BOOL (*)(Class, SEL, IMP, const char*)>("class_addMethod")(
      cls, selector, implementation, types);
}

void CFNotificationCenterAddObserver(CFNotificationCenterRef center, const void* observer,
                                     CFNotificationCallback callback, CFStringRef name,
                                     const void* object,
                                     CFNotificationSuspensionBehavior suspensionBehavior) {
  const std::string text =
      name == nullptr ? "" : qv::utf8(reinterpret_cast<id>(const_cast<__CFString*>(name)));
  if (recording()) {
    record(JsonObject()
               .add("observe", jsonString(text))
               .add("suspension", std::to_string(static_cast<int>(suspensionBehavior)))
               .text());
  }
  recorder().observers[text] = callback;
  using AddObserver = void (*)(CFNotificationCenterRef, const void*, CFNotificationCallback,
                               CFStringRef, const void*, CFNotificationSuspensionBehavior);
  platformFunction<AddObserver>("CFNotificationCenterAddObserver")(center, observer, callback, name,
                                                                   object, suspensionBehavior);
}

}  // extern "C"
