// NSArray and NSMutableArray: one class pair over a vector of retained elements. The mutable
// subclass adds the mutating methods; copies of it are immutable arrays.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/Foundation/Classes.h"
#include "platform/Foundation/Foundation.h"

namespace qv {
namespace foundation {
namespace {

struct ArrayState {
  std::vector<Ref<>> items;
};

std::vector<Ref<>>& itemsOf(id array) {
  return stateOf<ArrayState>(array).items;
}

Class asClass(id cls) {
  return reinterpret_cast<Class>(cls);
}

[[noreturn]] void raiseNil(id self, SEL selector, const std::string& what) {
  raise("NSInvalidArgumentException", "*** " + methodName(self, selector) + ": " + what);
}

void checkIndex(id self, SEL selector, NSUInteger index, std::size_t count) {
  if (index < count) return;
  const std::string bounds =
      count == 0 ? "for empty array" : "[0 .. " + std::to_string(count - 1) + "]";
  raise("NSRangeException", "*** " + methodName(self, selector) + ": index " +
                                std::to_string(index) + " beyond bounds " + bounds);
}

id newArray(Class cls, std::vector<Ref<>> items) {
  id array = send<id>(cls, "alloc"_sel);
  itemsOf(array) = std::move(items);
  return array;
}

bool equalObjects(id a, id b) {
  return a == b || send<BOOL>(a, "isEqual:"_sel, b);
}

// Class methods.

id arrayEmpty(id cls, SEL) {
  return autorelease(newArray(asClass(cls), {}));
}

id arrayWithObject(id cls, SEL selector, id object) {
  if (object == nil) raiseNil(cls, selector, "attempt to insert nil object");
  return autorelease(newArray(asClass(cls), {Ref<>(object)}));
}

id initWithObjectsCount(id self, SEL selector, const id* objects, NSUInteger count) {
  std::vector<Ref<>> items;
  for (NSUInteger i = 0; i < count; ++i) {
    if (objects == nullptr || objects[i] == nil) {
      const std::string name = methodName(self, selector);
      release(self);
      raise(
          "NSInvalidArgumentException",
          "*** " + name + ": attempt to insert nil object from objects[" + std::to_string(i) + "]");
    }
    items.emplace_back(objects[i]);
  }
  itemsOf(self) = std::move(items);
  return self;
}

id arrayWithObjectsCount(id cls, SEL, const id* objects, NSUInteger count) {
  id array = send<id>(cls, "alloc"_sel);
  return autorelease(send<id>(array, "initWithObjects:count:"_sel, objects, count));
}

id arrayWithCapacity(id cls, SEL, NSUInteger) {
  return arrayEmpty(cls, nullptr);
}

// Instance methods.

NSUInteger count(id self, SEL) {
  return itemsOf(self).size();
}

id objectAtIndex(id self, SEL selector, NSUInteger index) {
  checkIndex(self, selector, index, itemsOf(self).size());
  return itemsOf(self)[index];
}

NSUInteger indexOfObject(id self, SEL, id object) {
  const auto& items = itemsOf(self);
  for (std::size_t i = 0; object != nil && i < items.size(); ++i) {
    if (equalObjects(items[i], object)) return i;
  }
  return NSNotFound;
}

BOOL containsObject(id self, SEL, id object) {
  return indexOfObject(self, nullptr, object) != NSNotFound;
}

id firstObject(id self, SEL) {
  return itemsOf(self).empty() ? nil : itemsOf(self).front().get();
}
id lastObject(id self, SEL) {
  return itemsOf(self).empty() ? nil : itemsOf(self).back().get();
}

BOOL isEqualToArray(id self, SEL, id other) {
  if (self == other) return YES;
  if (!isKindOf(other, arrayClass())) return NO;
  const auto& mine = itemsOf(self);
  const auto& theirs = itemsOf(other);
  if (mine.size() != theirs.size()) return NO;
  for (std::size_t i = 0; i < mine.size(); ++i) {
    if (!equalObjects(mine[i], theirs[i])) return NO;
  }
  return YES;
}

NSUInteger hash(id self, SEL) {
  return itemsOf(self).size();
}

id descriptionWithLocaleIndent(id self, SEL, id, NSUInteger level) {
  return autoreleasedString(arrayDescription(self, static_cast<int>(level)));
}

id description(id self, SEL) {
  return autoreleasedString(arrayDescription(self, 0));
}

id mutableCopyWithZone(id self, SEL, void*) {
  return newArray(mutableArrayClass(), itemsOf(self));
}

// NSMutableArray.

id mutableCopyAsImmutable(id self, SEL, void*) {
  return newArray(arrayClass(), itemsOf(self));
}

id initWithCapacity(id self, SEL, NSUInteger capacity) {
  itemsOf(self).reserve(std::min<NSUInteger>(capacity, 1024));
  return self;
}

void addObject(id self, SEL selector, id object) {
  if (object == nil) raiseNil(self, selector, "object cannot be nil");
  itemsOf(self).emplace_back(object);
}

void insertObjectAtIndex(id self, SEL selector, id object, NSUInteger index) {
  if (object == nil) raiseNil(self, selector, "object cannot be nil");
  auto& items = itemsOf(self);
  if (index != items.size()) checkIndex(self, selector, index, items.size());
  items.emplace(items.begin() + static_cast<std::ptrdiff_t>(index), object);
}

// Removed elements are released only after the array is consistent again: their dealloc may
// look at it.
void removeObjectAtIndex(id self, SEL selector, NSUInteger index) {
  auto& items = itemsOf(self);
  checkIndex(self, selector, index, items.size());
  Ref<> removed = std::move(items[index]);
  items.erase(items.begin() + static_cast<std::ptrdiff_t>(index));
}

void removeLastObject(id self, SEL selector) {
  auto& items = itemsOf(self);
  checkIndex(self, selector, items.empty() ? 0 : items.size() - 1, items.size());
  Ref<> removed = std::move(items.back());
  items.pop_back();
}

void removeObject(id self, SEL, id object) {
  if (object == nil) return;
  Ref<> keep(object);  // the argument may be held only by this array
  std::vector<Ref<>> removed;
  auto& items = itemsOf(self);
  std::erase_if(items, [&](Ref<>& item) {
    if (!equalObjects(item, object)) return false;
    removed.push_back(std::move(item));
    return true;
  });
}

void removeAllObjects(id self, SEL) {
  std::vector<Ref<>> removed = std::exchange(itemsOf(self), {});
}

}  // namespace

std::string arrayDescription(id array, int level) {
  const auto& items = itemsOf(array);
  std::string text = indentation(level) + "(\n";
  for (std::size_t i = 0; i < items.size(); ++i) {
    text += indentation(level + 1) + nestedDescription(items[i], level + 1);
    text += i + 1 < items.size() ? ",\n" : "\n";
  }
  return text + indentation(level) + ")";
}

Class arrayClass() {
  static const Class cls =
      ClassBuilder("NSArray", NSObjectClass())
          .state<ArrayState>("_items")
          .classMethod("array", &arrayEmpty)
          .classMethod("arrayWithObject:", &arrayWithObject)
          .classMethod("arrayWithObjects:count:", &arrayWithObjectsCount)
          .method("initWithObjects:count:", &initWithObjectsCount)
          .method("count", &count)
          .method("objectAtIndex:", &objectAtIndex)
          .method("objectAtIndexedSubscript:", &objectAtIndex)
          .method("indexOfObject:", &indexOfObject)
          .method("containsObject:", &containsObject)
          .method("firstObject", &firstObject)
          .method("lastObject", &lastObject)
          .method("isEqual:", &isEqualToArray)
          .method("isEqualToArray:", &isEqualToArray)
          .method("hash", &hash)
          .method("description", &description)
          .method("descriptionWithLocale:indent:", &descriptionWithLocaleIndent)
          .method("copyWithZone:", &copyByRetaining)
          .method("mutableCopyWithZone:", &mutableCopyWithZone)
          .registerClass();
  return cls;
}

Class mutableArrayClass() {
  static const Class cls = ClassBuilder("NSMutableArray", arrayClass())
                               .classMethod("arrayWithCapacity:", &arrayWithCapacity)
                               .method("initWithCapacity:", &initWithCapacity)
                               .method("copyWithZone:", &mutableCopyAsImmutable)
                               .method("addObject:", &addObject)
                               .method("insertObject:atIndex:", &insertObjectAtIndex)
                               .method("removeObject:", &removeObject)
                               .method("removeObjectAtIndex:", &removeObjectAtIndex)
                               .method("removeLastObject", &removeLastObject)
                               .method("removeAllObjects", &removeAllObjects)
                               .registerClass();
  return cls;
}

}  // namespace foundation

Ref<> makeArray(const std::vector<id>& elements) {
  return adopt(send<id>(send<id>(foundation::arrayClass(), "alloc"_sel),
                        "initWithObjects:count:"_sel, elements.data(),
                        static_cast<NSUInteger>(elements.size())));
}

std::vector<id> arrayElements(id array) {
  if (!isKindOf(array, foundation::arrayClass())) return {};
  const auto& items = foundation::itemsOf(array);
  return std::vector<id>(items.begin(), items.end());
}

}  // namespace qv
