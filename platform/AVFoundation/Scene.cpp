#include "platform/AVFoundation/Scene.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "platform/CoreGraphics/CGCairo.h"
#include "platform/CoreGraphics/CairoHandles.h"
#include "platform/dispatch/Clock.h"

namespace qv::media {
namespace {

// Sizes and speeds in heights of the picture, so that every size shows the same scene: at
// 1280×720 the bands are 32 pixels wide and move 120 pixels a second.
constexpr double kBandWidth = 32.0 / 720;
constexpr double kBandSpeed = 120.0 / 720;
constexpr double kHueTurnsPerSecond = 1.0 / 3;  // radians
constexpr double kBallRadius = 1.0 / 9;
constexpr double kBounceHeight = 0.55;
constexpr double kBounceSeconds = 1.2;  // from the floor to the floor
constexpr double kCrossingSeconds = 3;  // from one side to the other

// Digits 0-9 in a 3×5 grid, one row per three bits, top row first.
constexpr std::array<std::array<std::uint8_t, 5>, 10> kDigits{{
    {7, 5, 5, 5, 7},
    {2, 6, 2, 2, 7},
    {7, 1, 7, 4, 7},
    {7, 1, 7, 1, 7},
    {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7},
    {7, 4, 7, 5, 7},
    {7, 1, 2, 2, 2},
    {7, 5, 7, 5, 7},
    {7, 5, 7, 1, 7},
}};

struct Rgb {
  double red, green, blue;
};

// A video-range BT.601 colour, as the bands were first painted in luma and chroma.
Rgb fromVideoRange(double luma, double blueDiff, double redDiff) {
  const double y = 1.164 * (luma - 16);
  const auto unit = [](double value) { return std::clamp(value / 255, 0.0, 1.0); };
  return {unit(y + 1.596 * redDiff), unit(y - 0.392 * blueDiff - 0.813 * redDiff),
          unit(y + 2.017 * blueDiff)};
}

// How the scene's colours reach the surface: as colours, or as the values of one plane of
// video-range BT.601 YCbCr, in the alpha of an A8 surface that is that plane. Every shape is
// opaque, so that a plane's antialiased edges blend as the colour's do.
class Ink {
 public:
  static constexpr int kColor = -1;
  explicit Ink(int plane) : plane_(plane) {}

  void set(cairo_t* cairo, const Rgb& color) const {
    if (plane_ == kColor) return cairo_set_source_rgb(cairo, color.red, color.green, color.blue);
    cairo_set_source_rgba(cairo, 0, 0, 0, valueOf(color));
  }

 private:
  double valueOf(const Rgb& color) const {
    const auto [r, g, b] = color;
    const double value = plane_ == 0   ? 16 + 65.481 * r + 128.553 * g + 24.966 * b
                         : plane_ == 1 ? 128 - 37.797 * r - 74.203 * g + 112 * b
                                       : 128 + 112 * r - 93.786 * g - 18.214 * b;
    return std::clamp(value / 255, 0.0, 1.0);
  }

