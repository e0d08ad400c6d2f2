#include "sim/front/MonkeyEpisode.h"

#include <glib.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

#include "host/App.h"
#include "host/AppWindow.h"
#include "platform/AVFoundation/Media.h"
#include "platform/dispatch/Clock.h"
#include "sim/app/InstallationLines.h"
#include "sim/front/MonkeyTouches.h"
#include "sim/language/ScenarioParser.h"
#include "sim/language/YamlWriting.h"
#include "sim/supervisor/Sandbox.h"
#include "sim/supervisor/Supervisor.h"

namespace qv::sim {
namespace {

namespace fs = std::filesystem;

constexpr const char* kMonkeyFile = "monkey";
// The longest a notice of the library stays: the refused-rate notice's ten seconds.
constexpr double kLongestNotice = 10;

std::string setupText(const EpisodeSetup& setup) {
  std::string text = "device: " + textScalar(setup.device) + "\nsettings: " + setup.settings + "\n";
  if (!setup.clips.empty()) text += "clips:\n";
  for (const std::string& clip : setup.clips) text += "  - " + clip + "\n";
  return text;
}

std::string albumHash(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  const std::string data = bytes.str();
  gchar* digest = g_compute_checksum_for_data(
      G_CHECKSUM_SHA256, reinterpret_cast<const guchar*>(data.data()), data.size());
  std::string hex(digest);
  g_free(digest);
  return hex;
}

std::string textOf(const Value& value, const char* key) {
  const Value* found = value.find(key);
  return found != nullptr && found->text() != nullptr ? *found->text() : "";
}

}  // namespace

std::string scenarioText(const EpisodeSetup& setup, const std::vector<std::string>& steps) {
  std::string text = setupText(setup) + "steps:\n";
  for (const std::string& step : steps) text += "  - " + step + "\n";
  return text;
}

// One fresh device taking step lines, with the invariants looked at after every step.
class Episode::State {
 public:
  State(const EpisodeSetup& setup, const MonkeyOptions& options, const host::Catalog& catalog,
        const fs::path& root)
      : catalog_(catalog), root_(root), trace_(quiet_, false, Clock::kVirtualStart) {
    trace_.listen([this](const TraceEvent& event) { hear(event); });
    Scenario scenario = parseScenario(scenarioText(setup, {"wait: 0"}), kMonkeyFile, catalog);
    RunOptions run;
    run.root = root.string();
    run.library = options.library;
    run.libraryFolder = options.libraryFolder;
    session_ = std::make_unique<Session>(scenario, run, trace_);
    for (const std::string& name : albumNames()) remember(name);
    if (const host::Device* device = catalog.device(setup.device)) {
      screen_ = host::screenSize(device->idiom);
    }
  }

  ~State() { session_->finish("the episode ended"); }
  State(const State&) = delete;
  State& operator=(const State&) = delete;

  // Takes the line; answers whether the apps took it.
  bool take(const std::string& line) {
    ++taken_;
    stepFailed_ = false;
    const Step step = parseStep(line, {kMonkeyFile, taken_}, "", catalog_);
    const AppStep* inApp = std::get_if<AppStep>(&step.action);
    if (const Launch* launch = std::get_if<Launch>(&step.action)) ++launches_[launch->app];
    savePress_.reset();
    if (inApp != nullptr && pressesSave(*inApp)) {
      savePress_.emplace(inApp->app, openClips_[inApp->app], looker());
    }
    touch_ = TouchPromise::before(step, looker());
    nothingTook_ = false;
    session_->take(step);
    if (inApp != nullptr && inApp->action == "open_clip" && !stepFailed_) {
      openClips_[inApp->app] = *inApp->argument.text();
    }
    return !stepFailed_;
  }

  bool pressedSave() const { return savePress_.has_value(); }

