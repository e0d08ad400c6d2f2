#include "platform/UIKit/Snapshot.h"

#include <cmath>

#include "platform/CoreGraphics/CGCairo.h"
#include "platform/UIKit/UIKitPrivate.h"

namespace qv::ui {
namespace {

constexpr double kMaxSide = 8192;

void render(id view, CGContextRef context);

// The child's bounds space mapped into its parent's: about the child's centre.
void enterChild(id child, id parent, CGContextRef context) {
  const ViewState& p = viewState(parent);
  const ViewState& c = viewState(child);
  CGContextTranslateCTM(context, c.center.x - p.bounds.origin.x, c.center.y - p.bounds.origin.y);
  CGContextConcatCTM(context, presentationTransform(child));
  CGContextTranslateCTM(context, -c.bounds.size.width / 2, -c.bounds.size.height / 2);
}

void renderContent(id view, CGContextRef context) {
  const ViewState& s = viewState(view);
  const CGRect local = CGRectMake(0, 0, s.bounds.size.width, s.bounds.size.height);
  if (s.clipsToBounds) CGContextClipToRect(context, local);
  if (CGColorRef background = cgColorOf(s.backgroundColor)) {
    CGContextSetFillColorWithColor(context, background);
    CGContextFillRect(context, local);
  }
  drawContent(view, context);
  for (const Ref<>& child : std::vector<Ref<>>(s.subviews)) {
    CGContextSaveGState(context);
    enterChild(child, view, context);
    render(child, context);
    CGContextRestoreGState(context);
  }
}

void render(id view, CGContextRef context) {
  const double alpha = presentationAlpha(view);
  if (viewState(view).hidden || alpha <= 0) return;
  if (alpha >= 1) return renderContent(view, context);
  // A translucent view is composed on its own and then blended, as a layer is.
  cairo_t* cairo = cairoOf(context);
  cairo_push_group(cairo);
  renderContent(view, context);
  cairo_pop_group_to_source(cairo);
  cairo_paint_with_alpha(cairo, alpha);
}

int side(double length) {
  return static_cast<int>(std::clamp(std::ceil(std::isfinite(length) ? length : 1), 1.0, kMaxSide));
}

}  // namespace

Bitmap snapshot(id view, double scale) {
  const CGRect bounds = view != nil ? viewState(view).bounds : CGRectZero;
  Bitmap image(side(bounds.size.width * scale), side(bounds.size.height * scale));
  if (view == nil) return image;
  CGContextScaleCTM(image.context(), scale, scale);
  render(view, image.context());
  return image;
}

bool writeSnapshot(id view, const std::string& path, double scale, PngWriting writing) {
  Bitmap image = snapshot(view, scale);
  return writing == PngWriting::Quick ? image.writeQuickPNG(path) : image.writePNG(path);
}

}  // namespace qv::ui
