// AVAssetExportSession and the preset names: an export writes a real file on a global queue,
// copying the tracks for the passthrough preset and encoding the video again for the others.
#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>

#include "platform/AVFoundation/AVFoundation.h"
#include "platform/AVFoundation/Media.h"
#include "platform/Foundation/Foundation.h"
#include "platform/System/FileSystem.h"
#include "port/dispatch/dispatch.h"

// The preset names and the file type, nil until the platform loads.
id AVAssetExportPresetPassthrough, AVAssetExportPresetHighestQuality,
    AVAssetExportPresetMediumQuality, AVAssetExportPresetLowQuality, AVAssetExportPreset640x480,
    AVAssetExportPreset960x540, AVAssetExportPreset1280x720, AVAssetExportPreset1920x1080,
    AVFileTypeQuickTimeMovie;

namespace qv::avfoundation {
namespace {

struct Preset {
  const char* name;
  bool passthrough;
  int maxWidth;  // 0: the source's size
  int maxHeight;
};

// The presets the platform knows, with the mail preset the Photos app shares by mail with.
constexpr Preset kPresets[] = {
    {"AVAssetExportPresetPassthrough", true, 0, 0},
    {"AVAssetExportPresetHighestQuality", false, 0, 0},
    {"AVAssetExportPresetMediumQuality", false, 480, 360},
    {"AVAssetExportPresetLowQuality", false, 192, 144},
    {"AVAssetExportPreset640x480", false, 640, 480},
    {"AVAssetExportPreset960x540", false, 960, 540},
    {"AVAssetExportPreset1280x720", false, 1280, 720},
    {"AVAssetExportPreset1920x1080", false, 1920, 1080},
    {"AVAssetExportPresetMailMedium", false, 640, 360},
};

const Preset* findPreset(const std::string& name) {
  for (const Preset& preset : kPresets) {
    if (name == preset.name) return &preset;
  }
  return nullptr;
}

struct SessionState {
  Ref<> asset;
  Ref<> presetName;
  Ref<> outputURL;
  Ref<> outputFileType;
  CMTime minVideoFrameDuration = kCMTimeInvalid;
  std::atomic<long> status{AVAssetExportSessionStatusUnknown};
  std::atomic<float> progress{0};
  std::mutex mutex;
  std::string failure;
};

SessionState& sessionOf(id session) {
  return stateOf<SessionState>(session);
}

// Nil, and the session released, for a nil asset or a preset the platform does not know.
id initWithAssetPresetName(id self, SEL, id asset, id presetName) {
  if (asset == nil || findPreset(utf8(presetName)) == nullptr) {
    release(self);
    return nil;
  }
  SessionState& state = sessionOf(self);
  state.asset = Ref<>(asset);
  state.presetName = adopt(send<id>(presetName, "copy"_sel));
  return self;
}

id exportSessionWithAssetPresetName(id cls, SEL, id asset, id presetName) {
  return autorelease(
      send<id>(send<id>(cls, "alloc"_sel), "initWithAsset:presetName:"_sel, asset, presetName));
}

id asset(id self, SEL) {
  return sessionOf(self).asset;
}
id presetName(id self, SEL) {
  return sessionOf(self).presetName;
}
id outputURL(id self, SEL) {
  return sessionOf(self).outputURL;
}
void setOutputURL(id self, SEL, id url) {
  sessionOf(self).outputURL = adopt(send<id>(url, "copy"_sel));
}
id outputFileType(id self, SEL) {
  return sessionOf(self).outputFileType;
}
void setOutputFileType(id self, SEL, id type) {
  sessionOf(self).outputFileType = adopt(send<id>(type, "copy"_sel));
}
CMTime minVideoFrameDuration(id self, SEL) {
  return sessionOf(self).minVideoFrameDuration;
}

// The platform takes only a valid, positive duration.
void setMinVideoFrameDuration(id self, SEL selector, CMTime duration) {
  if (!CMTIME_IS_VALID(duration) || duration.timescale <= 0 || duration.value <= 0) {
    raise("NSInvalidArgumentException",
          "*** " + methodName(self, selector) + " invalid minimum video frame duration");
  }
  sessionOf(self).minVideoFrameDuration = duration;
}

long status(id self, SEL) {
  return sessionOf(self).status.load();
}
float progress(id self, SEL) {
  return sessionOf(self).progress.load();
}

void fail(SessionState& state, const std::string& why) {
  {
    std::lock_guard lock(state.mutex);
    state.failure = why;
  }
  state.status = AVAssetExportSessionStatusFailed;
}

void runExport(id self) {
  SessionState& state = sessionOf(self);
  const Preset& preset = *findPreset(utf8(state.presetName));
  if (state.outputURL.get() == nil) return fail(state, "no output URL");
  // A file with no track that reads exports nothing, and leaves no file behind.
  const std::string unreadable = assetError(state.asset.get());
  if (!unreadable.empty()) return fail(state, unreadable);
  const std::string source =
      resolvePath(utf8(send<id>(send<id>(state.asset.get(), "URL"_sel), "path"_sel)));
  const std::string destination = resolvePath(utf8(send<id>(state.outputURL.get(), "path"_sel)));
  std::error_code error;
  if (std::filesystem::exists(destination, error)) {
    return fail(state, "the output file already exists");
  }
  media::ExportRequest request;
  request.passthrough = preset.passthrough;
  request.maxWidth = preset.maxWidth;
  request.maxHeight = preset.maxHeight;
  request.minFrameDuration = state.minVideoFrameDuration;
  const std::string problem = media::exportMedia(
      source, destination, request, [&state](double done) { state.progress = float(done); });
  if (!problem.empty()) return fail(state, problem);
  state.progress = 1;
  state.status = AVAssetExportSessionStatusCompleted;
}

// The export runs on a global queue; the handler is called there when it has ended.
void exportAsynchronously(id self, SEL, std::function<void()> handler) {
  SessionState& state = sessionOf(self);
  long expected = AVAssetExportSessionStatusUnknown;
  if (!state.status.compare_exchange_strong(expected, AVAssetExportSessionStatusExporting)) {
    raise("NSInternalInconsistencyException",
          "*** -[AVAssetExportSession exportAsynchronouslyWithCompletionHandler:] an export "
          "session can be run only once");
  }
  Ref<> session(self);  // held until the export has ended
  dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [session, handler] {
    runExport(session);
    if (handler) handler();
  });
}

Class exportSessionClass() {
  static const Class cls =
      ClassBuilder("AVAssetExportSession", NSObjectClass())
          .state<SessionState>()
          .classMethod("exportSessionWithAsset:presetName:", &exportSessionWithAssetPresetName)
          .method("initWithAsset:presetName:", &initWithAssetPresetName)
          .method("asset", &asset)
          .method("presetName", &presetName)
          .method("outputURL", &outputURL)
          .method("setOutputURL:", &setOutputURL)
          .method("outputFileType", &outputFileType)
          .method("setOutputFileType:", &setOutputFileType)
          .method("minVideoFrameDuration", &minVideoFrameDuration)
          .method("setMinVideoFrameDuration:", &setMinVideoFrameDuration)
          .method("status", &status)
          .method("progress", &progress)
          .method("exportAsynchronouslyWithCompletionHandler:", &exportAsynchronously)
          .registerClass();
  return cls;
}

__attribute__((constructor(140))) void registerExportSession() {
  AVAssetExportPresetPassthrough = detail::immortalString("AVAssetExportPresetPassthrough");
  AVAssetExportPresetHighestQuality = detail::immortalString("AVAssetExportPresetHighestQuality");
  AVAssetExportPresetMediumQuality = detail::immortalString("AVAssetExportPresetMediumQuality");
  AVAssetExportPresetLowQuality = detail::immortalString("AVAssetExportPresetLowQuality");
  AVAssetExportPreset640x480 = detail::immortalString("AVAssetExportPreset640x480");
  AVAssetExportPreset960x540 = detail::immortalString("AVAssetExportPreset960x540");
  AVAssetExportPreset1280x720 = detail::immortalString("AVAssetExportPreset1280x720");
  AVAssetExportPreset1920x1080 = detail::immortalString("AVAssetExportPreset1920x1080");
  AVFileTypeQuickTimeMovie = detail::immortalString("com.apple.quicktime-movie");
  exportSessionClass();
}

}  // namespace
}  // namespace qv::avfoundation

namespace qv {

std::string exportFailure(id session) {
  if (session == nil) return "";
  avfoundation::SessionState& state = avfoundation::sessionOf(session);
  std::lock_guard lock(state.mutex);
  return state.failure;
}

}  // namespace qv
