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

// What both panels keep: a title, a delegate they do not retain, the button titles by index,
// the cancel button's index (-1: none), whether the panel is on screen, and the controls that
// take the touches on its buttons.
struct PanelState {
  Ref<> title;
  id delegate = nil;  // not retained
  std::vector<Ref<>> buttonTitles;
  NSInteger cancelButtonIndex = -1;
  bool visible = false;
  std::vector<Ref<>> buttonControls;
};

// A button's index and where the panel draws it, in the panel's space.
struct ButtonFrame {
  NSInteger index;
  CGRect frame;
};

// Puts one control (named by its title) over each button where the panel draws it, sending
// _buttonTapped: to the panel; the panel presses the button of the control's tag.
void placeButtonControls(id panel, PanelState& state, const std::vector<ButtonFrame>& buttons);

// The methods both panels answer alike, for a panel whose state is `State` (a PanelState).
template <typename State>
struct Methods {
  static PanelState& of(id self) { return stateOf<State>(self); }

  static NSInteger addButtonWithTitle(id self, SEL, id title) {
    of(self).buttonTitles.push_back(adopt(send<id>(title, "copy"_sel)));
    send(self, "setNeedsLayout"_sel);
    send(self, "setNeedsDisplay"_sel);
    return static_cast<NSInteger>(of(self).buttonTitles.size()) - 1;
  }
  static NSInteger numberOfButtons(id self, SEL) {
    return static_cast<NSInteger>(of(self).buttonTitles.size());
  }
  static id buttonTitleAtIndex(id self, SEL, NSInteger index) {
    return titleAt(of(self).buttonTitles, index);
  }
  static NSInteger cancelButtonIndex(id self, SEL) { return of(self).cancelButtonIndex; }
  static id title(id self, SEL) { return of(self).title; }
  static id delegate(id self, SEL) { return of(self).delegate; }
  static void setDelegate(id self, SEL, id delegate) { of(self).delegate = delegate; }
  static BOOL isVisible(id self, SEL) { return of(self).visible; }

  // Adds the methods above to the panel's class.
  static ClassBuilder& addTo(ClassBuilder& builder) {
    return builder.method("title", &title)
        .method("delegate", &delegate)
        .method("setDelegate:", &setDelegate)
        .method("addButtonWithTitle:", &addButtonWithTitle)
        .method("numberOfButtons", &numberOfButtons)
        .method("buttonTitleAtIndex:", &buttonTitleAtIndex)
        .method("cancelButtonIndex", &cancelButtonIndex)
        .method("isVisible", &isVisible);
  }
};

// A panel's initWithFrame:: the view's, then a clear background redrawn at every size.
id initPanelWithFrame(id self, Class panelClass, CGRect frame);

// Puts the panel over the whole of `container` and shows it, between the delegate's `willShow`
// and `didShow` calls.
void present(id panel, PanelState& state, id container, SEL willShow, SEL didShow);

// Takes a shown panel away, between the delegate's `willDismiss` and `didDismiss` calls with
// the button's index.
void dismiss(id panel, PanelState& state, NSInteger index, SEL willDismiss, SEL didDismiss);

// The alert's and the sheet's button tint.
id tintColor();

void drawCentred(CGContextRef context, id text, const text::Font& font, CGRect rect,
                 CGColorRef color);
void drawHairline(CGContextRef context, CGPoint from, CGPoint to);

}  // namespace qv::ui::panel
