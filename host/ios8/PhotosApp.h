// The Photos app ("MobileSlideShow") of the iOS 8 generation: its window shows the album's
// videos as tiles with their banners, or one clip in a PLVideoView over it.
#pragma once

#include <objc/runtime.h>

#include <string>

namespace qv::host {

void launchPhotosAppIOS8();

// Opens the album's clip of that file name; answers why it could not, or an empty text.
std::string openClip(const std::string& fileName);

// The PLVideoView of the open clip, or nil.
id openVideoView();

}  // namespace qv::host
