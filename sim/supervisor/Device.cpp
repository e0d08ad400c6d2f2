#include "sim/supervisor/Device.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <thread>

#include "sim/app/AppProcess.h"

namespace qv::sim {
namespace {

// An app that does not answer a command within this much real time is taken for hung.
constexpr int kAnswerTimeoutMs = 120'000;
// Seconds an app whose socket closed has to finish exiting.
constexpr int kExitGraceSeconds = 10;
// Rounds at one instant before the apps are taken to be stuck in work that never ends.
constexpr int kRoundsPerInstant = 10'000;

std::vector<std::string> words(const std::string& command) {
  std::istringstream in(command);
  std::vector<std::string> all;
  for (std::string word; in >> word;) all.push_back(word);
  return all;
}

std::string exitDescription(int status) {
  if (WIFSIGNALED(status)) {
    return "signal " + std::to_string(WTERMSIG(status)) + " (" + strsignal(WTERMSIG(status)) + ")";
  }
  return "exit status " + std::to_string(WEXITSTATUS(status));
}

// An app whose socket closed is on its way out; one that lingers is ended, never waited for
// without end.
int finalStatus(pid_t pid) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kExitGraceSeconds);
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid || (done < 0 && errno != EINTR)) return status;
    if (std::chrono::steady_clock::now() > deadline) ::kill(pid, SIGKILL);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace

Device::Device(DeviceOptions options, Trace& trace, std::int64_t start)
    : options_(std::move(options)),
      trace_(trace),
      start_(start),
      now_(start),
      wallStart_(std::chrono::steady_clock::now()) {}

Device::~Device() {
  shutdown();
}

void Device::shutdown(const std::string& reason) {
  for (auto& app : apps_) {
    if (app->running()) end(*app, SIGKILL, reason);
  }
}

void Device::trace(const AppRecord& app, const std::string& kind, const std::string& text) {
  trace_.event(now_, app.name, kind, text, {{"pid", static_cast<long long>(app.pid)}});
}

AppRecord* Device::running(const std::string& app) {
  for (auto& record : apps_) {
    if (record->name == app && record->running()) return record.get();
  }
  return nullptr;
}

const AppRecord* Device::latest(const std::string& app) const {
  for (auto record = apps_.rbegin(); record != apps_.rend(); ++record) {
    if ((*record)->name == app) return record->get();
  }
  return nullptr;
}

std::string Device::notRunning(const std::string& app) const {
  const AppRecord* record = latest(app);
  return app + " is not running (" + (record ? record->state : "not launched") + ")";
}

std::vector<std::string> Device::runningApps() const {
  std::vector<std::string> names;
  for (const auto& app : apps_) {
    if (app->running()) names.push_back(app->name);
  }
  return names;
}

int Device::crashes() const {
  return static_cast<int>(
      std::count_if(apps_.begin(), apps_.end(), [](const auto& app) { return app->crashed; }));
}

// Processes.

std::string Device::launch(const std::string& name) {
  if (running(name)) {
    trace_.event(now_, name, "launch", "already running: brought to the front");
    return "";
  }
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) {
    return "cannot make a socket pair: " + std::string(std::strerror(errno));
  }
  const AppProcessConfig config{
      {name, options_.device, options_.removals, options_.library}, options_.root, now_};
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return "cannot fork: " + std::string(std::strerror(errno));
  }
  if (pid == 0) runAppProcess(fds[1], config);
  ::close(fds[1]);
  auto record = std::make_unique<AppRecord>();
  record->name = name;
  record->pid = pid;
  record->channel = std::make_unique<Channel>(fds[0]);
  AppRecord& app = *apps_.emplace_back(std::move(record));
  trace(app, "launch", "launching (pid " + std::to_string(pid) + ")");
  const std::optional<Answer> started = exchange(app, nullptr);
  if (!started || started->type != Message::Started) return "";  // the trace says how it ended
  app.library = started->library;
  trace(app, "loader",
        app.library.empty() ? "loader mapped no library: " + started->message
                            : "loader mapped " + app.library + " from " + started->path);
  const Value& notes = started->value;
  for (const Value& note : notes.list() ? *notes.list() : ValueList{}) {
    trace(app, "note", note.text() ? *note.text() : toText(note));
  }
  app.nextDeadline = now_;  // its first round runs what its start left due
  return "";
}

