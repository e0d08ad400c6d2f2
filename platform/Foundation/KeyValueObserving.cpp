// Key-value coding through accessors, and observation of keys whose setters announce their
// changes (qv::notifyObservers).
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Foundation/FoundationRuntime.h"
#include "platform/Foundation/RootAdditions.h"

id NSKeyValueChangeNewKey = nil;
id NSKeyValueChangeOldKey = nil;
id NSKeyValueChangeKindKey = nil;

namespace qv {
namespace {

struct Observation {
  std::uint64_t serial;
  id observer;  // not retained, as on the platform
  std::string keyPath;
  NSUInteger options;
  void* context;
};

class Registry {
 public:
  void add(id object, Observation observation) {
    std::lock_guard lock(mutex_);
    observation.serial = ++lastSerial_;
    byObject_[object].push_back(std::move(observation));
  }

  // Removes the latest matching registration; false when there is none.
  template <typename Match>
  bool removeLatest(id object, Match match) {
    std::lock_guard lock(mutex_);
    auto found = byObject_.find(object);
    if (found == byObject_.end()) return false;
    auto& list = found->second;
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
      if (!match(*it)) continue;
      list.erase(std::next(it).base());
      if (list.empty()) byObject_.erase(found);
      return true;
    }
    return false;
  }

  std::vector<Observation> observing(id object, std::string_view key) {
    std::lock_guard lock(mutex_);
    std::vector<Observation> result;
    auto found = byObject_.find(object);
    if (found == byObject_.end()) return result;
    for (const Observation& o : found->second) {
      if (o.keyPath == key) result.push_back(o);
    }
    return result;
  }

  bool stillRegistered(id object, std::uint64_t serial) {
    std::lock_guard lock(mutex_);
    auto found = byObject_.find(object);
    if (found == byObject_.end()) return false;
    for (const Observation& o : found->second) {
      if (o.serial == serial) return true;
    }
    return false;
  }

  void forget(id object) {
    std::lock_guard lock(mutex_);
    byObject_.erase(object);
    for (auto it = byObject_.begin(); it != byObject_.end();) {
      std::erase_if(it->second, [object](const Observation& o) { return o.observer == object; });
      it = it->second.empty() ? byObject_.erase(it) : std::next(it);
    }
  }

  std::size_t count(id object) {
    std::lock_guard lock(mutex_);
    auto found = byObject_.find(object);
    return found == byObject_.end() ? 0 : found->second.size();
  }

 private:
  std::mutex mutex_;
  std::uint64_t lastSerial_ = 0;
  std::unordered_map<id, std::vector<Observation>> byObject_;
};

Registry& registry() {
  static auto* shared = new Registry;  // observers may still be removed during exit
  return *shared;
}

// Old values captured by willChangeValue, until the matching notification.
struct PendingOld {
  id object;
  std::string key;
  Ref<> value;
};
thread_local std::vector<PendingOld> pendingOlds;

Ref<> takePendingOld(id object, std::string_view key) {
  for (auto it = pendingOlds.rbegin(); it != pendingOlds.rend(); ++it) {
    if (it->object != object || it->key != key) continue;
    Ref<> value = std::move(it->value);
    pendingOlds.erase(std::next(it).base());
    return value;
  }
  return nullptr;
}

std::string capitalised(std::string_view key) {
  std::string text(key);
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
    text[0] = static_cast<char>(text[0] - 'a' + 'A');
  return text;
}

char leadingType(const char* types) {
  while (*types != '\0' && std::string_view("rnNoORV").find(*types) != std::string_view::npos) {
    ++types;
  }
  return *types;
}

std::string objectLabel(id object) {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<void*>(object));
  return std::string("<") + object_getClassName(object) + " " + address + ">";
}

[[noreturn]] void raiseUnknownKey(id object, const char* accessor, std::string_view key) {
  raise("NSUnknownKeyException",
        "[" + objectLabel(object) + " " + accessor +
            "]: this class is not key value coding-compliant for the key " + std::string(key) +
            ".");
}

