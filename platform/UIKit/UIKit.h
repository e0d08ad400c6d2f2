// UIKit: views and the view tree, windows, view controllers, labels, activity indicators,
// colours, fonts, gesture recognizers, the application and its screen, view animations, string
// drawing and the current drawing context, with the platform's selectors.
//
// Messages are the interface; UIKitBase.h gives the C functions, the constants and the block
// types that stand in for the platform's blocks, and this header a few C++ seams for the hosts,
// the simulator and tests.
//
// Views lay out and draw in passes on the main run loop: setNeedsLayout and setNeedsDisplay
// mark a view, and one layout pass (layoutSubviews, parents first) then one display pass
// (drawRect: into the view's backing store) serve every mark made before they run.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Foundation/Foundation.h"
#include "port/CoreGraphics/CGContext.h"
#include "port/UIKit/UIKit.h"

namespace qv::ui {

// The main screen's bounds in points (default 320 × 568); the host sets its device's.
void setScreenBounds(CGRect bounds);

// What [[UIDevice currentDevice] userInterfaceIdiom] answers (default phone); the host sets its
// device's.
void setInterfaceIdiom(NSInteger idiom);

// How often the passes called layoutSubviews and drawRect: of one view (tests).
struct PassCounts {
  unsigned layouts = 0;
  unsigned displays = 0;
};
PassCounts passCounts(id view);

// Runs the pending layout and display passes now (the run loop runs them otherwise).
void runPendingPasses();

// View animations in flight (their completions not yet run), and the presentation values a
// view shows at the clock's current instant (the model value when nothing animates it).
std::size_t animationsInFlight();
double presentationAlpha(id view);
CGAffineTransform presentationTransform(id view);

// Recognises a gesture: sets the state to recognized, sends every target its action with the
// recognizer, then returns the state to possible.
void recognize(id gestureRecognizer);

// The actions of the recognizer's targets, in the order they were added.
std::vector<SEL> actionsOf(id gestureRecognizer);

// What a tap did: the view it landed on (nil when nothing under the point takes touches) and
// what took it, in order: a recognizer's or a control's action ("UIControl \"Set\" sent
// _buttonTapped: to UIAlertView"), a view that became first responder. Nothing took it when
// `taken` is empty.
struct TapOutcome {
  Ref<> landedOn;
  std::vector<std::string> taken;
};

// The simulator's taps: a gesture of `taps` taps (1 a tap, 2 a double tap) at a point of the
// root view (a window), landing on the view that hitTest:withEvent: finds (hidden views,
// views without user interaction, nearly transparent ones and disabled controls take none).
// The tap recognizers of that view and of its ancestors take part; each one recognizes as its
// taps come in, or, when it must wait for another to fail, once the gesture is over and that
// one has failed (the time a recognizer waits for more taps is part of the gesture). When none
// recognizes, each tap ends with touchesEnded:withEvent: sent to the view, which passes it up
// the responder chain to a control that acts: it becomes first responder if it can (a text
// field) and sends its actions for UIControlEventTouchUpInside. Pending passes run first.
TapOutcome tap(id root, CGPoint point, unsigned taps);
// The same at the centre of a view, in its root's space.
TapOutcome tapView(id view, unsigned taps);

// A view as a tap's outcome names it: its class, and its accessibility label in quotes;
// "nothing" for nil.
std::string describeView(id view);

// The view that is first responder (a text field being edited), or nil.
id firstResponder();

// The view's bounds in its root's space (the window's points for a view on screen): the box
// around them where a transform turns them.
CGRect frameInRoot(id view);

// Where a double tap is recognized: the frames in the root's space of the views under `root`
// (itself included) that are shown and take touches, have an enabled tap recognizer of two or
// more taps or are inside one that has, and are not covered at their centre by a view in front.
std::vector<CGRect> doubleTapAreas(id root);

// The alerts on screen, in the order they were shown (the last one in front).
std::vector<id> visibleAlerts();

// The user's press of an alert's button: the delegate's alertView:clickedButtonAtIndex:, then
// the dismissal (alertView:willDismissWithButtonIndex: and alertView:didDismissWithButtonIndex:
// where the delegate answers them). False, doing nothing, for an alert not on screen or an
// index it has no button for.
bool pressAlertButton(id alert, NSInteger index);
// The action sheets on screen, in any window, in view-tree order.
std::vector<id> visibleActionSheets();

// The user's press of a sheet's button: the delegate's actionSheet:clickedButtonAtIndex:, then
// the dismissal. False, doing nothing, for a sheet not on screen or an index without a button.
bool pressActionSheetButton(id sheet, NSInteger index);

// The user's press of a bar button: its action sent to its target with the item. False for
// anything else, or an item without a target or action.
bool pressBarButton(id item);

// The app's saved-photos album: takes a readable file (device path) in, answering why it could
// not, or an empty text. UISaveVideoAtPathToSavedPhotosAlbum saves through it; without one,
// every save fails. Called on the main thread.
using SavedPhotosAlbum = std::function<std::string(const std::string& devicePath)>;
void setSavedPhotosAlbum(SavedPhotosAlbum album);

// Named images: how the image of a name is drawn into a rectangle (the context's state is
// saved around it), at its natural size. imageNamed: answers them.
using ImageDrawing = std::function<void(CGContextRef context, CGRect rect)>;
void registerNamedImage(const std::string& name, CGSize size, ImageDrawing draw);

// The name an image was made for; empty for nil or another object.
std::string imageName(id image);

}  // namespace qv::ui
