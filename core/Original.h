// Typed slots for replaced implementations. The hooking library writes the replaced IMP or
// function into the slot once, at installation; a replacement that wants the stock behaviour
// calls the slot with the same receiver and selector.
#pragma once

#include "platform/objc/Message.h"

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
