// The photo library that the Camera and Photos apps share: its assets (PLManagedAsset), kept in
// a store under the root so that each app sees what the other recorded or edited, and imported
// from the album folder, where the camera records.
//
// PLManagedAsset
//   -isVideo                       a movie file (.MOV, .mov, .mp4, .m4v)
//   -isMogul                       a video of kind subtype 101
//   -kindSubtype -setKindSubtype:  int
//   -savedAssetType -setSavedAssetType:
//                                  short; 3 for what this device's camera roll saved itself
//   -hasAdjustments -videoAdjustments -setVideoAdjustments:
//                                  the user's slow-motion edit (a PFVideoAdjustments), or nil;
//                                  on iOS 7 -slalomTimeRange -setSlalomTimeRange: instead, the
//                                  section itself (a CMTimeRange)
//   -pathForOriginalFile -mainFileURL -filename -duration (seconds) -nominalFrameRate (float)
//   -setVideoInfoFromFileAtURL:fullSizeRenderURL:overwriteOriginalProperties:
//                                  a new asset takes the file as its original; reads the
//                                  render when given, else the file: duration, rate,
//                                  size, and kind subtype 101 for 120 fps and more (0 else);
//                                  answers whether it found a video track
#pragma once

#include <objc/runtime.h>

#include <optional>
#include <string>
#include <vector>

#include "host/devices/Catalog.h"
#include "port/CoreMedia/CMTimeRange.h"

namespace qv::host {

// Posted (as a Darwin notification) when a clip is synced into the album while the apps run.
inline constexpr const char* kAlbumChangedNotification = "com.apple.photos.album-changed";

inline constexpr const char* kAlbumFolder = "/var/mobile/Media/DCIM/100APPLE";
inline constexpr const char* kLibraryStore = "/var/mobile/Media/PhotoData/Photos.plist";

inline constexpr int kSlowMotionSubtype = 101;
inline constexpr short kCameraRollSavedType = 3;

void registerPhotoLibrary(HostGeneration generation);

// The section of the asset's slow-motion edit in either generation; none without an edit.
std::optional<CMTimeRange> slowMotionEdit(id asset);

// The library's assets in file-name order. The first call loads the store and imports every
// movie of the album folder that the store does not know yet.
std::vector<id> libraryAssets();

// The asset of a file in the album, or nil.
id libraryAsset(const std::string& fileName);

// Imports a new file of the album (a recording) and saves the library; answers the asset.
id importIntoLibrary(const std::string& devicePath);

// Writes the store (after an edit).
void saveLibrary();

// The saved-photos album of UISaveVideoAtPathToSavedPhotosAlbum: copies the file into the album
// folder as its next "IMG_nnnn.MOV" and imports it; answers why it could not (a folder that
// cannot be made, is read-only or full, a copy that fails), or an empty text.
std::string saveToAlbum(const std::string& devicePath);

// The next save to the album fails.
void failNextAlbumSave();

// The album's next free "IMG_nnnn.MOV", as a device path.
std::string nextAlbumPath();

}  // namespace qv::host
