#include "platform/Foundation/PropertyListShape.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <vector>

namespace qv::foundation {
namespace {

// ---- XML: the nesting of <array> and <dict> elements ----

bool isNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Where the markup that starts at `at` ends, past its closing text; npos when it never does.
std::size_t skipPast(std::string_view text, std::size_t at, std::string_view close) {
  const std::size_t end = text.find(close, at);
  return end == std::string_view::npos ? end : end + close.size();
}

bool xmlWithinDepth(std::string_view text, std::uint64_t limit) {
  std::uint64_t depth = 0;
  for (std::size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at)) {
    const std::string_view rest = text.substr(at);
    if (rest.starts_with("<!--")) {
      at = skipPast(text, at + 4, "-->");
    } else if (rest.starts_with("<![CDATA[")) {
      at = skipPast(text, at + 9, "]]>");
    } else if (rest.starts_with("<!") || rest.starts_with("<?")) {
      at = skipPast(text, at + 2, ">");
    } else {
      const bool closing = rest.size() > 1 && rest[1] == '/';
      const std::size_t nameStart = closing ? 2 : 1;
      std::size_t nameEnd = nameStart;
      while (nameEnd < rest.size() && isNameCharacter(rest[nameEnd])) ++nameEnd;
      const std::string_view name = rest.substr(nameStart, nameEnd - nameStart);
      const std::size_t tagEnd = text.find('>', at);
      if (tagEnd == std::string_view::npos) return false;
      const bool empty = text[tagEnd - 1] == '/';  // <array/>
      if ((name == "array" || name == "dict") && !empty) {
        if (!closing && ++depth > limit) return false;
        if (closing && depth > 0) --depth;
      }
      at = tagEnd + 1;
    }
    if (at == std::string_view::npos) return false;
  }
  return true;
}

// ---- Binary: depth and expanded size of the object graph ----

std::uint64_t bigEndian(std::string_view bytes, std::size_t at, std::size_t size) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < size; ++i)
    value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

class BinaryGraph {
 public:
  explicit BinaryGraph(std::string_view bytes) : bytes_(bytes) {}

  // The trailer's sizes and positions, checked against the length of the file.
  bool readTrailer() {
    constexpr std::size_t header = 8;
    constexpr std::size_t trailer = 32;
    if (bytes_.size() < header + trailer) return false;
    const std::size_t at = bytes_.size() - trailer;
    offsetSize_ = static_cast<unsigned char>(bytes_[at + 6]);
    referenceSize_ = static_cast<unsigned char>(bytes_[at + 7]);
    count_ = bigEndian(bytes_, at + 8, 8);
    top_ = bigEndian(bytes_, at + 16, 8);
    table_ = bigEndian(bytes_, at + 24, 8);
    return offsetSize_ >= 1 && offsetSize_ <= 8 && referenceSize_ >= 1 && referenceSize_ <= 8 &&
           count_ >= 1 && top_ < count_ && table_ >= header && table_ <= at &&
           count_ <= (at - table_) / offsetSize_;
  }

  std::uint64_t count() const { return count_; }
  std::uint64_t top() const { return top_; }

  // The objects a container refers to (none for a scalar); nullopt when they lie outside the
  // object area or name objects that do not exist.
  std::optional<std::vector<std::uint64_t>> references(std::uint64_t index) const {
    const std::uint64_t offset = bigEndian(bytes_, table_ + index * offsetSize_, offsetSize_);
    if (offset < 8 || offset >= table_) return std::nullopt;
    const auto marker = static_cast<unsigned char>(bytes_[offset]);
    const unsigned kind = marker >> 4;
    if (kind != 0xA && kind != 0xC && kind != 0xD) return std::vector<std::uint64_t>{};
    std::uint64_t length = marker & 0xF;
    std::uint64_t at = offset + 1;
    if (length == 0xF) {
      // The count follows as an integer object of 1, 2, 4 or 8 bytes.
      if (at >= table_) return std::nullopt;
      const auto countMarker = static_cast<unsigned char>(bytes_[at]);
      const std::uint64_t countSize = std::uint64_t{1} << (countMarker & 0xF);
      if ((countMarker >> 4) != 0x1 || countSize > 8 || at + 1 + countSize > table_) {
        return std::nullopt;
      }
      length = bigEndian(bytes_, at + 1, countSize);
      at += 1 + countSize;
    }
    const std::uint64_t slots = kind == 0xD ? 2 : 1;
    if (length > (table_ - at) / referenceSize_ / slots) return std::nullopt;
    std::vector<std::uint64_t> children(length * slots);
    for (std::uint64_t i = 0; i < children.size(); ++i) {
      children[i] = bigEndian(bytes_, at + i * referenceSize_, referenceSize_);
      if (children[i] >= count_) return std::nullopt;
    }
    return children;
  }

 private:
  std::string_view bytes_;
  unsigned offsetSize_ = 0;
  unsigned referenceSize_ = 0;
  std::uint64_t count_ = 0;
  std::uint64_t top_ = 0;
  std::uint64_t table_ = 0;
};

// Depth-first from the top object without recursion: each container's expanded size is worked
// out once, after its children's; scalars and empty containers count one. A reference back to a
// container still being walked is a cycle.
bool binaryWithinLimits(std::string_view bytes, const ShapeLimits& limits) {
  BinaryGraph graph(bytes);
  if (!graph.readTrailer()) return false;
  enum class Visit : unsigned char { fresh, walking, done };
  struct Frame {
    std::uint64_t index;
    std::vector<std::uint64_t> children;
    std::size_t next = 0;
  };
  std::vector<Visit> visits(graph.count(), Visit::fresh);
  std::vector<std::uint64_t> objects(graph.count(), 1);
  std::vector<Frame> stack;
  const auto enter = [&](std::uint64_t index) {
    std::optional<std::vector<std::uint64_t>> children = graph.references(index);
    if (!children) return false;
    if (children->empty()) {
      visits[index] = Visit::done;
      return true;
    }
    if (stack.size() >= limits.depth) return false;
    visits[index] = Visit::walking;
    stack.push_back({index, std::move(*children)});
    return true;
  };
  if (!enter(graph.top())) return false;
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next < frame.children.size()) {
      const std::uint64_t child = frame.children[frame.next++];
      if (visits[child] == Visit::walking) return false;
      if (visits[child] == Visit::fresh && !enter(child)) return false;
      continue;
    }
    std::uint64_t expanded = 1;
    for (std::uint64_t child : frame.children) {
      expanded = std::min(expanded + objects[child], limits.objects + 1);
    }
    if (expanded > limits.objects) return false;
    objects[frame.index] = expanded;
    visits[frame.index] = Visit::done;
    stack.pop_back();
  }
  return true;
}

}  // namespace

bool withinShapeLimits(std::string_view bytes, const ShapeLimits& limits) {
  return bytes.starts_with("bplist00") ? binaryWithinLimits(bytes, limits)
                                       : xmlWithinDepth(bytes, limits.depth);
}

}  // namespace qv::foundation
