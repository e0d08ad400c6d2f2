// What the stand-in camera films: moving bands under a turning hue, a ball that bounces across
// them and the frame's number at the top left. Every motion is a function of the scene's time
// alone, so that the same instant always gives the same picture, and a clip filmed at 240 fps
// and played at an eighth of its speed shows the ball an eighth as fast.
#pragma once

#include <cstdint>

#include "port/CoreGraphics/CGContext.h"

namespace qv::media {

struct SceneShot {
  double seconds = 0;       // the scene's time
  std::int64_t number = 0;  // the frame number written on the picture
  int width = 0;            // the picture's size in pixels; the scene scales with the height
  int height = 0;
};

// Draws the whole picture of the shot into [0, width] x [0, height] of the context's user space.
void drawScene(CGContextRef context, const SceneShot& shot);

// The same picture written straight into the three 8-bit planes of video-range BT.601 YCbCr
// 4:2:0 (an encoder's frame), each drawn at its own size, without a conversion pass. Rows must
// start at multiples of four bytes.
void drawScenePlanes(std::uint8_t* const planes[3], const int strides[3], const SceneShot& shot);

// The scene's time now: seconds on the platform's clock since its virtual start, so that a
// preview and a recording at one instant see the same picture.
double sceneTimeNow();

// The shot a camera filming at `framesPerSecond` takes at `seconds`: the latest frame's instant
// and its number, counted from the scene's start.
SceneShot shotAt(double seconds, double framesPerSecond, int width, int height);

}  // namespace qv::media
