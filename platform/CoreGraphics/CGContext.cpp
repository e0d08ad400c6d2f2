#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <numbers>

#include "platform/CoreGraphics/CGCairo.h"
#include "platform/CoreGraphics/CGObjects.h"

CGContext::CGContext(cairo_t* target) : cairo(cairo_reference(target)) {
  cairo_set_line_width(target, 1.0);
  cairo_set_fill_rule(target, CAIRO_FILL_RULE_WINDING);
}

namespace {

// The context, when it can draw; otherwise reports the call as the platform does.
CGContext* usable(CGContextRef context, const char* function) {
  if (context != nullptr) return context;
  std::fprintf(stderr, "<Error>: %s: invalid context 0x0\n", function);
  return nullptr;
}

// As above, and with an invertible CTM (a singular one leaves nothing to draw or add).
CGContext* drawable(CGContextRef context, const char* function) {
  CGContext* c = usable(context, function);
  return c != nullptr && !c->state.singular ? c : nullptr;
}

// Device RGB components, held as a colour made from them holds them.
qv::RGBA deviceRGBA(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
  return {qv::clampUnit(red), qv::clampUnit(green), qv::clampUnit(blue), qv::clampUnit(alpha)};
}

bool finite(std::initializer_list<double> values) {
  for (double v : values) {
    if (!std::isfinite(v)) return false;
  }
  return true;
}

bool validPoint(const char* function, std::initializer_list<double> values) {
  if (finite(values)) return true;
  std::fprintf(stderr, "<Error>: %s: invalid value\n", function);
  return false;
}

void setSource(cairo_t* cairo, const qv::RGBA& color) {
  cairo_set_source_rgba(cairo, color.red, color.green, color.blue, color.alpha);
}

// Runs `draw` on a path of its own, then puts the caller's current path back.
template <typename Draw>
void withSeparatePath(cairo_t* cairo, Draw draw) {
  qv::CairoPathPtr saved(cairo_copy_path(cairo));
  cairo_new_path(cairo);
  draw();
  cairo_new_path(cairo);
  if (saved->status == CAIRO_STATUS_SUCCESS) cairo_append_path(cairo, saved.get());
}

cairo_matrix_t toCairo(const CGAffineTransform& t) {
  cairo_matrix_t m;
  cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
  return m;
}

// Prepends `transform` to the CTM. cairo refuses a singular matrix by failing the whole
// context for good, so that case only marks the state; the platform then draws nothing.
void concat(CGContextRef context, const CGAffineTransform& transform, const char* function) {
  CGContext* c = usable(context, function);
  if (c == nullptr || c->state.singular) return;
  cairo_matrix_t m = toCairo(transform);
  cairo_matrix_t product;
  cairo_get_matrix(c->cairo.get(), &product);
  cairo_matrix_multiply(&product, &m, &product);
  cairo_matrix_t inverse = product;
  if (!finite({product.xx, product.yx, product.xy, product.yy, product.x0, product.y0}) ||
      cairo_matrix_invert(&inverse) != CAIRO_STATUS_SUCCESS) {
    c->state.singular = true;
    return;
  }
  cairo_set_matrix(c->cairo.get(), &product);
}

void addEllipse(cairo_t* cairo, CGRect rect) {
  const CGRect r = CGRectStandardize(rect);
  if (CGRectIsEmpty(r)) return;
  cairo_save(cairo);
  cairo_translate(cairo, CGRectGetMidX(r), CGRectGetMidY(r));
  cairo_scale(cairo, r.size.width / 2, r.size.height / 2);
  cairo_new_sub_path(cairo);
  cairo_arc(cairo, 0, 0, 1, 0, 2 * std::numbers::pi);
  cairo_close_path(cairo);
  cairo_restore(cairo);
}

bool validRect(const char* function, CGRect r) {
  return validPoint(function, {r.origin.x, r.origin.y, r.size.width, r.size.height});
}

// The fill and the stroke colour are set alike: from a colour (nil changes nothing) or from
// device RGB components.
void setColor(CGContextRef context, const char* function, qv::RGBA CGContext::GState::*which,
              CGColorRef color) {
  CGContext* c = usable(context, function);
  if (c != nullptr && color != nullptr) c->state.*which = color->rgba;
}

void setColor(CGContextRef context, const char* function, qv::RGBA CGContext::GState::*which,
              CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
  CGContext* c = usable(context, function);
  if (c != nullptr) c->state.*which = deviceRGBA(red, green, blue, alpha);
}

void addRectangle(cairo_t* cairo, CGRect rect) {
  cairo_rectangle(cairo, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
}

// The rectangle calls: `use` runs with the context's cairo and its own path, then the caller's
// current path comes back; nothing runs for a context that cannot draw or a rectangle that is
// not finite.
template <typename Use>
void withRect(CGContextRef context, const char* function, CGRect rect, Use use) {
  CGContext* c = drawable(context, function);
  if (c == nullptr || !validRect(function, rect)) return;
  withSeparatePath(c->cairo.get(), [&] { use(*c, c->cairo.get()); });
}

}  // namespace

namespace qv {

CGContextRef CGContextCreateWithCairo(cairo_t* cairo) {
  return cairo == nullptr ? nullptr : new CGContext(cairo);
}

cairo_t* cairoOf(CGContextRef context) {
  return context == nullptr ? nullptr : context->cairo.get();
}

}  // namespace qv

CGContextRef CGContextRetain(CGContextRef context) {
  return qv::retainObject(context);
}
void CGContextRelease(CGContextRef context) {
  qv::releaseObject(context);
}

void CGContextSaveGState(CGContextRef context) {
  CGContext* c = usable(context, "CGContextSaveGState");
  if (c == nullptr) return;
  c->saved.push_back(c->state);
  cairo_save(c->cairo.get());
}

void CGContextRestoreGState(CGContextRef context) {
  CGContext* c = usable(context, "CGContextRestoreGState");
  if (c == nullptr) return;
  if (c->saved.empty()) {
    // cairo would fail the context for good on an unbalanced restore.
    std::fprintf(stderr, "<Error>: CGContextRestoreGState: no saved graphics state\n");
    return;
  }
  c->state = c->saved.back();
  c->saved.pop_back();
  cairo_restore(c->cairo.get());
}

void CGContextTranslateCTM(CGContextRef context, CGFloat tx, CGFloat ty) {
  concat(context, CGAffineTransformMakeTranslation(tx, ty), "CGContextTranslateCTM");
}

void CGContextScaleCTM(CGContextRef context, CGFloat sx, CGFloat sy) {
  concat(context, CGAffineTransformMakeScale(sx, sy), "CGContextScaleCTM");
}

void CGContextRotateCTM(CGContextRef context, CGFloat angle) {
  concat(context, CGAffineTransformMakeRotation(angle), "CGContextRotateCTM");
}

void CGContextConcatCTM(CGContextRef context, CGAffineTransform transform) {
  concat(context, transform, "CGContextConcatCTM");
}

CGAffineTransform CGContextGetCTM(CGContextRef context) {
  CGContext* c = usable(context, "CGContextGetCTM");
  if (c == nullptr) return CGAffineTransformIdentity;
  if (c->state.singular) return CGAffineTransformMake(0, 0, 0, 0, 0, 0);
  cairo_matrix_t m;
  cairo_get_matrix(c->cairo.get(), &m);
  return CGAffineTransformMake(m.xx, m.yx, m.xy, m.yy, m.x0, m.y0);
}

void CGContextSetFillColorWithColor(CGContextRef context, CGColorRef color) {
  setColor(context, "CGContextSetFillColorWithColor", &CGContext::GState::fill, color);
}

void CGContextSetRGBFillColor(CGContextRef context, CGFloat red, CGFloat green, CGFloat blue,
                              CGFloat alpha) {
  setColor(context, "CGContextSetRGBFillColor", &CGContext::GState::fill, red, green, blue, alpha);
}

void CGContextSetGrayFillColor(CGContextRef context, CGFloat gray, CGFloat alpha) {
  CGContextSetRGBFillColor(context, gray, gray, gray, alpha);
}

void CGContextSetStrokeColorWithColor(CGContextRef context, CGColorRef color) {
  setColor(context, "CGContextSetStrokeColorWithColor", &CGContext::GState::stroke, color);
}

void CGContextSetRGBStrokeColor(CGContextRef context, CGFloat red, CGFloat green, CGFloat blue,
                                CGFloat alpha) {
  setColor(context, "CGContextSetRGBStrokeColor", &CGContext::GState::stroke, red, green, blue,
           alpha);
}

void CGContextSetLineWidth(CGContextRef context, CGFloat width) {
  CGContext* c = usable(context, "CGContextSetLineWidth");
  if (c != nullptr && validPoint("CGContextSetLineWidth", {width}) && width >= 0) {
    cairo_set_line_width(c->cairo.get(), width);
  }
}

void CGContextSetLineCap(CGContextRef context, CGLineCap cap) {
  CGContext* c = usable(context, "CGContextSetLineCap");
  if (c == nullptr) return;
  switch (cap) {
    case kCGLineCapRound:
      cairo_set_line_cap(c->cairo.get(), CAIRO_LINE_CAP_ROUND);
      break;
    case kCGLineCapSquare:
      cairo_set_line_cap(c->cairo.get(), CAIRO_LINE_CAP_SQUARE);
      break;
    default:
      cairo_set_line_cap(c->cairo.get(), CAIRO_LINE_CAP_BUTT);
  }
}

void CGContextBeginPath(CGContextRef context) {
  if (CGContext* c = usable(context, "CGContextBeginPath")) cairo_new_path(c->cairo.get());
}

void CGContextMoveToPoint(CGContextRef context, CGFloat x, CGFloat y) {
  CGContext* c = drawable(context, "CGContextMoveToPoint");
  if (c != nullptr && validPoint("CGContextMoveToPoint", {x, y}))
    cairo_move_to(c->cairo.get(), x, y);
}

void CGContextAddLineToPoint(CGContextRef context, CGFloat x, CGFloat y) {
  CGContext* c = drawable(context, "CGContextAddLineToPoint");
  if (c != nullptr && validPoint("CGContextAddLineToPoint", {x, y})) {
    cairo_line_to(c->cairo.get(), x, y);
  }
}

void CGContextAddArc(CGContextRef context, CGFloat x, CGFloat y, CGFloat radius, CGFloat startAngle,
                     CGFloat endAngle, int clockwise) {
  CGContext* c = drawable(context, "CGContextAddArc");
  if (c == nullptr || !validPoint("CGContextAddArc", {x, y, radius, startAngle, endAngle}) ||
      radius < 0) {
    return;
  }
  // More than one turn draws the same circle again; keep at most one turn beyond the first so
  // that a huge angle cannot make cairo emit thousands of segments.
  constexpr double kTurn = 2 * std::numbers::pi;
  const double span = endAngle - startAngle;
  if (std::fabs(span) > 2 * kTurn)
    endAngle = startAngle + std::fmod(span, kTurn) + std::copysign(kTurn, span);
  if (clockwise == 0) {
    cairo_arc(c->cairo.get(), x, y, radius, startAngle, endAngle);
  } else {
    cairo_arc_negative(c->cairo.get(), x, y, radius, startAngle, endAngle);
  }
}

void CGContextAddRect(CGContextRef context, CGRect rect) {
  CGContext* c = drawable(context, "CGContextAddRect");
  if (c != nullptr && validRect("CGContextAddRect", rect)) addRectangle(c->cairo.get(), rect);
}

void CGContextAddEllipseInRect(CGContextRef context, CGRect rect) {
  CGContext* c = drawable(context, "CGContextAddEllipseInRect");
  if (c != nullptr && validRect("CGContextAddEllipseInRect", rect))
    addEllipse(c->cairo.get(), rect);
}

void CGContextClosePath(CGContextRef context) {
  CGContext* c = usable(context, "CGContextClosePath");
  if (c != nullptr && cairo_has_current_point(c->cairo.get())) cairo_close_path(c->cairo.get());
}

bool CGContextIsPathEmpty(CGContextRef context) {
  CGContext* c = usable(context, "CGContextIsPathEmpty");
  return c == nullptr || !cairo_has_current_point(c->cairo.get());
}

void CGContextFillPath(CGContextRef context) {
  CGContext* c = usable(context, "CGContextFillPath");
  if (c == nullptr) return;
  setSource(c->cairo.get(), c->state.fill);
  cairo_fill(c->cairo.get());
}

void CGContextStrokePath(CGContextRef context) {
  CGContext* c = usable(context, "CGContextStrokePath");
  if (c == nullptr) return;
  setSource(c->cairo.get(), c->state.stroke);
  cairo_stroke(c->cairo.get());
}

void CGContextFillRect(CGContextRef context, CGRect rect) {
  withRect(context, "CGContextFillRect", rect, [&](const CGContext& c, cairo_t* cairo) {
    addRectangle(cairo, rect);
    setSource(cairo, c.state.fill);
    cairo_fill(cairo);
  });
}

void CGContextFillEllipseInRect(CGContextRef context, CGRect rect) {
  withRect(context, "CGContextFillEllipseInRect", rect, [&](const CGContext& c, cairo_t* cairo) {
    addEllipse(cairo, rect);
    setSource(cairo, c.state.fill);
    cairo_fill(cairo);
  });
}

void CGContextClipToRect(CGContextRef context, CGRect rect) {
  withRect(context, "CGContextClipToRect", rect, [&](const CGContext&, cairo_t* cairo) {
    addRectangle(cairo, rect);
    cairo_clip(cairo);
  });
}

void CGContextDrawRadialGradient(CGContextRef context, CGGradientRef gradient, CGPoint startCenter,
                                 CGFloat startRadius, CGPoint endCenter, CGFloat endRadius,
                                 CGGradientDrawingOptions options) {
  CGContext* c = drawable(context, "CGContextDrawRadialGradient");
  if (c == nullptr || gradient == nullptr) return;
  qv::drawRadialGradient(*c, *gradient, startCenter, startRadius, endCenter, endRadius, options);
}
