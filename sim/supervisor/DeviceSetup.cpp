#include "sim/supervisor/DeviceSetup.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "platform/AVFoundation/Media.h"
#include "platform/CoreFoundation/CoreFoundation.h"
#include "platform/Seams.h"
#include "platform/dispatch/Clock.h"
#include "sim/settings/SettingsPane.h"

namespace qv::sim {
namespace {

// "1280x720, 120 fps, 3 s" for the file's video, or what it lacks.
std::string summary(const media::MediaInfo& info) {
  for (const media::TrackInfo& track : info.tracks) {
    if (track.mediaType != "vide") continue;
    return std::to_string(track.width) + "x" + std::to_string(track.height) + ", " +
           toText(static_cast<double>(track.nominalFrameRate)) + " fps, " +
           toText(CMTimeGetSeconds(info.duration)) + " s";
  }
  return info.tracks.empty() ? "no readable track: " + info.problem : "no video track";
}

}  // namespace

// A clip of the setup: written as the camera records, or copied from the file it names.
void putInAlbum(const Clip& clip, const Sandbox& sandbox, Trace& trace, std::int64_t instant) {
  const std::string devicePath = std::string(kAlbumPath) + "/" + clip.name;
  const std::string path = sandbox.hostPath(devicePath);
  if (!clip.file.empty()) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    if (!std::filesystem::copy_file(clip.file, path, error)) {
      throw std::runtime_error("cannot copy " + clip.fileAsWritten +
                               " into the album: " + error.message());
    }
    const media::MediaInfo info = media::readMediaInfo(path);
    trace.event(
        instant, "sim", "clip",
        "clip " + devicePath + ": copied from " + clip.fileAsWritten + " (" + summary(info) + ")");
    return;
  }
  media::writeClip(path, {clip.frameRate, clip.duration, clip.width, clip.height});
  trace.event(instant, "sim", "clip",
              "clip " + devicePath + ": " + std::to_string(clip.width) + "x" +
                  std::to_string(clip.height) + ", " + toText(clip.frameRate) + " fps, " +
                  toText(clip.duration) + " s");
}

// The device's files before any app starts: the libraries, the settings, the album.
void setUp(const Scenario& scenario, const RunOptions& options, const Sandbox& sandbox,
           Trace& trace) {
  const std::vector<std::string> installed = sandbox.installLibraries(options.libraryFolder);
  sandbox.installSettingsPane(options.libraryFolder);
  std::string names;
  for (const std::string& name : installed) names += (names.empty() ? "" : ", ") + name;
  const bool iOS7Wanted = options.library == host::LibraryChoice::iOS7;
  if (iOS7Wanted &&
      std::find(installed.begin(), installed.end(), "QuorvaneiOS7") == installed.end()) {
    throw std::runtime_error("--library ios7: QuorvaneiOS7.dylib is not built in " +
                             options.libraryFolder);
  }
  const std::int64_t start = Clock::kVirtualStart;
  trace.event(start, "sim", "device",
              scenario.device.name + ", iOS " + scenario.device.system.version + "; root " +
                  sandbox.root() + "; installed " + (names.empty() ? "no library" : names),
              {{"device", scenario.device.name},
               {"system", scenario.device.system.version},
               {"root", sandbox.root()}});
  if (!scenario.description.empty()) trace.event(start, "sim", "description", scenario.description);
  trace.event(start, "settings", "settings", writeSettingsFile(sandbox, scenario.settings));
  // What libav says of a clip's file belongs in the trace, not on the terminal.
  setDiagnosticSink([&trace](const std::string& line) {
    trace.event(Clock::kVirtualStart, "sim", "debug", line);
  });
  try {
    for (const Clip& clip : scenario.clips) putInAlbum(clip, sandbox, trace, start);
  } catch (...) {
    setDiagnosticSink({});
    throw;
  }
  setDiagnosticSink({});
}

}  // namespace qv::sim
