#include <objc/message.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/objc/AutoreleasePool.h"
#include "platform/objc/Object.h"

namespace qv {

void registerAutoreleasePoolClass(Class root);

namespace {

// Extra references beyond the one +alloc gives: zeroed memory is a count of one.
struct RootState {
  std::atomic<std::uint64_t> extraReferences{0};
};

Class rootClass = Nil;

class StateLayouts {
 public:
  void add(Class cls, const detail::StateLayout& layout) {
    std::lock_guard lock(mutex_);
    own_[cls] = layout;
  }

  // Every state in the chain of `cls`, base class first.
  const std::vector<detail::StateLayout>& chain(Class cls) {
    std::lock_guard lock(mutex_);
    auto found = chains_.find(cls);
    if (found != chains_.end()) return found->second;
    std::vector<detail::StateLayout> layouts;
    for (Class c = cls; c != Nil; c = class_getSuperclass(c)) {
      auto own = own_.find(c);
      if (own != own_.end()) layouts.insert(layouts.begin(), own->second);
    }
    return chains_.emplace(cls, std::move(layouts)).first->second;
  }

 private:
  std::mutex mutex_;
  std::unordered_map<Class, detail::StateLayout> own_;
  std::unordered_map<Class, std::vector<detail::StateLayout>> chains_;
};

StateLayouts& stateLayouts() {
  static auto* layouts = new StateLayouts;  // outlives every object, even at exit
  return *layouts;
}

char* bytes(id object) {
  return reinterpret_cast<char*>(object);
}

id allocInstance(Class cls) {
  id object = class_createInstance(cls, 0);
  for (const auto& layout : stateLayouts().chain(cls))
    layout.construct(bytes(object) + layout.offset);
  return object;
}

// Instance methods of the root class.

id nsInit(id self, SEL) {
  return self;
}
id nsSelf(id self, SEL) {
  return self;
}

id nsRetain(id self, SEL) {
  stateOf<RootState>(self).extraReferences.fetch_add(1, std::memory_order_relaxed);
  return self;
}

void nsRelease(id self, SEL) {
  if (stateOf<RootState>(self).extraReferences.fetch_sub(1, std::memory_order_acq_rel) == 0) {
    send(self, "dealloc"_sel);
  }
}

id nsAutorelease(id self, SEL) {
  detail::addToPool(self);
  return self;
}

unsigned long nsRetainCount(id self, SEL) {
  return stateOf<RootState>(self).extraReferences.load(std::memory_order_relaxed) + 1;
}

void nsDealloc(id self, SEL) {
  const auto& chain = stateLayouts().chain(object_getClass(self));
  for (auto layout = chain.rbegin(); layout != chain.rend(); ++layout) {
    layout->destroy(bytes(self) + layout->offset);
  }
  object_dispose(self);
}

Class nsClass(id self, SEL) {
  return object_getClass(self);
}
Class nsSuperclass(id self, SEL) {
  return class_getSuperclass(object_getClass(self));
}

BOOL nsIsKindOfClass(id self, SEL, Class cls) {
  return isKindOf(self, cls);
}
BOOL nsIsMemberOfClass(id self, SEL, Class cls) {
  return object_getClass(self) == cls;
}
BOOL nsRespondsToSelector(id self, SEL, SEL selector) {
  return responds(self, selector);
}
BOOL nsIsEqual(id self, SEL, id other) {
  return self == other;
}
unsigned long nsHash(id self, SEL) {
  return reinterpret_cast<unsigned long>(self);
}

id nsCopy(id self, SEL) {
  return send<id>(self, "copyWithZone:"_sel, static_cast<void*>(nullptr));
}
id nsMutableCopy(id self, SEL) {
  return send<id>(self, "mutableCopyWithZone:"_sel, static_cast<void*>(nullptr));
}

id nsPerform(id self, SEL, SEL selector) {
  return send<id>(self, selector);
}
id nsPerformWith(id self, SEL, SEL selector, id object) {
  return send<id>(self, selector, object);
}
id nsPerformWithWith(id self, SEL, SEL selector, id first, id second) {
  return send<id>(self, selector, first, second);
}

// Class methods of the root class. Classes are not reference counted.

id classAlloc(id self, SEL) {
  return allocInstance(reinterpret_cast<Class>(self));
}
id classAllocWithZone(id self, SEL, void*) {
  return allocInstance(reinterpret_cast<Class>(self));
}
id classNew(id self, SEL) {
  return send<id>(send<id>(self, "alloc"_sel), "init"_sel);
}
id classRetain(id self, SEL) {
  return self;
}
void classRelease(id, SEL) {}
Class classClass(id self, SEL) {
  return reinterpret_cast<Class>(self);
}
Class classSuperclass(id self, SEL) {
  return class_getSuperclass(reinterpret_cast<Class>(self));
}
BOOL classIsSubclassOfClass(id self, SEL, Class cls) {
  for (Class c = reinterpret_cast<Class>(self); c != Nil; c = class_getSuperclass(c)) {
    if (c == cls) return YES;
  }
  return NO;
}
BOOL classInstancesRespond(id self, SEL, SEL selector) {
  return class_respondsToSelector(reinterpret_cast<Class>(self), selector);
}

// Unknown selectors raise. The runtime may call the forwarding IMP as a struct-returning
// function, which shifts its arguments, so the receiver and selector travel in thread_locals.
thread_local id unrecognizedReceiver;
thread_local SEL unrecognizedSelector;

void raiseUnrecognized() {
  id receiver = unrecognizedReceiver;
  const char* kind = class_isMetaClass(object_getClass(receiver)) ? "class" : "instance";
  raise("NSInvalidArgumentException",
        methodName(receiver, unrecognizedSelector) + ": unrecognized selector sent to " + kind);
}

IMP forwardUnrecognized(id receiver, SEL selector) {
  unrecognizedReceiver = receiver;
  unrecognizedSelector = selector;
  return toIMP(&raiseUnrecognized);
}

Class makeRootClass() {
  __objc_msg_forward2 = &forwardUnrecognized;
  ClassBuilder builder("NSObject", Nil);
  builder.ivar<Class>("isa")
      .state<RootState>("_retainCount")
      .method("init", &nsInit)
      .method("self", &nsSelf)
      .method("retain", &nsRetain)
      .method("release", &nsRelease)
      .method("autorelease", &nsAutorelease)
      .method("retainCount", &nsRetainCount)
      .method("dealloc", &nsDealloc)
      .method("class", &nsClass)
      .method("superclass", &nsSuperclass)
      .method("isKindOfClass:", &nsIsKindOfClass)
      .method("isMemberOfClass:", &nsIsMemberOfClass)
      .method("respondsToSelector:", &nsRespondsToSelector)
      .method("isEqual:", &nsIsEqual)
      .method("hash", &nsHash)
      .method("copy", &nsCopy)
      .method("mutableCopy", &nsMutableCopy)
      .method("performSelector:", &nsPerform)
      .method("performSelector:withObject:", &nsPerformWith)
      .method("performSelector:withObject:withObject:", &nsPerformWithWith)
      .classMethod("alloc", &classAlloc)
      .classMethod("allocWithZone:", &classAllocWithZone)
      .classMethod("new", &classNew)
      .classMethod("retain", &classRetain)
      .classMethod("release", &classRelease)
      .classMethod("autorelease", &classRetain)
      .classMethod("class", &classClass)
      .classMethod("superclass", &classSuperclass)
      .classMethod("isSubclassOfClass:", &classIsSubclassOfClass)
      .classMethod("instancesRespondToSelector:", &classInstancesRespond)
      .classMethod("respondsToSelector:", &nsRespondsToSelector)
      .classMethod("isKindOfClass:", &nsIsKindOfClass)
      .classMethod("isEqual:", &nsIsEqual)
      .classMethod("hash", &nsHash);
  return builder.registerClass();
}

}  // namespace

namespace detail {
void registerStateLayout(Class cls, const StateLayout& layout) {
  stateLayouts().add(cls, layout);
}
}  // namespace detail

Class NSObjectClass() {
  static const Class root = [] {
    rootClass = makeRootClass();
    registerAutoreleasePoolClass(rootClass);
    return rootClass;
  }();
  return root;
}

// The platform's classes exist before any host or library code runs.
__attribute__((constructor(101))) static void registerRootClass() {
  NSObjectClass();
}

id retain(id object) {
  return send<id>(object, "retain"_sel);
}
void release(id object) {
  send(object, "release"_sel);
}
id autorelease(id object) {
  return send<id>(object, "autorelease"_sel);
}

Ref<> make(Class cls) {
  return adopt(send<id>(send<id>(cls, "alloc"_sel), "init"_sel));
}

std::uint64_t retainCount(id object) {
  return send<unsigned long>(object, "retainCount"_sel);
}

bool isKindOf(id object, Class cls) {
  if (object == nil) return false;
  for (Class c = object_getClass(object); c != Nil; c = class_getSuperclass(c)) {
    if (c == cls) return true;
  }
  return false;
}

}  // namespace qv
