// What the simulated camera screen draws with, through the platform's messages.
#pragma once

#include <string>

#include "platform/UIKit/UIKit.h"

namespace qv::host {

id systemFont(double size, bool bold = false);
id rgbColor(double red, double green, double blue, double alpha = 1);

// Draws the text on one line, centred on the point, in the current context.
void drawCentredText(const std::string& text, id font, id color, CGPoint centre);

// Draws the text on one line from its top-left corner.
void drawTextAt(const std::string& text, id font, id color, CGPoint origin);

// The system font at `size`, or smaller so that the text is at most `width` wide.
id fittingSystemFont(const std::string& text, double size, double width, bool bold);

}  // namespace qv::host
