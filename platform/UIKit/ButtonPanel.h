// What the alert and the action sheet share: button titles from a nil-terminated argument
// list, delegate calls that the delegate may not answer, and the panels' centred titles and
// hairlines.
#pragma once

#include <cstdarg>
#include <vector>

#include "platform/UIKit/UIKitPrivate.h"

namespace qv::ui::panel {

// Copies of `first` and of the titles after it, up to the nil that ends the list.
void appendTitles(std::vector<Ref<>>& titles, id first, va_list& more);

// The title at the index, or nil outside the list.
id titleAt(const std::vector<Ref<>>& titles, NSInteger index);

// The delegate's method, when it has one.
void tellDelegate(id delegate, SEL selector, id sender);
void tellDelegate(id delegate, SEL selector, id sender, NSInteger index);

// The alert's and the sheet's button tint.
id tintColor();

void drawCentred(CGContextRef context, id text, const text::Font& font, CGRect rect,
                 CGColorRef color);
void drawHairline(CGContextRef context, CGPoint from, CGPoint to);

}  // namespace qv::ui::panel
