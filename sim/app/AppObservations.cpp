// The live state an app reports: its camera, its capture controller's answers, and the HUDs and
// notices on its screen.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <optional>

#include "host/ios8/ControllerCore.h"
#include "platform/AVFoundation/AVFoundation.h"
#include "platform/CoreFoundation/CoreFoundation.h"
#include "platform/CoreMedia/CoreMedia.h"
#include "platform/Seams.h"
#include "platform/System/System.h"
#include "platform/UIKit/UIKit.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "sim/app/AppSide.h"
#include "sim/app/AppState.h"
#include "sim/app/BrowserSide.h"
#include "sim/app/CameraScreenSide.h"
#include "sim/app/InstallationLines.h"
#include "sim/app/MediaSide.h"

namespace qv::sim::app {
namespace {

// How far, and over how many pieces of work, the look-ahead for a HUD's hide goes.
constexpr std::int64_t kLookAheadNs = 3600 * 1'000'000'000LL;
constexpr int kLookAheadSteps = 100'000;
constexpr unsigned kLookAheadSeconds = 10;  // of real time

id currentDevice() {
  return send<id>(captureController(), "currentDevice"_sel);
}

id activeFormat() {
  return send<id>(currentDevice(), "activeFormat"_sel);
}

Value size(id format) {
  if (format == nil) return {};
  const CMVideoDimensions dimensions = CMVideoFormatDescriptionGetDimensions(
      send<CMFormatDescriptionRef>(format, "formatDescription"_sel));
  return std::to_string(dimensions.width) + "x" + std::to_string(dimensions.height);
}

Value frameRates(id format) {
  if (format == nil) return {};
  ValueList ranges;
  for (id range : arrayElements(send<id>(format, "videoSupportedFrameRateRanges"_sel))) {
    ranges.push_back(ValueList{send<double>(range, "minFrameRate"_sel),
                               send<double>(range, "maxFrameRate"_sel)});
  }
  return ranges;
}

Value duration(SEL getter) {
  id device = currentDevice();
  if (device == nil) return {};
  const CMTime time = send<CMTime>(device, getter);
  if (!CMTIME_IS_VALID(time)) return {};
  return std::to_string(time.value) + "/" + std::to_string(time.timescale);
}

Value preview() {
  id controller = captureController();
  if (controller == nil) return {};
  if (send<BOOL>(controller, "isPreviewRunning"_sel)) return "running";
  return previewRequested() ? "refused" : "stopped";
}

Value cameraMode() {
  id controller = captureController();
  if (controller == nil) return {};
  const long mode = send<long>(controller, "cameraMode"_sel);
  switch (mode) {
    case 0:
      return "photo";
    case 1:
      return "video";
    case 2:
      return "slow_motion";
    default:
      return mode;
  }
}

// Answers of the capture controller go through the library's replacements, as the host's own
// calls do; a controller of a build without the method has no answer.
Value mogulFrameRate() {
  id controller = captureController();
  if (!responds(controller, "mogulFrameRate"_sel)) return {};
  return send<double>(controller, "mogulFrameRate"_sel);
}

// iOS 8 chooses for the rate; iOS 7 for the device alone.
Value mogulFormat() {
  id controller = captureController();
  if (responds(controller, "_mogulFormatFromDevice:"_sel)) {
    return size(send<id>(controller, "_mogulFormatFromDevice:"_sel, currentDevice()));
  }
  if (!responds(controller, "mogulFrameRate"_sel) ||
      !responds(controller, "_mogulFormatFromDevice:frameRate:"_sel)) {
    return {};
  }
  return size(send<id>(controller, "_mogulFormatFromDevice:frameRate:"_sel, currentDevice(),
                       send<double>(controller, "mogulFrameRate"_sel)));
}

// HUDs.

bool isShowing(id hud) {
  return send<id>(hud, "window"_sel) != nil && !send<BOOL>(hud, "isHidden"_sel) &&
         send<id>(hud, "showStarted"_sel) != nil;  // a hide clears it as it begins
}

void collectHUDs(id view, Class hudClass, std::vector<id>& found) {
  if (isKindOf(view, hudClass) && isShowing(view)) found.push_back(view);
  for (id child : arrayElements(send<id>(view, "subviews"_sel))) {
    collectHUDs(child, hudClass, found);
  }
}

std::vector<id> visibleHUDs() {
  std::vector<id> found;
  Class hudClass = objc_getClass("RuvelProgressHUD");
  if (hudClass == Nil) return found;
  id application = send<id>(objc_getClass("UIApplication"), "sharedApplication"_sel);
  for (id window : arrayElements(send<id>(application, "windows"_sel))) {
    collectHUDs(window, hudClass, found);
  }
  return found;
}

// In a copy of the process: runs the main loop ahead until each HUD's hide begins, with every
// way out of the process closed. Answers each hide's instant, or -1.
[[noreturn]] void lookAhead(const std::vector<id>& huds, int resultFd, int channelFd) {
  ::alarm(kLookAheadSeconds);  // a future that never settles ends the copy, not the app
  ::close(channelFd);
  setLogSink([](int, const std::string&) {});
  setDiagnosticSink([](const std::string&) {});
  setDarwinPostHandler([](const std::string&) {});
  setSystemHandler([](const std::string&) { return 0; });
  std::vector<Ref<>> held(huds.begin(), huds.end());  // none may go before it is looked at
  std::vector<std::int64_t> hides(huds.size(), -1);
  const std::int64_t limit = Clock::now() + kLookAheadNs;
  try {
    for (int step = 0; step < kLookAheadSteps; ++step) {
      bool pending = false;
      for (std::size_t i = 0; i < huds.size(); ++i) {
        if (hides[i] < 0 && !isShowing(huds[i])) hides[i] = Clock::now();
        pending = pending || hides[i] < 0;
      }
      const std::optional<std::int64_t> next = MainRunLoop::nextDeadline();
      if (!pending || !next || *next > limit) break;
      MainRunLoop::runUntil(std::max(*next, Clock::now()));
    }
  } catch (...) {
    // What the future raises is the future's business; the hides seen so far stand.
  }
  const auto bytes = static_cast<ssize_t>(hides.size() * sizeof(std::int64_t));
  _exit(::write(resultFd, hides.data(), static_cast<std::size_t>(bytes)) == bytes ? 0 : 1);
}

std::vector<std::optional<double>> timesLeft(const std::vector<id>& huds, int channelFd) {
  std::vector<std::optional<double>> left(huds.size());
  int fds[2];
  if (huds.empty() || ::pipe(fds) != 0) return left;
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    lookAhead(huds, fds[1], channelFd);
  }
  ::close(fds[1]);
  std::vector<std::int64_t> hides(huds.size(), -1);
  const std::size_t wanted = hides.size() * sizeof(std::int64_t);
  std::size_t got = 0;
  while (child > 0 && got < wanted) {
    const ssize_t n = ::read(fds[0], reinterpret_cast<char*>(hides.data()) + got, wanted - got);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fds[0]);
  if (child > 0) ::waitpid(child, nullptr, 0);
  if (got != wanted) return left;
  for (std::size_t i = 0; i < huds.size(); ++i) {
    if (hides[i] >= 0) left[i] = static_cast<double>(hides[i] - Clock::now()) / 1e9;
  }
  return left;
}

Value modeName(int mode) {
  switch (mode) {
    case 0:
      return "spinner";
    case 4:
      return "custom_view";
    case 5:
      return "text_only";
    default:
      return mode;
  }
}

Value text(id string) {
  return string == nil ? Value() : Value(utf8(string));
}

// Both lists at once: one look-ahead serves them.
std::pair<Value, Value> hudsAndNotices(int channelFd) {
  const std::vector<id> huds = visibleHUDs();
  const std::vector<std::optional<double>> left = timesLeft(huds, channelFd);
  ValueList all;
  ValueList notices;
  for (std::size_t i = 0; i < huds.size(); ++i) {
    const int mode = send<int>(huds[i], "mode"_sel);
    const Value label = text(send<id>(huds[i], "labelText"_sel));
    const Value details = text(send<id>(huds[i], "detailsLabelText"_sel));
    const Value timeLeft = left[i] ? Value(*left[i]) : Value();
    all.push_back(ValueMap{
        {"mode", modeName(mode)}, {"label", label}, {"details", details}, {"time_left", timeLeft}});
    if (mode == 5) {
      notices.push_back(ValueMap{{"title", label}, {"message", details}, {"time_left", timeLeft}});
    }
  }
  return {all, notices};
}

Value missingClasses() {
  ValueList missing;
  for (const std::string& name : hookedClassNames()) {
    if (objc_getClass(name.c_str()) == Nil) missing.push_back(name);
  }
  return missing;
}

}  // namespace

