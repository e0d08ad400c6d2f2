#include "sim/supervisor/Protocol.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qv::sim {
namespace {

// Far above any state an app reports; a larger length means a broken stream.
constexpr std::uint32_t kMaxFrame = 64u << 20;
constexpr int kMaxDepth = 32;

enum class Tag : std::uint8_t { None, False, True, Integer, Real, Text, List, Map };

template <typename T>
void append(std::string& bytes, T number) {
  char raw[sizeof number];
  std::memcpy(raw, &number, sizeof number);
  bytes.append(raw, sizeof number);
}

void appendValue(std::string& bytes, const Value& value);

void appendText(std::string& bytes, const std::string& text) {
  append(bytes, static_cast<std::uint32_t>(text.size()));
  bytes += text;
}

void appendValue(std::string& bytes, const Value& value) {
  struct Writer {
    std::string& out;
    void operator()(std::monostate) const { out += char(Tag::None); }
    void operator()(bool flag) const { out += char(flag ? Tag::True : Tag::False); }
    void operator()(long long number) const {
      out += char(Tag::Integer);
      append(out, static_cast<std::int64_t>(number));
    }
    void operator()(double number) const {
      out += char(Tag::Real);
      append(out, number);
    }
    void operator()(const std::string& text) const {
      out += char(Tag::Text);
      appendText(out, text);
    }
    void operator()(const ValueList& list) const {
      out += char(Tag::List);
      append(out, static_cast<std::uint32_t>(list.size()));
      for (const Value& item : list) appendValue(out, item);
    }
    void operator()(const ValueMap& map) const {
      out += char(Tag::Map);
      append(out, static_cast<std::uint32_t>(map.size()));
      for (const auto& [key, item] : map) {
        appendText(out, key);
        appendValue(out, item);
      }
    }
  };
  std::visit(Writer{bytes}, value.data);
}

}  // namespace

FrameWriter::FrameWriter(Message type) {
  append(bytes_, std::uint32_t{0});  // the length, filled in by Channel::send
  bytes_ += static_cast<char>(type);
}

FrameWriter& FrameWriter::integer(std::int64_t number) {
  append(bytes_, number);
  return *this;
}

FrameWriter& FrameWriter::text(const std::string& text) {
  appendText(bytes_, text);
  return *this;
}

FrameWriter& FrameWriter::value(const Value& value) {
  appendValue(bytes_, value);
  return *this;
}

FrameReader::FrameReader(std::string bytes) : bytes_(std::move(bytes)) {
  if (bytes_.empty()) throw ProtocolError("empty frame");
  type_ = static_cast<Message>(bytes_[0]);
}

void FrameReader::need(std::size_t count) const {
  if (bytes_.size() - at_ < count) throw ProtocolError("frame ends early");
}

std::int64_t FrameReader::integer() {
  need(sizeof(std::int64_t));
  std::int64_t number;
  std::memcpy(&number, bytes_.data() + at_, sizeof number);
  at_ += sizeof number;
  return number;
}

std::string FrameReader::text() {
  need(sizeof(std::uint32_t));
  std::uint32_t size;
  std::memcpy(&size, bytes_.data() + at_, sizeof size);
  at_ += sizeof size;
  need(size);
  std::string out = bytes_.substr(at_, size);
  at_ += size;
  return out;
}

Value FrameReader::value() {
  return valueAt(0);
}

Value FrameReader::valueAt(int depth) {
  if (depth > kMaxDepth) throw ProtocolError("value nested too deeply");
  need(1);
  const auto tag = static_cast<Tag>(bytes_[at_++]);
  auto count = [this] {
    need(sizeof(std::uint32_t));
    std::uint32_t size;
    std::memcpy(&size, bytes_.data() + at_, sizeof size);
    at_ += sizeof size;
    return size;
  };
  switch (tag) {
    case Tag::None:
      return {};
    case Tag::False:
      return false;
    case Tag::True:
      return true;
    case Tag::Integer:
      return static_cast<long long>(integer());
    case Tag::Real: {
      need(sizeof(double));
      double number;
      std::memcpy(&number, bytes_.data() + at_, sizeof number);
      at_ += sizeof number;
      return number;
    }
    case Tag::Text:
      return text();
    case Tag::List: {
      ValueList list;
      for (std::uint32_t i = count(); i > 0; --i) list.push_back(valueAt(depth + 1));
      return list;
    }
    case Tag::Map: {
      ValueMap map;
      for (std::uint32_t i = count(); i > 0; --i) {
        std::string key = text();
        map.emplace_back(std::move(key), valueAt(depth + 1));
      }
      return map;
    }
  }
  throw ProtocolError("unknown value tag");
}

Channel::~Channel() {
  if (fd_ >= 0) ::close(fd_);
}

Channel::Channel(Channel&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

bool Channel::send(const FrameWriter& frame) {
  std::string bytes = frame.bytes();
  const auto length = static_cast<std::uint32_t>(bytes.size() - sizeof(std::uint32_t));
  std::memcpy(bytes.data(), &length, sizeof length);
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

bool Channel::readExactly(char* into, std::size_t count, std::optional<int> timeoutMs) {
  std::size_t got = 0;
  while (got < count) {
    if (timeoutMs) {
      pollfd ready{fd_, POLLIN, 0};
      const int polled = ::poll(&ready, 1, *timeoutMs);
      if (polled < 0 && errno == EINTR) continue;
      if (polled == 0) {
        timedOut_ = true;
        return false;
      }
    }
    const ssize_t n = ::read(fd_, into + got, count - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

std::optional<FrameReader> Channel::receive(std::optional<int> timeoutMs) {
  timedOut_ = false;
  std::uint32_t length = 0;
  if (!readExactly(reinterpret_cast<char*>(&length), sizeof length, timeoutMs)) {
    return std::nullopt;
  }
  if (length == 0 || length > kMaxFrame) throw ProtocolError("bad frame length");
  std::string bytes(length, '\0');
  if (!readExactly(bytes.data(), length, timeoutMs)) return std::nullopt;
  return FrameReader(std::move(bytes));
}

}  // namespace qv::sim
