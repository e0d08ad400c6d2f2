// NSUserDefaults: the app's own defaults, a property list under the file-system root that the
// app reads once and writes on every change.
#include "platform/Foundation/UserDefaults.h"

#include "platform/Foundation/Foundation.h"

namespace qv {
namespace {

struct DefaultsState {
  Ref<> path;
  Ref<> values;  // an NSMutableDictionary
};

DefaultsState& defaultsOf(id self) {
  return stateOf<DefaultsState>(self);
}

std::string& defaultsDomain() {
  static auto* domain = new std::string;  // set once per app at its start
  return *domain;
}

id makeStandardUserDefaults(id cls) {
  id shared = send<id>(send<id>(cls, "alloc"_sel), "init"_sel);
  DefaultsState& state = defaultsOf(shared);
  state.path = makeString(userDefaultsPath(defaultsDomain()));
  // A missing or unreadable file is an empty store.
  id stored = send<id>(objc_getClass("NSDictionary"), "dictionaryWithContentsOfFile:"_sel,
                       state.path.get());
  state.values =
      stored != nil
          ? adopt(send<id>(stored, "mutableCopyWithZone:"_sel, static_cast<void*>(nullptr)))
          : make(objc_getClass("NSMutableDictionary"));
  return shared;
}

id standardUserDefaults(id cls, SEL) {
  // Made once, on whichever thread asks first; the others wait for it.
  static const id shared = makeStandardUserDefaults(cls);  // for the life of the app
  return shared;
}

// A missing key, a nil key, and a value that is no number or string all read as NO.
BOOL boolForKey(id self, SEL, id key) {
  if (key == nil) return NO;
  id value = send<id>(defaultsOf(self).values.get(), "objectForKey:"_sel, key);
  return responds(value, "boolValue"_sel) ? send<BOOL>(value, "boolValue"_sel) : NO;
}

void setBoolForKey(id self, SEL, BOOL value, id key) {
  if (key == nil) return;
  DefaultsState& state = defaultsOf(self);
  send(state.values.get(), "setObject:forKey:"_sel,
       send<id>(objc_getClass("NSNumber"), "numberWithBool:"_sel, value), key);
  send<BOOL>(state.values.get(), "writeToFile:atomically:"_sel, state.path.get(), BOOL{YES});
}

}  // namespace

std::string userDefaultsPath(const std::string& domain) {
  return "/var/mobile/Library/Preferences/" + domain + ".plist";
}

void registerUserDefaults(const std::string& domain) {
  defaultsDomain() = domain;
  ClassBuilder("NSUserDefaults", NSObjectClass())
      .state<DefaultsState>()
      .classMethod("standardUserDefaults", &standardUserDefaults)
      .method("boolForKey:", &boolForKey)
      .method("setBool:forKey:", &setBoolForKey)
      .registerClass();
}

}  // namespace qv
