// The root class NSObject, reference counting, and the builder through which the platform and
// the hosts make their classes at run time.
//
// A framework class keeps its C++ state in one named instance variable that holds the state
// itself: +alloc constructs the state of every class in the object's chain and -dealloc destroys
// them, most derived first, before the memory goes back. Classes that have no C++ state (most
// host classes) use plain named ivars as a device does.
#pragma once

#include <objc/runtime.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <new>
#include <string>
#include <string_view>

#include "platform/objc/Encoding.h"
#include "platform/objc/Message.h"
#include "platform/objc/ObjectState.h"
#include "platform/objc/Ref.h"

namespace qv {

// The root class, registered when the platform loads.
Class NSObjectClass();

// alloc + init of a class, as an owning handle.
Ref<> make(Class cls);

// The class method of a class with one instance (sharedApplication, mainScreen): made by the
// first call, it lives as long as the process.
template <Class (*TheClass)()>
id sharedInstance(id, SEL) {
  static const id instance = make(TheClass()).leak();
  return instance;
}

// Retain count as the platform would report it (tests and diagnostics).
std::uint64_t retainCount(id object);

bool isKindOf(id object, Class cls);

namespace detail {
struct StateLayout {
  std::ptrdiff_t offset = -1;
  void (*construct)(void*) = nullptr;
  void (*destroy)(void*) = nullptr;
};
void registerStateLayout(Class cls, const StateLayout& layout);
}  // namespace detail

// Seam: which methods the running system build has. The simulator models builds that lack a
// host method by answering false here before the host makes its classes; such a method is
// never added, as if the build never had it. By default every method is made.
using MethodFilter =
    std::function<bool(std::string_view className, std::string_view selector, bool classMethod)>;
void setMethodFilter(MethodFilter keep);

class ClassBuilder {
 public:
  // Starts a class; an existing class of that name is an error reported by `registerClass`.
  ClassBuilder(const char* name, Class superclass);

  // The class's C++ state, in an ivar of the given name.
  template <typename State>
  ClassBuilder& state(const char* ivarName = "_state") {
    static_assert(alignof(State) <= 16, "instances are only 16-byte aligned");
    addIvar(ivarName, sizeof(State), alignof(State), byteArrayEncoding(sizeof(State)));
    stateIvar_ = ivarName;
    layout_.construct = [](void* at) { new (at) State(); };
    layout_.destroy = [](void* at) { static_cast<State*>(at)->~State(); };
    stateOffset_ = &StateSlot<State>::offset;
    return *this;
  }

  // A plain named ivar, such as the "_targets" the platform's code reads by name.
  template <typename T>
  ClassBuilder& ivar(const char* name) {
    return addIvar(name, sizeof(T), alignof(T), std::string(Encoding<T>::value));
  }

  template <typename R, typename... Args>
  ClassBuilder& method(const char* selector, R (*implementation)(id, SEL, Args...)) {
    return addMethod(cls_, selector, toIMP(implementation), methodEncoding<R, Args...>());
  }

  template <typename R, typename... Args>
  ClassBuilder& classMethod(const char* selector, R (*implementation)(id, SEL, Args...)) {
    return addMethod(object_getClass(asId(cls_)), selector, toIMP(implementation),
                     methodEncoding<R, Args...>());
  }

  // A method with a type string of its own (variable argument lists, host-declared types).
  ClassBuilder& method(const char* selector, IMP implementation, const char* types) {
    return addMethod(cls_, selector, implementation, types);
  }

  Class registerClass();

 private:
  ClassBuilder& addIvar(const char* name, std::size_t size, std::size_t align,
                        const std::string& types);
  ClassBuilder& addMethod(Class target, const char* selector, IMP implementation,
                          const std::string& types);
  static std::string byteArrayEncoding(std::size_t size);

  std::string name_;
  Class cls_ = Nil;
  const char* stateIvar_ = nullptr;
  std::ptrdiff_t* stateOffset_ = nullptr;
  detail::StateLayout layout_;
};

// A class that comes into being the first time code asks for it by name (objc_getClass, or
// messaging it through a lookup), as a library's own classes are known from the moment it is
// mapped without its start-up doing the work. `make` registers the class and returns it; it
// runs once, under a lock, and may itself look up other classes.
void makeClassOnFirstLookup(const char* name, Class (*make)());

// The class of that name once its methods are in place; Nil before. Unlike objc_getClass it
// never makes a class on first lookup.
Class completedClass(const char* name);

}  // namespace qv
