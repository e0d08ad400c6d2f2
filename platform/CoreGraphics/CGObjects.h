// The reference-counted objects behind CoreGraphics' opaque types (private to the framework).
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <vector>

#include "platform/CoreGraphics/CairoHandles.h"
#include "port/CoreGraphics/CGContext.h"

namespace qv {

// Straight (not premultiplied) colour, each channel in [0, 1].
struct RGBA {
  double red = 0, green = 0, blue = 0, alpha = 1;
};

// A colour component as colours hold it: clamped to [0, 1], NaN as 0.
inline CGFloat clampUnit(CGFloat value) {
  return std::isnan(value) ? 0 : std::clamp(value, 0.0, 1.0);
}

class CGObject {
 public:
  CGObject() = default;
  CGObject(const CGObject&) = delete;
  CGObject& operator=(const CGObject&) = delete;
  virtual ~CGObject() = default;

  void retain() const { references_.fetch_add(1, std::memory_order_relaxed); }
  void release() const {
    if (references_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
  }

 private:
  mutable std::atomic<long> references_{1};
};

// Retain and Release of every type: NULL is accepted and ignored.
template <typename Ref>
Ref retainObject(Ref object) {
  if (object != nullptr) object->retain();
  return object;
}
template <typename Ref>
void releaseObject(Ref object) {
  if (object != nullptr) object->release();
}

}  // namespace qv

struct CGColorSpace : qv::CGObject {
  explicit CGColorSpace(std::size_t components) : colorComponents(components) {}
  const std::size_t colorComponents;  // without alpha: 3 for RGB, 1 for grey
};

struct CGColor : qv::CGObject {
  std::array<CGFloat, 4> components{};  // the space's components, then alpha
  std::size_t count = 0;
  qv::RGBA rgba;
};

struct CGGradient : qv::CGObject {
  struct Stop {
    CGFloat location;
    qv::RGBA color;
  };
  std::vector<Stop> stops;  // by ascending location

  qv::RGBA colorAt(CGFloat location) const;
};

struct CGContext : qv::CGObject {
  struct GState {
    qv::RGBA fill;
    qv::RGBA stroke;
    bool singular = false;  // a non-invertible CTM: nothing can be drawn
  };

  explicit CGContext(cairo_t* target);

  qv::CairoContextPtr cairo;
  GState state;
  std::vector<GState> saved;
};

namespace qv {
// Radial gradient drawing (CGGradient.cpp).
void drawRadialGradient(CGContext& context, const CGGradient& gradient, CGPoint startCenter,
                        CGFloat startRadius, CGPoint endCenter, CGFloat endRadius,
                        CGGradientDrawingOptions options);
}  // namespace qv
