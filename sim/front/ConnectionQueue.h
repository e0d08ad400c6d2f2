// serve's connections: a fixed set of workers and a bounded wait for one. A connection past
// both is handed to a refusing worker, which answers 503 to all but the driving page, so that
// a flood of clients gets a clear answer and the page that drives the device still gets through.
#pragma once

#include <httplib.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace qv::sim {

struct ConnectionLimits {
  std::size_t workers = 64;    // connections served at once
  std::size_t waiting = 192;   // accepted connections waiting for a worker
  std::size_t refusers = 4;    // workers that answer connections past the cap
  std::size_t refusing = 256;  // connections waiting for a refusing worker
};

class ConnectionQueue : public httplib::TaskQueue {
 public:
  explicit ConnectionQueue(const ConnectionLimits& limits);
  ~ConnectionQueue() override;
  ConnectionQueue(const ConnectionQueue&) = delete;
  ConnectionQueue& operator=(const ConnectionQueue&) = delete;

  void enqueue(std::function<void()> connection) override;
  void shutdown() override;

  // Whether the calling thread serves a connection past the cap.
  static bool refusing();

 private:
  // One set of threads and the connections waiting for them.
  class Pool {
   public:
    Pool(std::size_t threads, std::size_t waiting, bool refusing);
    bool offer(std::function<void()>& connection);  // false: full, and the connection is left
    void shutdown();

   private:
    void serve(bool refusing);

    std::size_t waiting_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> connections_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
  };

  Pool serving_;
  Pool refusing_;
};

}  // namespace qv::sim
