// NSDictionary and NSMutableDictionary: a hash table keyed by isEqual: and hash. Keys are
// copied when they go in, values retained.
#include <algorithm>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/Foundation/Classes.h"
#include "platform/Foundation/Foundation.h"
#include "platform/Foundation/PropertyList.h"

namespace qv {
namespace foundation {
namespace {

struct KeyHash {
  using is_transparent = void;
  std::size_t operator()(id key) const { return send<NSUInteger>(key, "hash"_sel); }
};

bool equalObjects(id a, id b) {
  return a == b || send<BOOL>(a, "isEqual:"_sel, b);
}

struct KeyEqual {
  using is_transparent = void;
  bool operator()(id a, id b) const { return equalObjects(a, b); }
};

using Entries = std::unordered_map<Ref<>, Ref<>, KeyHash, KeyEqual>;

struct DictionaryState {
  Entries entries;
};

Entries& entriesOf(id dictionary) {
  return stateOf<DictionaryState>(dictionary).entries;
}

[[noreturn]] void raiseInvalid(const std::string& method, const std::string& what) {
  raise("NSInvalidArgumentException", "*** " + method + ": " + what);
}

// A replaced value is released after the table holds the new one: its dealloc may look.
void setEntry(Entries& entries, id key, id object) {
  Ref<> value(object);
  const auto found = entries.find(key);
  if (found != entries.end()) {
    std::swap(found->second, value);
    return;
  }
  entries.emplace(adopt(send<id>(key, "copy"_sel)), std::move(value));
}

id newDictionary(Class cls, Entries entries) {
  id dictionary = send<id>(cls, "alloc"_sel);
  entriesOf(dictionary) = std::move(entries);
  return dictionary;
}

// Class methods.

id dictionaryEmpty(id cls, SEL) {
  return autorelease(newDictionary(reinterpret_cast<Class>(cls), {}));
}

id initWithObjectsForKeysCount(id self, SEL selector, const id* objects, const id* keys,
                               NSUInteger count) {
  Entries entries;
  for (NSUInteger i = 0; i < count; ++i) {
    const bool nilObject = objects == nullptr || objects[i] == nil;
    if (nilObject || keys == nullptr || keys[i] == nil) {
      const std::string name = methodName(self, selector);
      release(self);
      raiseInvalid(name, std::string("attempt to insert nil ") + (nilObject ? "object" : "key") +
                             " from objects[" + std::to_string(i) + "]");
    }
    setEntry(entries, keys[i], objects[i]);
  }
  entriesOf(self) = std::move(entries);
  return self;
}

id dictionaryWithObjectsForKeysCount(id cls, SEL, const id* objects, const id* keys,
                                     NSUInteger count) {
  id dictionary = send<id>(cls, "alloc"_sel);
  return autorelease(
      send<id>(dictionary, "initWithObjects:forKeys:count:"_sel, objects, keys, count));
}

id dictionaryWithObjectForKey(id cls, SEL, id object, id key) {
  return dictionaryWithObjectsForKeysCount(cls, nullptr, &object, &key, 1);
}

id dictionaryWithContentsOfFile(id, SEL, id path) {
  if (!isKindOf(path, stringClass())) return nil;
  return autorelease(dictionaryFromFile(stringText(path)).leak());
}

// Instance methods.

NSUInteger count(id self, SEL) {
  return entriesOf(self).size();
}

id objectForKey(id self, SEL, id key) {
  if (key == nil) return nil;
  const Entries& entries = entriesOf(self);
  const auto found = entries.find(key);
  return found == entries.end() ? nil : found->second.get();
}

template <bool keys>
id allOf(id self, SEL) {
  std::vector<id> items;
  items.reserve(entriesOf(self).size());
  for (const auto& [key, value] : entriesOf(self)) items.push_back(keys ? key.get() : value.get());
  return autorelease(makeArray(items).leak());
}

BOOL isEqualToDictionary(id self, SEL, id other) {
  if (self == other) return YES;
  if (!isKindOf(other, dictionaryClass())) return NO;
  const Entries& theirs = entriesOf(other);
  if (entriesOf(self).size() != theirs.size()) return NO;
  for (const auto& [key, value] : entriesOf(self)) {
    const auto found = theirs.find(key.get());
    if (found == theirs.end() || !equalObjects(value, found->second)) return NO;
  }
  return YES;
}

NSUInteger hash(id self, SEL) {
  return entriesOf(self).size();
}

id descriptionWithLocaleIndent(id self, SEL, id, NSUInteger level) {
  return autoreleasedString(dictionaryDescription(self, static_cast<int>(level)));
}

id description(id self, SEL) {
  return autoreleasedString(dictionaryDescription(self, 0));
}

id mutableCopyWithZone(id self, SEL, void*) {
  return newDictionary(mutableDictionaryClass(), entriesOf(self));
}

BOOL writeToFileAtomically(id self, SEL, id path, BOOL atomically) {
  return isKindOf(path, stringClass()) && writePropertyList(self, stringText(path), atomically);
}

// NSMutableDictionary.

id copyAsImmutable(id self, SEL, void*) {
  return newDictionary(dictionaryClass(), entriesOf(self));
}

void setObjectForKey(id self, SEL selector, id object, id key) {
  if (object == nil) raiseInvalid(methodName(self, selector), "object cannot be nil");
  if (key == nil) raiseInvalid(methodName(self, selector), "key cannot be nil");
  setEntry(entriesOf(self), key, object);
}

void removeObjectForKey(id self, SEL selector, id key) {
  if (key == nil) raiseInvalid(methodName(self, selector), "key cannot be nil");
  Entries& entries = entriesOf(self);
  const auto found = entries.find(key);
  if (found != entries.end()) {
    // The extracted entry is released once the table no longer holds it.
    auto removed = entries.extract(found);
  }
}

// A nil object removes the key, as the subscript does on the platform.
void setObjectForKeyedSubscript(id self, SEL selector, id object, id key) {
  if (object == nil) return removeObjectForKey(self, selector, key);
  setObjectForKey(self, selector, object, key);
}

void removeAllObjects(id self, SEL) {
  Entries removed = std::exchange(entriesOf(self), {});
}

// Entries in key order when every key is a string, as the platform lists them.
std::vector<std::pair<id, id>> entriesForDescription(id dictionary) {
  std::vector<std::pair<id, id>> entries;
  bool allStrings = true;
  for (const auto& [key, value] : entriesOf(dictionary)) {
    entries.emplace_back(key.get(), value.get());
    allStrings = allStrings && isKindOf(key, stringClass());
  }
  if (allStrings) {
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
      return stringText(a.first) < stringText(b.first);
    });
  }
  return entries;
}

}  // namespace

