// How a message travels on the stand-in, the backend half of port/objc/Message.h: the
// runtime's lookup and a call through the exact function type.
//
// Every message goes through `send<R>(receiver, selector, args...)`. A nil receiver answers a
// zero R without a call, as the platform does. Otherwise the runtime's lookup gives the IMP and
// it is called through the exact function type R(*)(id, SEL, Args...). Debug builds compare the
// method's type encoding with R(Args...) first and raise on a mismatch: a float passed where a
// double is declared, or an int where an NSInteger is, would otherwise read garbage registers.
#pragma once

#include <objc/message.h>
#include <objc/runtime.h>

#include <cstddef>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>

#include "port/objc/Encoding.h"
#include "port/objc/MessageBasics.h"

namespace qv {

namespace detail {

// The type an argument travels as: handles become plain ids.
template <typename T>
struct Wire {
  using type = T;
};
template <typename T>
struct Wire<Ref<T>> {
  using type = id;
};
template <>
struct Wire<std::nullptr_t> {
  using type = id;
};
template <typename A>
using WireOf = typename Wire<std::decay_t<A>>::type;

void checkSignature(id receiver, SEL selector, const std::string& callTypes);

template <typename R, typename... Args>
R call(IMP imp, id receiver, SEL selector, Args... args) {
  return fromIMP<R (*)(id, SEL, Args...)>(imp)(receiver, selector, args...);
}

template <typename R, typename... Args>
R sendWire(id receiver, SEL selector, Args... args) {
  if (receiver == nil) return zeroValue<R>();
#ifndef NDEBUG
  static const std::string callTypes = methodEncoding<R, Args...>();
  checkSignature(receiver, selector, callTypes);
#endif
  return call<R, Args...>(objc_msg_lookup(receiver, selector), receiver, selector, args...);
}

}  // namespace detail

template <typename R = void, typename... Args>
R send(id receiver, SEL selector, Args&&... args) {
  return detail::sendWire<R, detail::WireOf<Args>...>(receiver, selector,
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
  return detail::call<R, detail::WireOf<Args>...>(objc_msg_lookup_super(&super, selector), self,
                                                  selector, std::forward<Args>(args)...);
}

// Calls a saved implementation, such as the one a hook replaced.
template <typename R = void, typename... Args>
R invoke(IMP imp, id self, SEL selector, Args&&... args) {
  return detail::call<R, detail::WireOf<Args>...>(imp, self, selector, std::forward<Args>(args)...);
}

// A message whose method takes a variable argument list after `Fixed` arguments, such as
// stringWithFormat:. The trailing arguments travel with C's default promotions.
template <typename R, typename... Fixed, typename... Rest>
R sendVarargs(id receiver, SEL selector, Fixed... fixed, Rest... rest) {
  if (receiver == nil) return detail::zeroValue<R>();
  IMP imp = objc_msg_lookup(receiver, selector);
  return fromIMP<R (*)(id, SEL, Fixed..., ...)>(imp)(receiver, selector, fixed..., rest...);
}

template <typename R, typename... Fixed, typename... Rest>
R sendVarargs(Class receiver, SEL selector, Fixed... fixed, Rest... rest) {
  return sendVarargs<R, Fixed...>(asId(receiver), selector, fixed..., rest...);
}

}  // namespace qv
