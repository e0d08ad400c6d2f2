// quorvane-icon: draws the pane's icon, a slow-motion dial on a rounded tile, with the
// platform's drawing code, at 29 points and the given scale.
//
//     quorvane-icon OUT.png [SCALE]      SCALE 1 (29×29, the default) or 2 (58×58)
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>

#include "platform/CoreGraphics/Bitmap.h"

namespace {

constexpr CGFloat kSide = 29;
constexpr int kTicks = 24;

void drawTile(CGContextRef context) {
  constexpr CGFloat kCorner = 6.5;
  CGContextSetRGBFillColor(context, 0.95, 0.55, 0.10, 1);
  CGContextBeginPath(context);
  CGContextAddArc(context, kSide - kCorner, kCorner, kCorner, -std::numbers::pi / 2, 0, 0);
  CGContextAddArc(context, kSide - kCorner, kSide - kCorner, kCorner, 0, std::numbers::pi / 2, 0);
  CGContextAddArc(context, kCorner, kSide - kCorner, kCorner, std::numbers::pi / 2,
                  std::numbers::pi, 0);
  CGContextAddArc(context, kCorner, kCorner, kCorner, std::numbers::pi, 1.5 * std::numbers::pi, 0);
  CGContextClosePath(context);
  CGContextFillPath(context);
}

// The dial: ticks around the centre, sparse on one half as slow motion spaces its frames.
void drawDial(CGContextRef context) {
  constexpr CGFloat kOuter = 11, kInner = 7.5;
  CGContextSetRGBStrokeColor(context, 1, 1, 1, 1);
  CGContextSetLineCap(context, kCGLineCapRound);
  for (int tick = 0; tick < kTicks; ++tick) {
    if (tick >= kTicks / 2 && tick % 2 == 1) continue;
    const double angle = 2 * std::numbers::pi * tick / kTicks;
    CGContextSetLineWidth(context, tick < kTicks / 2 ? 1.2 : 2.0);
    CGContextBeginPath(context);
    CGContextMoveToPoint(context, kSide / 2 + kInner * std::cos(angle),
                         kSide / 2 + kInner * std::sin(angle));
    CGContextAddLineToPoint(context, kSide / 2 + kOuter * std::cos(angle),
                            kSide / 2 + kOuter * std::sin(angle));
    CGContextStrokePath(context);
  }
  CGContextSetRGBFillColor(context, 1, 1, 1, 1);
  CGContextFillEllipseInRect(context, CGRectMake(kSide / 2 - 2.5, kSide / 2 - 2.5, 5, 5));
}

}  // namespace

int main(int argc, char** argv) {
  const std::string scaleText = argc == 3 ? argv[2] : "1";
  if ((argc != 2 && argc != 3) || (scaleText != "1" && scaleText != "2")) {
    std::fputs("usage: quorvane-icon OUT.png [1|2]\n", stderr);
    return 2;
  }
  const int scale = scaleText == "2" ? 2 : 1;
  qv::Bitmap icon(static_cast<int>(kSide) * scale, static_cast<int>(kSide) * scale);
  CGContextScaleCTM(icon.context(), scale, scale);
  drawTile(icon.context());
  drawDial(icon.context());
  if (!icon.writePNG(argv[1])) {
    std::fprintf(stderr, "quorvane-icon: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
