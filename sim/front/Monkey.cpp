#include "sim/front/Monkey.h"

#include <glib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "host/App.h"
#include "host/AppWindow.h"
#include "platform/AVFoundation/Media.h"
#include "platform/dispatch/Clock.h"
#include "sim/app/InstallationLines.h"
#include "sim/front/MonkeyActions.h"
#include "sim/front/MonkeySaves.h"
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

// What one run of step lines on a fresh device came to.
struct Outcome {
  std::optional<Violation> violation;
  std::size_t stepsTaken = 0;  // up to and with the one after which the violation showed
  bool stepFailed = false;     // an app refused a step: the list is not a valid run
};

// The setup of an episode, as the reproduction's scenario file writes it.
struct Setup {
  std::string device;
  std::string settings;            // the setup's settings line's value
  std::vector<std::string> clips;  // each clip's flow map
};

std::string setupText(const Setup& setup) {
  std::string text = "device: " + textScalar(setup.device) + "\nsettings: " + setup.settings + "\n";
  if (!setup.clips.empty()) text += "clips:\n";
  for (const std::string& clip : setup.clips) text += "  - " + clip + "\n";
  return text;
}

std::string scenarioText(const Setup& setup, const std::vector<std::string>& steps) {
  std::string text = setupText(setup) + "steps:\n";
  for (const std::string& step : steps) text += "  - " + step + "\n";
  return text;
}

