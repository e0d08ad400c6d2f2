#include "sim/front/ServedDevice.h"

#include <yaml-cpp/yaml.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <iostream>
#include <iterator>

#include "host/App.h"
#include "platform/dispatch/Clock.h"
#include "sim/language/ScenarioParser.h"
#include "sim/language/YamlWriting.h"
#include "sim/settings/SettingsScreen.h"
#include "sim/supervisor/Sandbox.h"

namespace qv::sim {

// A request waiting for the device's thread; `done` answers whether it ran, or carries what it
// raised.
struct ServedDevice::Job {
  std::function<void()> work;
  std::promise<bool> done;
};

namespace {

// What the locations of the page's steps name, as a file's name does for its lines.
constexpr const char* kServeFile = "serve";
// Real time moves the clock in whole milliseconds, so that the waits it adds up to read back
// exactly; this often, while no request comes.
constexpr std::chrono::milliseconds kPaceTick{100};
// Pixels a point on a high-density display.
constexpr int kScreenScale = 2;

constexpr std::uintmax_t kLargestSettingsUpload = 1 << 20;
constexpr std::uintmax_t kLargestClipUpload = std::uintmax_t{200} << 20;

std::string firstLine(const std::string& text) {
  return text.substr(0, text.find('\n'));
}

// Whether the step names a file of this machine (settings: {file}, add_clip: {file}): the page
// adds files only by sending them, and reads none.
bool namesFile(const std::string& line) {
  YAML::Node node;
  try {
    node = YAML::Load(line);
  } catch (const YAML::Exception&) {
    return false;  // the parser says what is wrong with it
  }
  if (node.IsSequence() && node.size() == 1) node = node[0];
  if (!node.IsMap() || node.size() != 1) return false;
  const YAML::Node body = node.begin()->second;
  return body.IsMap() && body["file"];
}

bool plainFileName(const std::string& name) {
  return !name.empty() && name.size() <= 255 && name[0] != '.' &&
         name.find_first_of("/\\") == std::string::npos && name.find('\0') == std::string::npos;
}

std::shared_ptr<const std::string> readWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return nullptr;
  return std::make_shared<const std::string>(std::istreambuf_iterator<char>(in),
                                             std::istreambuf_iterator<char>());
}

bool failed(const TraceEvent& event) {
  return event.kind == "failure" || event.kind == "crash" ||
         (event.kind == "expect" && event.text.rfind("FAILED", 0) == 0);
}

const Value* member(const ValueMap& map, const std::string& key) {
  for (const auto& [name, value] : map) {
    if (name == key) return &value;
  }
  return nullptr;
}

Value look(Session& session, const char* key, const std::string& app) {
  std::string problem;
  return session.look(*findObservable(key), app, problem);
}

}  // namespace

ServedDevice::ServedDevice(const ServeOptions& options, const host::Catalog& catalog)
    : options_(options), catalog_(catalog), trace_(std::cout, false, Clock::kVirtualStart) {
  setup_.file = kServeFile;
  setup_.device = catalogDevice(catalog, options.device, options.system);
  trace_.listen([this](const TraceEvent& event) { hear(event); });
  session_ = std::make_unique<Session>(setup_, options.run, trace_);
  const std::filesystem::path root(session_->root());
  uploads_ = (root / "uploads").string();
  screenFile_ = (root / ".screen.png").string();
}

ServedDevice::~ServedDevice() = default;

// The device's thread.

int ServedDevice::run() {
  publish();
  std::unique_lock<std::mutex> lock(jobsMutex_);
  const auto ready = [this] { return stopping_ || !jobs_.empty(); };
  while (!stopping_) {
    if (realtime_) {
      jobsReady_.wait_for(lock, kPaceTick, ready);
    } else {
      jobsReady_.wait(lock, ready);
    }
    while (!stopping_ && !jobs_.empty()) {
      const std::shared_ptr<Job> job = jobs_.front();
      jobs_.pop_front();
      lock.unlock();
      try {
        job->work();
        job->done.set_value(true);
      } catch (const std::exception&) {  // the request's answer says what
        job->done.set_exception(std::current_exception());
      }
      lock.lock();
    }
    if (realtime_ && !stopping_) {
      lock.unlock();
      keepPace();
      publish();
      lock.lock();
    }
  }
  for (const std::shared_ptr<Job>& job : jobs_) job->done.set_value(false);
  jobs_.clear();
  lock.unlock();
  {
    const std::lock_guard<std::mutex> closing(viewMutex_);
    closed_ = true;
  }
  viewChanged_.notify_all();
  flushPace();
  return session_->finish("the server stopped");
}

