// CoreGraphics geometry: points, sizes, rectangles and affine transforms, with the platform's
// names and conventions.
//
// Coordinates are CGFloat: double on 64-bit targets, float on 32-bit devices. Rectangle
// accessors work on the standardised rectangle, so a negative width or height reads as the same
// area with its origin moved. Transforms map row vectors: x' = a·x + c·y + tx, y' = b·x + d·y + ty,
// and CGAffineTransformConcat(t1, t2) applies t1 first, then t2. In a y-down view space a positive
// rotation angle turns clockwise on screen.
#pragma once

#include <algorithm>
#include <cmath>

#include "port/objc/Encoding.h"

#if defined(__LP64__)
using CGFloat = double;
#define QV_CGFLOAT_ENCODING "d"
#else
using CGFloat = float;
#define QV_CGFLOAT_ENCODING "f"
#endif

struct CGPoint {
  CGFloat x = 0;
  CGFloat y = 0;
};

struct CGSize {
  CGFloat width = 0;
  CGFloat height = 0;
};

struct CGRect {
  CGPoint origin;
  CGSize size;
};

struct CGAffineTransform {
  CGFloat a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
};

namespace qv {
#define QV_CGFLOAT2 QV_CGFLOAT_ENCODING QV_CGFLOAT_ENCODING
QV_OBJC_STRUCT_ENCODING(CGPoint, "{CGPoint=" QV_CGFLOAT2 "}");
QV_OBJC_STRUCT_ENCODING(CGSize, "{CGSize=" QV_CGFLOAT2 "}");
QV_OBJC_STRUCT_ENCODING(CGRect, "{CGRect={CGPoint=" QV_CGFLOAT2 "}{CGSize=" QV_CGFLOAT2 "}}");
QV_OBJC_STRUCT_ENCODING(CGAffineTransform,
                        "{CGAffineTransform=" QV_CGFLOAT2 QV_CGFLOAT2 QV_CGFLOAT2 "}");
#undef QV_CGFLOAT2
}  // namespace qv

inline constexpr CGPoint CGPointZero{0, 0};
inline constexpr CGSize CGSizeZero{0, 0};
inline constexpr CGRect CGRectZero{{0, 0}, {0, 0}};
inline constexpr CGAffineTransform CGAffineTransformIdentity{1, 0, 0, 1, 0, 0};

// Construction.

constexpr CGPoint CGPointMake(CGFloat x, CGFloat y) {
  return {x, y};
}
constexpr CGSize CGSizeMake(CGFloat width, CGFloat height) {
  return {width, height};
}
constexpr CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat width, CGFloat height) {
  return {{x, y}, {width, height}};
}

// Rectangle accessors.

inline CGRect CGRectStandardize(CGRect rect) {
  if (rect.size.width < 0) {
    rect.origin.x += rect.size.width;
    rect.size.width = -rect.size.width;
  }
  if (rect.size.height < 0) {
    rect.origin.y += rect.size.height;
    rect.size.height = -rect.size.height;
  }
  return rect;
}

inline CGFloat CGRectGetMinX(CGRect rect) {
  return CGRectStandardize(rect).origin.x;
}
inline CGFloat CGRectGetMinY(CGRect rect) {
  return CGRectStandardize(rect).origin.y;
}
inline CGFloat CGRectGetWidth(CGRect rect) {
  return std::fabs(rect.size.width);
}
inline CGFloat CGRectGetHeight(CGRect rect) {
  return std::fabs(rect.size.height);
}
inline CGFloat CGRectGetMaxX(CGRect rect) {
  return CGRectGetMinX(rect) + CGRectGetWidth(rect);
}
inline CGFloat CGRectGetMaxY(CGRect rect) {
  return CGRectGetMinY(rect) + CGRectGetHeight(rect);
}
inline CGFloat CGRectGetMidX(CGRect rect) {
  return CGRectGetMinX(rect) + CGRectGetWidth(rect) / 2;
}
inline CGFloat CGRectGetMidY(CGRect rect) {
  return CGRectGetMinY(rect) + CGRectGetHeight(rect) / 2;
}

// The rectangle moved in by dx on the left and right and dy at the top and bottom (out, for
// negative values), standardized first.
inline CGRect CGRectInset(CGRect rect, CGFloat dx, CGFloat dy) {
  const CGRect r = CGRectStandardize(rect);
  return CGRectMake(r.origin.x + dx, r.origin.y + dy, r.size.width - 2 * dx,
                    r.size.height - 2 * dy);
}

inline bool CGRectIsEmpty(CGRect rect) {
  return rect.size.width == 0 || rect.size.height == 0;
}

inline bool CGRectContainsPoint(CGRect rect, CGPoint point) {
  return point.x >= CGRectGetMinX(rect) && point.x < CGRectGetMaxX(rect) &&
         point.y >= CGRectGetMinY(rect) && point.y < CGRectGetMaxY(rect);
}

// Comparison.

