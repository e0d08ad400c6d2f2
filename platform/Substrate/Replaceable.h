// A platform C function that MSHookFunction can replace: the exported function calls through
// one slot, which starts at the stock implementation. Hooking swaps the slot, so every caller in
// the process (host, platform, tweak) reaches the replacement.
#pragma once

#include <atomic>

namespace qv {

namespace detail {
using ErasedFunction = void (*)();
void registerReplaceable(const char* name, void* publicFunction, std::atomic<ErasedFunction>* slot);
}  // namespace detail

template <typename Signature>
class Replaceable;

template <typename R, typename... Args>
class Replaceable<R(Args...)> {
 public:
  using Function = R (*)(Args...);

  // `name` is the exported symbol's name; `publicFunction` its address.
  Replaceable(const char* name, Function publicFunction, Function stock)
      : slot_(reinterpret_cast<detail::ErasedFunction>(stock)) {
    detail::registerReplaceable(name, reinterpret_cast<void*>(publicFunction), &slot_);
  }

  R operator()(Args... args) const {
    return reinterpret_cast<Function>(slot_.load(std::memory_order_acquire))(args...);
  }

 private:
  std::atomic<detail::ErasedFunction> slot_;
};

}  // namespace qv
