// The photo browser both apps have (Photos, and Camera's roll), with its stock behaviour.
//
// PLPhotoBrowserController (a UIViewController): one item of the library at a time, under a
// navigation bar of two items (the album's, then the item's own)
//   -currentAsset -currentVideoView   the item's asset; its PLVideoView, nil for a photo
//   -isCameraApp                      YES inside Camera
//   -navigationBar                    its items: the album's, then the current item's
//   -isEditingVideo -setEditingVideo: (BOOL)
//   -updateOverlaysAnimated: (BOOL)   puts its own buttons on the bar: on every item the right
//                                     button "Edit" ("Done" while editing) in Photos, "Done"
//                                     (closes the browser) in Camera; on the item's own the left
//                                     button "Share". Called whenever the item changes or the bar
//                                     is rebuilt
//   -actionSheet:clickedButtonAtIndex: its own sheet: "Share" offers "YouTube" (the platform's
//                                     own publishing of the item) and "Cancel"
//   -dismissViewControllerAnimated:completion: (BOOL, a block object or nil)  closes it
#pragma once

#include <objc/runtime.h>

#include <string>

namespace qv::host {

void registerPhotoBrowser();

// Shows the library's asset in a new browser over the app's screen, replacing any other;
// answers why it could not, or an empty text.
std::string presentPhotoBrowser(id asset);

// The browser on screen, or nil.
id presentedPhotoBrowser();

}  // namespace qv::host
