// Gradients, and radial gradient drawing computed per device pixel.
//
// cairo's radial patterns can extend a gradient on both sides or on neither, but the platform
// lets each side be chosen alone (kCGGradientDrawsBeforeStartLocation,
// kCGGradientDrawsAfterEndLocation). So the gradient is evaluated here: for each device pixel
// inside the clip, the largest parameter t whose circle passes through the pixel and whose t
// lies in the allowed range gives the colour, as the platform (and PDF's radial shading) define
// it. The result is painted through the clip as an image.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "platform/CoreGraphics/CGObjects.h"

CGGradientRef CGGradientCreateWithColorComponents(CGColorSpaceRef space, const CGFloat* components,
                                                  const CGFloat* locations, std::size_t count) {
  if (space == nullptr || components == nullptr || count == 0) return nullptr;
  auto* gradient = new CGGradient;
  const std::size_t stride = space->colorComponents + 1;
  for (std::size_t i = 0; i < count; ++i) {
    const CGColorRef color = CGColorCreate(space, components + i * stride);
    CGFloat location = locations != nullptr ? locations[i]
                       : count == 1         ? 0.0
                                    : static_cast<CGFloat>(i) / static_cast<CGFloat>(count - 1);
    location = std::isnan(location) ? 0 : std::clamp(location, 0.0, 1.0);
    gradient->stops.push_back({location, color->rgba});
    CGColorRelease(color);
  }
  std::stable_sort(gradient->stops.begin(), gradient->stops.end(),
                   [](const auto& a, const auto& b) { return a.location < b.location; });
  return gradient;
}

CGGradientRef CGGradientRetain(CGGradientRef gradient) {
  return qv::retainObject(gradient);
}
void CGGradientRelease(CGGradientRef gradient) {
  qv::releaseObject(gradient);
}

qv::RGBA CGGradient::colorAt(CGFloat location) const {
  if (location <= stops.front().location) return stops.front().color;
  for (std::size_t i = 1; i < stops.size(); ++i) {
    const Stop& from = stops[i - 1];
    const Stop& to = stops[i];
    if (location > to.location) continue;
    const double span = to.location - from.location;
    const double f = span > 0 ? (location - from.location) / span : 1.0;
    auto mix = [f](double a, double b) { return a + (b - a) * f; };
    return {mix(from.color.red, to.color.red), mix(from.color.green, to.color.green),
            mix(from.color.blue, to.color.blue), mix(from.color.alpha, to.color.alpha)};
  }
  return stops.back().color;
}

namespace qv {
namespace {

struct RadialGeometry {
  CGPoint start;
  CGFloat startRadius;
  double dx, dy, dr;  // end minus start
  double minT, maxT;  // the parameter range the options allow

  double radiusAt(double t) const { return startRadius + t * dr; }
  bool accepts(double t) const { return t >= minT && t <= maxT && radiusAt(t) >= 0; }

  // The largest allowed t whose circle passes through `p`, or NaN when there is none.
  double parameterAt(CGPoint p) const {
    const double px = p.x - start.x;
    const double py = p.y - start.y;
    const double a = dx * dx + dy * dy - dr * dr;
    const double b = px * dx + py * dy + startRadius * dr;
    const double c = px * px + py * py - startRadius * startRadius;
    if (a == 0) {
      if (b == 0) return NAN;
      const double t = c / (2 * b);
      return accepts(t) ? t : NAN;
    }
    const double discriminant = b * b - a * c;
    if (discriminant < 0) return NAN;
    const double root = std::sqrt(discriminant);
    const double t1 = (b + root) / a;
    const double t2 = (b - root) / a;
    const double high = std::max(t1, t2);
    const double low = std::min(t1, t2);
    if (accepts(high)) return high;
    if (accepts(low)) return low;
    return NAN;
  }
};

std::uint32_t premultipliedARGB(const RGBA& color) {
  auto channel = [](double v) {
    return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
  };
  const double a = std::clamp(color.alpha, 0.0, 1.0);
  return channel(a) << 24 | channel(color.red * a) << 16 | channel(color.green * a) << 8 |
         channel(color.blue * a);
}

// The clip's extents in device pixels, limited to what an image surface can hold.
struct PixelBox {
  int x = 0, y = 0, width = 0, height = 0;
};

PixelBox deviceClipBox(cairo_t* cairo) {
  cairo_save(cairo);
  cairo_identity_matrix(cairo);
  double x1, y1, x2, y2;
  cairo_clip_extents(cairo, &x1, &y1, &x2, &y2);
  cairo_restore(cairo);
  constexpr double kLimit = 16384;
  x1 = std::clamp(std::floor(x1), -kLimit, kLimit);
  y1 = std::clamp(std::floor(y1), -kLimit, kLimit);
  x2 = std::clamp(std::ceil(x2), -kLimit, kLimit);
  y2 = std::clamp(std::ceil(y2), -kLimit, kLimit);
  return {static_cast<int>(x1), static_cast<int>(y1), static_cast<int>(x2 - x1),
          static_cast<int>(y2 - y1)};
}

bool finite(std::initializer_list<double> values) {
  return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

}  // namespace

void drawRadialGradient(CGContext& context, const CGGradient& gradient, CGPoint startCenter,
                        CGFloat startRadius, CGPoint endCenter, CGFloat endRadius,
                        CGGradientDrawingOptions options) {
  if (!finite({startCenter.x, startCenter.y, startRadius, endCenter.x, endCenter.y, endRadius}) ||
      startRadius < 0 || endRadius < 0) {
    std::fprintf(stderr, "<Error>: CGContextDrawRadialGradient: invalid circles\n");
    return;
  }
  cairo_t* cairo = context.cairo.get();
  cairo_matrix_t deviceToUser;
  cairo_get_matrix(cairo, &deviceToUser);
  if (cairo_matrix_invert(&deviceToUser) != CAIRO_STATUS_SUCCESS) return;
  const PixelBox box = deviceClipBox(cairo);
  if (box.width <= 0 || box.height <= 0) return;

  const RadialGeometry geometry{
      startCenter,
      startRadius,
      endCenter.x - startCenter.x,
      endCenter.y - startCenter.y,
      endRadius - startRadius,
      (options & kCGGradientDrawsBeforeStartLocation) != 0 ? -INFINITY : 0.0,
      (options & kCGGradientDrawsAfterEndLocation) != 0 ? INFINITY : 1.0};

  CairoSurfacePtr image(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, box.width, box.height));
  if (cairo_surface_status(image.get()) != CAIRO_STATUS_SUCCESS) return;
  cairo_surface_flush(image.get());
  unsigned char* data = cairo_image_surface_get_data(image.get());
  const int stride = cairo_image_surface_get_stride(image.get());
  for (int row = 0; row < box.height; ++row) {
    auto* pixels =
        reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(row) * stride);
    for (int column = 0; column < box.width; ++column) {
      double x = box.x + column + 0.5;
      double y = box.y + row + 0.5;
      cairo_matrix_transform_point(&deviceToUser, &x, &y);
      const double t = geometry.parameterAt({x, y});
      pixels[column] = std::isnan(t) ? 0 : premultipliedARGB(gradient.colorAt(t));
    }
  }
  cairo_surface_mark_dirty(image.get());

  cairo_save(cairo);
  cairo_identity_matrix(cairo);
  cairo_set_source_surface(cairo, image.get(), box.x, box.y);
  cairo_paint(cairo);
  cairo_restore(cairo);
}

}  // namespace qv