constexpr bool CGPointEqualToPoint(CGPoint p1, CGPoint p2) {
  return p1.x == p2.x && p1.y == p2.y;
}
constexpr bool CGSizeEqualToSize(CGSize s1, CGSize s2) {
  return s1.width == s2.width && s1.height == s2.height;
}
inline bool CGRectEqualToRect(CGRect r1, CGRect r2) {
  const CGRect a = CGRectStandardize(r1);
  const CGRect b = CGRectStandardize(r2);
  return CGPointEqualToPoint(a.origin, b.origin) && CGSizeEqualToSize(a.size, b.size);
}

// Affine transforms.

constexpr CGAffineTransform CGAffineTransformMake(CGFloat a, CGFloat b, CGFloat c, CGFloat d,
                                                  CGFloat tx, CGFloat ty) {
  return {a, b, c, d, tx, ty};
}
constexpr CGAffineTransform CGAffineTransformMakeScale(CGFloat sx, CGFloat sy) {
  return {sx, 0, 0, sy, 0, 0};
}
constexpr CGAffineTransform CGAffineTransformMakeTranslation(CGFloat tx, CGFloat ty) {
  return {1, 0, 0, 1, tx, ty};
}
inline CGAffineTransform CGAffineTransformMakeRotation(CGFloat angle) {
  const CGFloat cosine = std::cos(angle);
  const CGFloat sine = std::sin(angle);
  return {cosine, sine, -sine, cosine, 0, 0};
}

// t1 first, then t2.
constexpr CGAffineTransform CGAffineTransformConcat(CGAffineTransform t1, CGAffineTransform t2) {
  return {t1.a * t2.a + t1.b * t2.c,           t1.a * t2.b + t1.b * t2.d,
          t1.c * t2.a + t1.d * t2.c,           t1.c * t2.b + t1.d * t2.d,
          t1.tx * t2.a + t1.ty * t2.c + t2.tx, t1.tx * t2.b + t1.ty * t2.d + t2.ty};
}

// The three below apply their own operation first, then `t`.
constexpr CGAffineTransform CGAffineTransformScale(CGAffineTransform t, CGFloat sx, CGFloat sy) {
  return CGAffineTransformConcat(CGAffineTransformMakeScale(sx, sy), t);
}
constexpr CGAffineTransform CGAffineTransformTranslate(CGAffineTransform t, CGFloat tx,
                                                       CGFloat ty) {
  return CGAffineTransformConcat(CGAffineTransformMakeTranslation(tx, ty), t);
}
inline CGAffineTransform CGAffineTransformRotate(CGAffineTransform t, CGFloat angle) {
  return CGAffineTransformConcat(CGAffineTransformMakeRotation(angle), t);
}

// A singular transform cannot be inverted and comes back unchanged, as on the platform.
constexpr CGAffineTransform CGAffineTransformInvert(CGAffineTransform t) {
  const CGFloat determinant = t.a * t.d - t.b * t.c;
  if (determinant == 0) return t;
  const CGFloat a = t.d / determinant;
  const CGFloat b = -t.b / determinant;
  const CGFloat c = -t.c / determinant;
  const CGFloat d = t.a / determinant;
  return {a, b, c, d, -(t.tx * a + t.ty * c), -(t.tx * b + t.ty * d)};
}

constexpr bool CGAffineTransformEqualToTransform(CGAffineTransform t1, CGAffineTransform t2) {
  return t1.a == t2.a && t1.b == t2.b && t1.c == t2.c && t1.d == t2.d && t1.tx == t2.tx &&
         t1.ty == t2.ty;
}
constexpr bool CGAffineTransformIsIdentity(CGAffineTransform t) {
  return CGAffineTransformEqualToTransform(t, CGAffineTransformIdentity);
}

constexpr CGPoint CGPointApplyAffineTransform(CGPoint p, CGAffineTransform t) {
  return {t.a * p.x + t.c * p.y + t.tx, t.b * p.x + t.d * p.y + t.ty};
}
constexpr CGSize CGSizeApplyAffineTransform(CGSize s, CGAffineTransform t) {
  return {t.a * s.width + t.c * s.height, t.b * s.width + t.d * s.height};
}

// The smallest rectangle holding the transformed corners.
inline CGRect CGRectApplyAffineTransform(CGRect rect, CGAffineTransform t) {
  const CGRect r = CGRectStandardize(rect);
  const CGPoint corners[] = {CGPointApplyAffineTransform(r.origin, t),
                             CGPointApplyAffineTransform({CGRectGetMaxX(r), r.origin.y}, t),
                             CGPointApplyAffineTransform({r.origin.x, CGRectGetMaxY(r)}, t),
                             CGPointApplyAffineTransform({CGRectGetMaxX(r), CGRectGetMaxY(r)}, t)};
  CGFloat minX = corners[0].x, maxX = corners[0].x, minY = corners[0].y, maxY = corners[0].y;
  for (const CGPoint& corner : corners) {
    minX = std::min(minX, corner.x);
    maxX = std::max(maxX, corner.x);
    minY = std::min(minY, corner.y);
    maxY = std::max(maxY, corner.y);
  }
  return CGRectMake(minX, minY, maxX - minX, maxY - minY);
}
