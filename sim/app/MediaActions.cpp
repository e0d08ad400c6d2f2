// The media steps an app takes: through the capture controller in Camera, through the Photos
// screen and its video view in Photos. Long work shows its progress on standard error.
#include <map>
#include <optional>

#include "host/ios8/PhotosActions.h"
#include "host/ios8/PhotosApp.h"
#include "host/ios8/PhotosUI.h"
#include "host/ios8/VideoRecording.h"
#include "platform/Foundation/Foundation.h"
#include "sim/app/AppSide.h"
#include "sim/app/AppState.h"
#include "sim/app/MediaSide.h"
#include "sim/app/MediaState.h"
#include "sim/supervisor/Trace.h"

namespace qv::sim::app {
namespace {

std::string label(const Value& argument, const char* fallback) {
  const Value* given = argument.find("label");
  return given != nullptr && given->text() != nullptr ? *given->text() : fallback;
}

Value inner(const Value& argument) {
  const Value* given = argument.find("argument");
  return given != nullptr ? *given : Value();
}

std::string startRecording() {
  id controller = captureController();
  if (!responds(controller, "startVideoCapture"_sel)) {
    return "record: the app has no CAMCaptureController that records";
  }
  send(controller, "startVideoCapture"_sel);
  return "";
}

std::string stopRecording(const Value& argument) {
  id controller = captureController();
  if (!responds(controller, "stopVideoCapture"_sel)) {
    return "record: the app has no CAMCaptureController that records";
  }
  Progress progress(argument.text() != nullptr ? *argument.text() : "record", 1);
  host::setRecordingProgress([&progress](double done) { progress.update(done); });
  send(controller, "stopVideoCapture"_sel);
  host::setRecordingProgress({});
  return "";
}

// The actions on the open clip need one.
std::string withVideoView(const char* action, const std::function<std::string(id)>& work) {
  id view = host::openVideoView();
  if (view == nil) return std::string(action) + ": no clip is open (open_clip first)";
  return work(view);
}

std::string play() {
  return withVideoView("play", [](id view) {
    mediaState().playback = host::playVideo(view);
    return std::string();
  });
}

std::string seek(const Value& argument) {
  return withVideoView("seek", [&argument](id view) {
    const double seconds = inner(argument).number();
    const double length = send<double>(send<id>(view, "videoCameraImage"_sel), "duration"_sel);
    if (seconds > length + 1e-9) {
      return "seek: the clip lasts " + toText(Value(length)) + " s, not " + toText(Value(seconds));
    }
    host::seekVideoView(view, seconds);
    return std::string();
  });
}

std::string exportClip(const Value& argument) {
  return withVideoView("export", [&argument](id view) {
    const Value preset = inner(argument);
    Progress progress(label(argument, "export"), 1);
    mediaState().exported = host::exportVideo(view, preset.text() ? *preset.text() : "",
                                              [&progress](double done) { progress.update(done); });
    return std::string();
  });
}

std::string editSlowMotion(const Value& argument) {
  return withVideoView("edit_slow_motion", [&argument](id view) {
    const Value range = inner(argument);
    const ValueList* ends = range.list();
    if (ends == nullptr || ends->size() != 2) return std::string("edit_slow_motion: no section");
    const std::string problem =
        host::editSlowMotion(view, (*ends)[0].number(), (*ends)[1].number());
    return problem.empty() ? problem : "edit_slow_motion: " + problem;
  });
}

bool isOpen(const std::string& file) {
  id asset = send<id>(host::openVideoView(), "videoCameraImage"_sel);
  return asset != nil && utf8(send<id>(asset, "filename"_sel)) == file;
}

// A tap on the clip's tile where the album shows it. Where it does not (under an open clip, in
// Camera's roll) or the tap opened nothing, the clip opens as the tile would open it, which says
// why it could not.
std::string openClip(const Value& argument) {
  const Value name = inner(argument);
  const std::string file = name.text() != nullptr ? *name.text() : "";
  id tile = controlLabelled(host::appWindow(), file);
  bool tapped = false;
  if (reachable(tile)) {
    const std::string missed = tapOnto("open_clip", tile, 1, "the tile of " + file);
    if (!missed.empty()) return missed;
    tapped = isOpen(file);
  }
  const std::string problem = tapped ? "" : host::openClip(file);
  if (problem.empty()) mediaState().playback.reset();
  return problem.empty() ? problem : "open_clip: " + problem;
}

}  // namespace

std::optional<std::string> performMedia(const std::string& action, const Value& argument) {
  if (action == "start_recording") return startRecording();
  if (action == "stop_recording") return stopRecording(argument);
  if (action == "open_clip") return openClip(argument);
  if (action == "play") return play();
  if (action == "seek") return seek(argument);
  if (action == "export") return exportClip(argument);
  if (action == "edit_slow_motion") return editSlowMotion(argument);
  return std::nullopt;
}

}  // namespace qv::sim::app