  std::optional<Violation> check() {
    if (!crash_.empty()) return Violation{"crash", crashedApp_, crash_, {}};
    const std::vector<std::string> apps = running();
    for (const char* app : {host::kCameraApp, host::kPhotosApp}) {
      const bool runs = std::find(apps.begin(), apps.end(), app) != apps.end();
      if (auto broken = checkLog(app, runs)) return broken;
    }
    if (auto broken = checkAlbum()) return broken;
    cameraOverlaid_ = false;
    for (const std::string& app : apps) {
      if (auto broken = checkOverlays(app)) return broken;
      if (auto broken = checkSaveOverlay(app, looker())) return broken;
    }
    if (touch_ && !stepFailed_) {
      if (auto broken = touch_->after(looker(), nothingTook_)) return broken;
    }
    if (savePress_ && !stepFailed_) return savePress_->check(looker());
    return std::nullopt;
  }

  Glance glance() {
    Glance seen;
    const std::vector<std::string> apps = running();
    seen.cameraRunning = std::find(apps.begin(), apps.end(), host::kCameraApp) != apps.end();
    seen.photosRunning = std::find(apps.begin(), apps.end(), host::kPhotosApp) != apps.end();
    seen.album = albumNames();
    seen.cameraOverlaid = cameraOverlaid_;
    seen.settingsPane = look("settings_pane", host::kCameraApp);
    seen.screenWidth = screen_.width;
    seen.screenHeight = screen_.height;
    if (seen.cameraRunning) {
      seen.alert = look("alert", host::kCameraApp);
      seen.indicator = look("indicator", host::kCameraApp);
    }
    for (const std::string& app : apps) {
      if (auto browser = browserGlance(app)) seen.browsers.push_back(std::move(*browser));
    }
    if (!seen.photosRunning) openClips_.erase(host::kPhotosApp);
    if (!seen.cameraRunning) openClips_.erase(host::kCameraApp);
    if (const auto open = openClips_.find(host::kPhotosApp); open != openClips_.end()) {
      seen.openClip = open->second;
      const Value clip = look("clip", host::kPhotosApp);
      seen.openClipDuration = clip.find("duration") ? clip.find("duration")->number() : 0;
      const Value asset = look("asset", host::kPhotosApp);
      seen.editorOffered = isTrue(asset.find("editor"));
    }
    return seen;
  }

 private:
  void hear(const TraceEvent& event) {
    if (event.kind == "failure") stepFailed_ = true;
    if (event.text.find("nothing changed") != std::string::npos) nothingTook_ = true;
    if (event.kind == "crash" && crash_.empty()) {
      crash_ = event.text;
      crashedApp_ = event.source;
    }
  }

  Value look(const std::string& key, const std::string& app) {
    std::string problem;
    return session_->look(*findObservable(key), app, problem);
  }

  Look looker() {
    return [this](const std::string& key, const std::string& app) { return look(key, app); };
  }

  static bool pressesSave(const AppStep& step) {
    const bool bar = step.action == "press_bar" && step.app == host::kPhotosApp;
    const bool sheet = step.action == "press_sheet" && step.app == host::kCameraApp;
    return (bar || sheet) && step.argument.text() != nullptr &&
           *step.argument.text() == "Save Slo-mo";
  }

  static std::vector<std::string> titles(const Value* listed) {
    std::vector<std::string> all;
    if (listed == nullptr || listed->list() == nullptr) return all;
    for (const Value& title : *listed->list()) all.push_back(title.text() ? *title.text() : "");
    return all;
  }

  // The app's photo browser, when one is up.
  std::optional<BrowserGlance> browserGlance(const std::string& app) {
    const Value bar = look("bar_buttons", app);
    if (bar.list() == nullptr) return std::nullopt;
    const Value sheet = look("sheet", app);
    return BrowserGlance{app, titles(&bar), titles(sheet.find("buttons"))};
  }

  std::vector<std::string> running() {
    std::vector<std::string> apps;
    const Value listed = look("running", host::kCameraApp);
    if (listed.list() == nullptr) return apps;
    for (const Value& app : *listed.list()) apps.push_back(*app.text());
    return apps;
  }

