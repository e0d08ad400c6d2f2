#include "host/ios8/ScreenDrawing.h"

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

void drawCentredText(const std::string& text, id font, id color, CGPoint centre) {
  Ref<> string = makeString(text);
  Ref<> attributes =
      makeDictionary({{NSFontAttributeName, font}, {NSForegroundColorAttributeName, color}});
  const CGSize size = send<CGSize>(string.get(), "sizeWithAttributes:"_sel, attributes.get());
  const CGPoint at = CGPointMake(centre.x - size.width / 2, centre.y - size.height / 2);
  send(string.get(), "drawAtPoint:withAttributes:"_sel, at, attributes.get());
}

}  // namespace qv::host
