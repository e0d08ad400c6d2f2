// The Settings screen with the settings pane open, drawn as iOS 7 and 8 draw it: a navigation
// bar with the pane's title and the way back to Settings, then a grouped table of the
// specifier list (group headers and footers; each row's label on the left, its switch or its
// text on the right), at the screen's size.
#pragma once

#include <string>

#include "platform/CoreGraphics/Bitmap.h"
#include "port/CoreGraphics/CGGeometry.h"
#include "sim/language/Value.h"
#include "sim/settings/SpecifierList.h"

namespace qv::sim {

struct PaneView {
  const SpecifierList* list = nullptr;
  ValueMap shown;       // each row's key and what it shows: a boolean for a switch, else text
  std::string visible;  // the key of a row the table is scrolled to show; empty: the top
  CGSize screen{};
  std::string editing;  // the key of the text field being edited; empty: none
};

// At `scale` pixels per point (2 for a high-density display).
Bitmap drawPane(const PaneView& view, double scale = 1);

// The row drawn under a point of the screen (points), where the table shows it; null for none
// (the bar, a header, a footer, the space below the table).
const Specifier* rowAt(const PaneView& view, CGPoint point);

}  // namespace qv::sim