  int plane_;
};

void drawBands(cairo_t* cairo, const Ink& ink, const SceneShot& shot) {
  const double turn = shot.seconds * kHueTurnsPerSecond;
  const double blueDiff = 40 * std::cos(turn);
  const double redDiff = 40 * std::sin(turn);
  ink.set(cairo, fromVideoRange(60, blueDiff, redDiff));
  cairo_paint(cairo);
  // Edges on even pixels, so that every plane of 4:2:0 fills whole pixels, which cairo does
  // without rasterising edges.
  const auto even = [](double length) { return 2 * std::round(length / 2); };
  const double band = std::max(2.0, even(kBandWidth * shot.height));
  const double shift = even(std::fmod(shot.seconds * kBandSpeed * shot.height, 2 * band));
  ink.set(cairo, fromVideoRange(170, blueDiff, redDiff));
  for (double left = band - shift - 2 * band; left < shot.width; left += 2 * band) {
    cairo_rectangle(cairo, left, 0, band, shot.height);
  }
  cairo_fill(cairo);
}

// 0 at the ends of the way, 1 halfway.
double triangleWave(double phase) {
  const double part = phase - std::floor(phase);
  return 1 - std::abs(1 - 2 * part);
}

void drawBall(cairo_t* cairo, const Ink& ink, const SceneShot& shot) {
  const double height = shot.height;
  const double radius = kBallRadius * height;
  const double floor = height * 0.94 - radius;
  const double across = std::max(0.0, shot.width - 2 * radius);
  const double x = radius + across * triangleWave(shot.seconds / (2 * kCrossingSeconds));
  const double y =
      floor - kBounceHeight * height * std::abs(std::sin(M_PI * shot.seconds / kBounceSeconds));
  ink.set(cairo, {0.14, 0.1, 0.22});  // its shadow on the floor
  cairo_save(cairo);
  cairo_translate(cairo, x, floor + radius);
  cairo_scale(cairo, radius, radius * 0.2);
  cairo_arc(cairo, 0, 0, 1, 0, 2 * M_PI);
  cairo_restore(cairo);
  cairo_fill(cairo);
  // Flat colours: a gradient costs cairo several times the rest of the picture.
  ink.set(cairo, {0.93, 0.42, 0.08});
  cairo_arc(cairo, x, y, radius, 0, 2 * M_PI);
  cairo_fill(cairo);
  ink.set(cairo, {1, 0.72, 0.42});  // the light on it
  cairo_arc(cairo, x - radius * 0.35, y - radius * 0.35, radius * 0.3, 0, 2 * M_PI);
  cairo_fill(cairo);
}

void drawNumber(cairo_t* cairo, const Ink& ink, const SceneShot& shot) {
  const int scale = std::max(1, shot.height / 48);
  const std::string digits = std::to_string(std::max<std::int64_t>(0, shot.number));
  ink.set(cairo, {1, 1, 1});
  for (std::size_t i = 0; i < digits.size(); ++i) {
    const auto& glyph = kDigits[static_cast<std::size_t>(digits[i] - '0')];
    for (int row = 0; row < 5; ++row) {
      for (int column = 0; column < 3; ++column) {
        if ((glyph[static_cast<std::size_t>(row)] >> (2 - column) & 1) == 0) continue;
        cairo_rectangle(cairo, (2 + static_cast<int>(i) * 4 + column) * scale, (2 + row) * scale,
                        scale, scale);
      }
    }
  }
  cairo_fill(cairo);
}

void draw(cairo_t* cairo, const Ink& ink, const SceneShot& shot) {
  cairo_save(cairo);
  cairo_rectangle(cairo, 0, 0, shot.width, shot.height);
  cairo_clip(cairo);
  drawBands(cairo, ink, shot);
  drawBall(cairo, ink, shot);
  drawNumber(cairo, ink, shot);
  cairo_restore(cairo);
}

}  // namespace

void drawScene(CGContextRef context, const SceneShot& shot) {
  cairo_t* cairo = cairoOf(context);
  if (cairo == nullptr || shot.width <= 0 || shot.height <= 0) return;
  draw(cairo, Ink(Ink::kColor), shot);
}

void drawScenePlanes(std::uint8_t* const planes[3], const int strides[3], const SceneShot& shot) {
  for (int plane = 0; plane < 3; ++plane) {
    const int shrink = plane == 0 ? 1 : 2;  // 4:2:0: chroma at half the size each way
    CairoSurfacePtr surface(cairo_image_surface_create_for_data(
        planes[plane], CAIRO_FORMAT_A8, (shot.width + shrink - 1) / shrink,
        (shot.height + shrink - 1) / shrink, strides[plane]));
    CairoContextPtr cairo(cairo_create(surface.get()));
    cairo_set_operator(cairo.get(), CAIRO_OPERATOR_SOURCE);
    cairo_scale(cairo.get(), 1.0 / shrink, 1.0 / shrink);
    draw(cairo.get(), Ink(plane), shot);
    cairo_surface_flush(surface.get());
  }
}

double sceneTimeNow() {
  return static_cast<double>(Clock::now() - Clock::kVirtualStart) / 1e9;
}

SceneShot shotAt(double seconds, double framesPerSecond, int width, int height) {
  const double rate = framesPerSecond > 0 ? framesPerSecond : 30;
  // A millionth of a frame of slack: an instant a whole number of frames in is that frame.
  const auto number = static_cast<std::int64_t>(std::floor(std::max(0.0, seconds) * rate + 1e-6));
  return {static_cast<double>(number) / rate, number, width, height};
}

}  // namespace qv::media
