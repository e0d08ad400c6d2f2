#include "platform/dispatch/Threads.h"

#include <objc/thr.h>

#include <stdexcept>
#include <thread>

#include "platform/dispatch/Scheduler.h"

namespace qv {
namespace {

class RuntimeThread {
 public:
  RuntimeThread() { objc_thread_add(); }
  ~RuntimeThread() { objc_thread_remove(); }
  RuntimeThread(const RuntimeThread&) = delete;
  RuntimeThread& operator=(const RuntimeThread&) = delete;
};

}  // namespace

namespace detail {

void spawnRuntimeThread(std::function<void()> body) {
  std::thread([body = std::move(body)] {
    RuntimeThread registered;
    body();
  }).detach();
}

}  // namespace detail

void startThread(std::function<void()> body) {
  if (!body) throw std::invalid_argument("qv::startThread: no body given");
  detail::Scheduler& scheduler = detail::Scheduler::instance();
  scheduler.beginBackgroundWork();
  try {
    detail::spawnRuntimeThread(
        [body = std::move(body)]() mutable { detail::runAsBackgroundWork(std::move(body)); });
  } catch (...) {
    scheduler.endBackgroundWork();
    throw;
  }
}

}  // namespace qv
