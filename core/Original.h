// Typed slots for replaced implementations. The hooking library writes the replaced IMP or
// function into the slot once, at installation; a replacement that wants the stock behaviour
// calls the slot with the same receiver and selector.
#pragma once

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

// Declares a replaced method at once: its replacement `replaced_NAME(self, _cmd, ARGS...)` and
// the slot `original_NAME` that keeps the implementation it replaced. R is the method's return
// type and ARGS its arguments after _cmd, names and all.
#define QV_REPLACED_METHOD(R, NAME, ...)                           \
  R replaced_##NAME(id self, SEL _cmd __VA_OPT__(, ) __VA_ARGS__); \
  inline Original<R(__VA_ARGS__)> original_##NAME

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
