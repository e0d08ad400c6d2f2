// The Photos UI classes the apps share, with their stock behaviour. iOS 7 has only PLVideoView,
// without a banner: PhotosUI came with iOS 8.
//
// UIImage (Photos category)
//   +pu_PhotosUIImageNamed:        the Photos UI's own images: "PUSlalomBadgeIcon",
//                                  "PUVideoBadgeIcon"
// PUVideoBannerView (a UIView): the strip over a video with its badge and length
//   -setVideoSubtype: -setVideoDuration:
//   -_badgeImageForVideoSubtype:   the slow-motion badge for subtype 101, the video badge else
//   -badgeImage                    the badge it shows
// PLVideoView (a UIView): one video's frame at its player's playhead, its banner, and the
// slow-motion editor when offered
//   -setVideoCameraImage: -videoCameraImage   the asset, in the ivar "_videoCameraImage"
//   -_shouldShowSlalomEditor       an editable video of kind subtype 101
//   -canEdit                       a playable video whose file can be reached
//   -_canAccessVideo -_mediaIsPlayable -_mediaIsVideo
#pragma once

#include <objc/runtime.h>

#include <memory>
#include <string>

#include "host/devices/Catalog.h"
#include "host/ios8/MediaClasses.h"
#include "platform/AVFoundation/VideoPictures.h"

namespace qv::host {

void registerPhotosUI(HostGeneration generation);

// A video's length as its banner shows it ("0:02").
std::string clockText(double seconds);

// The video view's player. Playing moves the playhead on with the platform's clock from where it
// is (from the start once it reached the end), slowed in the plan's slow-motion section at the
// plan's rate, and stops at the clip's end; a seek moves it to a second of the clip (within its
// length), playing on if it played. A new asset puts it at the start, stopped.
void playVideoView(id videoView, const PlaybackPlan& plan);
void seekVideoView(id videoView, double seconds);
double videoPlayhead(id videoView);  // seconds of the clip
bool isVideoPlaying(id videoView);

// The clip's frame the view shows at the playhead; null for a clip that does not decode, which
// shows the platform's unplayable look instead.
std::shared_ptr<const media::Picture> shownPicture(id videoView);

}  // namespace qv::host
