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
// PLVideoView (a UIView): one video, its banner, and the slow-motion editor when offered
//   -setVideoCameraImage: -videoCameraImage   the asset, in the ivar "_videoCameraImage"
//   -_shouldShowSlalomEditor       an editable video of kind subtype 101
//   -canEdit                       a playable video whose file can be reached
//   -_canAccessVideo -_mediaIsPlayable -_mediaIsVideo
#pragma once

#include <objc/runtime.h>

#include <string>

#include "host/devices/Catalog.h"

namespace qv::host {

void registerPhotosUI(HostGeneration generation);

// A video's length as its banner shows it ("0:02").
std::string clockText(double seconds);

}  // namespace qv::host