bool& previewRequested() {
  static bool requested = false;
  return requested;
}

id captureController() {
  return host::sharedCaptureController();
}

ValueMap observe(const ValueList& keys, int channelFd) {
  using Reader = Value (*)();
  static const std::map<std::string, Reader> kReaders{
      {"preview", &preview},
      {"camera_mode", &cameraMode},
      {"format", [] { return size(activeFormat()); }},
      {"frame_rates", [] { return frameRates(activeFormat()); }},
      {"min_frame_duration", [] { return duration("activeVideoMinFrameDuration"_sel); }},
      {"max_frame_duration", [] { return duration("activeVideoMaxFrameDuration"_sel); }},
      {"mogul_frame_rate", &mogulFrameRate},
      {"mogul_format", &mogulFormat},
      {"indicator", &indicatorState},
      {"alert", &alertState},
      {"debug_controls", &debugControlsState},
      {"first_responder", &firstResponderState},
      {"double_tap_areas", &doubleTapAreas},
      {"missing_classes", &missingClasses},
  };
  std::optional<std::pair<Value, Value>> screen;  // HUDs and notices, looked at once
  ValueMap state;
  for (const Value& key : keys) {
    const std::string name = key.text() != nullptr ? *key.text() : "";
    Value value;
    if (const auto reader = kReaders.find(name); reader != kReaders.end()) {
      value = reader->second();
    } else if (name == "huds" || name == "notices") {
      if (!screen) screen = hudsAndNotices(channelFd);
      value = name == "huds" ? screen->first : screen->second;
    } else if (auto media = observeMedia(name)) {
      value = std::move(*media);
    } else if (auto browser = observeBrowser(name)) {
      value = std::move(*browser);
    }
    state.emplace_back(name, std::move(value));
  }
  return state;
}

}  // namespace qv::sim::app
