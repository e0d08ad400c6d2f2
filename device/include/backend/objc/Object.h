// The class builder on the device's runtime, the backend half of port/objc/Object.h.
//
// A class the library defines is declared at build time, so that the runtime registers it when
// the library is mapped (iOS 7 and 8 have no hook for a class made on first lookup) and the
// library can export it. Its C++ state sits in a named instance variable of a C++ type, which
// the runtime constructs at +alloc and destroys after -dealloc (.cxx_construct, .cxx_destruct);
// its methods are added at start-up by the builder.
#pragma once

#include <objc/runtime.h>

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>

#include "port/objc/Encoding.h"
#include "port/objc/Message.h"
#include "port/objc/ObjectState.h"
#include "port/objc/Ref.h"

namespace qv {

// The type of a state ivar in a class's build-time declaration: the state itself, constructed
// with the object and destroyed with it.
template <typename State>
struct ObjectState {
  State value;
};

namespace detail {

template <typename T>
inline constexpr bool carriesBlock = false;
template <typename R, typename... A>
inline constexpr bool carriesBlock<std::function<R(A...)>> = true;

// A method whose C++ implementation takes or answers callables is entered through a trampoline
// with the block types on the wire: the runtime, and code outside the library, call it as any
// method that takes blocks. The implementations are found by selector.
void rememberImplementation(SEL selector, void (*implementation)());
void (*rememberedImplementation(SEL selector))();

template <typename R, typename... Args>
typename Wire<R>::type enterWithBlocks(id self, SEL selector, WireOf<Args>... args) {
  auto* implementation =
      reinterpret_cast<R (*)(id, SEL, Args...)>(rememberedImplementation(selector));
  if constexpr (std::is_void_v<R>) {
    implementation(self, selector, Wire<Args>::from(args)...);
  } else if constexpr (carriesBlock<R>) {
    // An answered block outlives the call in the caller's pool, as a getter's result does.
    const auto block = toWire(implementation(self, selector, Wire<Args>::from(args)...));
    return reinterpret_cast<typename Wire<R>::type>(
        autorelease(reinterpret_cast<id>(_Block_copy(block.get()))));
  } else {
    return implementation(self, selector, Wire<Args>::from(args)...);
  }
}

}  // namespace detail

class ClassBuilder {
 public:
  // Completes the class of that name declared at build time; `superclass` is what the
  // declaration must inherit from. A class without a declaration cannot be completed here:
  // `registerClass` then answers Nil after one log line.
  ClassBuilder(const char* name, Class superclass);

  // The class's C++ state, in its declared ivar of type ObjectState<State>.
  template <typename State>
  ClassBuilder& state(const char* ivarName = "_state") {
    StateSlot<State>::offset = stateOffset(ivarName);
    return *this;
  }

  template <typename R, typename... Args>
  ClassBuilder& method(const char* selector, R (*implementation)(id, SEL, Args...)) {
    return addMethod(cls_, selector, entryOf(selector, implementation),
                     methodEncoding<R, Args...>());
  }

  template <typename R, typename... Args>
  ClassBuilder& classMethod(const char* selector, R (*implementation)(id, SEL, Args...)) {
    return addMethod(cls_ != Nil ? object_getClass(asId(cls_)) : Nil, selector,
                     entryOf(selector, implementation), methodEncoding<R, Args...>());
  }

  ClassBuilder& method(const char* selector, IMP implementation, const char* types) {
    return addMethod(cls_, selector, implementation, types);
  }

  Class registerClass();

 private:
  template <typename R, typename... Args>
  static IMP entryOf(const char* selector, R (*implementation)(id, SEL, Args...)) {
    if constexpr ((detail::carriesBlock<R> || ... || detail::carriesBlock<Args>)) {
      detail::rememberImplementation(sel_registerName(selector),
                                     reinterpret_cast<void (*)()>(implementation));
      return toIMP(&detail::enterWithBlocks<R, Args...>);
    } else {
      return toIMP(implementation);
    }
  }

  std::ptrdiff_t stateOffset(const char* ivarName);
  ClassBuilder& addMethod(Class target, const char* selector, IMP implementation,
                          const std::string& types);

  const char* name_;
  Class cls_ = Nil;
};

}  // namespace qv
