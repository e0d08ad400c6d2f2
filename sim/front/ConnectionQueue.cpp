#include "sim/front/ConnectionQueue.h"

namespace qv::sim {
namespace {

thread_local bool pastTheCap = false;

}  // namespace

ConnectionQueue::Pool::Pool(std::size_t threads, std::size_t waiting, bool refusing)
    : waiting_(waiting) {
  for (std::size_t i = 0; i < threads; ++i)
    threads_.emplace_back([this, refusing] { serve(refusing); });
}

bool ConnectionQueue::Pool::offer(std::function<void()>& connection) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_ || connections_.size() >= waiting_) return false;
    connections_.push_back(std::move(connection));
  }
  ready_.notify_one();
  return true;
}

void ConnectionQueue::Pool::shutdown() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
  }
  ready_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

// Serves until shutdown, and the connections accepted before it.
void ConnectionQueue::Pool::serve(bool refusing) {
  pastTheCap = refusing;
  while (true) {
    std::function<void()> connection;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      ready_.wait(lock, [this] { return stopping_ || !connections_.empty(); });
      if (connections_.empty()) return;
      connection = std::move(connections_.front());
      connections_.pop_front();
    }
    connection();
  }
}

ConnectionQueue::ConnectionQueue(const ConnectionLimits& limits)
    : serving_(limits.workers, limits.waiting, false),
      refusing_(limits.refusers, limits.refusing, true) {}

ConnectionQueue::~ConnectionQueue() {
  shutdown();
}

void ConnectionQueue::enqueue(std::function<void()> connection) {
  if (serving_.offer(connection) || refusing_.offer(connection)) return;
  // Past both bounds the listener answers the connection itself, and accepts no other meanwhile.
  pastTheCap = true;
  connection();
  pastTheCap = false;
}

void ConnectionQueue::shutdown() {
  serving_.shutdown();
  refusing_.shutdown();
}

bool ConnectionQueue::refusing() {
  return pastTheCap;
}

}  // namespace qv::sim