void ServedDevice::stop() {
  {
    const std::lock_guard<std::mutex> lock(jobsMutex_);
    stopping_ = true;
  }
  jobsReady_.notify_all();
}

bool ServedDevice::call(const std::function<void()>& work) {
  auto job = std::make_shared<Job>();
  job->work = work;
  std::future<bool> done = job->done.get_future();
  {
    const std::lock_guard<std::mutex> lock(jobsMutex_);
    if (stopping_) return false;
    jobs_.push_back(job);
  }
  jobsReady_.notify_one();
  return done.get();
}

Outcome ServedDevice::takeStep(const std::string& line, bool fromPage) {
  if (fromPage && namesFile(line)) {
    return {403, "the page adds files by sending them (Add clip, Settings file), not by path"};
  }
  Step step;
  try {
    step = parseStep(line, {kServeFile, lines_ + 1}, "", catalog_);
  } catch (const ScenarioError& e) {
    return {400, firstLine(e.what())};
  }
  ++lines_;
  take(step);
  return {};
}

void ServedDevice::take(const Step& step) {
  if (realtime_) keepPace();
  flushPace();
  session_->take(step);
  taken_.push_back(step.written);
  if (const auto* launch = std::get_if<Launch>(&step.action)) front_ = launch->app;
  // The Settings screen sends the apps to the background; leaving it shows the home screen.
  if (const auto* pane = std::get_if<PaneStep>(&step.action)) {
    if (pane->kind == PaneStep::Kind::Open) front_.clear();
  }
  publish();
}

// Real time: the virtual clock catches up with the wall clock; what passed is saved as one wait
// before the next step.
void ServedDevice::keepPace() {
  const auto now = std::chrono::steady_clock::now();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - paced_).count();
  if (ms <= 0) return;
  paced_ += std::chrono::milliseconds(ms);
  session_->advance(static_cast<double>(ms) / 1000);
  unsavedMs_ += ms;
}

void ServedDevice::flushPace() {
  if (unsavedMs_ == 0) return;
  taken_.push_back("wait: " + toText(static_cast<double>(unsavedMs_) / 1000));
  unsavedMs_ = 0;
}

// The Settings screen when it is open, else the app last brought to the front while it runs,
// or has crashed; empty for the home screen.
std::string ServedDevice::frontScreen() {
  if (!look(*session_, "settings_pane", "").isNone()) return kSettingsScreen;
  if (front_.empty()) return "";
  const Value apps = look(*session_, "apps", front_);
  const Value* state = apps.find(front_);
  const std::string text = state != nullptr && state->text() != nullptr ? *state->text() : "";
  if (text == "running" || text.rfind("crashed", 0) == 0) return front_;
  front_.clear();
  return "";
}

void ServedDevice::publish() {
  const std::string front = frontScreen();
  const Value apps = look(*session_, "apps", "");
  const Value* frontState = front.empty() || front == kSettingsScreen ? nullptr : apps.find(front);
  const bool crashed =
      frontState != nullptr && frontState->text() != nullptr && *frontState->text() != "running";
  std::shared_ptr<const std::string> screen;
  std::string problem;
  if (!front.empty() && !crashed) {
    problem = session_->drawScreen(front, screenFile_, kScreenScale);
    if (problem.empty()) screen = readWhole(screenFile_);
  }
  const ValueMap state = session_->lookAll(front == kSettingsScreen ? "" : front);
  ValueList shown;
  for (const auto& [key, value] : state) shown.push_back(ValueList{key, toText(value)});
  const auto valueOf = [&](const char* key) {
    const Value* value = member(state, key);
    return value != nullptr ? *value : Value();
  };
  const ValueMap members{
      {"clock", static_cast<double>(session_->now() - Clock::kVirtualStart) / 1e9},
      {"realtime", realtime_},
      {"front", front.empty() ? Value() : Value(front)},
      {"crashed", crashed ? *frontState : Value()},
      {"problem", problem.empty() ? Value() : Value(problem)},
      {"apps", apps},
      {"state", shown},
      {"first_responder", valueOf("first_responder")},
      {"double_tap_areas", valueOf("double_tap_areas")},
      {"settings_pane", valueOf("settings_pane")},
      {"steps", static_cast<long long>(taken_.size())},
  };
  std::string json = toJson(Value(members));
  json = json.substr(1, json.size() - 2);  // members, for the server to add its own
  {
    const std::lock_guard<std::mutex> lock(viewMutex_);
    const bool screenChanged =
        (screen == nullptr) != (screen_ == nullptr) || (screen != nullptr && *screen != *screen_);
    if (!screenChanged && json == stateJson_) return;
    if (screenChanged) ++screenVersion_;
    screen_ = screen;
    stateJson_ = json;
    viewJson_ = json + ", \"screen_version\": " + std::to_string(screenVersion_);
    ++version_;
  }
  viewChanged_.notify_all();
}