std::string Device::quit(const std::string& name) {
  AppRecord* app = running(name);
  if (app == nullptr) return notRunning(name);
  app->ending = "quit";
  const FrameWriter command(Message::Quit);
  exchange(*app, &command);
  return "";
}

void Device::end(AppRecord& app, int signal, const std::string& reason) {
  app.ending = reason;
  ::kill(app.pid, signal);  // a process of our own, by its id
  reap(app);
}

void Device::reap(AppRecord& app) {
  app.channel.reset();
  const int status = finalStatus(app.pid);
  if (!app.ending.empty() && (app.ending != "quit" || status == 0)) {
    app.state = app.ending;
  } else {
    app.crashed = true;
    app.state = "crashed: " + (app.crash.empty() ? exitDescription(status) : app.crash);
  }
  trace(app, app.crashed ? "crash" : "ended", app.crashed ? app.state : "ended: " + app.state);
}

// Commands and events.

std::optional<Answer> Device::exchange(AppRecord& app, const FrameWriter* command) {
  if (command != nullptr && !app.channel->send(*command)) {
    reap(app);
    return std::nullopt;
  }
  while (app.running()) {
    try {
      std::optional<FrameReader> frame = app.channel->receive(kAnswerTimeoutMs);
      if (frame) {
        if (std::optional<Answer> answer = take(app, *frame)) return answer;
        continue;
      }
      if (app.channel->timedOut()) {
        app.crash = "no answer within " + std::to_string(kAnswerTimeoutMs / 1000) + " s";
      }
    } catch (const ProtocolError& e) {
      app.crash = std::string("broke the protocol: ") + e.what();
    }
    if (!app.crash.empty()) ::kill(app.pid, SIGKILL);
    reap(app);
  }
  return std::nullopt;
}

// Handles an event, or reads the command's answer.
std::optional<Answer> Device::take(AppRecord& app, FrameReader& frame) {
  switch (frame.type()) {
    case Message::Log: {
      const std::string line = frame.text();
      app.log.push_back(line);
      trace(app, "log", line);
      return std::nullopt;
    }
    case Message::Diagnostic:
      trace(app, "debug", frame.text());
      return std::nullopt;
    case Message::StepEvent: {
      const std::string kind = frame.text();
      trace(app, kind, frame.text());
      return std::nullopt;
    }
    case Message::Post: {
      const std::string name = frame.text();
      trace(app, "post", "posted " + name);
      posts_.push_back(name);
      return std::nullopt;
    }
    case Message::System:
      handleSystem(app, frame.text());
      return std::nullopt;
    case Message::Crashed:
      app.crash = frame.text();
      return std::nullopt;
    case Message::Started: {
      Answer answer;
      answer.type = Message::Started;
      answer.library = frame.text();
      answer.path = frame.text();
      answer.message = frame.text();
      answer.value = frame.value();
      return answer;
    }
    case Message::Done: {
      const std::int64_t next = frame.integer();
      app.nextDeadline = next >= 0 ? std::optional(next) : std::nullopt;
      Answer answer;
      answer.value = frame.value();
      return answer;
    }
    case Message::Failed: {
      Answer answer;
      answer.type = Message::Failed;
      answer.message = frame.text();
      return answer;
    }
    default:
      throw ProtocolError("unexpected message " + std::to_string(int(frame.type())));
  }
}

