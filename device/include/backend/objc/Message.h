// How a message travels on the device, the backend half of port/objc/Message.h: the send helper
// and calls of saved implementations as casts of objc_msgSend and objc_msgSendSuper to the exact
// function type of each call site.
// arm64 has one entry point for every return type; armv7 sends a message whose struct result
// comes back through memory to the _stret entry points, called with the same function type (the
// compiler passes the result's address first, as they expect). A variadic method's trailing
// arguments may travel apart from fixed ones (on the stack, on arm64): a variadic message goes
// through a variadic function type.
#pragma once

#include <objc/message.h>
#include <objc/runtime.h>

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>

#include "backend/objc/Blocks.h"
#include "port/objc/Encoding.h"
#include "port/objc/MessageBasics.h"

namespace qv {

namespace detail {

// The type an argument or result travels as, and the conversions at the boundary: handles
// become plain ids, callables become blocks.
template <typename T>
struct Wire {
  using type = T;
  template <typename U>
  static U&& to(U&& value) {
    return std::forward<U>(value);
  }
  static T from(T value) { return value; }
};
template <>
struct Wire<void> {
  using type = void;
};
template <typename T>
struct Wire<Ref<T>> : Wire<id> {
  using type = id;
};
template <>
struct Wire<std::nullptr_t> : Wire<id> {
  using type = id;
};
template <typename R, typename... A>
struct Wire<std::function<R(A...)>> {
  using type = BlockPointer<R, A...>;
  static HeldBlock<R, A...> to(const std::function<R(A...)>& callable) { return blockOf(callable); }
  static std::function<R(A...)> from(type block) { return callableOf(block); }
};
template <typename A>
using WireOf = typename Wire<std::decay_t<A>>::type;

template <typename A>
decltype(auto) toWire(A&& argument) {
  return Wire<std::decay_t<A>>::to(std::forward<A>(argument));
}

template <typename R, typename Receiver, typename... Args>
R call(IMP imp, Receiver receiver, SEL selector, Args... args) {
  return fromIMP<R (*)(Receiver, SEL, Args...)>(imp)(receiver, selector, args...);
}

// Calls `imp` with the arguments on the wire and brings the result back from it.
template <typename R, typename Receiver, typename... Args>
R callWire(IMP imp, Receiver receiver, SEL selector, Args&&... args) {
  if constexpr (std::is_void_v<R>) {
    call<void, Receiver, WireOf<Args>...>(imp, receiver, selector,
                                          toWire(std::forward<Args>(args))...);
  } else {
    return Wire<R>::from(call<typename Wire<R>::type, Receiver, WireOf<Args>...>(
        imp, receiver, selector, toWire(std::forward<Args>(args))...));
  }
}

// Whether R comes back through memory, at an address the caller passes: on armv7, a struct
// larger than a word. A struct of a word or less would come back in r0 only when it is
// integer-like, a rule the tweak has no type for.
template <typename R>
constexpr bool returnsThroughMemory() {
  if constexpr (!std::is_class_v<R> || sizeof(void*) == 8) {
    return false;
  } else {
    static_assert(sizeof(R) > sizeof(void*), "a struct result of a word or less on armv7");
    return true;
  }
}

template <typename R>
IMP messenger() {
#if defined(__LP64__)
  return reinterpret_cast<IMP>(&objc_msgSend);
#else
  return reinterpret_cast<IMP>(returnsThroughMemory<typename Wire<R>::type>() ? &objc_msgSend_stret
                                                                              : &objc_msgSend);
#endif
}

template <typename R>
IMP superMessenger() {
#if defined(__LP64__)
  return reinterpret_cast<IMP>(&objc_msgSendSuper);
#else
  return reinterpret_cast<IMP>(returnsThroughMemory<typename Wire<R>::type>()
                                   ? &objc_msgSendSuper_stret
                                   : &objc_msgSendSuper);
#endif
}

}  // namespace detail

// A nil receiver answers a zero R without a message: objc_msgSend zeroes registers for nil,
// but not a large struct returned through memory.
template <typename R = void, typename... Args>
R send(id receiver, SEL selector, Args&&... args) {
  if (receiver == nil) return detail::zeroValue<R>();
  return detail::callWire<R>(detail::messenger<R>(), receiver, selector,
                             std::forward<Args>(args)...);
}

template <typename R = void, typename... Args>
R send(Class receiver, SEL selector, Args&&... args) {
  return send<R>(asId(receiver), selector, std::forward<Args>(args)...);
}

// [super selector] from a method defined on `definingClass` (a metaclass for class methods).
template <typename R = void, typename... Args>
R sendSuper(id self, Class definingClass, SEL selector, Args&&... args) {
  if (self == nil) return detail::zeroValue<R>();
  objc_super super{self, class_getSuperclass(definingClass)};
  return detail::callWire<R>(detail::superMessenger<R>(), &super, selector,
                             std::forward<Args>(args)...);
}

// Calls a saved implementation, such as the one a hook replaced.
template <typename R = void, typename... Args>
R invoke(IMP imp, id self, SEL selector, Args&&... args) {
  return detail::callWire<R>(imp, self, selector, std::forward<Args>(args)...);
}

// A message whose method takes a variable argument list after `Fixed` arguments, such as
// stringWithFormat:. The trailing arguments travel with C's default promotions, on the stack.
template <typename R, typename... Fixed, typename... Rest>
R sendVarargs(id receiver, SEL selector, Fixed... fixed, Rest... rest) {
  if (receiver == nil) return detail::zeroValue<R>();
  return fromIMP<R (*)(id, SEL, Fixed..., ...)>(detail::messenger<R>())(receiver, selector,
                                                                        fixed..., rest...);
}

template <typename R, typename... Fixed, typename... Rest>
R sendVarargs(Class receiver, SEL selector, Fixed... fixed, Rest... rest) {
  return sendVarargs<R, Fixed...>(asId(receiver), selector, fixed..., rest...);
}

}  // namespace qv
