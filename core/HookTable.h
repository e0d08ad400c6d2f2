// The hook table as data: one row per replaced function, replaced method or added method, in
// installation order. Consecutive method rows on one class form a group that shares one class
// lookup. One loop installs any table (Installation.h).
#pragma once

#include <objc/runtime.h>

#include <span>
#include <string>

#include "core/Original.h"
#include "port/objc/Encoding.h"

namespace quorvane {

struct FunctionHook {
  void* function;
  void* replacement;
  void** slot;
};

enum class HookKind {
  InstanceMethod,  // replaced on the class
  ClassMethod,     // replaced on the class's metaclass
  AddedMethod,     // added to the class with its type encoding
};

struct MethodHook {
  HookKind kind;
  const char* selector;
  IMP replacement;
  IMP* slot;              // nullptr for an added method
  const char* types;      // the method's type encoding
  const char* signature;  // the encoding of the replacement's C++ signature
};

struct HookGroup {
  const char* className;
  std::span<const MethodHook> hooks;
};

struct HookTable {
  std::span<const FunctionHook> functions;
  std::span<const HookGroup> groups;
};

namespace detail {
template <typename R, typename... Args>
const char* typesOf() {
  static const std::string types = qv::methodEncoding<R, Args...>();
  return types.c_str();
}
}  // namespace detail

template <typename R, typename... Args>
MethodHook instanceHook(const char* selector, R (*replacement)(id, SEL, Args...),
                        Original<R(Args...)>& original) {
  const char* types = detail::typesOf<R, Args...>();
  return {HookKind::InstanceMethod, selector, qv::toIMP(replacement),
          original.slot(),          types,    types};
}

template <typename R, typename... Args>
MethodHook classHook(const char* selector, R (*replacement)(id, SEL, Args...),
                     Original<R(Args...)>& original) {
  const char* types = detail::typesOf<R, Args...>();
  return {HookKind::ClassMethod, selector, qv::toIMP(replacement), original.slot(), types, types};
}

// `Types` is the encoding the platform declares for the added method, such as "v@:@q" (NSInteger
// is 'q' on 64-bit devices); the implementation must take exactly those types on the target
// being compiled, and is added with the types as that target spells them.
template <qv::EncodingText Types, typename R, typename... Args>
MethodHook addedMethod(const char* selector, R (*implementation)(id, SEL, Args...)) {
  return {HookKind::AddedMethod,
          selector,
          qv::toIMP(implementation),
          nullptr,
          qv::addedTypes<Types, R, Args...>(),
          detail::typesOf<R, Args...>()};
}

// The rows of a declared method (QV_REPLACED_METHOD, QV_ADDED_METHOD): the row names the method
// once, and its selector, replacement and slot come from the one declaration. A replaced method
// can be an added row too, on a class that lacks it.
template <typename R, typename... Args>
MethodHook instanceHook(const ReplacedMethod<R(Args...)>& method) {
  return instanceHook(method.selector, method.implementation, *method.original);
}

template <typename R, typename... Args>
MethodHook classHook(const ReplacedMethod<R(Args...)>& method) {
  return classHook(method.selector, method.implementation, *method.original);
}

template <qv::EncodingText Types, typename R, typename... Args>
MethodHook addedMethod(const AddedMethod<R(Args...)>& method) {
  return addedMethod<Types>(method.selector, method.implementation);
}

template <typename R, typename... Args>
FunctionHook functionHook(R (*function)(Args...), R (*replacement)(Args...),
                          OriginalFunction<R(Args...)>& original) {
  return {reinterpret_cast<void*>(function), reinterpret_cast<void*>(replacement), original.slot()};
}

}  // namespace quorvane
