// Snapshots: a view tree rendered as the screen shows it, to an image in memory or a PNG file.
//
// The root view fills the image (its bounds, `scale` pixels per point: 1, or 2 for a
// high-density display) and clips everything to it. Layout stays in points: the views draw
// through a scaled context, sharp at any scale.
// Each view draws its background colour, then its drawRect: (sent as a message, so subclasses
// and hooks are reached), then its children back to front, with alpha, hidden and transforms
// (about the view's centre) applied, using the presentation values of running animations.
#pragma once

#include <string>

#include "platform/CoreGraphics/Bitmap.h"

namespace qv::ui {

Bitmap snapshot(id view, double scale = 1);

// How a snapshot's PNG is written: small, to be kept, or quick, to be shown at once.
enum class PngWriting { Small, Quick };

// Writes the snapshot as PNG; false when it cannot be written.
bool writeSnapshot(id view, const std::string& path, double scale = 1,
                   PngWriting writing = PngWriting::Small);

}  // namespace qv::ui