  // The library's installation lines for the classes the app lacks, or none when the settings
  // turn the library off. Learnt while the app runs, once per launch, and held for its log after
  // it has ended.
  std::vector<std::string> expectedLog(const std::string& app) {
    const Value library = look("library", app);
    const LibraryLines* lines = library.text() ? libraryLines(*library.text()) : nullptr;
    if (lines == nullptr || !libraryEnabled()) return {};
    const Value missing = look("missing_classes", app);
    return installationLines(*lines, titles(&missing));
  }

  bool libraryEnabled() {
    const Value settings = look("settings_file", host::kCameraApp);
    const Value* enabled = settings.find("EnableSlalom");
    if (enabled == nullptr) return true;  // absent, or no readable file: the default, YES
    const bool* flag = std::get_if<bool>(&enabled->data);
    return flag != nullptr ? *flag : enabled->number() != 0;
  }

  std::optional<Violation> checkLog(const std::string& app, bool running) {
    const Value log = look("log", app);
    if (log.list() == nullptr) return std::nullopt;
    ExpectedLog& expected = expectedLogs_[app];
    if (running && expected.launch != launches_[app]) {
      expected = {launches_[app], expectedLog(app)};
    }
    if (expected.launch != launches_[app]) return std::nullopt;  // never seen running
    const std::vector<std::string> lines = titles(&log);
    if (lines == expected.lines) return std::nullopt;
    return Violation{
        "log",
        app,
        logDifference(lines, expected.lines),
        {"expect: {app: " + app +
         ", log: " + toText(Value(ValueList(expected.lines.begin(), expected.lines.end()))) + "}"}};
  }

  static std::string logDifference(const std::vector<std::string>& lines,
                                   const std::vector<std::string>& expected) {
    for (const std::string& line : lines) {
      if (std::find(expected.begin(), expected.end(), line) == expected.end()) {
        return "the log holds a line that is not an installation line: " + line;
      }
    }
    const auto [logged, wanted] =
        std::mismatch(lines.begin(), lines.end(), expected.begin(), expected.end());
    if (logged == lines.end()) return "the log lacks the installation line: " + *wanted;
    return "the log holds the installation line " + *logged + " where " +
           (wanted == expected.end() ? std::string("none") : *wanted) + " belongs";
  }

  std::optional<Violation> checkAlbum() {
    const std::vector<std::string> names = albumNames();
    for (auto& [name, hash] : album_) {
      if (std::find(names.begin(), names.end(), name) == names.end()) {
        std::vector<std::string> kept = names;
        kept.push_back(name);
        std::sort(kept.begin(), kept.end());
        return Violation{
            "album",
            "",
            "the album lost " + name,
            {"expect: {album: " + toText(Value(ValueList(kept.begin(), kept.end()))) + "}"}};
      }
      if (albumHash(albumFile(name)) != hash) {
        return Violation{"album", "", "the album's " + name + " changed", sameClip(name)};
      }
    }
    for (const std::string& name : names) {
      if (album_.count(name) == 0) remember(name);
    }
    return std::nullopt;
  }

  // A notice hides within its time, and every other HUD of the library is on its way out: only
  // the platform's own overlay covers a save.
  std::optional<Violation> checkOverlays(const std::string& app) {
    const Value huds = look("huds", app);
    if (huds.list() == nullptr) return std::nullopt;
    if (app == host::kCameraApp) cameraOverlaid_ = !huds.list()->empty();
    for (const Value& hud : *huds.list()) {
      const Value* left = hud.find("time_left");
      const bool notice = textOf(hud, "mode") == "text_only";
      // Appended piece by piece: gcc 12 misreads `"'" + text` as an overlapping copy at -O2.
      std::string named = "'";
      named += textOf(hud, "label");
      if (notice) named += ": " + textOf(hud, "details");
      named += "'";
      const std::vector<std::string> witness{kPastEveryNotice,
                                             "expect: {app: " + app + ", huds: []}"};
      if (left == nullptr || left->isNone()) {
        return Violation{notice ? "notice" : "overlay", app,
                         (notice ? "the notice " : "the overlay ") + named +
                             (notice ? " never hides" : " stays with no save in flight"),
                         witness};
      }
      if (notice && left->number() > kLongestNotice + 1e-6) {
        return Violation{"notice", app,
                         "the notice " + named + " stays " + toText(*left) + " s more", witness};
      }
    }
    return std::nullopt;
  }

