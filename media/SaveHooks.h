// "Save Slo-mo": the photo browser's command that has the publishing agent remake the clip on
// screen and saves the remake to the saved-photos album, under the platform's progress overlay.
//
// One save at a time. Its state is buttonAction (a remake of ours is under way), qvHUD (the
// overlay) and, inside, the agent the save configured and the view the overlay covers. Only the
// main thread touches it; the platform's completions hop there first.
#pragma once

#include <objc/runtime.h>

#include <span>

#include "core/HookTable.h"
#include "core/Original.h"

namespace quorvane {

// The tag of the "..." sheet: the only sheet the browser's replaced delegate method handles.
inline constexpr long kSaveSheetTag = 95969596;
inline constexpr double kSaveNoticeSeconds = 3.0;

namespace PLPhotoBrowserController {

// Puts "Save Slo-mo" ("..." in Camera) on every navigation item while a slow-motion video shows
// and the browser is not editing.
QV_REPLACED_METHOD(void, updateOverlaysAnimated_, "updateOverlaysAnimated:", BOOL animated);

// The "..." sheet's buttons: save, close the browser, or nothing; other sheets pass through.
QV_REPLACED_METHOD(void, actionSheet_clickedButtonAtIndex_,
                   "actionSheet:clickedButtonAtIndex:", id sheet, long index);

// Added: starts a save of the clip on screen, or says why it cannot.
QV_ADDED_METHOD(void, qv_saveSlomo, "qv_saveSlomo");
// Added: the "..." button's sheet.
QV_ADDED_METHOD(void, qv_multipleOptions, "qv_multipleOptions");

}  // namespace PLPhotoBrowserController

namespace PLPublishingAgent {

// Saves the remake of the agent our save configured; every remake then ends as it would.
QV_REPLACED_METHOD(void, videoRemakerDidEndRemaking_temporaryPath_,
                   "videoRemakerDidEndRemaking:temporaryPath:", id remaker, id path);

// Added: the album save has ended; the overlay goes, with a notice when the save failed.
QV_ADDED_METHOD(void, qv_video_didFinishSavingWithError_contextInfo_,
                "qv_video:didFinishSavingWithError:contextInfo:", id path, id error, void* context);

}  // namespace PLPublishingAgent

// The groups' rows, in table order.
std::span<const MethodHook> photoBrowserHooks();
std::span<const MethodHook> publishingAgentHooks();

}  // namespace quorvane
