// CoreGraphics drawing: colour spaces, colours, gradients and the drawing context, with the
// platform's names. A context draws through cairo.
//
// The objects are reference counted as on the platform: what a Create function returns is the
// caller's to Release; the Retain and Release functions accept NULL. Every context function
// called with a NULL context writes one error line to standard error and does nothing.
//
// A context's user space is the one UIKit hands to drawRect:: origin at the top left, y growing
// downwards. Angles are measured from the x axis towards the y axis, so increasing angles turn
// clockwise on screen; CGContextAddArc's `clockwise` flag counts in the platform's unflipped
// terms, so 0 draws with increasing angles (clockwise on screen) and 1 with decreasing ones.
#pragma once

#include <cstddef>

#include "port/CoreGraphics/CGGeometry.h"

using CGContextRef = struct CGContext*;
using CGColorRef = const struct CGColor*;
using CGColorSpaceRef = struct CGColorSpace*;
using CGGradientRef = struct CGGradient*;

using CGGradientDrawingOptions = unsigned int;
inline constexpr CGGradientDrawingOptions kCGGradientDrawsBeforeStartLocation = 1;
inline constexpr CGGradientDrawingOptions kCGGradientDrawsAfterEndLocation = 2;

enum CGLineCap : int { kCGLineCapButt = 0, kCGLineCapRound = 1, kCGLineCapSquare = 2 };

extern "C" {

// Colour spaces. Only the device RGB and grey spaces exist.
CGColorSpaceRef CGColorSpaceCreateDeviceRGB();
CGColorSpaceRef CGColorSpaceCreateDeviceGray();
CGColorSpaceRef CGColorSpaceRetain(CGColorSpaceRef space);
void CGColorSpaceRelease(CGColorSpaceRef space);
std::size_t CGColorSpaceGetNumberOfComponents(CGColorSpaceRef space);

// Colours: the space's components followed by alpha. Components are clamped to [0, 1].
CGColorRef CGColorCreate(CGColorSpaceRef space, const CGFloat* components);
CGColorRef CGColorRetain(CGColorRef color);
void CGColorRelease(CGColorRef color);
std::size_t CGColorGetNumberOfComponents(CGColorRef color);
const CGFloat* CGColorGetComponents(CGColorRef color);
CGFloat CGColorGetAlpha(CGColorRef color);
bool CGColorEqualToColor(CGColorRef color1, CGColorRef color2);

// Gradients: `count` colours of the space's components plus alpha, at `locations` in [0, 1]
// (NULL spreads them evenly from 0 to 1). NULL when the arguments describe no gradient.
CGGradientRef CGGradientCreateWithColorComponents(CGColorSpaceRef space, const CGFloat* components,
                                                  const CGFloat* locations, std::size_t count);
CGGradientRef CGGradientRetain(CGGradientRef gradient);
void CGGradientRelease(CGGradientRef gradient);

// Contexts.
CGContextRef CGContextRetain(CGContextRef context);
void CGContextRelease(CGContextRef context);

void CGContextSaveGState(CGContextRef context);
void CGContextRestoreGState(CGContextRef context);

void CGContextTranslateCTM(CGContextRef context, CGFloat tx, CGFloat ty);
void CGContextScaleCTM(CGContextRef context, CGFloat sx, CGFloat sy);
void CGContextRotateCTM(CGContextRef context, CGFloat angle);
void CGContextConcatCTM(CGContextRef context, CGAffineTransform transform);
CGAffineTransform CGContextGetCTM(CGContextRef context);

void CGContextSetFillColorWithColor(CGContextRef context, CGColorRef color);
void CGContextSetRGBFillColor(CGContextRef context, CGFloat red, CGFloat green, CGFloat blue,
                              CGFloat alpha);
void CGContextSetGrayFillColor(CGContextRef context, CGFloat gray, CGFloat alpha);
void CGContextSetStrokeColorWithColor(CGContextRef context, CGColorRef color);
void CGContextSetRGBStrokeColor(CGContextRef context, CGFloat red, CGFloat green, CGFloat blue,
                                CGFloat alpha);
void CGContextSetLineWidth(CGContextRef context, CGFloat width);
void CGContextSetLineCap(CGContextRef context, CGLineCap cap);

void CGContextBeginPath(CGContextRef context);
void CGContextMoveToPoint(CGContextRef context, CGFloat x, CGFloat y);
void CGContextAddLineToPoint(CGContextRef context, CGFloat x, CGFloat y);
void CGContextAddArc(CGContextRef context, CGFloat x, CGFloat y, CGFloat radius, CGFloat startAngle,
                     CGFloat endAngle, int clockwise);
void CGContextAddRect(CGContextRef context, CGRect rect);
void CGContextAddEllipseInRect(CGContextRef context, CGRect rect);
void CGContextClosePath(CGContextRef context);
bool CGContextIsPathEmpty(CGContextRef context);

// Fills use the non-zero winding rule; filling and stroking consume the current path.
void CGContextFillPath(CGContextRef context);
void CGContextStrokePath(CGContextRef context);
// These leave the current path as it is.
void CGContextFillRect(CGContextRef context, CGRect rect);
void CGContextFillEllipseInRect(CGContextRef context, CGRect rect);
void CGContextClipToRect(CGContextRef context, CGRect rect);

void CGContextDrawRadialGradient(CGContextRef context, CGGradientRef gradient, CGPoint startCenter,
                                 CGFloat startRadius, CGPoint endCenter, CGFloat endRadius,
                                 CGGradientDrawingOptions options);

}  // extern "C"
