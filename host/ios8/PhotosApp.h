// The Photos app ("MobileSlideShow"): its window shows the album's videos as tiles, with their
// banners from iOS 8 on, or one clip in a PLVideoView over it.
#pragma once

#include <objc/runtime.h>

#include <string>

#include "host/devices/Catalog.h"

namespace qv::host {

void launchPhotosApp(HostGeneration generation);

// Opens the album's clip of that file name in the photo browser (or, in a build without one, in
// a PLVideoView over the album); answers why it could not, or an empty text. Camera opens its
// roll's clips the same way.
std::string openClip(const std::string& fileName);

// The PLVideoView of the open clip (the browser's current one), or nil.
id openVideoView();

}  // namespace qv::host
