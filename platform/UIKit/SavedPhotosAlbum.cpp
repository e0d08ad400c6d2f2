// UISaveVideoAtPathToSavedPhotosAlbum: the file is checked and handed to the album that the
// running app keeps (its photo library), on the main queue; then the completion selector is
// sent to the target with the path, an NSError or nil, and the context.
#include <cstdio>
#include <filesystem>
#include <mutex>

#include "platform/System/FileSystem.h"
#include "platform/UIKit/UIKitPrivate.h"
#include "port/dispatch/dispatch.h"

namespace qv::ui {
namespace {

std::mutex albumLock;
SavedPhotosAlbum album;  // guarded by albumLock

SavedPhotosAlbum currentAlbum() {
  std::lock_guard<std::mutex> hold(albumLock);
  return album;
}

// Why the file cannot be saved, or an empty text.
std::string unreadable(const std::string& devicePath) {
  if (devicePath.empty()) return "no file was given";
  const std::string host = resolvePath(devicePath);
  std::error_code error;
  if (!std::filesystem::is_regular_file(host, error)) return devicePath + " is not a file";
  std::FILE* file = std::fopen(host.c_str(), "rb");
  if (file == nullptr) return devicePath + " cannot be read";
  std::fclose(file);
  return "";
}

std::string save(const std::string& devicePath) {
  std::string failure = unreadable(devicePath);
  if (!failure.empty()) return failure;
  const SavedPhotosAlbum saver = currentAlbum();
  if (!saver) return "this app has no saved-photos album";
  return saver(devicePath);
}

}  // namespace

void setSavedPhotosAlbum(SavedPhotosAlbum saver) {
  std::lock_guard<std::mutex> hold(albumLock);
  album = std::move(saver);
}

}  // namespace qv::ui

extern "C" void UISaveVideoAtPathToSavedPhotosAlbum(id videoPath, id completionTarget,
                                                    SEL completionSelector, void* contextInfo) {
  using namespace qv;
  Ref<> path(videoPath);
  Ref<> target(completionTarget);  // held until the completion has been sent
  dispatch_async(dispatch_get_main_queue(), [path, target, completionSelector, contextInfo] {
    const std::string failure = ui::save(path ? utf8(path) : "");
    Ref<> error;
    if (!failure.empty()) error = makeError("ALAssetsLibraryErrorDomain", -3302, failure);
    if (target && completionSelector != nullptr) {
      send(target.get(), completionSelector, path.get(), error.get(), contextInfo);
    }
  });
}
