#include "sim/front/Serve.h"

#include <httplib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <charconv>
#include <csignal>
#include <iostream>
#include <random>
#include <thread>

#include "host/AppWindow.h"
#include "sim/front/ConnectionQueue.h"
#include "sim/front/PageFiles.h"
#include "sim/front/Session.h"

namespace qv::sim {
namespace {

constexpr const char* kLoopback = "127.0.0.1";
// A page asks for news this long at a time; one that has not asked for a while has gone, and
// another may drive the device.
constexpr std::chrono::seconds kPollWait{2};
constexpr std::chrono::seconds kDriverLease{6};
// A clip as large as the album takes, and the request line and headers around it.
constexpr std::size_t kLargestBody = (std::size_t{200} << 20) + (1 << 16);
constexpr const char* kPageHeader = "X-Quorvane-Page";
// A step is a line; the body limit above is for clips.
constexpr std::size_t kLongestStep = 64 << 10;
// Held by the load test: 200 short requests, 50 idle connections and 20 slow senders at once.
constexpr ConnectionLimits kLimits{};
// Connections the kernel holds for the listener to accept: the library's own 5 drop a burst
// of clients' first packets, which they send again only a second later.
constexpr int kBacklog = 512;
// A sender that pauses this long within a request has gone.
constexpr std::chrono::seconds kReadTimeout{5};

// The pages open on the device: the one that drives it, and those that only watch.
class Pages {
 public:
  // A new page's name; it drives when no other page does.
  std::string open() {
    char name[17];
    std::uniform_int_distribution<unsigned long long> any;
    const std::lock_guard<std::mutex> lock(mutex_);
    std::snprintf(name, sizeof name, "%016llx", any(random_));
    claim(name);
    return name;
  }

  // Whether the page drives the device now: the driver's asking keeps it driving, and a page
  // takes over from one that has gone quiet.
  bool drives(const std::string& page) {
    const std::lock_guard<std::mutex> lock(mutex_);
    return !page.empty() && claim(page);
  }

  // Whether the page drives the device, without taking over.
  bool isDriver(const std::string& page) {
    const std::lock_guard<std::mutex> lock(mutex_);
    return !page.empty() && page == driver_;
  }

 private:
  bool claim(const std::string& page) {
    const auto now = std::chrono::steady_clock::now();
    if (driver_.empty() || now - seen_ > kDriverLease) driver_ = page;
    if (driver_ != page) return false;
    seen_ = now;
    return true;
  }

  std::mutex mutex_;
  std::mt19937_64 random_{std::random_device{}()};
  std::string driver_;
  std::chrono::steady_clock::time_point seen_;
};

void refuse(httplib::Response& response, int status, const std::string& reason) {
  response.status = status;
  response.set_content(reason + "\n", "text/plain; charset=utf-8");
}

std::optional<long long> wholeNumber(const httplib::Request& request, const char* name) {
  const std::string text = request.get_param_value(name);
  long long number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || number < -1) {
    return std::nullopt;
  }
  return number;
}

// The routes of the page and of its requests.
class Site {
 public:
  explicit Site(ServedDevice& device) : device_(device) {}

  void route(httplib::Server& server) {
    for (const PageFile& file : pageFiles()) {
      server.Get(file.path, [&file](const httplib::Request&, httplib::Response& response) {
        response.set_content(file.content.data(), file.content.size(), file.type);
      });
    }
    server.Get("/api/hello", [this](const auto&, auto& response) { hello(response); });
    server.Get("/api/updates",
               [this](const auto& request, auto& response) { updates(request, response); });
    server.Get("/api/screen.png",
               [this](const auto& request, auto& response) { screen(request, response); });
    server.Get("/api/scenario", [this](const auto&, auto& response) { scenario(response); });
    server.Post("/api/step", [this](const auto& request, auto& response) {
      if (request.body.size() > kLongestStep) {
        return refuse(response, 413, "a step is one line of a scenario file, not a file");
      }
      if (driving(request, response)) answer(device_.step(request.body), response);
    });
    server.Post("/api/realtime", [this](const auto& request, auto& response) {
      if (driving(request, response)) realtime(request, response);
    });
    server.Post("/api/clip", [this](const auto& request, auto& response) {
      if (driving(request, response)) upload(Upload::Clip, request, response);
    });
    server.Post("/api/settings", [this](const auto& request, auto& response) {
      if (driving(request, response)) upload(Upload::Settings, request, response);
    });
  }

