// A clip's pictures as a player and an album show them: the frame at an instant, decoded with
// libavcodec and scaled with libswscale to the size the screen asks for, kept per clip and
// instant, so that drawing the same instant again costs nothing and playing on decodes only the
// frames between. Paths are host paths (already resolved under the file-system root).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "port/CoreGraphics/CGContext.h"

namespace qv::media {

// Pixels as cairo's RGB24 takes them: 32 bits a pixel, rows `stride` bytes apart.
struct Picture {
  int width = 0;
  int height = 0;
  int stride = 0;
  std::vector<std::uint8_t> pixels;
  std::int64_t frame = 0;  // the frame's number in the clip: its time at the clip's rate
  double start = 0;        // seconds of the clip the frame shows, [start, end)
  double end = 0;
};

enum class PictureFit {
  inside,   // the whole frame, as large as fits in the box
  filling,  // the box covered, the frame's overflow cut off when drawn
};

// The frame shown at `seconds` of the clip: the last one that starts at or before it (the first
// before the clip, the last after it), scaled to `width`×`height` by `fit` with its shape kept.
// Null when the file holds no video track that reads or decodes. Never raises.
std::shared_ptr<const Picture> pictureAt(const std::string& path, double seconds, int width,
                                         int height, PictureFit fit);

// Draws the picture centred in `box`, cut off at its edges.
void drawPicture(CGContextRef context, const Picture& picture, CGRect box);

// What the platform shows for a video that cannot be played: a struck-through play mark on grey.
void drawUnplayable(CGContextRef context, CGRect box);

}  // namespace qv::media
