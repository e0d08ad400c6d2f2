// The Photos app ("MobileSlideShow") of the iOS 8 generation. It has no host classes the tweak
// hooks yet: it opens its window, so that the library loads there, logs the classes it misses
// and follows settings changes.
#pragma once

namespace qv::host {

void launchPhotosAppIOS8();

}  // namespace qv::host