  // Requests for another host name than ours come from a page of another site (a name that
  // resolves to the loopback address): they get nothing.
  bool fromOurPage(const httplib::Request& request, httplib::Response& response, int port) const {
    const std::string host = request.get_header_value("Host");
    const std::string suffix = ":" + std::to_string(port);
    if (host == kLoopback + suffix || host == "localhost" + suffix) return true;
    refuse(response, 403, "this server answers pages of http://127.0.0.1" + suffix + "/ only");
    return false;
  }

  // Past the connection cap only the driving page is served, so that its steps still answer.
  bool withinCap(const httplib::Request& request, httplib::Response& response) {
    if (!ConnectionQueue::refusing() || pages_.isDriver(request.get_header_value(kPageHeader))) {
      return true;
    }
    refuse(response, 503,
           "the server is busy with its " + std::to_string(kLimits.workers + kLimits.waiting) +
               " connections; try again shortly");
    response.set_header("Retry-After", "1");
    response.set_header("Connection", "close");
    return false;
  }

 private:
  void hello(httplib::Response& response) {
    const CGSize size = host::screenSize(device_.device().idiom);
    const ValueMap hello{
        {"page", pages_.open()},
        {"device", device_.device().name},
        {"system", device_.device().system.version},
        {"width", size.width},
        {"height", size.height},
    };
    response.set_content(toJson(Value(hello)), "application/json");
  }

  void updates(const httplib::Request& request, httplib::Response& response) {
    const auto after = wholeNumber(request, "after");
    const auto trace = wholeNumber(request, "trace");
    if (!after || !trace || *trace < 0) {
      return refuse(response, 400, "updates takes after=VERSION and trace=LINES, whole numbers");
    }
    sendView(request, response, *after, static_cast<std::size_t>(*trace), kPollWait);
  }

  // The view as the asking page sees it: with its part of the trace and whether it drives.
  void sendView(const httplib::Request& request, httplib::Response& response, long after,
                std::size_t trace, std::chrono::milliseconds wait) {
    const DeviceView view = device_.view(after, trace, wait);
    std::string lines;
    for (const std::string& line : view.trace) lines += (lines.empty() ? "" : ", ") + line;
    const bool drives = pages_.drives(request.get_header_value(kPageHeader));
    response.set_header("Cache-Control", "no-store");
    response.set_content("{" + view.json + ", \"version\": " + std::to_string(view.version) +
                             ", \"driver\": " + (drives ? "true" : "false") + ", \"trace\": [" +
                             lines + "], \"trace_end\": " + std::to_string(view.traceEnd) + "}",
                         "application/json");
  }

  void screen(const httplib::Request& request, httplib::Response& response) {
    const DeviceView view = device_.view(-1, SIZE_MAX, std::chrono::milliseconds(0));
    if (view.screen == nullptr) return refuse(response, 404, "no app is in front");
    response.set_header("Cache-Control", "no-store");
    if (request.has_param("download")) {
      response.set_header("Content-Disposition", "attachment; filename=\"quorvane-screen.png\"");
    }
    response.set_content(*view.screen, "image/png");
  }

  void scenario(httplib::Response& response) {
    const std::string text = device_.scenario();
    if (text.empty()) return refuse(response, 409, "no step to save yet");
    response.set_header("Content-Disposition", "attachment; filename=\"quorvane-scenario.yaml\"");
    response.set_content(text, "application/yaml; charset=utf-8");
  }

  // Only the page that drives the device changes it; the others watch.
  bool driving(const httplib::Request& request, httplib::Response& response) {
    if (pages_.drives(request.get_header_value(kPageHeader))) return true;
    refuse(response, 409, "another page drives the device; this one only watches");
    return false;
  }

  void answer(const Outcome& outcome, httplib::Response& response) {
    if (!outcome.ok()) return refuse(response, outcome.status, outcome.reason);
    response.status = 204;
  }

  void realtime(const httplib::Request& request, httplib::Response& response) {
    if (request.body != "on" && request.body != "off") {
      return refuse(response, 400, "realtime takes on or off");
    }
    answer(device_.setRealtime(request.body == "on"), response);
  }

  void upload(Upload kind, const httplib::Request& request, httplib::Response& response) {
    answer(device_.upload(kind, request.get_param_value("name"), request.body), response);
  }

