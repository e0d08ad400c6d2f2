// The protocol between the supervisor and an app process, over a stream socket pair: frames of
// a 32-bit length, a message type and its fields.
//
// The supervisor sends one command at a time and reads until its answer (Started, Done, Failed
// or Crashed). While a command runs, the app sends events: Log, Post, Diagnostic, StepEvent, and
// System, after which it waits for SystemResult.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "sim/language/Value.h"

namespace qv::sim {

enum class Message : std::uint8_t {
  // Supervisor to app.
  RunUntil = 1,  // instant (ns): run the main loop until it
  Deliver,       // name: a Darwin notification from elsewhere
  Act,           // action, argument: a step the app performs
  Observe,       // keys: answer the app's observable state
  Quit,          // end normally
  SystemResult,  // status: the answer to a System event
  // App to supervisor.
  Started = 20,  // library name, its path, problem, notes (a list)
  Log,           // line
  Post,          // name: a Darwin notification for every process
  System,        // command
  Done,          // next deadline (ns, or -1), result
  Failed,        // message: the command could not be done; the app goes on
  Crashed,       // message: the app ends
  Diagnostic,    // line: what a library the platform uses said, for the trace alone
  StepEvent,     // kind, text: what the step being taken did (where a tap landed)
};

class ProtocolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class FrameWriter {
 public:
  explicit FrameWriter(Message type);
  FrameWriter& integer(std::int64_t number);
  FrameWriter& text(const std::string& text);
  FrameWriter& value(const Value& value);
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

// Reads the fields of a received frame in the order they were written; raises ProtocolError on
// a frame that ends early or holds something else.
class FrameReader {
 public:
  explicit FrameReader(std::string bytes);
  Message type() const { return type_; }
  std::int64_t integer();
  std::string text();
  Value value();

 private:
  void need(std::size_t count) const;
  Value valueAt(int depth);

  std::string bytes_;
  std::size_t at_ = 1;
  Message type_;
};

// One end of the socket pair, owned.
class Channel {
 public:
  explicit Channel(int fd) : fd_(fd) {}
  ~Channel();
  Channel(Channel&& other) noexcept;
  Channel& operator=(Channel&&) = delete;
  Channel(const Channel&) = delete;

  int fd() const { return fd_; }

  // False when the other end is gone.
  bool send(const FrameWriter& frame);

  // A whole frame; nullopt when the other end closed (or the wait exceeded `timeoutMs`, when
  // given, which `timedOut` then tells). Raises ProtocolError on a malformed frame.
  std::optional<FrameReader> receive(std::optional<int> timeoutMs = std::nullopt);
  bool timedOut() const { return timedOut_; }

 private:
  bool readExactly(char* into, std::size_t count, std::optional<int> timeoutMs);

  int fd_;
  bool timedOut_ = false;
};

}  // namespace qv::sim
