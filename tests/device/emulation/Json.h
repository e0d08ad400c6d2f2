// The reference's output: JSON text built by hand, since each event is small and flat.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvane::emulation {

std::string jsonString(std::string_view text);
std::string jsonBool(bool value);
// Exact for every double: reading the text back gives the same value.
std::string jsonNumber(double value);
std::string jsonArray(const std::vector<std::string>& items);

// An object from key and already-encoded value pairs, in the order given.
class JsonObject {
 public:
  JsonObject& add(std::string_view key, const std::string& encoded);
  std::string text() const { return "{" + body_ + "}"; }

 private:
  std::string body_;
};

}  // namespace quorvane::emulation