// YAML comment lines for the text: a notice's message may hold line breaks.
std::string comment(const std::string& text) {
  std::string lines = "# ";
  for (const char c : text) lines += c == '\n' ? std::string("\n# ") : std::string(1, c);
  return lines + "\n";
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

// One fresh device taking step lines, with the invariants looked at after every step.
class Episode {
 public:
  Episode(const Setup& setup, const MonkeyOptions& options, const host::Catalog& catalog,
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

  ~Episode() { session_->finish("the episode ended"); }
  Episode(const Episode&) = delete;
  Episode& operator=(const Episode&) = delete;

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

// Runs the lines on a fresh device until an invariant breaks.
Outcome replay(const Setup& setup, const std::vector<std::string>& lines,
               const MonkeyOptions& options, const host::Catalog& catalog, const fs::path& root) {
  Outcome outcome;
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

// Delta debugging: the smallest sublist found, in order, that still breaks the same invariant.
class Shrinker {
 public:
  Shrinker(const Setup& setup, const Violation& target, const MonkeyOptions& options,
           const host::Catalog& catalog, fs::path folder)
      : setup_(setup),
        target_(target),
        options_(options),
        catalog_(catalog),
        folder_(std::move(folder)) {}

  // The shortest list found; shown() is the violation it breaks with.
  std::vector<std::string> shrink(std::vector<std::string> lines) {
    shown_ = target_;
    std::size_t parts = 2;
    while (lines.size() >= 2) {
      const std::vector<std::vector<std::string>> chunks = split(lines, parts);
      if (const auto smaller = firstReproducing(chunks)) {
        lines = *smaller;
        parts = 2;
        continue;
      }
      if (const auto smaller = firstReproducing(complements(lines, chunks))) {
        lines = *smaller;
        parts = std::max<std::size_t>(parts - 1, 2);
        continue;
      }
      if (parts >= lines.size()) break;
      parts = std::min(parts * 2, lines.size());
    }
    return lines;
  }

  int replays() const { return replays_; }
  // The violation as the shortest list shows it: its witness looks at that run's files (a clip
  // recorded at another rate once a settings step is dropped), not at the first episode's.
  const Violation& shown() const { return shown_; }

 private:
  static std::vector<std::vector<std::string>> split(const std::vector<std::string>& lines,
                                                     std::size_t parts) {
    std::vector<std::vector<std::string>> chunks;
    for (std::size_t i = 0; i < parts; ++i) {
      const std::size_t begin = lines.size() * i / parts, end = lines.size() * (i + 1) / parts;
      if (end > begin) chunks.emplace_back(lines.begin() + begin, lines.begin() + end);
    }
    return chunks;
  }

  static std::vector<std::vector<std::string>> complements(
      const std::vector<std::string>& lines, const std::vector<std::vector<std::string>>& chunks) {
    std::vector<std::vector<std::string>> all;
    if (chunks.size() < 2) return all;
    std::size_t begin = 0;
    for (const auto& chunk : chunks) {
      std::vector<std::string> rest(lines.begin(), lines.begin() + begin);
      rest.insert(rest.end(), lines.begin() + begin + chunk.size(), lines.end());
      all.push_back(rest);
      begin += chunk.size();
    }
    return all;
  }

  std::optional<std::vector<std::string>> firstReproducing(
      const std::vector<std::vector<std::string>>& candidates) {
    for (const auto& candidate : candidates) {
      if (auto violation = reproduces(candidate)) {
        shown_ = std::move(*violation);
        return candidate;
      }
    }
    return std::nullopt;
  }

  // Every step taken, and the same invariant broken in the same app: the violation seen.
  std::optional<Violation> reproduces(const std::vector<std::string>& lines) {
    const Outcome outcome = replay(setup_, lines, options_, catalog_,
                                   folder_ / ("shrink-" + std::to_string(++replays_)));
    const bool same = !outcome.stepFailed && outcome.violation &&
                      outcome.violation->kind == target_.kind &&
                      outcome.violation->app == target_.app && outcome.stepsTaken == lines.size();
    return same ? outcome.violation : std::nullopt;
  }

  const Setup& setup_;
  const Violation& target_;
  const MonkeyOptions& options_;
  const host::Catalog& catalog_;
  fs::path folder_;
  int replays_ = 0;
  Violation shown_;
};

// The catalog's devices whose system calls for the library: the iOS 7 library on iOS 7, the
// iOS 8 library on iOS 8 and later.
std::vector<std::string> devicesFor(host::LibraryChoice library, const host::Catalog& catalog) {
  std::vector<std::string> names;
  for (const host::Device& device : catalog.devices()) {
    const bool iOS7 = device.system.generation == host::HostGeneration::iOS7;
    if (iOS7 == (library == host::LibraryChoice::iOS7)) names.push_back(device.name);
  }
  return names;
}

Setup randomSetup(const std::vector<std::string>& devices, MonkeyRandom& random) {
  Setup setup;
  setup.device = devices[std::uniform_int_distribution<std::size_t>(0, devices.size() - 1)(random)];
  setup.settings = randomSettings(random);
  const int clips = std::uniform_int_distribution<int>(0, 2)(random);
  static const char* kRates[] = {"30", "60", "120", "240", "119.88"};
  for (int i = 0; i < clips; ++i) {
    setup.clips.push_back(std::string("{frame_rate: ") +
                          kRates[std::uniform_int_distribution<int>(0, 4)(random)] +
                          ", duration: 0.3, size: 160x90}");
  }
  return setup;
}

class Monkey {
 public:
  Monkey(const MonkeyOptions& options, const host::Catalog& catalog, std::ostream& out,
         fs::path folder)
      : options_(options),
        catalog_(catalog),
        out_(out),
        folder_(std::move(folder)),
        devices_(devicesFor(options.library, catalog)),
        random_(options.seed) {}

  int run() {
    if (devices_.empty()) {
      out_ << "quorvane-sim monkey: the catalog has no device for the library\n";
      return kCannotRun;
    }
    const auto started = std::chrono::steady_clock::now();
    int episodes = 0, refused = 0, saves = 0;
    for (int left = options_.steps; left > 0;) {
      const int length = std::min(left, std::uniform_int_distribution<int>(20, 60)(random_));
      const Setup setup = randomSetup(devices_, random_);
      const fs::path root = folder_ / ("episode-" + std::to_string(++episodes));
      std::vector<std::string> lines;
      std::optional<Violation> broken;
      {
        Episode episode(setup, options_, catalog_, root);
        broken = episode.check();
        while (!broken && static_cast<int>(lines.size()) < length) {
          lines.push_back(chooseStep(episode.glance(), random_));
          if (!episode.take(lines.back())) ++refused;
          if (episode.pressedSave()) ++saves;
          broken = episode.check();
        }
      }
      out_ << "episode " << episodes << ": " << setup.device << ", " << lines.size() << " steps"
           << (broken ? ": " + broken->text : "") << '\n';
      if (broken) return report(setup, lines, *broken, root);
      std::error_code error;
      fs::remove_all(root, error);
      left -= length;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    out_ << "monkey: seed " << options_.seed << ": every invariant held over " << options_.steps
         << " steps in " << episodes << " episodes (" << refused << " steps the apps refused, "
         << saves << " saves), " << toText(std::round(seconds * 10) / 10) << " s\n";
    std::error_code error;
    fs::remove(folder_, error);  // only when empty: a root the user named keeps what it held
    return kPassed;
  }

 private:
  int report(const Setup& setup, const std::vector<std::string>& lines, const Violation& broken,
             const fs::path& root) {
    out_ << "monkey: seed " << options_.seed << ": "
         << (broken.app.empty() ? "" : broken.app + ": ") << broken.text << " after step "
         << lines.size() << " (" << lines.back() << ")\n";
    Shrinker shrinker(setup, broken, options_, catalog_, folder_);
    std::vector<std::string> shortest = shrinker.shrink(lines);
    const std::vector<std::string>& witness = shrinker.shown().witness;
    shortest.insert(shortest.end(), witness.begin(), witness.end());
    const fs::path file = folder_ / ("monkey-seed-" + std::to_string(options_.seed) + ".yaml");
    const std::string text = comment("quorvane-sim monkey --seed " + std::to_string(options_.seed) +
                                     ": " + broken.text) +
                             comment("Replay: quorvane-sim run " + file.string()) +
                             scenarioText(setup, shortest);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
    out_ << (replaysToFailure(file) ? "monkey: quorvane-sim run fails on it as the monkey did\n"
                                    : "monkey: note: quorvane-sim run passes it; the steps above "
                                      "still break the invariant under the monkey\n");
    out_ << "monkey: shrunk " << lines.size() << " steps to " << shortest.size() - witness.size()
         << " in " << shrinker.replays() << " replays; the episode's files are in " << root.string()
         << "\n"
         << "monkey: the reproduction, " << file.string() << ":\n"
         << text;
    return kFailed;
  }

  // The file as `run` takes it, on a fresh root, its trace unshown.
  bool replaysToFailure(const fs::path& file) const {
    std::ostream quiet(nullptr);
    RunOptions run;
    run.root = (folder_ / "replay").string();
    run.library = options_.library;
    run.libraryFolder = options_.libraryFolder;
    const int status = runScenario(readScenario(file.string(), catalog_), run, quiet);
    std::error_code error;
    fs::remove_all(*run.root, error);
    return status == kFailed;
  }

  const MonkeyOptions& options_;
  const host::Catalog& catalog_;
  std::ostream& out_;
  fs::path folder_;
  std::vector<std::string> devices_;
  MonkeyRandom random_;
};

fs::path monkeyFolder(const MonkeyOptions& options) {
  if (options.root) {
    fs::create_directories(*options.root);
    return fs::absolute(*options.root);
  }
  std::string pattern = (fs::temp_directory_path() / "quorvane-monkey-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a root folder");
  return pattern;
}

}  // namespace

int runMonkey(const MonkeyOptions& options, const host::Catalog& catalog, std::ostream& out) {
  if (options.library == host::LibraryChoice::iOS7 &&
      !fs::exists(fs::path(options.libraryFolder) / "QuorvaneiOS7.dylib")) {
    out << "quorvane-sim monkey: --library ios7: QuorvaneiOS7.dylib is not built in "
        << options.libraryFolder << "; the monkey drives ios8 until it is\n";
    return kCannotRun;
  }
  try {
    return Monkey(options, catalog, out, monkeyFolder(options)).run();
  } catch (const std::exception& e) {
    out << "quorvane-sim monkey: " << e.what() << '\n';
    return kCannotRun;
  }
}

}  // namespace qv::sim
