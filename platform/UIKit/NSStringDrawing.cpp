// NSString's measuring and drawing additions, through the text layout module. Sizes are not
// rounded, as the platform reports them.
#include "platform/Foundation/Classes.h"
#include "platform/Foundation/RootAdditions.h"
#include "platform/UIKit/UIKitPrivate.h"

id NSFontAttributeName = nil;
id NSForegroundColorAttributeName = nil;

namespace qv::ui {
namespace {

// The platform's default font for attributed drawing is 12 points.
const text::Font kDefaultFont{"DejaVu Sans", false, false, 12};

const text::Font& fontIn(id attributes) {
  id font = send<id>(attributes, "objectForKey:"_sel, NSFontAttributeName);
  return font != nil ? fontOf(font) : kDefaultFont;
}

CGSize sizeWithAttributes(id self, SEL, id attributes) {
  return text::lineSize(foundation::stringText(self), fontIn(attributes));
}

CGRect boundingRect(id self, SEL, CGSize size, NSInteger options, id attributes, id) {
  const std::string& content = foundation::stringText(self);
  const text::Font& font = fontIn(attributes);
  const CGSize measured = (options & NSStringDrawingUsesLineFragmentOrigin) != 0
                              ? text::wrappedSize(content, font, size)
                              : text::lineSize(content, font);
  return {CGPointZero, measured};
}

void drawInRect(id self, SEL, CGRect rect, id attributes) {
  id color = send<id>(attributes, "objectForKey:"_sel, NSForegroundColorAttributeName);
  CGColorRef cgColor = color != nil ? cgColorOf(color) : cgColorOf(makeColor(0, 0, 0, 1));
  text::draw(UIGraphicsGetCurrentContext(), foundation::stringText(self), fontIn(attributes),
             cgColor, rect, {});
}

void drawAtPoint(id self, SEL, CGPoint point, id attributes) {
  const CGSize size = sizeWithAttributes(self, nullptr, attributes);
  drawInRect(self, nullptr, {point, size}, attributes);
}

__attribute__((constructor(130))) void addStringDrawing() {
  NSFontAttributeName = "NSFont"_ns;
  NSForegroundColorAttributeName = "NSColor"_ns;
  Class string = foundation::stringClass();
  foundation::addMethod(string, "sizeWithAttributes:", &sizeWithAttributes);
  foundation::addMethod(string, "boundingRectWithSize:options:attributes:context:", &boundingRect);
  foundation::addMethod(string, "drawInRect:withAttributes:", &drawInRect);
  foundation::addMethod(string, "drawAtPoint:withAttributes:", &drawAtPoint);
}

}  // namespace
}  // namespace qv::ui