  ServedDevice& device_;
  Pages pages_;
};

// Ctrl-C and SIGTERM end the server: the handler only writes to a pipe, which a thread watches.
int signalPipe[2] = {-1, -1};

extern "C" void onStopSignal(int) {
  const char stop = 1;
  [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &stop, 1);
}

class StopSignals {
 public:
  explicit StopSignals(std::function<void()> stop) {
    if (::pipe(signalPipe) != 0) throw std::runtime_error("cannot make a pipe for signals");
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &oldInterrupt_);
    ::sigaction(SIGTERM, &action, &oldTerminate_);
    watcher_ = std::thread([stop = std::move(stop)] {
      char signal = 0;
      if (::read(signalPipe[0], &signal, 1) == 1 && signal == 1) stop();
    });
  }

  ~StopSignals() {
    ::sigaction(SIGINT, &oldInterrupt_, nullptr);
    ::sigaction(SIGTERM, &oldTerminate_, nullptr);
    const char done = 0;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &done, 1);
    watcher_.join();
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
  }

 private:
  struct sigaction oldInterrupt_ {};
  struct sigaction oldTerminate_ {};
  std::thread watcher_;
};

// Why the server itself turned a request away.
std::string problem(const httplib::Request& request, int status) {
  switch (status) {
    case 400:
      return "the request is not HTTP the server reads";
    case 404:
      return "no such page: " + request.method + " " + request.path;
    case 413:
      return "the request is larger than any the server takes (a clip is at most 200 MiB)";
    case 414:
      return "the request's address is too long";
    default:
      return "the request cannot be taken (HTTP " + std::to_string(status) + ")";
  }
}

// A body larger than any the server takes is refused from the length it announces, before the
// server reads, and waits for, any of it.
bool announcesTooLarge(const httplib::Request& request, httplib::Response& response) {
  const std::string length = request.get_header_value("Content-Length");
  unsigned long long bytes = 0;
  const auto [end, error] = std::from_chars(length.data(), length.data() + length.size(), bytes);
  const bool tooLarge =
      error == std::errc::result_out_of_range || (error == std::errc() && bytes > kLargestBody);
  if (!tooLarge) return false;
  refuse(response, 413, problem(request, 413));
  response.set_header("Connection", "close");
  return true;
}

// The port taken on the loopback address, or -1.
int bind(httplib::Server& server, int port) {
  int listening = -1;
  server.set_socket_options([&listening](socket_t socket) {
    httplib::default_socket_options(socket);
    listening = socket;
  });
  const int bound = port == 0 ? server.bind_to_any_port(kLoopback)
                              : (server.bind_to_port(kLoopback, port) ? port : -1);
  // Listening again on a listening socket sets its backlog.
  if (bound >= 0 && ::listen(listening, kBacklog) != 0) return -1;
  return bound;
}

}  // namespace

int runServe(const ServeOptions& options, const host::Catalog& catalog) {
  const std::unique_ptr<ServedDevice> device = startSession<ServedDevice>(options, catalog);
  if (device == nullptr) return kCannotRun;
  httplib::Server server;
  Site site(*device);
  int port = -1;
  server.set_payload_max_length(kLargestBody);
  server.set_keep_alive_timeout(1);  // keeps the server's end prompt
  server.set_read_timeout(kReadTimeout);
  server.new_task_queue = [] { return new ConnectionQueue(kLimits); };
  server.set_pre_routing_handler([&](const auto& request, auto& response) {
    const bool taken = site.fromOurPage(request, response, port) &&
                       site.withinCap(request, response) && !announcesTooLarge(request, response);
    return taken ? httplib::Server::HandlerResponse::Unhandled
                 : httplib::Server::HandlerResponse::Handled;
  });
  server.set_error_handler([](const httplib::Request& request, httplib::Response& response) {
    if (response.body.empty()) refuse(response, response.status, problem(request, response.status));
  });
  server.set_exception_handler([](const auto&, auto& response, std::exception_ptr raised) {
    try {
      std::rethrow_exception(raised);
    } catch (const std::exception& e) {
      refuse(response, 500, std::string("the device could not take the request: ") + e.what());
    } catch (...) {
      refuse(response, 500, "the device could not take the request");
    }
  });
  site.route(server);
  port = bind(server, options.port);
  if (port < 0) {
    std::cerr << "quorvane-sim: cannot listen on " << kLoopback << ":" << options.port
              << " (taken by another program, or not allowed)\n";
    device->stop();
    device->run();
    return kCannotRun;
  }
  std::cout << "serving on http://" << kLoopback << ":" << port << "/" << std::endl;
  StopSignals signals([&] { device->stop(); });
  std::thread listener([&] {
    server.listen_after_bind();
    device->stop();
  });
  const int status = device->run();
  server.stop();
  listener.join();
  return status;
}

}  // namespace qv::sim