// The value behind a getter as an owned object. Observation works on owned values, without an
// autorelease pool of its own, since ending a nested pool can end the caller's too.
Ref<> boxedValue(id object, SEL getter, char type) {
  switch (type) {
    case '@':
      return Ref<>(send<id>(object, getter));
    case 'f':
      return makeNumber(send<float>(object, getter));
    case 'd':
      return makeNumber(send<double>(object, getter));
    case 'B':
      return makeNumber(send<bool>(object, getter));
    case 'C':
    case 'c':
      return makeNumber(send<unsigned char>(object, getter) != 0);
    case 's':
      return makeNumber(static_cast<long long>(send<short>(object, getter)));
    case 'S':
      return makeNumber(static_cast<long long>(send<unsigned short>(object, getter)));
    case 'i':
      return makeNumber(static_cast<long long>(send<int>(object, getter)));
    case 'I':
      return makeNumber(static_cast<long long>(send<unsigned int>(object, getter)));
    case 'q':
    case 'l':
      return makeNumber(static_cast<long long>(send<long>(object, getter)));
    case 'Q':
    case 'L':
      return makeNumber(static_cast<unsigned long long>(send<unsigned long>(object, getter)));
    default:
      raise("NSInvalidArgumentException", methodName(object, getter) + ": values of type '" +
                                              std::string(1, type) + "' cannot be boxed");
  }
}

void setUnboxed(id object, SEL setter, char type, id value) {
  switch (type) {
    case 'f':
      return send(object, setter, send<float>(value, "floatValue"_sel));
    case 'd':
      return send(object, setter, send<double>(value, "doubleValue"_sel));
    case 'B':
      return send(object, setter, send<unsigned char>(value, "boolValue"_sel) != 0);
    case 'C':
    case 'c':
      return send(object, setter,
                  static_cast<unsigned char>(send<unsigned char>(value, "boolValue"_sel) != 0));
    case 's':
      return send(object, setter, static_cast<short>(send<int>(value, "intValue"_sel)));
    case 'S':
      return send(object, setter,
                  static_cast<unsigned short>(send<unsigned int>(value, "unsignedIntValue"_sel)));
    case 'i':
      return send(object, setter, send<int>(value, "intValue"_sel));
    case 'I':
      return send(object, setter, send<unsigned int>(value, "unsignedIntValue"_sel));
    case 'q':
    case 'l':
      return send(object, setter, send<long>(value, "integerValue"_sel));
    case 'Q':
    case 'L':
      return send(object, setter, send<unsigned long>(value, "unsignedIntegerValue"_sel));
    default:
      raise("NSInvalidArgumentException", methodName(object, setter) + ": values of type '" +
                                              std::string(1, type) + "' cannot be unboxed");
  }
}

Ref<> ownedValue(id object, const char* key) {
  if (object == nil) return nullptr;
  const std::string name = capitalised(key);
  for (const std::string& getter : {"get" + name, std::string(key), "is" + name}) {
    SEL selector = sel_registerName(getter.c_str());
    Method method = class_getInstanceMethod(object_getClass(object), selector);
    if (method != nullptr) {
      return boxedValue(object, selector, leadingType(method_getTypeEncoding(method)));
    }
  }
  raiseUnknownKey(object, "valueForUndefinedKey:", key);
}

bool wantsOld(id object, std::string_view key) {
  for (const Observation& o : registry().observing(object, key)) {
    if ((o.options & NSKeyValueObservingOptionOld) != 0) return true;
  }
  return false;
}

void deliver(id object, const Observation& observation, id newValue, id oldValue) {
  std::vector<std::pair<id, id>> entries;
  Ref<> kind = makeNumber(NSKeyValueChangeSetting);
  entries.emplace_back(NSKeyValueChangeKindKey, kind.get());
  if ((observation.options & NSKeyValueObservingOptionNew) != 0 && newValue != nil) {
    entries.emplace_back(NSKeyValueChangeNewKey, newValue);
  }
  if ((observation.options & NSKeyValueObservingOptionOld) != 0 && oldValue != nil) {
    entries.emplace_back(NSKeyValueChangeOldKey, oldValue);
  }
  Ref<> change = makeDictionary(entries);
  Ref<> keyPath = makeString(observation.keyPath);
  send(observation.observer, "observeValueForKeyPath:ofObject:change:context:"_sel, keyPath.get(),
       object, change.get(), observation.context);
}

// NSObject methods.

void addObserver(id self, SEL, id observer, id keyPath, NSUInteger options, void* context) {
  if (observer == nil || keyPath == nil) return;
  Observation observation{0, observer, utf8(keyPath), options, context};
  registry().add(self, observation);
  if ((options & NSKeyValueObservingOptionInitial) != 0) {
    deliver(self, observation, ownedValue(self, observation.keyPath.c_str()), nil);
  }
}

