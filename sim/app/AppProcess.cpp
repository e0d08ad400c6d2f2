#include "sim/app/AppProcess.h"

#include <unistd.h>

#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <typeinfo>

#include "platform/CoreFoundation/CoreFoundation.h"
#include "platform/Seams.h"
#include "platform/System/FileSystem.h"
#include "platform/System/System.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/objc/AutoreleasePool.h"
#include "platform/objc/Message.h"
#include "sim/app/AppSide.h"
#include "sim/supervisor/Protocol.h"

extern "C" int __lsan_do_recoverable_leak_check() __attribute__((weak));

namespace qv::sim {
namespace {

// Exit statuses the supervisor tells apart from signals and from its own kills.
constexpr int kCrashStatus = 70;
constexpr int kProtocolStatus = 71;

// The app's end of the socket. Events may come from any thread; the main thread reads commands
// only between runs of the loop, and a System event's answer is read by the thread that asked.
class AppChannel {
 public:
  explicit AppChannel(int fd) : channel_(fd) {}

  int fd() const { return channel_.fd(); }

  void send(const FrameWriter& frame) {
    std::lock_guard lock(sending_);
    if (!channel_.send(frame)) gone();
  }

  std::optional<FrameReader> receive() { return channel_.receive(); }

  int system(const std::string& command) {
    std::lock_guard lock(asking_);  // one command at a time, as a shell runs them
    send(FrameWriter(Message::System).text(command));
    std::optional<FrameReader> answer = channel_.receive();
    if (!answer || answer->type() != Message::SystemResult) gone();
    return static_cast<int>(answer->integer());
  }

  // The supervisor is gone, or has killed this process while it waits: nothing is left to do.
  [[noreturn]] static void gone() { _exit(0); }

 private:
  Channel channel_;
  std::mutex sending_;
  std::mutex asking_;
};

std::string crashMessage(const std::exception& e) {
  if (const auto* objc = dynamic_cast<const ObjCException*>(&e)) {
    return "uncaught exception " + objc->name() + ": " + objc->reason();
  }
  return std::string("uncaught exception (") + typeid(e).name() + "): " + e.what();
}

[[noreturn]] void crash(AppChannel& channel, const std::string& message) {
  channel.send(FrameWriter(Message::Crashed).text(message));
  std::fflush(nullptr);
  _exit(kCrashStatus);
}

void installSeams(AppChannel& channel) {
  setLogSink([&channel](int, const std::string& line) {
    channel.send(FrameWriter(Message::Log).text(line));
  });
  setDiagnosticSink([&channel](const std::string& line) {
    channel.send(FrameWriter(Message::Diagnostic).text(line));
  });
  setDarwinPostHandler(
      [&channel](const std::string& name) { channel.send(FrameWriter(Message::Post).text(name)); });
  setSystemHandler([&channel](const std::string& command) { return channel.system(command); });
  app::setStepEventSink([&channel](const std::string& kind, const std::string& text) {
    channel.send(FrameWriter(Message::StepEvent).text(kind).text(text));
  });
}

void answerDone(AppChannel& channel, const Value& result = {}) {
  const std::optional<std::int64_t> next = MainRunLoop::nextDeadline();
  channel.send(FrameWriter(Message::Done).integer(next ? *next : -1).value(result));
}

// Answers false when the supervisor asks the app to end.
bool obey(AppChannel& channel, FrameReader& command) {
  AutoreleasePool pool;  // as the app's own event handling has
  switch (command.type()) {
    case Message::RunUntil:
      MainRunLoop::runUntil(command.integer());
      MainRunLoop::runUntilIdle();  // work in flight belongs to this instant
      answerDone(channel);
      return true;
    case Message::Deliver:
      deliverDarwinNotification(command.text());
      answerDone(channel);
      return true;
    case Message::Act: {
      const std::string action = command.text();
      const std::string problem = app::perform(action, command.value());
      if (!problem.empty()) {
        channel.send(FrameWriter(Message::Failed).text(problem));
      } else {
        // Background work the step started (a remake) belongs to this instant, with what it
        // hands to the main queue: the supervisor sees no deadline of it.
        MainRunLoop::runUntilIdle();
        answerDone(channel);
      }
      return true;
    }
    case Message::Observe: {
      const Value keys = command.value();
      answerDone(channel, app::observe(keys.list() ? *keys.list() : ValueList{}, channel.fd()));
      return true;
    }
    case Message::Quit:
      return false;
    default:
      throw ProtocolError("unexpected command");
  }
}

void serve(AppChannel& channel) {
  for (;;) {
    std::optional<FrameReader> command = channel.receive();
    if (!command || !obey(channel, *command)) return;
  }
}

void start(AppChannel& channel, const AppProcessConfig& config) {
  setProcessName(config.launch.name);
  setFileSystemRoot(config.root);
  Clock::advanceTo(config.startInstant);
  MainRunLoop::adoptCurrentThread();
  installSeams(channel);
  const host::AppStart started = host::startApp(config.launch);
  ValueList notes(started.notes.begin(), started.notes.end());
  channel.send(FrameWriter(Message::Started)
                   .text(started.library.name)
                   .text(started.library.devicePath)
                   .text(started.library.problem)
                   .value(notes));
}

}  // namespace

void runAppProcess(int channelFd, const AppProcessConfig& config) {
  // Whatever else the supervisor had open (its ends of the other apps' sockets, a web page's
  // connections) is not this process's to hold: a copy kept here would keep it open.
  ::close_range(3, static_cast<unsigned>(channelFd) - 1, 0);
  ::close_range(static_cast<unsigned>(channelFd) + 1, ~0U, 0);
  // The terminal's interrupt is the supervisor's: it ends its apps itself, and an app whose
  // supervisor is gone ends at the closed channel.
  std::signal(SIGINT, SIG_IGN);
  AppChannel channel(channelFd);  // the seams use it until the process ends
  try {
    start(channel, config);
    serve(channel);
    // An app that quits is checked for leaks where LeakSanitizer is built in.
    if (&__lsan_do_recoverable_leak_check != nullptr && __lsan_do_recoverable_leak_check() != 0) {
      crash(channel, "leaked memory (LeakSanitizer's report is on standard error)");
    }
  } catch (const ProtocolError& e) {
    std::fprintf(stderr, "%s: protocol error: %s\n", config.launch.name.c_str(), e.what());
    _exit(kProtocolStatus);
  } catch (const std::exception& e) {
    crash(channel, crashMessage(e));
  } catch (...) {
    crash(channel, "uncaught exception of an unknown type");
  }
  std::fflush(nullptr);
  _exit(0);
}

}  // namespace qv::sim
