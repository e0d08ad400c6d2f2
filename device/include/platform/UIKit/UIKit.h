// UIKit on the device: its C functions and constants as UIKit exports them, and the types and
// enumerations both targets share.
#pragma once

#include "../../../../platform/UIKit/UIKitTypes.h"
#include "platform/CoreGraphics/CGContext.h"
#include "platform/Foundation/Foundation.h"

extern "C" {

CGContextRef UIGraphicsGetCurrentContext();
void UIGraphicsPushContext(CGContextRef context);
void UIGraphicsPopContext();

void UISaveVideoAtPathToSavedPhotosAlbum(id videoPath, id completionTarget, SEL completionSelector,
                                         void* contextInfo);

extern id NSFontAttributeName;
extern id NSForegroundColorAttributeName;
extern id UIApplicationDidChangeStatusBarOrientationNotification;

}  // extern "C"
