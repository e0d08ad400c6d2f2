// An owning handle for C++ code: holds one reference to an object and gives it back when it
// goes. `Ref<>::adopt` takes over a reference the caller already owns (from alloc/init, new or
// copy); constructing from a plain id retains.
#pragma once

#include <objc/runtime.h>

#include <utility>

namespace qv {

id retain(id object);
void release(id object);
id autorelease(id object);

template <typename T = objc_object>
class Ref {
 public:
  Ref() = default;
  Ref(std::nullptr_t) {}
  explicit Ref(T* object) : object_(object) { qv::retain(asObject()); }
  Ref(const Ref& other) : Ref(other.object_) {}
  Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  ~Ref() { qv::release(asObject()); }

  Ref& operator=(Ref other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }

  static Ref adopt(T* object) {
    Ref ref;
    ref.object_ = object;
    return ref;
  }

  T* get() const { return object_; }
  operator T*() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

  // Gives up ownership without releasing.
  T* leak() { return std::exchange(object_, nullptr); }

 private:
  id asObject() const { return reinterpret_cast<id>(object_); }
  T* object_ = nullptr;
};

template <typename T>
Ref<T> adopt(T* object) {
  return Ref<T>::adopt(object);
}

template <typename T>
Ref<T> retained(T* object) {
  return Ref<T>(object);
}

}  // namespace qv