[[noreturn]] void raiseNotRegistered(id self, id observer, const std::string& keyPath) {
  raise("NSRangeException", "Cannot remove an observer " + objectLabel(observer) +
                                " for the key path \"" + keyPath + "\" from " + objectLabel(self) +
                                " because it is not registered as an observer.");
}

void removeObserver(id self, SEL, id observer, id keyPath) {
  const std::string path = utf8(keyPath);
  const bool removed = registry().removeLatest(
      self, [&](const Observation& o) { return o.observer == observer && o.keyPath == path; });
  if (!removed) raiseNotRegistered(self, observer, path);
}

void removeObserverWithContext(id self, SEL, id observer, id keyPath, void* context) {
  const std::string path = utf8(keyPath);
  const bool removed = registry().removeLatest(self, [&](const Observation& o) {
    return o.observer == observer && o.keyPath == path && o.context == context;
  });
  if (!removed) raiseNotRegistered(self, observer, path);
}

void willChangeValueForKey(id self, SEL, id key) {
  willChangeValue(self, utf8(key).c_str());
}
void didChangeValueForKey(id self, SEL, id key) {
  notifyObservers(self, utf8(key).c_str());
}
id valueForKeyMethod(id self, SEL, id key) {
  return valueForKey(self, utf8(key).c_str());
}
void setValueForKeyMethod(id self, SEL, id value, id key) {
  setValueForKey(self, value, utf8(key).c_str());
}

__attribute__((constructor(120))) void addObservationToRootClass() {
  NSKeyValueChangeNewKey = "new"_ns;
  NSKeyValueChangeOldKey = "old"_ns;
  NSKeyValueChangeKindKey = "kind"_ns;
  Class root = NSObjectClass();
  using foundation::addMethod;
  addMethod(root, "addObserver:forKeyPath:options:context:", &addObserver);
  addMethod(root, "removeObserver:forKeyPath:", &removeObserver);
  addMethod(root, "removeObserver:forKeyPath:context:", &removeObserverWithContext);
  addMethod(root, "willChangeValueForKey:", &willChangeValueForKey);
  addMethod(root, "didChangeValueForKey:", &didChangeValueForKey);
  addMethod(root, "valueForKey:", &valueForKeyMethod);
  addMethod(root, "setValue:forKey:", &setValueForKeyMethod);
}

}  // namespace

void willChangeValue(id object, const char* key) {
  if (object == nil || !wantsOld(object, key)) return;
  pendingOlds.push_back({object, key, ownedValue(object, key)});
}

void notifyObservers(id object, const char* key) {
  if (object == nil) return;
  const std::vector<Observation> observations = registry().observing(object, key);
  Ref<> oldValue = takePendingOld(object, key);
  if (observations.empty()) return;
  bool wantsNew = false;
  for (const Observation& o : observations)
    wantsNew |= (o.options & NSKeyValueObservingOptionNew) != 0;
  Ref<> newValue = wantsNew ? ownedValue(object, key) : nullptr;
  for (const Observation& observation : observations) {
    // An earlier observer may have removed a later one.
    if (!registry().stillRegistered(object, observation.serial)) continue;
    deliver(object, observation, newValue, oldValue);
  }
}

std::size_t observationCount(id object) {
  return registry().count(object);
}

void forgetObservations(id object) {
  registry().forget(object);
  std::erase_if(pendingOlds, [object](const PendingOld& p) { return p.object == object; });
}

id valueForKey(id object, const char* key) {
  return autorelease(ownedValue(object, key).leak());
}

void setValueForKey(id object, id value, const char* key) {
  if (object == nil) return;
  const std::string setterName = "set" + capitalised(key) + ":";
  SEL setter = sel_registerName(setterName.c_str());
  Method method = class_getInstanceMethod(object_getClass(object), setter);
  if (method == nullptr) raiseUnknownKey(object, "setValue:forUndefinedKey:", key);
  char* argumentType = method_copyArgumentType(method, 2);
  const char type = argumentType != nullptr ? leadingType(argumentType) : '\0';
  std::free(argumentType);
  if (type == '@') return send(object, setter, value);
  if (value == nil) {
    raise("NSInvalidArgumentException",
          "[" + objectLabel(object) +
              " setNilValueForKey]: could not set nil as the value for the key " + key + ".");
  }
  setUnboxed(object, setter, type, value);
}

}  // namespace qv