// The device's answer to `system`: killall of its own apps, and nothing else; never a shell.
void Device::handleSystem(AppRecord& caller, const std::string& command) {
  trace(caller, "system", "system(\"" + command + "\")");
  const std::vector<std::string> argv = words(command);
  int status = 127;
  if (!argv.empty() && argv[0] == "killall") {
    status = 1;  // as killall answers when no process matched
    for (const std::string& target : std::vector(argv.begin() + 1, argv.end())) {
      for (auto& app : apps_) {
        if (app->name != target || !app->running()) continue;
        end(*app, SIGKILL, "killed by killall (from " + caller.name + ")");
        status = 0;
      }
    }
  } else {
    trace(caller, "system", "refused: the device runs killall and no other command");
  }
  if (caller.running()) caller.channel->send(FrameWriter(Message::SystemResult).integer(status));
}

std::string Device::act(const std::string& name, const std::string& action, const Value& argument) {
  AppRecord* app = running(name);
  if (app == nullptr) return notRunning(name);
  FrameWriter command(Message::Act);
  command.text(action).value(argument);
  const std::optional<Answer> answer = exchange(*app, &command);
  return answer && answer->type == Message::Failed ? answer->message : "";
}

std::string Device::observe(const std::string& name, const ValueList& keys, ValueMap& state) {
  AppRecord* app = running(name);
  if (app == nullptr) return notRunning(name);
  FrameWriter command(Message::Observe);
  command.value(keys);
  const std::optional<Answer> answer = exchange(*app, &command);
  if (!answer || answer->type != Message::Done) return notRunning(name);
  if (answer->value.map() == nullptr) return name + " answered no state";
  state = *answer->value.map();
  return "";
}

// Time.

void Device::post(const std::string& name) {
  posts_.push_back(name);
}

void Device::deliverPosts() {
  for (const std::string& name : std::exchange(posts_, {})) {
    FrameWriter command(Message::Deliver);
    command.text(name);
    for (auto& app : apps_) {
      if (app->running()) exchange(*app, &command);
    }
  }
}

void Device::runApp(AppRecord& app, std::int64_t instant) {
  FrameWriter command(Message::RunUntil);
  command.integer(instant);
  exchange(app, &command);
}

void Device::pace(std::int64_t instant, std::int64_t from, Progress* progress) const {
  if (!options_.realtime) return;
  using std::chrono::steady_clock;
  const steady_clock::time_point due = wallStart_ + std::chrono::nanoseconds(instant - start_);
  for (steady_clock::time_point now = steady_clock::now(); now < due; now = steady_clock::now()) {
    std::this_thread::sleep_until(std::min(due, now + std::chrono::milliseconds(250)));
    if (progress == nullptr) continue;
    const auto passed = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::min(due, steady_clock::now()) - wallStart_);
    progress->update(static_cast<double>(start_ + passed.count() - from) / 1e9);
  }
}

void Device::advanceTo(std::int64_t target, Progress* progress) {
  const std::int64_t from = now_;
  int rounds = 0;
  for (;;) {
    deliverPosts();
    std::optional<std::int64_t> next;
    for (const auto& app : apps_) {
      if (app->running() && app->nextDeadline && (!next || *app->nextDeadline < *next)) {
        next = app->nextDeadline;
      }
    }
    std::int64_t to;
    if (next && *next <= target) {
      to = std::max(*next, now_);
    } else if (now_ < target) {
      to = target;
    } else {
      return;
    }
    rounds = to == now_ ? rounds + 1 : 0;
    if (rounds > kRoundsPerInstant) {
      trace_.event(now_, "sim", "stuck", "the apps keep working at one instant; time moves on");
      now_ = target;
      return;
    }
    pace(to, from, progress);
    now_ = to;
    for (std::size_t i = 0; i < apps_.size(); ++i) {  // an app's kill may end others meanwhile
      if (apps_[i]->running()) runApp(*apps_[i], to);
    }
    if (progress != nullptr) progress->update(static_cast<double>(to - from) / 1e9);
  }
}

}  // namespace qv::sim
