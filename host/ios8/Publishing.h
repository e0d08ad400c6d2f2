// The platform's publishing of videos, which both apps have, with its stock behaviour.
//
// PLProgressHUD (a UIView): a dark rounded panel with a spinner and a text, centred on the view
//   it is shown in
//   -init -setText: -text -showInView: -hide
// PLPublishingAgent
//   +publishingAgentForBundleNamed:toPublishMedia:   a new agent for each call (autoreleased)
//   -setEnableHDUpload: -setMediaIsHDVideo: (BOOL) -setSelectedOption: (long)
//   -_remakerModeForSelectedOption -setRemakerMode: (int)  2 (HD) for option 1, 1 otherwise
//   -_transcodeVideo:               remakes the media's file into a new temporary file under the
//                                   root on a background queue, baking its slow motion in as
//                                   the player reads it, and returns at once; then sends
//                                   videoRemakerDidEndRemaking:temporaryPath: to the agent from
//                                   that background thread (nil when the remake failed). The
//                                   agent keeps itself alive until that call has returned.
//   -videoRemakerDidEndRemaking:temporaryPath:  marks the publishing done; the temporary file is
//                                   kept (a saver may copy it later, on the main queue)
#pragma once

#include <objc/runtime.h>

#include <string>
#include <vector>

namespace qv::host {

inline constexpr const char* kRemakeFolder = "/tmp/PLPublishingAgent";

void registerPublishing();

// The app's own publishing of an asset, as its share action starts it ("PublishToYouTube").
void publishAsset(id asset);

// The next remake ends without a file.
void failNextRemake();

// Remakes started from now on wait until released, which starts them in the order they came.
void holdRemakes();
void releaseRemakes();

// Remakes started (held ones too) and not yet ended; publishings that ended, with their temporary
// path (empty when the remake failed), in the order they ended.
int remakesInFlight();
std::vector<std::string> endedPublishings();

// The progress HUDs shown in the app's windows, in view-tree order.
std::vector<id> shownProgressHUDs();

}  // namespace qv::host
