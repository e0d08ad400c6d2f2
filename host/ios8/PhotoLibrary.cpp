#include "host/ios8/PhotoLibrary.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>

#include "host/ios8/MediaClasses.h"
#include "platform/AVFoundation/AVFoundation.h"
#include "platform/Foundation/Foundation.h"
#include "platform/Foundation/PropertyList.h"
#include "platform/System/Faults.h"
#include "platform/System/FileSystem.h"
#include "platform/UIKit/UIKit.h"
#include "port/CoreMedia/CMTimeRange.h"

namespace qv::host {
namespace {

struct AssetState {
  std::string path;  // the device path of the original file
  int kindSubtype = 0;
  short savedAssetType = kCameraRollSavedType;
  Ref<> adjustments;                       // iOS 8: a PFVideoAdjustments
  std::optional<CMTimeRange> slalomRange;  // iOS 7: the section itself
  double duration = 0;
  float frameRate = 0;
};

AssetState& assetOf(id asset) {
  return stateOf<AssetState>(asset);
}

std::string fileNameOf(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

bool isMovieFile(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".mov" || extension == ".mp4" || extension == ".m4v";
}

id fileURL(const std::string& path) {
  return send<id>(objc_getClass("NSURL"), "fileURLWithPath:"_sel, makeString(path).get());
}

BOOL isVideo(id self, SEL) {
  return isMovieFile(assetOf(self).path) ? YES : NO;
}
BOOL isMogul(id self, SEL) {
  return send<BOOL>(self, "isVideo"_sel) && assetOf(self).kindSubtype == kSlowMotionSubtype;
}
int kindSubtype(id self, SEL) {
  return assetOf(self).kindSubtype;
}
void setKindSubtype(id self, SEL, int subtype) {
  assetOf(self).kindSubtype = subtype;
}
short savedAssetType(id self, SEL) {
  return assetOf(self).savedAssetType;
}
void setSavedAssetType(id self, SEL, short type) {
  assetOf(self).savedAssetType = type;
}
BOOL hasAdjustments(id self, SEL) {
  return assetOf(self).adjustments || assetOf(self).slalomRange ? YES : NO;
}
id videoAdjustments(id self, SEL) {
  return assetOf(self).adjustments;
}
void setVideoAdjustments(id self, SEL, id adjustments) {
  assetOf(self).adjustments = adopt(send<id>(adjustments, "copy"_sel));
}
CMTimeRange slalomTimeRange(id self, SEL) {
  return assetOf(self).slalomRange.value_or(kCMTimeRangeZero);
}
void setSlalomTimeRange(id self, SEL, CMTimeRange range) {
  assetOf(self).slalomRange = range;
}
id pathForOriginalFile(id self, SEL) {
  return autorelease(makeString(assetOf(self).path).leak());
}
id mainFileURL(id self, SEL) {
  return fileURL(assetOf(self).path);
}
id filename(id self, SEL) {
  return autorelease(makeString(fileNameOf(assetOf(self).path)).leak());
}
double duration(id self, SEL) {
  return assetOf(self).duration;
}
float nominalFrameRate(id self, SEL) {
  return assetOf(self).frameRate;
}

BOOL setVideoInfoFromFile(id self, SEL, id fileURL, id renderURL, BOOL) {
  id avAsset = send<id>(objc_getClass("AVAsset"), "assetWithURL:"_sel,
                        renderURL != nil ? renderURL : fileURL);
  AssetState& state = assetOf(self);
  if (state.path.empty()) state.path = utf8(send<id>(fileURL, "path"_sel));  // a new asset's file
  const double seconds = CMTimeGetSeconds(send<CMTime>(avAsset, "duration"_sel));
  state.duration = seconds > 0 ? seconds : 0;
  state.frameRate = firstVideoRate(avAsset);
  state.kindSubtype = state.frameRate >= 120 ? kSlowMotionSubtype : 0;
  return state.frameRate > 0 ? YES : NO;
}

HostGeneration libraryGeneration = HostGeneration::iOS8;

Class assetClass() {
  return objc_getClass("PLManagedAsset");
}

void registerAssetClass(HostGeneration generation) {
  ClassBuilder builder("PLManagedAsset", NSObjectClass());
  builder.state<AssetState>()
      .method("isVideo", &isVideo)
      .method("isMogul", &isMogul)
      .method("kindSubtype", &kindSubtype)
      .method("setKindSubtype:", &setKindSubtype)
      .method("savedAssetType", &savedAssetType)
      .method("setSavedAssetType:", &setSavedAssetType)
      .method("hasAdjustments", &hasAdjustments)
      .method("pathForOriginalFile", &pathForOriginalFile)
      .method("mainFileURL", &mainFileURL)
      .method("filename", &filename)
      .method("duration", &duration)
      .method("nominalFrameRate", &nominalFrameRate)
      .method("setVideoInfoFromFileAtURL:fullSizeRenderURL:overwriteOriginalProperties:",
              &setVideoInfoFromFile);
  if (generation == HostGeneration::iOS7) {
    builder.method("slalomTimeRange", &slalomTimeRange)
        .method("setSlalomTimeRange:", &setSlalomTimeRange);
  } else {
    builder.method("videoAdjustments", &videoAdjustments)
        .method("setVideoAdjustments:", &setVideoAdjustments);
  }
  builder.registerClass();
  libraryGeneration = generation;
}

// The store: one dictionary per asset, by file name.

struct Library {
  bool loaded = false;
  std::map<std::string, Ref<>> assets;  // by file name
};

Library& library() {
  static auto* made = new Library;  // for the life of the app
  return *made;
}

id number(id record, const char* key) {
  return send<id>(record, "objectForKey:"_sel, makeString(key).get());
}

std::optional<CMTimeRange> sectionFrom(id record) {
  id timescale = number(record, "slowMotionTimescale");
  if (timescale == nil) return std::nullopt;
  const CMTimeScale scale = send<int>(timescale, "intValue"_sel);
  return CMTimeRange{{send<long long>(number(record, "slowMotionStart"), "longLongValue"_sel),
                      scale, kCMTimeFlags_Valid, 0},
                     {send<long long>(number(record, "slowMotionDuration"), "longLongValue"_sel),
                      scale, kCMTimeFlags_Valid, 0}};
}

// The user's edit as the generation keeps it: the section itself on iOS 7, a PFVideoAdjustments
// with its rate on iOS 8.
void restoreEdit(AssetState& state, id record) {
  const std::optional<CMTimeRange> section = sectionFrom(record);
  if (!section) return;
  if (libraryGeneration == HostGeneration::iOS7) {
    state.slalomRange = section;
    return;
  }
  id rate = number(record, "slowMotionRate");
  if (rate == nil) return;
  state.adjustments = adopt(send<id>(send<id>(objc_getClass("PFVideoAdjustments"), "alloc"_sel),
                                     "initWithSlowMotionTimeRange:rate:"_sel, *section,
                                     send<float>(rate, "floatValue"_sel)));
}

Ref<> assetFrom(id record) {
  Ref<> asset = make(assetClass());
  AssetState& state = assetOf(asset);
  state.path = utf8(number(record, "path"));
  state.kindSubtype = send<int>(number(record, "kindSubtype"), "intValue"_sel);
  state.savedAssetType =
      static_cast<short>(send<int>(number(record, "savedAssetType"), "intValue"_sel));
  state.duration = send<double>(number(record, "duration"), "doubleValue"_sel);
  state.frameRate = send<float>(number(record, "nominalFrameRate"), "floatValue"_sel);
  restoreEdit(state, record);
  return asset;
}

Ref<> recordOf(id asset) {
  const AssetState& state = assetOf(asset);
  std::vector<std::pair<Ref<>, Ref<>>> entries;
  const auto add = [&](const char* key, Ref<> value) {
    entries.emplace_back(makeString(key), value);
  };
  add("path", makeString(state.path));
  add("kindSubtype", makeNumber(state.kindSubtype));
  add("savedAssetType", makeNumber(static_cast<int>(state.savedAssetType)));
  add("duration", makeNumber(state.duration));
  add("nominalFrameRate", makeNumber(state.frameRate));
  if (const std::optional<CMTimeRange> range = slowMotionEdit(asset)) {
    add("slowMotionStart", makeNumber(static_cast<long long>(range->start.value)));
    add("slowMotionDuration", makeNumber(static_cast<long long>(range->duration.value)));
    add("slowMotionTimescale", makeNumber(static_cast<int>(range->start.timescale)));
  }
  if (state.adjustments) {
    add("slowMotionRate", makeNumber(send<float>(state.adjustments.get(), "slowMotionRate"_sel)));
  }
  std::vector<std::pair<id, id>> plain;
  for (const auto& [key, value] : entries) plain.emplace_back(key.get(), value.get());
  return makeDictionary(plain);
}

Ref<> newAsset(const std::string& devicePath) {
  Ref<> asset = make(assetClass());
  assetOf(asset).path = devicePath;
  id url = fileURL(devicePath);
  send<BOOL>(asset.get(),
             "setVideoInfoFromFileAtURL:fullSizeRenderURL:overwriteOriginalProperties:"_sel, url,
             nil, YES);
  return asset;
}

// The store's assets once, then every movie of the album the library does not hold yet: a clip
// synced onto the device while the app runs shows up as the library is next read.
void loadLibrary() {
  Library& shared = library();
  if (objc_getClass("PLManagedAsset") == Nil) return;
  if (!shared.loaded) {
    shared.loaded = true;
    Ref<> store = foundation::dictionaryFromFile(kLibraryStore);
    for (id record : arrayElements(send<id>(store.get(), "objectForKey:"_sel, "assets"_ns))) {
      Ref<> asset = assetFrom(record);
      shared.assets[fileNameOf(assetOf(asset).path)] = asset;
    }
  }
  bool imported = false;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(resolvePath(kAlbumFolder), error)) {
    const std::string name = entry.path().filename().string();
    if (!isMovieFile(name) || shared.assets.count(name) != 0) continue;
    shared.assets[name] = newAsset(std::string(kAlbumFolder) + "/" + name);
    imported = true;
  }
  if (imported) saveLibrary();
}

bool albumSaveFails = false;

std::string albumRefusal(std::uintmax_t size) {
  namespace fs = std::filesystem;
  const std::string folder = resolvePath(kAlbumFolder);
  std::error_code error;
  fs::create_directories(folder, error);
  if (!fs::is_directory(folder, error)) return "the album folder cannot be made";
  // The apps run as the mobile user: a folder without its owner's write permission is read-only
  // to them, whoever runs the simulation.
  if ((fs::status(folder, error).permissions() & fs::perms::owner_write) == fs::perms::none) {
    return "the album is read-only";
  }
  const fs::space_info space = fs::space(folder, error);
  if (!error && space.available < size) return "the album is full";
  return "";
}

}  // namespace

void registerPhotoLibrary(HostGeneration generation) {
  registerAssetClass(generation);
  ui::setSavedPhotosAlbum(&saveToAlbum);
}

std::optional<CMTimeRange> slowMotionEdit(id asset) {
  if (!send<BOOL>(asset, "hasAdjustments"_sel)) return std::nullopt;
  if (responds(asset, "slalomTimeRange"_sel)) {
    return send<CMTimeRange>(asset, "slalomTimeRange"_sel);
  }
  return send<CMTimeRange>(send<id>(asset, "videoAdjustments"_sel), "slowMotionTimeRange"_sel);
}

std::string saveToAlbum(const std::string& devicePath) {
  if (albumSaveFails) {
    albumSaveFails = false;
    return "the album could not take the video";
  }
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(resolvePath(devicePath), error);
  if (error) return devicePath + " cannot be read";
  const std::string refusal = albumRefusal(size);
  if (!refusal.empty()) return refusal;
  const std::string destination = nextAlbumPath();
  if (!std::filesystem::copy_file(resolvePath(devicePath), resolvePath(destination), error)) {
    std::filesystem::remove(resolvePath(destination), error);
    return "the video could not be copied into the album";
  }
  importIntoLibrary(destination);
  return "";
}

void failNextAlbumSave() {
  albumSaveFails = true;
}

std::vector<id> libraryAssets() {
  loadLibrary();
  std::vector<id> assets;
  for (const auto& [name, asset] : library().assets) assets.push_back(asset);
  return assets;
}

id libraryAsset(const std::string& fileName) {
  loadLibrary();
  const auto found = library().assets.find(fileName);
  return found == library().assets.end() ? nil : found->second.get();
}

id importIntoLibrary(const std::string& devicePath) {
  if (objc_getClass("PLManagedAsset") == Nil) return nil;  // a build without the library
  loadLibrary();
  Ref<>& slot = library().assets[fileNameOf(devicePath)];
  slot = newAsset(devicePath);
  saveLibrary();
  return slot;
}

void saveLibrary() {
  std::vector<Ref<>> records;
  for (const auto& [name, asset] : library().assets) records.push_back(recordOf(asset));
  Ref<> list = makeArray(std::vector<id>(records.begin(), records.end()));
  Ref<> root = makeDictionary({{"assets"_ns, list.get()}});
  std::error_code error;
  std::filesystem::create_directories(
      std::filesystem::path(resolvePath(kLibraryStore)).parent_path(), error);
  foundation::writePropertyList(root, kLibraryStore, true);
}

std::string nextAlbumPath() {
  for (int number = 1;; ++number) {
    char name[32];
    std::snprintf(name, sizeof name, "IMG_%04d.MOV", number);
    const std::string path = std::string(kAlbumFolder) + "/" + name;
    std::error_code error;
    if (faultSwitchedOn("reused-album-names")) return path;  // a broken build, on purpose
    if (!std::filesystem::exists(resolvePath(path), error)) return path;
  }
}

}  // namespace qv::host
