// Typed slots for replaced implementations. The hooking library writes the replaced IMP or
// function into the slot once, at installation; a replacement that wants the stock behaviour
// calls the slot with the same receiver and selector.
#pragma once

#include <cstddef>
#include <string_view>

#include "port/objc/Message.h"

namespace quorvane {

template <typename Signature>
class Original;

// The replaced implementation of a method whose arguments after self and _cmd are Args.
template <typename R, typename... Args>
class Original<R(Args...)> {
 public:
  R operator()(id self, SEL cmd, Args... args) const {
    return qv::invoke<R>(imp_, self, cmd, args...);
  }
  IMP* slot() { return &imp_; }
  bool installed() const { return imp_ != nullptr; }

 private:
  IMP imp_ = nullptr;
};

// True when `name` is `selector` with every ':' written as '_': the C++ name a method's
// replacement and slot are made from ("_startPreview_" for "_startPreview:").
constexpr bool namesSelector(std::string_view name, std::string_view selector) {
  if (name.size() != selector.size()) return false;
  for (std::size_t i = 0; i < selector.size(); ++i) {
    if (name[i] != (selector[i] == ':' ? '_' : selector[i])) return false;
  }
  return true;
}

// A declared method as one value, so that a hook row names it once: the selector and the
// implementation come from one declaration and cannot disagree.
template <typename Signature>
struct AddedMethod;

template <typename R, typename... Args>
struct AddedMethod<R(Args...)> {
  const char* selector;
  R (*implementation)(id, SEL, Args...);
};

// A replaced method: its replacement as the implementation, and the slot of the one it replaces.
// It can also be added, as it is, to a class that lacks the method.
template <typename Signature>
struct ReplacedMethod;

template <typename R, typename... Args>
struct ReplacedMethod<R(Args...)> : AddedMethod<R(Args...)> {
  Original<R(Args...)>* original;
};

// The selector SELECTOR of the C++ name NAME, as a function so that nothing but code and a
// string comes of it (no coalesced data). A SELECTOR that is not NAME does not compile; the
// check cannot tell a ':' from a '_' the selector itself has ("hv_setFPS:").
#define QV_SELECTOR_NAME(NAME, SELECTOR)                                         \
  static_assert(::quorvane::namesSelector(#NAME, SELECTOR),                      \
                "the selector \"" SELECTOR "\" is not the method named " #NAME); \
  constexpr const char* selector_##NAME() {                                      \
    return SELECTOR;                                                             \
  }

// Declares a replaced method at once: its replacement `replaced_NAME(self, _cmd, ARGS...)`, the
// slot `original_NAME` that keeps the implementation it replaced, and `method_NAME()`, all three
// with SELECTOR, for the hook row. R is the method's return type and ARGS its arguments after
// _cmd, names and all.
#define QV_REPLACED_METHOD(R, NAME, SELECTOR, ...)                    \
  QV_SELECTOR_NAME(NAME, SELECTOR)                                    \
  R replaced_##NAME(id self, SEL _cmd __VA_OPT__(, ) __VA_ARGS__);    \
  inline Original<R(__VA_ARGS__)> original_##NAME;                    \
  inline ::quorvane::ReplacedMethod<R(__VA_ARGS__)> method_##NAME() { \
    return {{selector_##NAME(), &replaced_##NAME}, &original_##NAME}; \
  }                                                                   \
  static_assert(true)

// Declares a method the tweak adds: its implementation `NAME(self, _cmd, ARGS...)` and
// `method_NAME()`, with SELECTOR, for the hook row.
#define QV_ADDED_METHOD(R, NAME, SELECTOR, ...)                    \
  QV_SELECTOR_NAME(NAME, SELECTOR)                                 \
  R NAME(id self, SEL _cmd __VA_OPT__(, ) __VA_ARGS__);            \
  inline ::quorvane::AddedMethod<R(__VA_ARGS__)> method_##NAME() { \
    return {selector_##NAME(), &NAME};                             \
  }                                                                \
  static_assert(true)

template <typename Signature>
class OriginalFunction;

// The replaced version of a C function.
template <typename R, typename... Args>
class OriginalFunction<R(Args...)> {
 public:
  R operator()(Args... args) const { return function_(args...); }
  void** slot() { return reinterpret_cast<void**>(&function_); }
  bool installed() const { return function_ != nullptr; }

 private:
  R (*function_)(Args...) = nullptr;
};

}  // namespace quorvane