std::string dictionaryDescription(id dictionary, int level) {
  std::string text = indentation(level) + "{\n";
  for (const auto& [key, value] : entriesForDescription(dictionary)) {
    text += indentation(level + 1) + nestedDescription(key, level + 1) + " = " +
            nestedDescription(value, level + 1) + ";\n";
  }
  return text + indentation(level) + "}";
}

Class dictionaryClass() {
  static const Class cls =
      ClassBuilder("NSDictionary", NSObjectClass())
          .state<DictionaryState>("_entries")
          .classMethod("dictionary", &dictionaryEmpty)
          .classMethod("dictionaryWithObjects:forKeys:count:", &dictionaryWithObjectsForKeysCount)
          .classMethod("dictionaryWithObject:forKey:", &dictionaryWithObjectForKey)
          .classMethod("dictionaryWithContentsOfFile:", &dictionaryWithContentsOfFile)
          .method("initWithObjects:forKeys:count:", &initWithObjectsForKeysCount)
          .method("count", &count)
          .method("objectForKey:", &objectForKey)
          .method("objectForKeyedSubscript:", &objectForKey)
          .method("allKeys", &allOf<true>)
          .method("allValues", &allOf<false>)
          .method("isEqual:", &isEqualToDictionary)
          .method("isEqualToDictionary:", &isEqualToDictionary)
          .method("hash", &hash)
          .method("description", &description)
          .method("descriptionWithLocale:indent:", &descriptionWithLocaleIndent)
          .method("copyWithZone:", &copyByRetaining)
          .method("mutableCopyWithZone:", &mutableCopyWithZone)
          .method("writeToFile:atomically:", &writeToFileAtomically)
          .registerClass();
  return cls;
}

Class mutableDictionaryClass() {
  static const Class cls = ClassBuilder("NSMutableDictionary", dictionaryClass())
                               .method("copyWithZone:", &copyAsImmutable)
                               .method("setObject:forKey:", &setObjectForKey)
                               .method("setObject:forKeyedSubscript:", &setObjectForKeyedSubscript)
                               .method("removeObjectForKey:", &removeObjectForKey)
                               .method("removeAllObjects", &removeAllObjects)
                               .registerClass();
  return cls;
}

}  // namespace foundation

Ref<> makeDictionary(const std::vector<std::pair<id, id>>& entries) {
  std::vector<id> objects;
  std::vector<id> keys;
  for (const auto& [key, object] : entries) {
    keys.push_back(key);
    objects.push_back(object);
  }
  return adopt(send<id>(send<id>(foundation::dictionaryClass(), "alloc"_sel),
                        "initWithObjects:forKeys:count:"_sel, std::as_const(objects).data(),
                        std::as_const(keys).data(), static_cast<NSUInteger>(entries.size())));
}

}  // namespace qv
