// The bridge between CoreGraphics contexts and cairo, for the platform's own drawing code (text,
// snapshots) and tests.
#pragma once

#include <cairo.h>

#include "port/CoreGraphics/CGContext.h"

namespace qv {

// A new context (+1, release with CGContextRelease) drawing through `cairo`, which it
// references for its own lifetime. Its graphics state starts as the platform's: black fill and
// stroke, line width 1.
CGContextRef CGContextCreateWithCairo(cairo_t* cairo);

// The cairo context a context draws through; NULL for NULL.
cairo_t* cairoOf(CGContextRef context);

}  // namespace qv