  void remember(const std::string& name) {
    album_[name] = albumHash(albumFile(name));
    for (const media::TrackInfo& track : media::readMediaInfo(albumFile(name).string()).tracks) {
      if (track.mediaType != "vide") continue;
      looks_[name] = "{name: " + textScalar(name) + ", frames: " + std::to_string(track.frames) +
                     ", size: " + std::to_string(track.width) + "x" + std::to_string(track.height) +
                     "}";
    }
  }

  // What `run` can see of a changed file: the clip as it was, opened in Photos.
  std::vector<std::string> sameClip(const std::string& name) const {
    const auto found = looks_.find(name);
    if (found == looks_.end()) return {};
    return {"launch: MobileSlideShow", "open_clip: " + textScalar(name),
            "expect: {app: MobileSlideShow, clip: " + found->second + "}"};
  }

  std::vector<std::string> albumNames() const {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(albumFile(""), error)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path albumFile(const std::string& name) const {
    return root_ / (std::string(kAlbumPath).substr(1) + "/" + name);
  }

  const host::Catalog& catalog_;
  fs::path root_;
  std::ostream quiet_{nullptr};  // the trace is looked at, not shown
  Trace trace_;
  std::unique_ptr<Session> session_;
  std::map<std::string, std::string> album_;      // file name to its contents' hash
  std::map<std::string, std::string> looks_;      // file name to its clip's frames and size
  std::map<std::string, std::string> openClips_;  // app to the clip its browser opened
  struct ExpectedLog {
    int launch = -1;  // the launch of the app it is for
    std::vector<std::string> lines;
  };
  std::map<std::string, int> launches_;  // app to how often it was launched
  std::map<std::string, ExpectedLog> expectedLogs_;
  std::optional<SavePress> savePress_;  // the step's press of Save Slo-mo
  std::optional<TouchPromise> touch_;   // what the step's touch promises
  bool nothingTook_ = false;            // the trace said the step's touch changed nothing
  CGSize screen_{320, 568};
  std::string crash_, crashedApp_;
  bool stepFailed_ = false;
  bool cameraOverlaid_ = false;
  int taken_ = 0;
};

Episode::Episode(const EpisodeSetup& setup, const MonkeyOptions& options,
                 const host::Catalog& catalog, const fs::path& root)
    : state_(std::make_unique<State>(setup, options, catalog, root)) {}

Episode::~Episode() = default;

bool Episode::take(const std::string& line) {
  return state_->take(line);
}

bool Episode::pressedSave() const {
  return state_->pressedSave();
}

std::optional<Violation> Episode::check() {
  return state_->check();
}

Glance Episode::glance() {
  return state_->glance();
}

// Runs the lines on a fresh device until an invariant breaks.
ReplayOutcome replay(const EpisodeSetup& setup, const std::vector<std::string>& lines,
                     const MonkeyOptions& options, const host::Catalog& catalog,
                     const fs::path& root) {
  ReplayOutcome outcome;
  {
    Episode episode(setup, options, catalog, root);
    for (const std::string& line : lines) {
      ++outcome.stepsTaken;
      outcome.stepFailed = !episode.take(line) || outcome.stepFailed;
      outcome.violation = episode.check();
      if (outcome.violation) break;
    }
  }
  std::error_code error;
  fs::remove_all(root, error);
  return outcome;
}

}  // namespace qv::sim
