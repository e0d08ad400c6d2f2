// What the alert and the action sheet share: button titles from a nil-terminated argument
// list, delegate calls that the delegate may not answer, finding and pressing them on screen,
// and the panels' centred titles and hairlines.
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

// The panels on screen that `isShown` picks, in every window, in view-tree order.
std::vector<id> shownPanels(bool (*isShown)(id view));

// The user's press of a panel's button: the delegate's `clicked` call, then `dismiss`. False,
// doing nothing, for a panel not `shown` or an index that is not one of its `count` buttons.
using Dismissal = void (*)(id panel, SEL, NSInteger index, BOOL animated);
bool press(id panel, bool shown, std::size_t count, NSInteger index, SEL clicked,
           Dismissal dismiss);

// The alert's and the sheet's button tint.
id tintColor();

void drawCentred(CGContextRef context, id text, const text::Font& font, CGRect rect,
                 CGColorRef color);
void drawHairline(CGContextRef context, CGPoint from, CGPoint to);

}  // namespace qv::ui::panel
