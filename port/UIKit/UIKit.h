// UIKit's C functions, constants and types, the same on every target: the block types of the
// animation calls (callables here, blocks at the message boundary on the device) and the
// enumerations with the device's values.
#pragma once

#include <functional>

#include "port/CoreGraphics/CGContext.h"
#include "port/Foundation/Foundation.h"

extern "C" {

// The current drawing context: a stack per thread. Push retains, pop releases.
CGContextRef UIGraphicsGetCurrentContext();
void UIGraphicsPushContext(CGContextRef context);
void UIGraphicsPopContext();

// Saves the video file (a device path) to the saved-photos album; when done, successful or not,
// sends completionSelector (v@:@@^v) to completionTarget with the path, an NSError or nil, and
// the context. Runs on the main queue; the target is held until then.
void UISaveVideoAtPathToSavedPhotosAlbum(id videoPath, id completionTarget, SEL completionSelector,
                                         void* contextInfo);

// String attribute names ("NSFont", "NSColor") and the orientation notification's name.
extern id NSFontAttributeName;
extern id NSForegroundColorAttributeName;
extern id UIApplicationDidChangeStatusBarOrientationNotification;

}  // extern "C"

// Blocks of the animation calls: animations:, completion: (with the finished flag).
using UIViewAnimationsBlock = std::function<void()>;
using UIViewAnimationCompletionBlock = std::function<void(BOOL)>;
using UIViewAnimationOptions = NSUInteger;

enum : UIViewAnimationOptions { UIViewAnimationOptionAllowUserInteraction = 1 << 1 };

enum : NSInteger {
  NSTextAlignmentLeft = 0,
  NSTextAlignmentCenter,
  NSTextAlignmentRight,
};

enum : NSInteger {
  NSLineBreakByWordWrapping = 0,
  NSLineBreakByCharWrapping,
  NSLineBreakByClipping,
  NSLineBreakByTruncatingHead,
  NSLineBreakByTruncatingTail,
  NSLineBreakByTruncatingMiddle,
};

enum : NSInteger { NSStringDrawingUsesLineFragmentOrigin = 1 };

enum : NSInteger {
  UIViewContentModeScaleToFill = 0,
  UIViewContentModeRedraw = 3,
  UIViewContentModeCenter = 4,
};

enum : NSUInteger {
  UIViewAutoresizingNone = 0,
  UIViewAutoresizingFlexibleLeftMargin = 1 << 0,
  UIViewAutoresizingFlexibleWidth = 1 << 1,
  UIViewAutoresizingFlexibleRightMargin = 1 << 2,
  UIViewAutoresizingFlexibleTopMargin = 1 << 3,
  UIViewAutoresizingFlexibleHeight = 1 << 4,
  UIViewAutoresizingFlexibleBottomMargin = 1 << 5,
};

enum : NSInteger {
  UIActivityIndicatorViewStyleWhiteLarge = 0,
  UIActivityIndicatorViewStyleWhite,
  UIActivityIndicatorViewStyleGray,
};

enum : NSInteger {
  UIInterfaceOrientationPortrait = 1,
  UIInterfaceOrientationPortraitUpsideDown = 2,
  UIInterfaceOrientationLandscapeLeft = 4,
  UIInterfaceOrientationLandscapeRight = 3,
};

enum : NSInteger {
  UIGestureRecognizerStatePossible = 0,
  UIGestureRecognizerStateBegan,
  UIGestureRecognizerStateChanged,
  UIGestureRecognizerStateEnded,
  UIGestureRecognizerStateCancelled,
  UIGestureRecognizerStateFailed,
  UIGestureRecognizerStateRecognized = UIGestureRecognizerStateEnded,
};

enum : NSInteger {
  UIKeyboardTypeDefault = 0,
  UIKeyboardTypeNumberPad = 4,
};

enum : NSInteger {
  UITextBorderStyleNone = 0,
  UITextBorderStyleLine,
  UITextBorderStyleBezel,
  UITextBorderStyleRoundedRect,
};

enum : NSInteger {
  UIAlertViewStyleDefault = 0,
  UIAlertViewStyleSecureTextInput,
  UIAlertViewStylePlainTextInput,
  UIAlertViewStyleLoginAndPasswordInput,
};

enum : NSInteger {
  UIUserInterfaceIdiomPhone = 0,
  UIUserInterfaceIdiomPad,
};

using UIControlEvents = NSUInteger;
enum : UIControlEvents { UIControlEventTouchUpInside = 1 << 6 };
