// An in-memory ARGB image with a drawing context on it: the target of snapshots, and what tests
// read pixels from.
#pragma once

#include <cstdint>
#include <string>

#include "platform/CoreGraphics/CairoHandles.h"
#include "port/CoreGraphics/CGContext.h"

namespace qv {

// One pixel with straight (not premultiplied) 8-bit channels.
struct Pixel {
  std::uint8_t red = 0, green = 0, blue = 0, alpha = 0;
  bool operator==(const Pixel&) const = default;
};

class Bitmap {
 public:
  // A transparent image; sizes below 1 are raised to 1.
  Bitmap(int width, int height);
  ~Bitmap();
  Bitmap(Bitmap&& other) noexcept;
  Bitmap& operator=(Bitmap&& other) noexcept;
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;

  int width() const { return width_; }
  int height() const { return height_; }

  // The pixel at column x, row y; a transparent pixel outside the image.
  Pixel pixel(int x, int y) const;

  // The context drawing into this image (owned by the bitmap), in the platform's y-down
  // coordinates with one point per pixel.
  CGContextRef context() const { return context_; }

  // Writes a PNG file; false (with nothing claimed written) when cairo cannot write it.
  bool writePNG(const std::string& path) const;

  // The picture laid on black, as a display shows it, written five times as fast and a few
  // times larger: light compression, for a picture shown at once rather than kept.
  bool writeQuickPNG(const std::string& path);

 private:
  int width_ = 0;
  int height_ = 0;
  CairoSurfacePtr surface_;
  CGContextRef context_ = nullptr;
};

// Channels of two pixels differ by at most `tolerance` each.
bool pixelsClose(const Pixel& a, const Pixel& b, int tolerance);

}  // namespace qv
