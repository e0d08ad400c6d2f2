// Text measurement and drawing with Pango: the one module through which labels, string drawing
// and snapshots lay out text.
//
// Fonts are pinned to the DejaVu files of fonts-dejavu-core through a private fontconfig
// configuration that holds only that folder, and text is laid out at 72 dpi (one point is one
// pixel) without hinting, hint metrics or glyph-position rounding, so every figure is the same
// on every machine. Sizes are logical extents and are not rounded: callers that want whole
// points (UILabel's sizeThatFits:) round up themselves. Safe to call from any thread.
#pragma once

#include <string>
#include <string_view>

#include "port/CoreGraphics/CGContext.h"

namespace qv::text {

struct Font {
  std::string family = "DejaVu Sans";
  bool bold = false;
  bool italic = false;
  double size = 17;  // points

  bool operator==(const Font&) const = default;
};

// The font for a PostScript name ("DejaVuSans-Bold"); false for a name of no pinned file.
bool fontNamed(std::string_view postScriptName, double size, Font& font);
std::string postScriptName(const Font& font);

// The height of one line of the font (ascent plus descent).
double lineHeight(const Font& font);

// The size of the text on one line; line breaks in it do not start new lines.
CGSize lineSize(std::string_view text, const Font& font);

// The size of the text wrapped at `maxSize.width`, line breaks starting new lines, keeping only
// the whole lines that fit in `maxSize.height` (and at most `maxLines` lines, 0 for no limit).
// A maximum of 0 or less, or an infinite one, sets no limit in that direction. The width is the
// widest kept line's.
CGSize wrappedSize(std::string_view text, const Font& font, CGSize maxSize, int maxLines = 0);

enum class Alignment { left = 0, center = 1, right = 2 };

struct DrawOptions {
  Alignment alignment = Alignment::left;
  int maxLines = 0;      // 0: as many as fit in the rectangle's height
  bool truncate = true;  // an ellipsis ends text that does not fit
};

// Draws the text from the top of `rect` in `color`, wrapped to the rectangle's width (on one
// line when maxLines is 1), with the context's current transform.
void draw(CGContextRef context, std::string_view text, const Font& font, CGColorRef color,
          CGRect rect, const DrawOptions& options);

}  // namespace qv::text
