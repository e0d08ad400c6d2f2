// The class builder of the stand-in, the backend half of port/objc/Object.h: classes are made
// at run time, and a class's C++ state lives in one named instance variable that holds the state
// itself: +alloc constructs the state of every class in the object's chain and -dealloc destroys
// them, most derived first, before the memory goes back. Classes that have no C++ state (most
// host classes) use plain named ivars as a device does.
#pragma once

#include <objc/runtime.h>

#include <cstddef>
#include <new>
#include <string>

#include "port/objc/Encoding.h"
#include "port/objc/Message.h"
#include "port/objc/ObjectState.h"

namespace qv {

namespace detail {
struct StateLayout {
  std::ptrdiff_t offset = -1;
  void (*construct)(void*) = nullptr;
  void (*destroy)(void*) = nullptr;
};
void registerStateLayout(Class cls, const StateLayout& layout);
}  // namespace detail

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

}  // namespace qv
