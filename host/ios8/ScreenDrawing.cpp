#include "host/ios8/ScreenDrawing.h"

#include <functional>

namespace qv::host {

id systemFont(double size, bool bold) {
  return send<id>(objc_getClass("UIFont"),
                  bold ? "boldSystemFontOfSize:"_sel : "systemFontOfSize:"_sel, CGFloat{size});
}

id rgbColor(double red, double green, double blue, double alpha) {
  return send<id>(objc_getClass("UIColor"), "colorWithRed:green:blue:alpha:"_sel, CGFloat{red},
                  CGFloat{green}, CGFloat{blue}, CGFloat{alpha});
}

id fittingSystemFont(const std::string& text, double size, double width, bool bold) {
  Ref<> string = makeString(text);
  Ref<> attributes = makeDictionary({{NSFontAttributeName, systemFont(size, bold)}});
  const double natural =
      send<CGSize>(string.get(), "sizeWithAttributes:"_sel, attributes.get()).width;
  return systemFont(natural > width ? size * width / natural : size, bold);
}

namespace {

// The text's size in the font, and the point at which it is drawn from that size.
void drawText(const std::string& text, id font, id color,
              const std::function<CGPoint(CGSize)>& origin) {
  Ref<> string = makeString(text);
  Ref<> attributes =
      makeDictionary({{NSFontAttributeName, font}, {NSForegroundColorAttributeName, color}});
  const CGSize size = send<CGSize>(string.get(), "sizeWithAttributes:"_sel, attributes.get());
  send(string.get(), "drawAtPoint:withAttributes:"_sel, origin(size), attributes.get());
}

}  // namespace

void drawCentredText(const std::string& text, id font, id color, CGPoint centre) {
  drawText(text, font, color, [centre](CGSize size) {
    return CGPointMake(centre.x - size.width / 2, centre.y - size.height / 2);
  });
}

void drawTextAt(const std::string& text, id font, id color, CGPoint origin) {
  drawText(text, font, color, [origin](CGSize) { return origin; });
}

}  // namespace qv::host
