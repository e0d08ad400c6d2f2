// Owning handles for cairo objects: each one is destroyed exactly once, when its handle goes.
#pragma once

#include <cairo.h>

#include <memory>

namespace qv {

struct CairoDeleter {
  void operator()(cairo_t* cairo) const { cairo_destroy(cairo); }
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
  void operator()(cairo_pattern_t* pattern) const { cairo_pattern_destroy(pattern); }
  void operator()(cairo_path_t* path) const { cairo_path_destroy(path); }
};

using CairoContextPtr = std::unique_ptr<cairo_t, CairoDeleter>;
using CairoSurfacePtr = std::unique_ptr<cairo_surface_t, CairoDeleter>;
using CairoPatternPtr = std::unique_ptr<cairo_pattern_t, CairoDeleter>;
using CairoPathPtr = std::unique_ptr<cairo_path_t, CairoDeleter>;

}  // namespace qv
