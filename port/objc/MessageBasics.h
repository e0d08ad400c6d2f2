// What messaging is on every target: selector literals, IMP conversions, a nil receiver's zero
// answer, and the declarations of the helpers each target's Message.h implements. How a message
// is sent is the target's own: a lookup and a call here, objc_msgSend on the device.
#pragma once

#include <objc/runtime.h>

#include <cstddef>
#include <stdexcept>
#include <string>
#include <type_traits>

// Selector literal: "setFrame:"_sel is registered once per name and then costs a load.
namespace qv::detail {
template <std::size_t N>
struct SelectorName {
  char text[N];
  constexpr SelectorName(const char (&name)[N]) {
    for (std::size_t i = 0; i < N; ++i) text[i] = name[i];
  }
};
}  // namespace qv::detail

template <qv::detail::SelectorName Name>
SEL operator""_sel() {
  static const SEL selector = sel_registerName(Name.text);
  return selector;
}

namespace qv {

// A call site whose types differ from the method's declared types (debug builds).
class SignatureMismatch : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

// Raises the platform's exception (an NSException there) of that name and reason.
[[noreturn]] void raise(const std::string& name, const std::string& reason);

inline id asId(Class cls) {
  return reinterpret_cast<id>(cls);
}

template <typename T>
class Ref;

// IMP conversions. An IMP is only ever called through its exact function type; the cast goes
// through void(*)() so the compiler sees it is deliberate.
template <typename Function>
IMP toIMP(Function* function) {
  return reinterpret_cast<IMP>(reinterpret_cast<void (*)()>(function));
}

template <typename FunctionPointer>
FunctionPointer fromIMP(IMP imp) {
  return reinterpret_cast<FunctionPointer>(reinterpret_cast<void (*)()>(imp));
}

// Whether the receiver answers the selector, without sending it.
bool responds(id receiver, SEL selector);

// "-[Class selector]" or "+[Class selector]", as the platform names a method in messages.
std::string methodName(id receiver, SEL selector);

namespace detail {

// What a message to nil answers.
template <typename R>
R zeroValue() {
  if constexpr (!std::is_void_v<R>) return R{};
}

}  // namespace detail

}  // namespace qv
