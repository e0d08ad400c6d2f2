#include "platform/CoreGraphics/Bitmap.h"

#include <png.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <utility>

#include "platform/CoreGraphics/CGCairo.h"

namespace qv {

Bitmap::Bitmap(int width, int height)
    : width_(std::max(width, 1)),
      height_(std::max(height, 1)),
      surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width_, height_)) {
  CairoContextPtr cairo(cairo_create(surface_.get()));
  context_ = CGContextCreateWithCairo(cairo.get());
}

Bitmap::~Bitmap() {
  CGContextRelease(context_);
}

Bitmap::Bitmap(Bitmap&& other) noexcept
    : width_(other.width_),
      height_(other.height_),
      surface_(std::move(other.surface_)),
      context_(std::exchange(other.context_, nullptr)) {}

Bitmap& Bitmap::operator=(Bitmap&& other) noexcept {
  std::swap(width_, other.width_);
  std::swap(height_, other.height_);
  std::swap(surface_, other.surface_);
  std::swap(context_, other.context_);
  return *this;
}

Pixel Bitmap::pixel(int x, int y) const {
  if (surface_ == nullptr || x < 0 || y < 0 || x >= width_ || y >= height_) return {};
  cairo_surface_flush(surface_.get());
  const unsigned char* row =
      cairo_image_surface_get_data(surface_.get()) +
      static_cast<std::ptrdiff_t>(y) * cairo_image_surface_get_stride(surface_.get());
  const std::uint32_t argb = reinterpret_cast<const std::uint32_t*>(row)[x];
  const std::uint32_t alpha = argb >> 24;
  auto straight = [alpha](std::uint32_t premultiplied) {
    return static_cast<std::uint8_t>(alpha == 0 ? 0 : (premultiplied * 255 + alpha / 2) / alpha);
  };
  return {straight((argb >> 16) & 0xFF), straight((argb >> 8) & 0xFF), straight(argb & 0xFF),
          static_cast<std::uint8_t>(alpha)};
}

bool Bitmap::writePNG(const std::string& path) const {
  if (surface_ == nullptr) return false;
  cairo_surface_flush(surface_.get());
  return cairo_surface_write_to_png(surface_.get(), path.c_str()) == CAIRO_STATUS_SUCCESS;
}

bool Bitmap::writeQuickPNG(const std::string& path) {
  if (surface_ == nullptr) return false;
  // On black, as a display shows it: every pixel opaque, so cairo's premultiplied words are
  // the straight ones libpng takes.
  cairo_t* cr = cairo_create(surface_.get());
  cairo_set_operator(cr, CAIRO_OPERATOR_DEST_OVER);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface_.get());
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width_);
  image.height = static_cast<png_uint_32>(height_);
  // cairo's words are native-endian ARGB.
  image.format = std::endian::native == std::endian::little ? PNG_FORMAT_BGRA : PNG_FORMAT_ARGB;
  image.flags = PNG_IMAGE_FLAG_FAST;
  const bool written =
      png_image_write_to_file(&image, path.c_str(), 0, cairo_image_surface_get_data(surface_.get()),
                              cairo_image_surface_get_stride(surface_.get()), nullptr) != 0;
  png_image_free(&image);
  return written;
}

bool pixelsClose(const Pixel& a, const Pixel& b, int tolerance) {
  return std::abs(a.red - b.red) <= tolerance && std::abs(a.green - b.green) <= tolerance &&
         std::abs(a.blue - b.blue) <= tolerance && std::abs(a.alpha - b.alpha) <= tolerance;
}

}  // namespace qv