void ServedDevice::hear(const TraceEvent& event) {
  if (event.kind == "closing") return;  // the run's turn to its close, not a line
  const Value line(ValueMap{{"text", traceLine(event)}, {"failed", failed(event)}});
  const std::lock_guard<std::mutex> lock(viewMutex_);
  traceLines_.push_back(toJson(line));
}

// The server's threads.

Outcome ServedDevice::step(const std::string& line) {
  Outcome outcome;
  if (!call([&] { outcome = takeStep(line, true); })) return {503, "the device is shutting down"};
  return outcome;
}

Outcome ServedDevice::upload(Upload kind, const std::string& name, const std::string& bytes) {
  const bool clip = kind == Upload::Clip;
  if (!plainFileName(name)) {
    return {400, "a file's name is a plain name (no folders, not starting with a dot)"};
  }
  if (bytes.size() > (clip ? kLargestClipUpload : kLargestSettingsUpload)) {
    return {413, clip ? "a clip is at most 200 MiB" : "a settings file is at most 1 MiB"};
  }
  Outcome outcome;
  const bool ran = call([&] {
    std::error_code error;
    const std::filesystem::path album =
        std::filesystem::path(session_->root()) / std::filesystem::path(kAlbumPath).relative_path();
    if (clip && std::filesystem::exists(album / name, error)) {
      outcome = {409, "the album already has " + name};
      return;
    }
    // Each upload keeps its own file: a saved scenario names the earlier ones.
    std::filesystem::create_directories(uploads_, error);
    const std::string kept =
        (std::filesystem::path(uploads_) / (std::to_string(taken_.size() + 1) + "-" + name))
            .string();
    std::ofstream out(kept, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      outcome = {500, "cannot keep the file in " + uploads_};
      return;
    }
    const std::string line =
        clip ? "add_clip: {file: " + textScalar(kept) + ", name: " + textScalar(name) + "}"
             : "settings: {file: " + textScalar(kept) + "}";
    outcome = takeStep(line, false);
  });
  return ran ? outcome : Outcome{503, "the device is shutting down"};
}

Outcome ServedDevice::setRealtime(bool on) {
  const bool ran = call([&] {
    if (on == realtime_) return;
    if (on) {
      paced_ = std::chrono::steady_clock::now();
    } else {
      keepPace();
    }
    realtime_ = on;
    publish();
  });
  return ran ? Outcome{} : Outcome{503, "the device is shutting down"};
}

std::string ServedDevice::scenario() {
  std::string text;
  call([&] {
    if (realtime_) keepPace();
    flushPace();
    if (taken_.empty()) return;
    text = savedScenario("taken in quorvane-sim serve", setup_.device.name, options_.system,
                         options_.run.library, taken_);
  });
  return text;
}

DeviceView ServedDevice::view(long after, std::size_t traceFrom,
                              std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(viewMutex_);
  viewChanged_.wait_for(lock, timeout, [&] { return closed_ || version_ > after; });
  DeviceView view;
  view.version = version_;
  view.json = viewJson_;
  view.screen = screen_;
  view.traceEnd = traceLines_.size();
  for (std::size_t i = std::min(traceFrom, traceLines_.size()); i < traceLines_.size(); ++i) {
    view.trace.push_back(traceLines_[i]);
  }
  return view;
}

}  // namespace qv::sim
