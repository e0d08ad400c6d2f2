// RuvelProgressHUD: the system's own overlay view, a rounded panel in the middle of a parent
// view holding an indicator, a one-line label and a wrapped details label, optionally dimming
// the parent behind it. It is a runtime subclass of UIView whose interface is its messages, with
// the platform's selectors, so code that knows the class only by name can use it:
//
//   class    showHUDAddedTo:animated:  hideHUDForView:animated:  hideAllHUDsForView:animated:
//            HUDForView:  allHUDsForView:
//   instance initWithView:  initWithWindow:  initWithFrame:  show:  hide:  hide:afterDelay:
//            showWhileExecuting:onTarget:withObject:animated:
//            showAnimated:whileExecutingBlock:[onQueue:][completionBlock:]
//   properties (getter, setXxx:) completionBlock mode animationType customView delegate labelText
//            detailsLabelText opacity color xOffset yOffset margin cornerRadius dimBackground
//            graceTime minShowTime taskInProgress removeFromSuperViewOnHide labelFont labelColor
//            detailsLabelFont detailsLabelColor activityIndicatorColor progress minSize square
//            (getter isSquare), and the read-only size.
//
// Property types as messages carry them: `mode` and `animationType` are int, the offsets,
// margin, radius, opacity, times and progress are float, the flags BOOL, `minSize` and `size`
// CGSize, `completionBlock` a std::function<void()>. Object and size properties are atomic.
// Setters announce their change to key-value observers. A delegate may implement
// `hudWasHidden:` (one HUD argument, no result).
#pragma once

#include <objc/runtime.h>

namespace quorvane {

// Values of `mode`; 1 to 3 are stored but select no indicator of their own.
enum RuvelProgressHUDMode : int {
  RuvelProgressHUDModeActivity = 0,
  RuvelProgressHUDModeCustomView = 4,
  RuvelProgressHUDModeTextOnly = 5,
};

// Values of `animationType`; any other value fades.
enum RuvelProgressHUDAnimation : int {
  RuvelProgressHUDAnimationFade = 0,
  RuvelProgressHUDAnimationShrink,
  RuvelProgressHUDAnimationGrow,
};

// Registers the class with the runtime unless a class of that name exists; answers the class
// found by name either way. Safe to call from every library that carries the HUD.
Class registerRuvelProgressHUD();

}  // namespace quorvane
